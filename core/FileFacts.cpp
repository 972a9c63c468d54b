#include "core/FileFacts.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Long enough to spare a walk thousands of questions, short enough that a
// disk unplugged or a file deleted during a scan is soon seen as gone.
constexpr DWORD rememberMs = 1000;
// Past this many remembered paths the stale ones are dropped; the next pruning
// waits until the memory has doubled again, so pruning stays cheap.
constexpr size_t pruneAt = 4096;

struct KnownType {
    bool known = false;
    UINT type = DRIVE_UNKNOWN;
    DWORD askedAt = 0;
};

struct KnownAttributes {
    DWORD attributes;
    DWORD askedAt;
};

struct Memory {
    int openMemos = 0;
    const FileFactsMemo* innermost = nullptr;
    size_t pruneThreshold = pruneAt;
    std::unordered_map<std::string, KnownAttributes> paths;
};

thread_local Memory memory;

// As PathFileExistsA asks: an empty removable drive must not bring up the
// system's "insert a disk" box.
DWORD AskAttributes(const std::string& path)
{
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    DWORD attributes = GetFileAttributesA(path.c_str());
    SetErrorMode(previous);
    return attributes;
}

// Lower-case ASCII letters only: the file system folds at least these, so the
// text names the same file either way.
std::string LowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void Prune(DWORD now)
{
    for (auto it = memory.paths.begin(); it != memory.paths.end();)
        it = now - it->second.askedAt < rememberMs ? std::next(it) : memory.paths.erase(it);
}

} // namespace

UINT DriveTypeOf(const std::string& root)
{
    char letter = root.size() == 3 && root[1] == ':' && root[2] == '\\' ? root[0] : 0;
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z')
        return GetDriveTypeA(root.c_str());

    thread_local KnownType drives[26];
    KnownType& drive = drives[letter - 'A'];
    DWORD now = GetTickCount();
    if (!drive.known || now - drive.askedAt >= rememberMs) {
        drive.type = GetDriveTypeA(root.c_str());
        drive.askedAt = now;
        drive.known = true;
    }
    return drive.type;
}

// The path as the memo's text writes it, letter case included, when the text
// holds it; the path itself otherwise. A file system that matches names
// exactly first and without regard to case only after (Wine's) answers the
// written form much faster than a lowered copy of it.
std::string FileFactsMemo::WrittenForm(const std::string& path) const
{
    if (loweredText.empty())
        return path;
    size_t at = loweredText.find(LowerAscii(path));
    return at == std::string::npos ? path : writtenText.substr(at, path.size());
}

DWORD FileAttributesOf(const std::string& path)
{
    if (memory.openMemos == 0)
        return AskAttributes(path);
    DWORD now = GetTickCount();
    auto it = memory.paths.find(path);
    if (it != memory.paths.end() && now - it->second.askedAt < rememberMs)
        return it->second.attributes;
    if (memory.paths.size() >= memory.pruneThreshold) {
        Prune(now);
        memory.pruneThreshold = std::max(pruneAt, 2 * memory.paths.size());
    }
    DWORD attributes = AskAttributes(memory.innermost->WrittenForm(path));
    memory.paths[path] = {attributes, now};
    return attributes;
}

FileFactsMemo::FileFactsMemo(const std::string& writtenText)
    : writtenText(writtenText), loweredText(LowerAscii(writtenText)), outer(memory.innermost)
{
    ++memory.openMemos;
    memory.innermost = this;
}

FileFactsMemo::~FileFactsMemo()
{
    memory.innermost = outer;
    --memory.openMemos;
}
