#include <winsock2.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <map>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "resource.h"
#include "settings/PreferencesDialog.h"
#include "settings/Settings.h"
#include "settings/UpdateCheck.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/TestThread.h"
#include "support/UiDriver.h"
#include "updater/Sha256.h"

namespace {

// With `dropAfter`, the connection closes after that many bytes of the body.
struct Reply { int status = 200; std::string body; size_t dropAfter = std::string::npos; };

// One blocking accept loop on the loopback address for the whole run answers
// each path from this table (404 otherwise); tests change it between requests.
std::map<std::string, Reply> replies;

const std::string host = [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    static SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {AF_INET, 0, {{{127, 0, 0, 1}}}, {}}; // any free port
    int size = sizeof(address);
    if (bind(listener, (sockaddr*)&address, size) || listen(listener, 4) ||
        getsockname(listener, (sockaddr*)&address, &size))
        return std::string();
    new TestThread([] {
        for (SOCKET connection; (connection = accept(listener, nullptr, nullptr)) != INVALID_SOCKET;
             closesocket(connection)) {
            std::string request;
            char piece[1024];
            for (int got; request.find("\r\n\r\n") == std::string::npos &&
                          (got = recv(connection, piece, sizeof(piece), 0)) > 0;)
                request.append(piece, got);
            size_t start = request.find(' ') + 1;
            auto found = replies.find(request.substr(start, request.find(' ', start) - start));
            Reply reply = found != replies.end() ? found->second : Reply{404, "Not Found"};
            std::string answer = "HTTP/1.0 " + std::to_string(reply.status) + " X\r\nContent-Length: " +
                                 std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body.substr(0, reply.dropAfter);
            send(connection, answer.data(), int(answer.size()), 0);
        }
    }); // never joined: it ends with the process
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}();

// A zip archive of these files (name, contents), each deflated.
std::string MakeZip(const std::map<std::string, std::string>& files)
{
    auto put = [](std::string& out, unsigned long v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += char(v >> (8 * i) & 0xff);
    };
    std::string archive, directory;
    for (const auto& [name, contents] : files) {
        // A zlib stream is the raw deflate data between a 2-byte head and a 4-byte tail.
        uLongf size = compressBound(uLong(contents.size()));
        std::string packed(size, '\0');
        compress2((Bytef*)&packed[0], &size, (const Bytef*)contents.data(), uLong(contents.size()), 9);
        packed = packed.substr(2, size - 6);
        std::string common; // version, flags, deflated, time, date, crc, sizes, name length, no extra
        put(common, 20, 2), put(common, 0, 2), put(common, 8, 2), put(common, 0, 4);
        put(common, crc32(0, reinterpret_cast<const Bytef*>(contents.data()), uInt(contents.size())), 4);
        put(common, packed.size(), 4), put(common, contents.size(), 4), put(common, name.size(), 2), put(common, 0, 2);
        put(directory, 0x02014b50, 4), put(directory, 20, 2);
        directory += common;
        put(directory, 0, 6), put(directory, 0, 4), put(directory, archive.size(), 4); // comment, disk, attributes
        directory += name;
        put(archive, 0x04034b50, 4);
        archive += common + name + packed;
    }
    std::string end;
    put(end, 0x06054b50, 4), put(end, 0, 4), put(end, files.size(), 2), put(end, files.size(), 2);
    put(end, directory.size(), 4), put(end, archive.size(), 4), put(end, 0, 2);
    return archive + directory + end;
}

const char connectionError[] =
    "Error connecting to Quillmoor servers, please make sure you are connected to the internet";
const char offer[] = "An Update is available, Do you want to download?";

// The version page decides what the user is told; an error page is no answer.
TEST(UpdateCheck, VersionPageDecidesWhatTheUserIsTold)
{
    ASSERT_NE(host, "");
    SavedSettingsKey savedSettings;
    WriteDefaultSettings();
    const struct { const char* server; int status; const char *page, *told; } cases[] = {
        {host.c_str(), 200, "<HTML><BODY>\r\n\r\n  7.1 \r\n\r\n</BODY></HTML>", "Already updated"},
        {host.c_str(), 200, "<html><body>\n8.0\n</body></html>", offer},
        {host.c_str(), 200, "\n 7.1\n", "Already updated"},
        {host.c_str(), 200, "", offer},
        {host.c_str(), 500, "<html><body>7.1</body></html>", connectionError},
        {"127.0.0.1:1", 200, "7.1", connectionError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        WriteSetting("Update Server", c.server);
        replies = {{"/updates/quillmoorver.htm", {c.status, c.page}}};
        MessageCapture boxes(IDNO);
        EXPECT_EQ(RunLiveUpdate(nullptr), 0);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.told});
        EXPECT_EQ(boxes.Messages().at(0).title, "Quillmoor");
    }
    WriteSetting("Update Server", "");
    EXPECT_EQ(UpdateServerAddress(), std::string("http://") + defaultUpdateServer);
}

std::string UpdaterExe() { return TestBinaryFolder() + "\\updater.exe"; }

// Closes the program's main window (of any process) once it shows; false if none did.
bool CloseStartedProgram()
{
    HWND window = nullptr;
    for (int i = 0; i < 300 && !(window = FindWindowA(nullptr, "Quillmoor v8.0")); ++i)
        Sleep(100);
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    bool ended = process && PostMessageA(window, WM_COMMAND, IDCANCEL, 0) &&
                 WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
    return CloseHandle(process), ended;
}

struct UpdaterTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_NE(host, "");
        newProgram = ReadFileBytes(QuillmoorExe());
        ASSERT_GT(newProgram.size(), 100000u);
        // The installed program has a mark at its end, so old and new differ.
        oldProgram = newProgram + "installed copy";
        std::ofstream(dest, std::ios::binary) << oldProgram;
    }

    SavedSettingsKey savedSettings; // the started program's first-start settings go again
    PlantedFolder folder{"C:\\QuillmoorUpdaterTest"};
    std::string dest = "C:\\QuillmoorUpdaterTest\\Quillmoor8.exe";
    std::string newProgram, oldProgram;
};

} // namespace

TEST(Sha256, KnownDigests)
{
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(std::string(1000, 'a')), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
}

// Whatever goes wrong, the user is told and the old program stays and starts again.
TEST_F(UpdaterTest, FailedUpdateLeavesTheOldProgramWorking)
{
    std::string good = MakeZip({{"Quillmoor8.exe", newProgram}});
    std::string broken = good.substr(0, good.size() / 2) + std::string(100, 'x') + good.substr(good.size() / 2 + 100);
    const size_t whole = std::string::npos;
    const struct { std::string archive; const char* hash; size_t dropAfter; const char* told; } cases[] = {
        {broken, nullptr, whole, "damaged"},
        {"<html><body>portal</body></html>", nullptr, whole, "no zip archive"},
        {MakeZip({{"readme.txt", "x"}}), nullptr, whole, "holds no Quillmoor8.exe"},
        {good, "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", whole, "SHA-256"},
        {MakeZip({{"Quillmoor8.exe", ReadFileBytes(UpdaterExe())}}), nullptr, whole, "not Quillmoor"},
        {good, nullptr, good.size() / 2, "could not be downloaded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        replies = {{"/updates/Quillmoor.zip", {200, c.archive, c.dropAfter}}};
        if (c.hash)
            replies["/updates/Quillmoor.sha256"] = {200, c.hash};
        AppProcess updater;
        EXPECT_TRUE(updater.Start("-url \"http://" + host + "/updates/Quillmoor.zip\" -dest \"" + dest + "\"",
                                  UpdaterExe()));
        // It ends by itself after a success, or waits on its message box.
        std::string told;
        DWORD code = STILL_ACTIVE;
        for (int i = 0; i < 300 && code == STILL_ACTIVE; code = updater.WaitForExit(200), ++i) {
            MessageBoxSeen box = WaitForMessageBox(updater.Id(), 200);
            if (box.window)
                told = box.text, PressButton(box.window, IDOK);
        }
        EXPECT_NE(told.find(c.told), std::string::npos) << told;
        EXPECT_EQ(code, 1u);
        EXPECT_TRUE(ReadFileBytes(dest) == oldProgram);
        EXPECT_TRUE(CloseStartedProgram()) << "the old program did not start again";
    }
}

// "Live Update" and yes: the program closes, the updater checks the archive's
// published hash, replaces the program (keeping the old one) and starts it.
TEST_F(UpdaterTest, LiveUpdateHandsTheProgramToTheUpdater)
{
    WriteDefaultSettings();
    WriteSetting("Update Server", host);
    std::string archive = MakeZip({{"Quillmoor8.exe", newProgram}, {"readme.txt", "new"}});
    // The hash in capitals with the file name after it, as sha256sum writes it.
    std::string published = Sha256Hex(archive);
    CharUpperA(&published[0]);
    replies = {{"/updates/quillmoorver.htm", {200, "<html><body>8.0</body></html>"}},
               {"/updates/Quillmoor.zip", {200, archive}},
               {"/updates/Quillmoor.sha256", {200, published + "  Quillmoor.zip\n"}}};
    ASSERT_TRUE(CopyFileA(UpdaterExe().c_str(), (folder.Path() + "\\updater.exe").c_str(), FALSE));

    AppProcess program;
    ASSERT_TRUE(program.Start("", dest));
    HWND window = WaitForWindow(program.Id(), "Quillmoor v8.0", 30000);
    ASSERT_NE(window, nullptr);
    Click(Control(window, IDC_LIVE_UPDATE));
    MessageBoxSeen box = WaitForMessageBox(program.Id(), 30000);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, offer);
    PressButton(box.window, IDYES);
    EXPECT_NE(program.WaitForExit(30000), STILL_ACTIVE);

    for (int i = 0; i < 600 && ReadFileBytes(dest) != newProgram; ++i)
        Sleep(100);
    EXPECT_TRUE(ReadFileBytes(dest) == newProgram);
    EXPECT_TRUE(ReadFileBytes(dest + ".bak") == oldProgram);
    EXPECT_TRUE(CloseStartedProgram()) << "the new program did not start";
}

// ---- the preferences dialogs ---------------------------------------------------

namespace {

std::string Setting(const char* name) { std::string text; return ReadSetting(name, text) ? text : "<missing>"; }

// Clicks the button (none for 0) and handles what that posted.
void Press(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

struct PreferencesTest : ::testing::Test {
    void SetUp() override { WriteDefaultSettings(), RemoveStartupRunValue("Quillmoor8.exe"); }
    void TearDown() override { RemoveStartupRunValue("Quillmoor8.exe"); }

    SavedSettingsKey savedSettings;
    PreferencesDialog preferences;
    PlantedFolder oldLog{"C:\\QuillmoorPrefsTest\\old logs"};
    PlantedFolder newLog{"C:\\QuillmoorPrefsTest\\new logs"};
};

} // namespace

// Each flag opens as stored and is saved flipped, the startup entry following
// "Run at windows startup"; the log folder is saved only with logging on at OK.
TEST_F(PreferencesTest, EveryFlagRoundTripsAndTheStartupEntryFollows)
{
    const struct { int id; const char* setting; } boxes[] = {
        {IDC_PREF_AUTORUN, "AutoRun"}, {IDC_PREF_NO_BACKUP, "NoAutoBackup"},
        {IDC_PREF_CHECK_ALL, "CheckAllItems"}, {IDC_PREF_GENERATE_LOG, "Generate Log"}};
    const struct { const char* flags; bool pressLog, keepsOldFolder; } cases[] = {
        {"1011", true, true}, {"0100", true, false}, {"1011", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        for (int i = 0; i < 4; ++i)
            WriteSetting(boxes[i].setting, std::string(1, c.flags[i]));
        WriteSetting("Log File Path", oldLog.Path());
        HWND dialog = preferences.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(IsChecked(GetDlgItem(dialog, boxes[i].id)), c.flags[i] == '1') << boxes[i].setting;
            if (i < 3 || c.pressLog)
                Press(dialog, boxes[i].id);
        }
        // With logging off at opening, the folder stays out of reach.
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_PREF_LOG_PATH)) != 0, c.flags[3] == '1');
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_PREF_BROWSE)) != 0, c.flags[3] == '1');
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PREF_LOG_PATH)), oldLog.Path());
        SetDlgItemTextA(dialog, IDC_PREF_LOG_PATH, newLog.Path().c_str());
        Press(dialog, IDOK);
        EXPECT_FALSE(IsWindow(dialog));

        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Setting(boxes[i].setting)[0], c.flags[i] ^ (i < 3 || c.pressLog)) << boxes[i].setting;
        EXPECT_EQ(Setting("Log File Path"), (c.keepsOldFolder ? oldLog : newLog).Path());
        EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                "Quillmoor8.exe"),
                  c.flags[0] == '1' ? "" : GetProgramFolder() + "\\Quillmoor8.exe");
    }
}

// A missing log folder keeps the dialog open and saves nothing, logging or not;
// "Show Ignore List" opens the ignore list over Preferences, modally.
TEST_F(PreferencesTest, InvalidLogFilePathKeepsTheDialogOpenAndTheIgnoreListOpensOverIt)
{
    for (const char* logging : {"1", "0"}) {
        WriteSetting("Generate Log", logging);
        WriteSetting("Log File Path", "C:\\QuillmoorPrefsTest\\no such folder");
        MessageCapture boxes;
        HWND dialog = preferences.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        Press(dialog, IDC_PREF_CHECK_ALL);
        Press(dialog, IDOK);
        ASSERT_TRUE(IsWindow(dialog));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Invalid Log File Path"});
        if (logging[0] == '0') {
            ShowWindow(dialog, SW_SHOW), Press(dialog, 0), SaveScreenshot("prefs-preferences", dialog);
            HWND owner = nullptr;
            bool preferencesEnabled = true;
            TestThread closer([&] {
                HWND list = WaitForWindow(GetCurrentProcessId(), "Ignore List", 30000);
                owner = GetWindow(list, GW_OWNER), preferencesEnabled = IsWindowEnabled(dialog) != 0;
                PostMessageA(list, WM_COMMAND, IDCANCEL, 0);
            });
            Press(dialog, IDC_PREF_IGNORE_LIST); // returns when the list is closed
            closer.Join();
            EXPECT_EQ(owner, dialog);
            EXPECT_FALSE(preferencesEnabled);
        }
        Press(dialog, IDCANCEL);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(Setting("CheckAllItems"), "1");
    }
}

// Save writes each box as shown ("yes" is off); Close writes nothing.
TEST_F(PreferencesTest, SelectSectionsSavesEveryBoxAndCloseNothing)
{
    const struct { int id; const char *setting, *stored, *saved; } boxes[] = {
        {IDC_SEL_COMPLETE, "Complete Registry Scan", "yes", "1"},
        {IDC_SEL_ACTIVEX, "ActiveX/Classes Section", "1", "0"}, {IDC_SEL_MRU, "MRULocations", "yes", "1"}};
    for (const auto& box : boxes)
        WriteSetting(box.setting, box.stored);
    for (int save : {0, 1}) {
        SelectSectionsDialog sections;
        HWND dialog = sections.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        for (const auto& box : boxes) {
            EXPECT_EQ(IsChecked(GetDlgItem(dialog, box.id)), box.saved[0] == '0') << box.setting;
            Press(dialog, box.id);
        }
        if (!save)
            ShowWindow(dialog, SW_SHOW), Press(dialog, 0), SaveScreenshot("prefs-sections", dialog);
        Press(dialog, save ? IDOK : IDCANCEL);
        EXPECT_FALSE(IsWindow(dialog));
        for (const auto& box : boxes)
            EXPECT_EQ(Setting(box.setting), save ? box.saved : box.stored) << box.setting;
    }
}
