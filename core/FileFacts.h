#pragma once
// Facts about drives and files that a scan asks for again and again, asked
// of the platform as seldom as the answers allow. Under a whole-registry walk
// the same folders and drive roots come up for thousands of values, and each
// question is a trip to the file system or the device manager.

#include <windows.h>

#include <string>

// GetDriveTypeA of `root`. A plain drive root ("C:\") is answered from what the
// calling thread learnt less than a second ago; any other text asks the platform.
UINT DriveTypeOf(const std::string& root);

// GetFileAttributesA of `path`, asked as PathFileExistsA asks it. Outside a FileFactsMemo the platform is asked
// every time. Inside one, on the same thread, an answer "missing" holds until
// the memo ends, and an answer "exists" for up to a second across memos: a
// stale "exists" can only spare an entry, never report one.
DWORD FileAttributesOf(const std::string& path);

// While alive, FileAttributesOf remembers its answers on this thread. Open one
// around the judgement of one registry value.
class FileFactsMemo {
public:
    FileFactsMemo();
    ~FileFactsMemo();
    FileFactsMemo(const FileFactsMemo&) = delete;
    FileFactsMemo& operator=(const FileFactsMemo&) = delete;
};
