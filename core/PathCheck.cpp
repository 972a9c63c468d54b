#include "core/PathCheck.h"

#include <shlwapi.h>

#include <cstring>

#include "core/FileFacts.h"
#include "core/Registry.h"
#include "core/Text.h"

namespace {

// Looks a bare file name up on the search path, the extra folder first when
// there is one. Names with a folder part are never found this way.
bool FoundOnSearchPath(const std::string& name, const std::string& extraFolder)
{
    char buffer[MAX_PATH];
    if (name.size() >= sizeof(buffer))
        return false;
    strcpy(buffer, name.c_str());
    if (extraFolder.empty())
        return PathFindOnPathA(buffer, nullptr) != FALSE;
    const char* folders[] = {extraFolder.c_str(), nullptr};
    return PathFindOnPathA(buffer, folders) != FALSE;
}

bool PathExists(const std::string& path)
{
    return FileAttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

LONG OpenClassKey(const std::string& name)
{
    HKEY key = nullptr;
    LONG rc = regApi.RegOpenKeyExA(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_SUCCESS)
        RegKey owner(key);
    return rc;
}

} // namespace

std::string Expanded(const std::string& raw)
{
    char buffer[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA(raw.c_str(), buffer, sizeof(buffer));
    if (length == 0 || length > sizeof(buffer))
        return raw;
    return buffer;
}

int IsValidPath(const std::string& raw)
{
    const std::string expanded = Expanded(raw);
    std::string path = expanded;
    if (path.size() < 3)
        return 0;

    // Removable, network and CD drives come and go: never judged.
    if (path[1] == ':' && DriveTypeOf(path.substr(0, 3)) != DRIVE_FIXED)
        return 1;

    ReplaceAll(path, "\\.\\", "\\");

    // URLs and network paths are not ours to judge.
    if (path.find("//") != std::string::npos || path.find("\\\\") != std::string::npos)
        return 1;

    // Commands run through the system's host programs name their own targets.
    std::string lowered = Lowered(path);
    if (lowered.find("rundll32") != std::string::npos ||
        lowered.find("msiexec") != std::string::npos ||
        lowered.find("regsvr32") != std::string::npos)
        return 1;

    if (FileOrProgramExists(path))
        return 1;

    // A folder written with a trailing backslash (or "\x" left over).
    const std::string saved = path;
    size_t length = saved.size();
    if (length >= 2 && saved[length - 2] == '\\') {
        if (FileOrProgramExists(saved.substr(0, length - 2)))
            return 1;
    } else if (length >= 1 && saved[length - 1] == '\\') {
        if (FileOrProgramExists(saved.substr(0, length - 1)))
            return 1;
    }

    size_t slash = saved.rfind('\\');
    if (slash != std::string::npos) {
        std::string parent = saved.substr(0, slash);
        while (!parent.empty() && parent.back() == '\\')
            parent.pop_back();
        // An existing folder whose file is gone is broken; anything else may
        // still be a file with arguments glued on, or a program on the path.
        if (!IsDirectory(parent)) {
            if (PathExists(parent))
                return 1;
            if (FoundOnSearchPath(expanded, ""))
                return 1;
        }
    }

    // A 32-bit program on 64-bit Windows sees its own system folder under
    // this name; what it registered lives there.
    if (IsWow64() == 1) {
        std::string redirected = saved;
        ReplaceAll(redirected, "system32", "SysWOW64");
        return FileOrProgramExists(redirected);
    }
    return 0;
}

int FileOrProgramExists(const std::string& text)
{
    // A file followed by a comma and an icon or resource index.
    if (text.find(',') != std::string::npos)
        return 1;

    std::string s = text;
    // A second drive-qualified path in a command line starts a new word.
    size_t colon = s.find(':', 4);
    if (colon != std::string::npos)
        s.insert(colon, " ");

    for (char c : {'"', ';', '|', '*', '?', '<', '>', '^', '/'})
        for (char& ch : s)
            if (ch == c)
                ch = ' ';
    const char* blanks = " \t\r\n\v\f";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        s.clear();
    else
        s = s.substr(first, s.find_last_not_of(blanks) - first + 1);

    const std::string& autoCad = AutoCadFolder();
    size_t blank = s.find(' ');
    if (blank == std::string::npos) {
        if (FoundOnSearchPath(s, autoCad) || PathExists(s))
            return 1;
        return FoundOnSearchPath(s, "");
    }

    // An unquoted path with blanks followed by arguments: grow the candidate
    // one word at a time until it names something.
    std::string candidate = s.substr(0, blank);
    if (FoundOnSearchPath(candidate, autoCad) || PathExists(candidate))
        return 1;
    for (blank = s.find(' ', blank + 1); blank != std::string::npos;
         blank = s.find(' ', blank + 1)) {
        candidate = s.substr(0, blank);
        if (FoundOnSearchPath(candidate, "") || PathExists(candidate))
            return 1;
    }
    return PathExists(s);
}

int IsValidProgId(const std::string& text)
{
    if (text.empty())
        return 0;
    if (text.find("rundll32") != std::string::npos)
        return 1;
    // Only "no such key" counts against it; a key we may not open exists.
    if (OpenClassKey(text) != ERROR_FILE_NOT_FOUND)
        return 1;

    // "Word.Document.8" is registered as "Word.Document" as well.
    std::string stripped = text;
    for (char digit = '0'; digit <= '9'; ++digit)
        while (!stripped.empty() && (stripped.back() == '.' || stripped.back() == digit))
            stripped.pop_back();
    if (OpenClassKey(stripped) != ERROR_FILE_NOT_FOUND)
        return 1;

    // Some registrations name a file instead of an identifier.
    return IsValidPath(stripped);
}

int IsDirectory(const std::string& path)
{
    DWORD attributes = FileAttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
