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

// GetFileAttributesA of `path`, asked as PathFileExistsA asks it. Outside a
// FileFactsMemo the platform is asked every time. Inside one, on the same
// thread, an answer holds for up to a second, across memos: no older than a
// judgement made a moment earlier, which a scan never is anyway.
DWORD FileAttributesOf(const std::string& path);

// While alive, FileAttributesOf remembers its answers on this thread. Open one
// around the judgement of one registry value, with the value's text as it
// was written: the paths judged are lowered copies of parts of it, and the
// platform is asked with the letter case the text gives them.
class FileFactsMemo {
public:
    explicit FileFactsMemo(const std::string& writtenText = std::string());
    ~FileFactsMemo();
    FileFactsMemo(const FileFactsMemo&) = delete;
    FileFactsMemo& operator=(const FileFactsMemo&) = delete;

    std::string WrittenForm(const std::string& path) const;

private:
    std::string writtenText;
    std::string loweredText;
    const FileFactsMemo* outer;
};
