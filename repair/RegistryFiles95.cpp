// The 95 family's registry is files: a backup copies them, a restore puts
// the copies beside them and has wininit.ini rename them at the next start.

#include <cstdio>

#include "core/AppMessage.h"
#include "core/Registry.h"
#include "repair/FullBackup.h"

namespace {

std::string WindowsFolder()
{
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, sizeof(folder));
    std::string path = folder;
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

bool CopyWithPlainAttributes(const std::string& from, const std::string& to)
{
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE))
        return false;
    SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return true;
}

std::string ShortPath(const std::string& path)
{
    char buffer[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof(buffer));
    return length && length < sizeof(buffer) ? std::string(buffer, length) : path;
}

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string LineTarget(const std::string& line)
{
    return Trimmed(line.substr(0, line.find('=')));
}

bool ReadWholeFile(const std::string& path, std::string& text)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, count);
    fclose(file);
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& text)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

} // namespace

std::string FullBackup::ProfileFolder95()
{
    std::string appData = ReadRegString(
        HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        "AppData");
    size_t slash = appData.rfind('\\');
    return slash == std::string::npos ? "" : appData.substr(0, slash);
}

int FullBackup::CopyRegistryFiles()
{
    std::string windows = WindowsFolder();
    if (!CopyWithPlainAttributes(windows + "\\system.dat", scratch + "\\system.fix"))
        return 0;
    std::string profile = ProfileFolder95();
    if (!profile.empty() && lstrcmpiA(profile.c_str(), windows.c_str()) != 0)
        CopyWithPlainAttributes(profile + "\\user.dat", scratch + "\\user.fix");
    CopyWithPlainAttributes(windows + "\\user.dat", scratch + "\\wuser.fix");
    CopyWithPlainAttributes(windows + "\\classes.dat", scratch + "\\classes.fix");
    return 1;
}

std::string FullBackup::MergeRenameLines(const std::string& existing,
                                         const std::vector<std::string>& lines)
{
    std::vector<std::string> kept;
    size_t start = 0;
    while (start < existing.size()) {
        size_t end = existing.find('\n', start);
        if (end == std::string::npos)
            end = existing.size();
        std::string line = existing.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        kept.push_back(line);
        start = end + 1;
    }

    std::string merged;
    bool inRename = false, placed = false;
    for (const std::string& line : kept) {
        std::string trimmed = Trimmed(line);
        if (!trimmed.empty() && trimmed[0] == '[')
            inRename = lstrcmpiA(trimmed.c_str(), "[Rename]") == 0;
        if (inRename && trimmed.find('=') != std::string::npos) {
            // A rename queued earlier for a file restored now would undo it.
            bool replaced = false;
            for (const std::string& ours : lines)
                replaced = replaced || lstrcmpiA(LineTarget(ours).c_str(), LineTarget(line).c_str()) == 0;
            if (replaced)
                continue;
        }
        merged += line + "\r\n";
        if (inRename && !placed && trimmed[0] == '[') {
            for (const std::string& ours : lines)
                merged += ours + "\r\n";
            placed = true;
        }
    }
    if (!placed) {
        merged += "[Rename]\r\n";
        for (const std::string& ours : lines)
            merged += ours + "\r\n";
    }
    return merged;
}

int FullBackup::RestoreRegistryFiles()
{
    std::string windows = WindowsFolder();
    std::string profile = ProfileFolder95();
    if (lstrcmpiA(profile.c_str(), windows.c_str()) == 0)
        profile.clear();
    struct Copy {
        const char* fix;
        std::string folder;
        const char* dat;
    };
    // Each copy goes back to the folder it came from, beside the file it replaces.
    const Copy copies[] = {{"system.fix", windows, "system.dat"},
                           {"user.fix", profile, "user.dat"},
                           {"wuser.fix", windows, "user.dat"},
                           {"classes.fix", windows, "classes.dat"}};

    const std::string notRestored = " The registry was not restored.";
    if (GetFileAttributesA((scratch + "\\system.fix").c_str()) == INVALID_FILE_ATTRIBUTES) {
        ShowAppMessage(nullptr, "The backup holds no system.dat." + notRestored);
        return 0;
    }
    std::vector<std::string> placed, lines;
    for (const Copy& copy : copies) {
        std::string from = scratch + "\\" + copy.fix;
        if (copy.folder.empty() || GetFileAttributesA(from.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        std::string to = copy.folder + "\\" + copy.fix;
        if (!CopyWithPlainAttributes(from, to)) {
            for (const std::string& path : placed)
                DeleteFileA(path.c_str());
            ShowAppMessage(nullptr, from + " could not be copied to " + to + "." + notRestored);
            return 0;
        }
        placed.push_back(to);
        lines.push_back(ShortPath(copy.folder + "\\" + copy.dat) + "=" + ShortPath(to));
    }

    std::string wininit = windows + "\\wininit.ini";
    std::string text;
    ReadWholeFile(wininit, text);
    if (!WriteWholeFile(wininit, MergeRenameLines(text, lines))) {
        for (const std::string& path : placed)
            DeleteFileA(path.c_str());
        ShowAppMessage(nullptr, wininit + " could not be written." + notRestored);
        return 0;
    }
    return 1;
}
