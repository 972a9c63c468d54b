#include <winsock2.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <map>

#include "resource.h"
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

struct Reply {
    int status = 200;
    std::string body;
    size_t dropAfter = std::string::npos; // the body's bytes sent before the connection closes
};

// One blocking accept loop on the loopback address for the whole test run,
// answering GET requests from `replies` (404 for any other path).
std::map<std::string, Reply> replies;
CRITICAL_SECTION repliesLock;

std::string StartServer()
{
    InitializeCriticalSection(&repliesLock);
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    static SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) || listen(listener, 4) ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size))
        return "";
    new TestThread([] {
        for (SOCKET connection; (connection = accept(listener, nullptr, nullptr)) != INVALID_SOCKET;
             closesocket(connection)) {
            std::string request;
            char piece[1024];
            for (int got; request.find("\r\n\r\n") == std::string::npos &&
                          (got = recv(connection, piece, sizeof(piece), 0)) > 0;)
                request.append(piece, got);
            size_t start = request.find(' ') + 1;
            EnterCriticalSection(&repliesLock);
            auto found = replies.find(request.substr(start, request.find(' ', start) - start));
            Reply reply = found != replies.end() ? found->second : Reply{404, "<html>Not Found</html>"};
            LeaveCriticalSection(&repliesLock);
            std::string answer = "HTTP/1.0 " + std::to_string(reply.status) + " X\r\nContent-Length: " +
                                 std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" +
                                 reply.body.substr(0, reply.dropAfter);
            for (int sent = 0, put = 0; sent < int(answer.size()); sent += put)
                if ((put = send(connection, answer.data() + sent, int(answer.size()) - sent, 0)) <= 0)
                    break;
            shutdown(connection, SD_SEND);
        }
    }); // never joined: the loop lives as long as the process
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

const std::string host = StartServer();

// Answers `path` with `reply` from now on; no path at all clears the table.
void Serve(const std::string& path = "", const Reply& reply = {})
{
    EnterCriticalSection(&repliesLock);
    if (path.empty())
        replies.clear();
    else
        replies[path] = reply;
    LeaveCriticalSection(&repliesLock);
}


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
        put(directory, 0, 8), put(directory, 0, 4), put(directory, archive.size(), 4);
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

} // namespace

// The version page decides what the user is told; a proxy's or portal's
// error page, or no server at all, is no answer of the server.
TEST(UpdateCheck, VersionPageDecidesWhatTheUserIsTold)
{
    ASSERT_NE(host, "");
    SavedSettingsKey savedSettings;
    WriteDefaultSettings();
    const struct {
        const char* server;
        int status;
        const char* page;
        const char* told;
    } cases[] = {
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
        Serve("/updates/quillmoorver.htm", {c.status, c.page});
        MessageCapture boxes(IDNO);
        EXPECT_EQ(RunLiveUpdate(nullptr), 0);
        ASSERT_EQ(boxes.Messages().size(), 1u);
        EXPECT_EQ(boxes.Messages()[0].text, c.told);
        EXPECT_EQ(boxes.Messages()[0].title, "Quillmoor");
    }
    WriteSetting("Update Server", "");
    EXPECT_EQ(UpdateServerAddress(), std::string("http://") + defaultUpdateServer);
}

namespace {

std::string BinFile(const std::string& name)
{
    std::string exe = QuillmoorExe();
    return exe.substr(0, exe.find_last_of('\\') + 1) + name;
}

// Waits for the program's main window (from any process), closes it and
// waits until it is gone; false when none appeared.
bool CloseStartedProgram()
{
    HWND window = nullptr;
    for (int i = 0; i < 300 && !(window = FindWindowA(nullptr, "Quillmoor v8.0")); ++i)
        Sleep(100);
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
        ASSERT_NE(host, "");
        Serve();
        newProgram = ReadFileBytes(QuillmoorExe());
        ASSERT_GT(newProgram.size(), 100000u);
        // The installed program: the same executable with a mark at its end,
        // so that old and new can be told apart.
        oldProgram = newProgram + "installed copy";
        std::ofstream(dest, std::ios::binary) << oldProgram;
    }

    // Runs the updater to its end; the text of its message box, if it showed one.
    std::string RunUpdater(DWORD* exitCode)
    {
        AppProcess updater;
        EXPECT_TRUE(updater.Start("-url \"http://" + host + "/updates/Quillmoor.zip\" -dest \"" + dest + "\"",
                                  BinFile("updater.exe")));
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

// Whatever goes wrong, the installed program stays as it was, the user is
// told, and the installed program starts again.
TEST_F(UpdaterTest, FailedUpdateLeavesTheOldProgramWorking)
{
    std::string good = MakeZip({{"Quillmoor8.exe", newProgram}});
    std::string broken = good.substr(0, good.size() / 2) + std::string(100, 'x') + good.substr(good.size() / 2 + 100);
    const size_t whole = std::string::npos;
    const struct {
        const char* name;
        std::string archive;
        const char* hash;
        size_t dropAfter;
        const char* told;
    } cases[] = {
        {"broken archive", broken, nullptr, whole, "damaged"},
        {"not a zip", "<html><body>portal</body></html>", nullptr, whole, "no zip archive"},
        {"missing file", MakeZip({{"readme.txt", "x"}}), nullptr, whole, "holds no Quillmoor8.exe"},
        {"wrong hash", good, "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", whole, "SHA-256"},
        {"not Quillmoor", MakeZip({{"Quillmoor8.exe", ReadFileBytes(BinFile("updater.exe"))}}), nullptr, whole,
         "not Quillmoor"},
        {"dropped connection", good, nullptr, good.size() / 2, "could not be downloaded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Serve();
        Serve("/updates/Quillmoor.zip", {200, c.archive, c.dropAfter});
        if (c.hash)
            Serve("/updates/Quillmoor.sha256", {200, c.hash});
        DWORD code = 0;
        std::string told = RunUpdater(&code);
        EXPECT_NE(told.find(c.told), std::string::npos) << told;
        EXPECT_EQ(code, 1u);
        EXPECT_TRUE(ReadFileBytes(dest) == oldProgram);
        EXPECT_TRUE(CloseStartedProgram()) << "the old program did not start again";
    }
}

// The whole way: the installed program's "Live Update", the user's yes, the
// program closing, the updater checking the archive against its published
// hash, replacing the program (keeping the old one) and starting the new one.
TEST_F(UpdaterTest, LiveUpdateHandsTheProgramToTheUpdater)
{
    WriteDefaultSettings();
    WriteSetting("Update Server", host);
    Serve("/updates/quillmoorver.htm", {200, "<html><body>8.0</body></html>"});
    std::string archive = MakeZip({{"Quillmoor8.exe", newProgram}, {"readme.txt", "new"}});
    Serve("/updates/Quillmoor.zip", {200, archive});
    // In capitals with the file name after it, as sha256sum writes it.
    std::string published = Sha256Hex(archive);
    for (char& c : published)
        c = char(toupper(c));
    Serve("/updates/Quillmoor.sha256", {200, published + "  Quillmoor.zip\n"});
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

    for (int i = 0; i < 600 && ReadFileBytes(dest) != newProgram; ++i)
        Sleep(100);
    EXPECT_TRUE(ReadFileBytes(dest) == newProgram);
    EXPECT_TRUE(ReadFileBytes(dest + ".bak") == oldProgram);
    EXPECT_TRUE(CloseStartedProgram()) << "the new program did not start";
}
