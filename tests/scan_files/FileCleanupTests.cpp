#include <gtest/gtest.h>
#include <shlobj.h>
#include <wininet.h>

#include <fstream>

#include "core/Handles.h"
#include "core/PathCheck.h"
#include "core/Platform.h"
#include "core/Text.h"
#include "scan/Scanners.h"
#include "scan/UrlCacheEnumerator.h"
#include "support/FileBytes.h"
#include "support/HostLinks.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

const char invalid[] = "The shortcut is not valid.  Shortcut refers to (%s) which is a file that does not exist.";

// A shortcut saved by the shell's own link object; padding after its last
// block leaves it loadable, only larger.
void MakeShortcut(const std::string& linkPath, const std::string& target, DWORD padding = 0)
{
    ComPtr<IShellLinkA> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               link.PutVoid()),
              S_OK);
    link->SetPath(target.c_str());
    ComPtr<IPersistFile> file;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, file.PutVoid()), S_OK);
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(file->Save(wide, TRUE), S_OK) << linkPath;
    ASSERT_TRUE(std::ofstream(linkPath, std::ios::binary | std::ios::app) << std::string(padding, '\0'));
}

// A file's record: its path is item, key and data at once.
std::string FileRecord(unsigned section, const std::string& path, const std::string& description, double size)
{
    return RecordText(section, path, path, "", path, description, size);
}

using FileCleanup = ScanTest;

// Wine links the profile's folders to the Linux home, as Vista's junctions
// lead elsewhere: a walk that followed them would offer the user's own
// files (and a link back to its parent would never end).
TEST_F(FileCleanup, ShortcutsToMissingFilesOnFixedDrivesAreReportedAndWalksNeverEnterFolderLinks)
{
    PlantedFolder folder("C:\\" + UniqueName("QmLinks"));
    const std::string gone = "C:\\" + UniqueName("QmGone") + "\\app.exe";
    const std::string broken = folder.Path() + "\\broken.lnk";
    MakeShortcut(broken, gone);
    MakeShortcut(folder.Path() + "\\notepad.lnk", GetWindowsFolder() + "\\notepad.exe");
    MakeShortcut(folder.Path() + "\\folder.lnk", GetWindowsFolder());
    MakeShortcut(folder.Path() + "\\cdrom.lnk", "D:\\setup.exe");
    MakeShortcut(folder.Path() + "\\network.lnk", "N:\\tools\\app.exe");
    // Large shortcut files are never resolved; network places are never looked at.
    MakeShortcut(folder.Path() + "\\large.lnk", gone, 1500);
    // The file system ignores case, so the two spellings need folders of their own.
    CreateFolders(folder.Path() + "\\a\\NetHood");
    CreateFolders(folder.Path() + "\\b\\nethood");
    const std::string lowerNetHood = folder.Path() + "\\b\\nethood\\place.lnk";
    MakeShortcut(folder.Path() + "\\a\\NetHood\\place.lnk", gone);
    MakeShortcut(lowerNetHood, gone);
    // Only ".lnk" in exactly this case is a shortcut.
    PlantedFile upper(folder.Path() + "\\UPPER.LNK", "not a link");
    PlantedFolder home("Z:\\tmp\\" + UniqueName("QmHome")), temp(TestTempFolder() + UniqueName("QmTemp"));
    MakeShortcut(home.Path() + "\\broken.lnk", gone);
    PlantedFile letter(home.Path() + "\\docs\\letter.txt", "dear");
    ASSERT_FALSE(HasFatalFailure()) << "a shortcut could not be made";
    FolderLink documents(folder.Path() + "\\Documents", home.Path());
    FolderLink tempDocuments(temp.Path() + "\\Documents", home.Path());
    FolderLink again(folder.Path() + "\\again", folder.Path());
    ASSERT_TRUE(documents.Made() && tempDocuments.Made() && again.Made());
    WIN32_FIND_DATAA found;
    ASSERT_TRUE(FindHandle(FindFirstFileA((folder.Path() + "\\Documents\\*.lnk").c_str(), &found)));

    ScanShortcuts(context, folder.Path() + "\\");
    ScanTempFolder(context, temp.Path());

    EXPECT_EQ(context.RecordsWith(""),
              (Records{RecordText(14, broken, gone, "", gone, invalid),
                       RecordText(14, lowerNetHood, gone, "", gone, invalid)}));
    for (const std::string& call : context.calls)
        EXPECT_TRUE(call.find("\\Documents\\") == std::string::npos &&
                    call.find("\\again\\") == std::string::npos)
            << call;
}

// Leftover files are offered with their size and files in use stay.
// Everything a temporary-folder walk finds is offered for deletion: a root
// that holds more than leftovers (TEMP unset or pointing at the profile, the
// Windows folder, a drive) is not walked at all, and the repair's own work
// folder inside the temporary folder is left to the repair.
TEST_F(FileCleanup, LeftoversAreReportedWithTheirSizeButNotFilesInUseWorkFilesOrRootsThatHoldMore)
{
    PlantedFolder temp(TestTempFolder() + UniqueName("QmTemp"));
    PlantedFile closed(temp.Path() + "\\closed.tmp", std::string(1234, 'c'));
    PlantedFile nested(temp.Path() + "\\inner\\nested.tmp", std::string(77, 'n'));
    PlantedFile open(temp.Path() + "\\open.tmp", std::string(10, 'o'));
    HandleOwner holder(CreateFileA(open.Path().c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    const std::string stem = UniqueName("qmwork");
    PlantedFile windowsTemp(GetWindowsFolder() + "\\Temp\\" + stem + ".tmp", "tmp");
    PlantedFile work(TestTempFolder() + "Quillmoor8BackUp\\" + stem + ".reg", "backup");
    // The disk checker's fragments in its folder and below; a loose file and
    // a user's folder that only begin like them are left alone.
    PlantedFile loose("C:\\found.txt", "lost clusters");
    PlantedFile photo("C:\\found.photos\\holiday.jpg", "a photo");
    PlantedFolder fragments("C:\\found.000");
    PlantedFile chained(fragments.Path() + "\\file0000.chk", std::string(512, 'f'));
    PlantedFile deeper(fragments.Path() + "\\dir0000\\file0001.chk", std::string(3, 'f'));
    PlantedFile bystander("C:\\" + UniqueName("notfound") + ".txt");

    ScanTempFolder(context, GetWindowsFolder() + "\\Temp");
    ScanTempFolder(context, TestTempFolder());
    RecordingContext found;
    ScanFoundFiles(found, "C:\\found.*");

    const std::string temporary = "Windows Temp File", fragment = "ScanDisk Files";
    EXPECT_EQ(context.RecordsWith(temp.Path()),
              (Records{FileRecord(16, closed.Path(), temporary, 1234),
                       FileRecord(16, nested.Path(), temporary, 77)}));
    EXPECT_EQ(context.RecordsWith(stem), Records{FileRecord(16, windowsTemp.Path(), temporary, 3)});
    EXPECT_EQ(found.RecordsWith(""),
              (Records{FileRecord(17, chained.Path(), fragment, 512),
                       FileRecord(17, deeper.Path(), fragment, 3)}));

    const std::string profile = GetSpecialFolder(CSIDL_PROFILE);
    PlantedFile inProfile(profile + "\\" + UniqueName("qmprofile") + ".txt");
    for (const std::string& root :
         {std::string("C:\\"), GetWindowsFolder(), GetSystemFolder(), profile + "\\",
          profile.substr(0, profile.rfind('\\')), GetSpecialFolder(CSIDL_PERSONAL),
          GetProgramFilesFolder()}) {
        RecordingContext one;
        ScanTempFolder(one, root);
        EXPECT_EQ(one.calls, std::vector<std::string>{}) << root;
    }
}

TEST_F(FileCleanup, CookiesAndHistoryFilesAreReportedButNeverTheSystemsOwnAndLongCacheEntriesAreRead)
{
    const std::string cookies = GetSpecialFolder(CSIDL_COOKIES);
    const std::string history = GetSpecialFolder(CSIDL_HISTORY);
    const std::string stem = UniqueName("qmcookie");
    PlantedFile index(cookies + "\\Index.DAT", "index");
    PlantedFile cookie(cookies + "\\" + stem + "@example.txt", std::string(321, 'k'));
    PlantedFile inSub(cookies + "\\" + stem + "\\low.txt", std::string(45, 'k'));
    PlantedFile visited(history + "\\" + stem + ".url", "[InternetShortcut]");
    PlantedFile desktop(history + "\\" + stem + "\\desktop.ini", "[.ShellClassInfo]");

    ScanCookies(context);
    RecordingContext browser;
    ScanBrowserCache(browser);

    // Files below the cookie folder count as temporary files.
    EXPECT_EQ(context.RecordsWith(stem),
              (Records{RecordText(19, Lowered(cookie.Path()), "", "", "", "Cookie", 321),
                       FileRecord(16, inSub.Path(), "Windows Temp File", 45)}));
    EXPECT_EQ(context.RecordsWith("index.dat"), Records{});
    EXPECT_EQ(browser.RecordsWith(stem),
              Records{RecordText(20, Lowered(visited.Path()), "", "", "IE_FILE", "IE TEMP")});

    // The scanner's own pattern finds nothing under Wine, whose history container
    // answers only to "Visited:"; the enumeration is checked on that one.
    const std::string url = "Visited: qm@http://example.com/" + UniqueName("long") + "/" +
                            std::string(6000, 'p'); // longer than the first record buffer
    ASSERT_TRUE(CommitUrlCacheEntryA(url.c_str(), nullptr, FILETIME{}, FILETIME{},
                                     URLHISTORY_CACHE_ENTRY, nullptr, 0, nullptr, nullptr));
    UrlCacheEnumerator cache;
    bool found = false;
    for (auto* entry = cache.First("Visited:"); entry; entry = cache.Next())
        found = found || (entry->lpszSourceUrlName && url == entry->lpszSourceUrlName);
    cache.Close();
    DeleteUrlCacheEntryA(url.c_str());
    EXPECT_TRUE(found);
}

TEST_F(FileCleanup, AbortStopsTheWalkAtTheCurrentFile)
{
    PlantedFolder folder(TestTempFolder() + UniqueName("QmAbort"));
    PlantedFile files[] = {{folder.Path() + "\\a.tmp"}, {folder.Path() + "\\sub\\b.tmp"},
                           {folder.Path() + "\\c.tmp"}, {folder.Path() + "\\sub\\d.tmp"}};

    context.onItem = [](const std::string&) { keepScanning = 0; };
    ScanTempFolder(context, folder.Path());

    EXPECT_EQ(context.records.size(), 1u);
    EXPECT_EQ(context.CallsStartingWith("ShowItem ").size(), 1u);
}

} // namespace
