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
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.PutVoid())))
        return false;
    link->SetPath(target.c_str());
    link->SetDescription(description.c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())))
        return false;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    return SUCCEEDED(file->Save(wide, TRUE));
}

std::string ShortForm(const std::string& path)
{
    char buffer[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return buffer;
}

const char sessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

// The PendingFileRenameOperations value as stored; empty when absent.
std::string PendingOperations(bool& present)
{
    HKEY key;
    present = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    std::string data(65536, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    present = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                               reinterpret_cast<BYTE*>(&data[0]), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    data.resize(present ? size : 0);
    return data;
}

void RestorePendingOperations(bool present, const std::string& data)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManager, 0, KEY_ALL_ACCESS, &key), 0);
    if (present)
        RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    else
        RegDeleteValueA(key, "PendingFileRenameOperations");
    RegCloseKey(key);
}

std::string Lower(std::string text)
{
    CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

} // namespace

TEST(GetLongPathForm, ExpandsShortNamesOfDriveRootedPaths)
{
    PlantedFile file("C:\\" + UniqueName("QmLong") + "\\A Long Folder Name\\Target Document.txt");
    const std::string shortPath = ShortForm(file.Path());
    ASSERT_FALSE(shortPath.empty());
    ASSERT_NE(shortPath, file.Path());

    std::string longPath;
    EXPECT_EQ(GetLongPathForm(shortPath, longPath), file.Path().size());
    EXPECT_EQ(longPath, file.Path());

    std::string slashed = file.Path();
    for (char& c : slashed)
        if (c == '\\')
            c = '/';
    longPath.clear();
    EXPECT_EQ(GetLongPathForm(slashed, longPath), file.Path().size());
    EXPECT_EQ(longPath, file.Path());

    std::string doubled = "C:\\\\" + file.Path().substr(3);
    longPath.clear();
    EXPECT_EQ(GetLongPathForm(doubled, longPath), file.Path().size());
    EXPECT_EQ(longPath, file.Path());

    longPath.clear();
    EXPECT_EQ(GetLongPathForm("C:\\", longPath), 3u);
    EXPECT_EQ(longPath, "C:\\");

    longPath = "untouched";
    EXPECT_EQ(GetLongPathForm("", longPath), 0u);
    EXPECT_EQ(GetLongPathForm(file.Path() + ".gone", longPath), 0u);
    EXPECT_EQ(longPath, "untouched");
}

TEST(ResolveShortcut, TargetsAndDescriptionsOfRealLinks)
{
    PlantedFolder folder("C:\\" + UniqueName("QmLinks"));
    PlantedFile target(folder.Path() + "\\A Long Folder Name\\Target Program Name.exe");
    const std::string goodLink = folder.Path() + "\\good.lnk";
    ASSERT_TRUE(MakeShortcut(goodLink, target.Path(), "Starts the program"));

    std::string resolved, description;
    HRESULT hr = ResolveShortcut(goodLink, nullptr, resolved, description);
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    EXPECT_EQ(resolved, target.Path()); // the long form, never the 8.3 one
    EXPECT_EQ(description, "Starts the program");

    // A link that stores its target in 8.3 form comes back in the long form.
    const std::string shortLink = folder.Path() + "\\short.lnk";
    ASSERT_TRUE(MakeShortcut(shortLink, ShortForm(target.Path()), "Short"));
    resolved.clear();
    hr = ResolveShortcut(shortLink, nullptr, resolved, description);
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    EXPECT_EQ(resolved, target.Path());

    // A link whose program was uninstalled still names it.
    const std::string goneProgram = folder.Path() + "\\Removed App\\Removed Program.exe";
    {
        PlantedFile gone(goneProgram);
        ASSERT_TRUE(MakeShortcut(folder.Path() + "\\gone.lnk", goneProgram, "Gone"));
    }
    ASSERT_EQ(GetFileAttributesA(goneProgram.c_str()), INVALID_FILE_ATTRIBUTES);
    resolved.clear();
    hr = ResolveShortcut(folder.Path() + "\\gone.lnk", nullptr, resolved, description);
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    EXPECT_EQ(Lower(resolved), Lower(goneProgram));
    EXPECT_EQ(description, "Gone");

    EXPECT_TRUE(FAILED(ResolveShortcut(folder.Path() + "\\none.lnk", nullptr, resolved,
                                       description)));
}

TEST(DeleteFileOrSchedule, AFileInUseIsDeletedAtTheNextRestart)
{
    const std::string folder = "C:\\" + UniqueName("QmDelete");
    PlantedFile loose(folder + "\\loose.tmp");
    EXPECT_EQ(DeleteFileOrSchedule(loose.Path()), 1);
    EXPECT_EQ(GetFileAttributesA(loose.Path().c_str()), INVALID_FILE_ATTRIBUTES);

    bool hadPending = false;
    const std::string pendingBefore = PendingOperations(hadPending);
    PlantedFile held(folder + "\\held.tmp");
    HandleOwner open(CreateFileA(held.Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    EXPECT_EQ(DeleteFileOrSchedule(held.Path()), 1);
    EXPECT_NE(GetFileAttributesA(held.Path().c_str()), INVALID_FILE_ATTRIBUTES);
    bool hasPending = false;
    std::string pending = PendingOperations(hasPending);
    EXPECT_TRUE(hasPending);
    EXPECT_NE(Lower(pending).find(Lower(held.Path())), std::string::npos);
    open.Reset();
    RestorePendingOperations(hadPending, pendingBefore);
}
