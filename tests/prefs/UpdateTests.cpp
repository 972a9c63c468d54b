#include <gtest/gtest.h>

#include "LocalHttpServer.h"
#include "resource.h"
#include "settings/Settings.h"
#include "settings/UpdateCheck.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"
#include "updater/Sha256.h"

namespace {

const char connectionError[] =
    "Error connecting to Quillmoor servers, please make sure you are connected to the internet";
const char offer[] = "An Update is available, Do you want to download?";

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteDefaultSettings();
        ASSERT_NE(server.Host(), "");
        WriteSetting("Update Server", server.Host());
    }
    SavedSettingsKey savedSettings;
    LocalHttpServer server;
};

} // namespace

TEST_F(UpdateCheckTest, VersionPageDecidesWhatTheUserIsTold)
{
    const struct {
        int status;
        const char* page;
        const char* told;
        const char* body; // what FetchPageText reads from the page
    } cases[] = {
        {200, "<HTML><BODY>\r\n\r\n  7.1 \r\n\r\n</BODY></HTML>", "Already updated", "7.1"},
        {200, "<html><body>\n8.0\n</body></html>", offer, "8.0"},
        {200, "\n 7.1\n", "Already updated", "7.1"},
        {200, "", offer, ""},
        // A proxy's or portal's error page is no answer of the server.
        {404, "<html><body>Not Found</body></html>", connectionError, ""},
        {500, "<html><body>7.1</body></html>", connectionError, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        HttpReply reply;
        reply.status = c.status;
        reply.body = c.page;
        server.Set("/updates/quillmoorver.htm", reply);
        std::string body = "unchanged";
        EXPECT_EQ(FetchPageText("http://" + server.Host() + "/updates/quillmoorver.htm", body, true),
                  c.status == 200);
        EXPECT_EQ(body, c.body);

        MessageCapture boxes(IDNO);
        EXPECT_EQ(RunLiveUpdate(nullptr), 0);
        ASSERT_EQ(boxes.Messages().size(), 1u);
        EXPECT_EQ(boxes.Messages()[0].text, c.told);
        EXPECT_EQ(boxes.Messages()[0].title, "Quillmoor");
    }
}

TEST_F(UpdateCheckTest, NoServerIsAConnectionError)
{
    WriteSetting("Update Server", "127.0.0.1:1");
    MessageCapture boxes(IDYES);
    EXPECT_EQ(RunLiveUpdate(nullptr), 0);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{connectionError});
}

TEST_F(UpdateCheckTest, ServerIsTheBuiltInHostUnlessTheSettingsNameOne)
{
    EXPECT_EQ(UpdateServerAddress(), "http://" + server.Host());
    WriteSetting("Update Server", "");
    EXPECT_EQ(UpdateServerAddress(), std::string("http://") + defaultUpdateServer);
}

// ---- the updater ---------------------------------------------------------------

namespace {

std::string BinFile(const std::string& name)
{
    std::string exe = QuillmoorExe();
    return exe.substr(0, exe.find_last_of('\\') + 1) + name;
}

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char piece[65536];
    DWORD read = 0;
    while (ReadFile(file, piece, sizeof(piece), &read, nullptr) && read)
        bytes.append(piece, read);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// Waits for the program's main window (from any process), closes it and
// waits until it is gone; false when none appeared.
bool CloseStartedProgram()
{
    HWND window = nullptr;
    for (int i = 0; i < 300 && !window; ++i) {
        window = FindWindowA(nullptr, "Quillmoor v8.0");
        if (!window)
            Sleep(100);
    }
    if (!window)
        return false;
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    bool ended = process && WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
    if (process)
        CloseHandle(process);
    return ended;
}

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(server.Host(), "");
        newProgram = ReadBytes(QuillmoorExe());
        ASSERT_GT(newProgram.size(), 100000u);
        // The installed program: the same executable with a mark at its end,
        // so that old and new can be told apart.
        oldProgram = newProgram + "installed copy";
        WriteBytes(dest, oldProgram);
    }

    // Runs the updater to its end; the text of its message box, if it showed one.
    std::string RunUpdater(DWORD* exitCode, bool screenshot = false, HANDLE hold = nullptr)
    {
        AppProcess updater;
        EXPECT_TRUE(updater.Start("-url \"http://" + server.Host() + "/updates/Quillmoor.zip\" -dest \"" +
                                      dest + "\"",
                                  BinFile("updater.exe")));
        if (screenshot) {
            HWND window = WaitForWindow(updater.Id(), "Quillmoor Update", 30000);
            EXPECT_NE(window, nullptr);
            Sleep(1000);
            EXPECT_NE(SaveScreenshot("prefs-updater", window), "");
            SetEvent(hold);
        }
        // It ends by itself after a success, or waits on its message box.
        std::string told;
        DWORD code = STILL_ACTIVE;
        for (int i = 0; i < 300 && code == STILL_ACTIVE; ++i) {
            MessageBoxSeen box = WaitForMessageBox(updater.Id(), 200);
            if (box.window) {
                told = box.text;
                PressButton(box.window, IDOK);
            }
            code = updater.WaitForExit(200);
        }
        *exitCode = code;
        return told;
    }

    SavedSettingsKey savedSettings; // the started program's first-start settings go again
    LocalHttpServer server;
    PlantedFolder folder{"C:\\QuillmoorUpdaterTest"};
    std::string dest = "C:\\QuillmoorUpdaterTest\\Quillmoor8.exe";
    std::string newProgram, oldProgram;
};

void Publish(LocalHttpServer& server, const std::string& archive, HANDLE hold = nullptr)
{
    HttpReply reply;
    reply.body = archive;
    reply.holdHalfway = hold;
    server.Set("/updates/Quillmoor.zip", reply);
}

} // namespace

TEST(Sha256, KnownDigests)
{
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(std::string(1000, 'a')),
              "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
}

TEST_F(UpdaterTest, GoodArchiveReplacesTheProgramAndStartsIt)
{
    std::string archive = MakeZip({{"Quillmoor8.exe", newProgram}, {"readme.txt", "new"}});
    HANDLE hold = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Publish(server, archive, hold);
    HttpReply hash;
    // A published hash in capitals with the file name after it, as sha256sum writes it.
    std::string published = Sha256Hex(archive);
    for (char& c : published)
        c = char(toupper(c));
    hash.body = published + "  Quillmoor.zip\n";
    server.Set("/updates/Quillmoor.sha256", hash);

    DWORD code = 0;
    EXPECT_EQ(RunUpdater(&code, true, hold), "");
    CloseHandle(hold);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(ReadBytes(dest) == newProgram);
    EXPECT_TRUE(ReadBytes(dest + ".bak") == oldProgram);
    EXPECT_TRUE(CloseStartedProgram()) << "the new program did not start";
}

// Whatever goes wrong, the installed program stays as it was, the user is
// told, and the installed program starts again.
TEST_F(UpdaterTest, FailedUpdateLeavesTheOldProgramWorking)
{
    std::string good = MakeZip({{"Quillmoor8.exe", newProgram}});
    std::string broken = good.substr(0, good.size() / 2) + std::string(100, 'x') + good.substr(good.size() / 2 + 100);
    const struct {
        const char* name;
        std::string archive;
        const char* hash;
        size_t dropAfter;
        const char* told;
    } cases[] = {
        {"broken archive", broken, nullptr, std::string::npos, "damaged"},
        {"not a zip", "<html><body>portal</body></html>", nullptr, std::string::npos, "no zip archive"},
        {"missing file", MakeZip({{"readme.txt", "x"}}), nullptr, std::string::npos, "holds no Quillmoor8.exe"},
        {"wrong hash", good, "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", std::string::npos,
         "SHA-256"},
        {"not Quillmoor", MakeZip({{"Quillmoor8.exe", ReadBytes(BinFile("updater.exe"))}}), nullptr,
         std::string::npos, "not Quillmoor"},
        {"dropped connection", good, nullptr, good.size() / 2, "could not be downloaded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.Clear();
        HttpReply reply;
        reply.body = c.archive;
        reply.dropAfter = c.dropAfter;
        server.Set("/updates/Quillmoor.zip", reply);
        if (c.hash) {
            HttpReply hash;
            hash.body = c.hash;
            server.Set("/updates/Quillmoor.sha256", hash);
        }
        DWORD code = 0;
        std::string told = RunUpdater(&code);
        EXPECT_NE(told.find(c.told), std::string::npos) << told;
        EXPECT_EQ(code, 1u);
        EXPECT_TRUE(ReadBytes(dest) == oldProgram);
        EXPECT_TRUE(CloseStartedProgram()) << "the old program did not start again";
    }
}

// The whole way: the installed program's "Live Update", the user's yes, the
// program closing, the updater replacing it and starting the new one.
TEST_F(UpdaterTest, LiveUpdateHandsTheProgramToTheUpdater)
{
    WriteDefaultSettings();
    WriteSetting("Update Server", server.Host());
    HttpReply page;
    page.body = "<html><body>8.0</body></html>";
    server.Set("/updates/quillmoorver.htm", page);
    Publish(server, MakeZip({{"Quillmoor8.exe", newProgram}}));
    ASSERT_TRUE(CopyFileA(BinFile("updater.exe").c_str(), "C:\\QuillmoorUpdaterTest\\updater.exe", FALSE));

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

    bool replaced = false;
    for (int i = 0; i < 600 && !replaced; ++i) {
        replaced = ReadBytes(dest) == newProgram;
        if (!replaced)
            Sleep(100);
    }
    EXPECT_TRUE(replaced);
    EXPECT_TRUE(CloseStartedProgram()) << "the new program did not start";
}
