#include "settings/UpdateCheck.h"

#include <shellapi.h>
#include <wininet.h>

#include "core/AppMessage.h"
#include "core/HttpGet.h"
#include "core/PathCheck.h"
#include "core/Text.h"
#include "settings/Settings.h"

const char programVersionText[] = "7.1";
const char defaultUpdateServer[] = "update.quillmoor.com";

namespace {

const char versionPagePath[] = "/updates/quillmoorver.htm";
const char archivePath[] = "/updates/Quillmoor.zip";
const char helpPath[] = "/help";
const char messageTitle[] = "Quillmoor";
const char connectionErrorText[] =
    "Error connecting to Quillmoor servers, please make sure you are connected to the internet";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

} // namespace

std::string UpdateServerAddress()
{
    std::string host;
    if (!ReadSetting("Update Server", host) || host.empty())
        host = defaultUpdateServer;
    return "http://" + host;
}

std::string ExtractBodyText(const std::string& page)
{
    std::string text = Lowered(page);
    size_t open = text.find("<body>");
    if (open != std::string::npos) {
        text.erase(0, open + 6);
        size_t close = text.find("</body>");
        if (close != std::string::npos)
            text.erase(close);
    }
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

int FetchPageText(const std::string& address, std::string& text, bool extractBody)
{
    if (HttpGet(address, INTERNET_FLAG_NO_CACHE_WRITE, text) != HttpResult::Done) {
        text.clear();
        return 0;
    }
    if (extractBody)
        text = ExtractBodyText(text);
    return 1;
}

int RunLiveUpdate(HWND owner)
{
    std::string server = UpdateServerAddress();
    std::string version;
    if (!FetchPageText(server + versionPagePath, version, true)) {
        messageBoxFunction(owner, connectionErrorText, messageTitle, MB_OK);
        return 0;
    }
    if (lstrcmpiA(version.c_str(), programVersionText) == 0) {
        messageBoxFunction(owner, "Already updated", messageTitle, MB_OK);
        return 0;
    }
    if (messageBoxFunction(owner, "An Update is available, Do you want to download?", messageTitle,
                           MB_YESNO) != IDYES)
        return 0;
    std::string folder = GetProgramFolder();
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    std::string updater = "\"" + folder + "\\updater.exe\"";
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string parameters = "-url \"" + server + archivePath + "\" -dest \"" + self + "\"";
    // A missing updater is not reported: the program closes all the same.
    ShellExecuteA(owner, "open", updater.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
    return 1;
}

void OpenHelpPage(HWND owner)
{
    std::string address = UpdateServerAddress() + helpPath;
    ShellExecuteA(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
