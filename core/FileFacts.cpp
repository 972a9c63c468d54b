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
    unsigned memo; // the memo that asked; a "missing" holds only within it
};

struct Memory {
    int openMemos = 0;
    unsigned memo = 0;
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

void Prune(DWORD now)
{
    for (auto it = memory.paths.begin(); it != memory.paths.end();) {
        bool fresh = it->second.attributes == INVALID_FILE_ATTRIBUTES
                         ? it->second.memo == memory.memo
                         : now - it->second.askedAt < rememberMs;
        it = fresh ? std::next(it) : memory.paths.erase(it);
    }
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

DWORD FileAttributesOf(const std::string& path)
{
    if (memory.openMemos == 0)
        return AskAttributes(path);
    DWORD now = GetTickCount();
    auto it = memory.paths.find(path);
    if (it != memory.paths.end()) {
        const KnownAttributes& known = it->second;
        bool fresh = known.attributes == INVALID_FILE_ATTRIBUTES ? known.memo == memory.memo
                                                                  : now - known.askedAt < rememberMs;
        if (fresh)
            return known.attributes;
    }
    if (memory.paths.size() >= memory.pruneThreshold) {
        Prune(now);
        memory.pruneThreshold = std::max(pruneAt, 2 * memory.paths.size());
    }
    DWORD attributes = AskAttributes(path);
    memory.paths[path] = {attributes, now, memory.memo};
    return attributes;
}

FileFactsMemo::FileFactsMemo()
{
    if (memory.openMemos++ == 0)
        ++memory.memo;
}

FileFactsMemo::~FileFactsMemo()
{
    --memory.openMemos;
}
