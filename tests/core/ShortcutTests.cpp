#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "core/Handles.h"
#include "core/PathCheck.h"
#include "support/Planted.h"

namespace {

// Saves a .lnk file pointing at `target`, the way an installer would.
bool MakeShortcut(const std::string& linkPath, const std::string& target,
                  const std::string& description)
{
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())))
        return false;
    link->SetPath(target.c_str());
    link->SetDescription(description.c_str());
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    return SUCCEEDED(file->Save(wide, TRUE));
}

} // namespace

TEST(ResolveShortcut, TargetsAndDescriptionsOfRealLinks)
{
    PlantedFolder folder("C:\\" + UniqueName("QmLinks"));
    PlantedFile target(folder.Path() + "\\A Long Folder Name\\Target Program Name.exe");
    const std::string goneProgram = folder.Path() + "\\Removed App\\Removed Program.exe";
    {
        PlantedFile gone(goneProgram); // uninstalled after its link was made
        ASSERT_TRUE(MakeShortcut(folder.Path() + "\\gone.lnk", goneProgram, "Gone"));
    }
    ASSERT_TRUE(MakeShortcut(folder.Path() + "\\good.lnk", target.Path(), "Starts the program"));
    char shortTarget[MAX_PATH] = {};
    GetShortPathNameA(target.Path().c_str(), shortTarget, MAX_PATH);
    ASSERT_NE(shortTarget, target.Path());
    ASSERT_TRUE(MakeShortcut(folder.Path() + "\\short.lnk", shortTarget, "Short"));

    std::string resolved, description;
    auto resolve = [&](const char* link) {
        resolved.clear();
        return SUCCEEDED(ResolveShortcut(folder.Path() + "\\" + link, nullptr, resolved,
                                         description));
    };
    EXPECT_TRUE(resolve("good.lnk"));
    EXPECT_EQ(resolved, target.Path()); // the long form, never the 8.3 one
    EXPECT_EQ(description, "Starts the program");
    EXPECT_TRUE(resolve("short.lnk"));
    EXPECT_EQ(resolved, target.Path());
    EXPECT_TRUE(resolve("gone.lnk"));
    EXPECT_EQ(lstrcmpiA(resolved.c_str(), goneProgram.c_str()), 0) << resolved;
    EXPECT_EQ(description, "Gone");
    EXPECT_FALSE(resolve("none.lnk"));
}
