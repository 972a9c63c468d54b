#include "core/FileFacts.h"

#include <algorithm>

#include "core/Text.h"

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

// Plain pointers only: a thread-local object with a destructor of its own is
// torn down at thread exit in an order the runtime does not promise.
thread_local FileFactsMemo* innermost = nullptr;

// As PathFileExistsA asks: an empty removable drive must not bring up the
// system's "insert a disk" box.
DWORD AskAttributes(const std::string& path)
{
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    DWORD attributes = GetFileAttributesA(path.c_str());
    SetErrorMode(previous);
    return attributes;
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
    return innermost ? innermost->Attributes(path) : AskAttributes(path);
}

FileFactsMemo::FileFactsMemo() : pruneThreshold(pruneAt), outer(innermost)
{
    innermost = this;
}

FileFactsMemo::~FileFactsMemo()
{
    innermost = outer;
}

void FileFactsMemo::SetWrittenText(const std::string& text)
{
    writtenText = text;
    loweredText = LowerAscii(text);
}

// A file system that matches names exactly first and without regard to case
// only after (Wine's) answers the written form much faster than a lowered
// copy of it.
std::string FileFactsMemo::WrittenForm(const std::string& path) const
{
    if (loweredText.empty())
        return path;
    size_t at = loweredText.find(LowerAscii(path));
    return at == std::string::npos ? path : writtenText.substr(at, path.size());
}

DWORD FileFactsMemo::Attributes(const std::string& path)
{
    DWORD now = GetTickCount();
    auto it = paths.find(path);
    if (it != paths.end() && now - it->second.askedAt < rememberMs)
        return it->second.attributes;
    if (paths.size() >= pruneThreshold) {
        for (auto old = paths.begin(); old != paths.end();)
            old = now - old->second.askedAt < rememberMs ? std::next(old) : paths.erase(old);
        pruneThreshold = std::max(pruneAt, 2 * paths.size());
    }
    DWORD attributes = AskAttributes(WrittenForm(path));
    paths[path] = {attributes, now};
    return attributes;
}
