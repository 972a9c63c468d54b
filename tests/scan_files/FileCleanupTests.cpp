#include <gtest/gtest.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "core/Handles.h"
#include "core/PathCheck.h"
#include "scan/Scanners.h"
#include "scan/UrlCacheEnumerator.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

class FileCleanup : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }

    RecordingContext context;
};

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string SpecialFolder(int id)
{
    char folder[MAX_PATH] = "";
    EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, id, TRUE)) << id;
    return folder;
}

std::string TempFolder()
{
    char folder[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, folder);
    return folder;
}

// A shortcut saved by the shell's own link object.
void MakeShortcut(const std::string& linkPath, const std::string& target)
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
}

// Padding after the link's last block leaves it loadable, only larger.
void AppendZeros(const std::string& path, size_t count)
{
    HandleOwner file(CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    ASSERT_TRUE(file) << path;
    std::string zeros(count, '\0');
    DWORD written = 0;
    WriteFile(file.Get(), zeros.data(), static_cast<DWORD>(zeros.size()), &written, nullptr);
}

DWORD SizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
    return data.nFileSizeLow;
}

void ExpectFileRecord(const ProblemRecord* record, unsigned section, const std::string& item,
                      const std::string& keyPath, const std::string& valueData,
                      const std::string& description, double size)
{
    ASSERT_NE(record, nullptr) << item;
    EXPECT_EQ(record->checked, 1u);
    EXPECT_EQ(record->section, section);
    EXPECT_EQ(record->item, item);
    EXPECT_EQ(record->keyPath, keyPath);
    EXPECT_EQ(record->valueName, "");
    EXPECT_EQ(record->valueData, valueData);
    EXPECT_EQ(record->description, description);
    EXPECT_EQ(record->reserved1, 0u);
    EXPECT_EQ(record->reserved2, 0u);
    EXPECT_EQ(record->sizeBytes, size);
}

bool Shown(const RecordingContext& context, const std::string& path)
{
    return !context.CallsStartingWith("ShowItem " + path).empty();
}

} // namespace

TEST_F(FileCleanup, ShortcutsToMissingFilesOnFixedDrivesAreReported)
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
    const std::string large = folder.Path() + "\\large.lnk";
    MakeShortcut(large, gone);
    AppendZeros(large, 1500);
    ASSERT_GE(SizeOf(large), 1024u);
    // The file system ignores case, so the two spellings need folders of their own.
    CreateFolders(folder.Path() + "\\a\\NetHood");
    CreateFolders(folder.Path() + "\\b\\nethood");
    const std::string netHood = folder.Path() + "\\a\\NetHood\\place.lnk";
    const std::string lowerNetHood = folder.Path() + "\\b\\nethood\\place.lnk";
    MakeShortcut(netHood, gone);
    MakeShortcut(lowerNetHood, gone);
    // Only ".lnk" in exactly this case is a shortcut.
    PlantedFile upper(folder.Path() + "\\UPPER.LNK", "not a link");

    ScanShortcuts(context, folder.Path() + "\\");

    ASSERT_EQ(context.records.size(), 2u);
    const std::string description =
        "The shortcut is not valid.  Shortcut refers to (%s) which is a file that does not exist.";
    ExpectFileRecord(context.FindItem(broken), 14, broken, gone, gone, description, 0.0);
    ExpectFileRecord(context.FindItem(lowerNetHood), 14, lowerNetHood, gone, gone, description, 0.0);
    EXPECT_TRUE(Shown(context, large));
    EXPECT_TRUE(Shown(context, upper.Path()));
    EXPECT_FALSE(Shown(context, netHood));
}

TEST_F(FileCleanup, TemporaryFilesInUseStayAndClosedOnesAreReportedWithTheirSize)
{
    PlantedFolder folder(TempFolder() + UniqueName("QmTemp"));
    PlantedFile closed(folder.Path() + "\\closed.tmp", std::string(1234, 'c'));
    PlantedFile nested(folder.Path() + "\\inner\\nested.tmp", std::string(77, 'n'));
    PlantedFile open(folder.Path() + "\\open.tmp", std::string(10, 'o'));
    HandleOwner holder(CreateFileA(open.Path().c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);

    ScanTempFolder(context, folder.Path());

    ASSERT_EQ(context.records.size(), 2u);
    ExpectFileRecord(context.FindItem(closed.Path()), 16, closed.Path(), closed.Path(),
                     closed.Path(), "Windows Temp File", 1234.0);
    ExpectFileRecord(context.FindItem(nested.Path()), 16, nested.Path(), nested.Path(),
                     nested.Path(), "Windows Temp File", 77.0);
    // The file in use is still shown while the scan passes it.
    EXPECT_TRUE(Shown(context, open.Path()));
    EXPECT_EQ(context.steps, 0);
}

TEST_F(FileCleanup, DiskCheckerFragmentsAtADriveRootAreReported)
{
    PlantedFile loose("C:\\found.txt", "lost clusters");
    PlantedFolder fragments("C:\\found.000");
    PlantedFile chained(fragments.Path() + "\\file0000.chk", std::string(512, 'f'));
    PlantedFile deeper(fragments.Path() + "\\dir0000\\file0001.chk", std::string(3, 'f'));
    PlantedFile bystander("C:\\" + UniqueName("notfound") + ".txt");

    ScanFoundFiles(context, "C:\\found.*");

    ASSERT_EQ(context.records.size(), 3u);
    for (const PlantedFile* file : {&loose, &chained, &deeper})
        ExpectFileRecord(context.FindItem(file->Path()), 17, file->Path(), file->Path(),
                         file->Path(), "ScanDisk Files", SizeOf(file->Path()));
}

TEST_F(FileCleanup, CookiesAreReportedButNeverTheirIndex)
{
    const std::string cookies = SpecialFolder(CSIDL_COOKIES);
    const std::string stem = UniqueName("qmcookie");
    PlantedFile index(cookies + "\\Index.DAT", "index");
    PlantedFile cookie(cookies + "\\" + stem + "@example.txt", std::string(321, 'k'));
    PlantedFile inSub(cookies + "\\" + stem + "\\low.txt", std::string(45, 'k'));

    ScanCookies(context);

    ExpectFileRecord(context.FindItem(Lowered(cookie.Path())), 19, Lowered(cookie.Path()), "", "",
                     "Cookie", 321.0);
    // Files below the cookie folder count as temporary files.
    ExpectFileRecord(context.FindItem(inSub.Path()), 16, inSub.Path(), inSub.Path(), inSub.Path(),
                     "Windows Temp File", 45.0);
    EXPECT_EQ(context.FindItem(Lowered(index.Path())), nullptr);
    EXPECT_EQ(context.FindItem(index.Path()), nullptr);
    EXPECT_FALSE(Shown(context, Lowered(index.Path())));
}

TEST_F(FileCleanup, BrowserHistoryEntriesAndFilesAreReported)
{
    const std::string url = "Visited: qm@http://example.com/" + UniqueName("page");
    ASSERT_TRUE(CommitUrlCacheEntryA(url.c_str(), nullptr, FILETIME{}, FILETIME{},
                                     URLHISTORY_CACHE_ENTRY, nullptr, 0, nullptr, nullptr));
    const std::string history = SpecialFolder(CSIDL_HISTORY);
    PlantedFile visited(history + "\\" + UniqueName("QmVisited") + ".url", "[InternetShortcut]");
    PlantedFile desktop(history + "\\" + UniqueName("QmSub") + "\\desktop.ini", "[.ShellClassInfo]");

    // Whether the platform lists the entry for the lower-case pattern
    // decides whether it can be reported at all.
    UrlCacheEnumerator probe;
    bool listed = false;
    for (auto* entry = probe.First("visited:"); entry; entry = probe.Next())
        listed = listed || (entry->lpszSourceUrlName && url == entry->lpszSourceUrlName);
    probe.Close();

    ScanBrowserCache(context);
    DeleteUrlCacheEntryA(url.c_str());

    const ProblemRecord* fromCache = nullptr;
    for (const ProblemPtr& record : context.records)
        if (record->valueData == url)
            fromCache = record.get();
    if (listed) {
        ExpectFileRecord(fromCache, 20, fromCache ? fromCache->item : "", "", url, "IE TEMP", 0.0);
        EXPECT_GE(context.steps, 1);
    } else {
        EXPECT_EQ(fromCache, nullptr);
        EXPECT_EQ(context.steps, 0);
    }
    ExpectFileRecord(context.FindItem(Lowered(visited.Path())), 20, Lowered(visited.Path()), "",
                     "IE_FILE", "IE TEMP", 0.0);
    EXPECT_EQ(context.FindItem(Lowered(desktop.Path())), nullptr);
}

TEST_F(FileCleanup, CacheEnumerationGrowsItsRecordForLongEntries)
{
    // A URL longer than the first record buffer makes the platform ask for more.
    const std::string url = "Visited: qm@http://example.com/" + UniqueName("long") + "/" +
                            std::string(6000, 'p');
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
    PlantedFolder folder(TempFolder() + UniqueName("QmAbort"));
    PlantedFile a(folder.Path() + "\\a.tmp");
    PlantedFile b(folder.Path() + "\\sub\\b.tmp");
    PlantedFile c(folder.Path() + "\\c.tmp");
    PlantedFile d(folder.Path() + "\\sub\\d.tmp");

    context.onItem = [](const std::string&) { keepScanning = 0; };
    ScanTempFolder(context, folder.Path());

    EXPECT_EQ(context.records.size(), 1u);
    EXPECT_EQ(context.CallsStartingWith("ShowItem ").size(), 1u);
}
