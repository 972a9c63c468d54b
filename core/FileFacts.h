#pragma once
// Facts about drives and files that a scan asks for again and again, asked
// of the platform as seldom as the answers allow. Under a whole-registry walk
// the same folders and drive roots come up for thousands of values, and each
// question is a trip to the file system or the device manager.

#include <windows.h>

#include <string>
#include <unordered_map>

// GetDriveTypeA of `root`. A plain drive root ("C:\") is answered from what the
// calling thread learnt less than a second ago; any other text asks the platform.
UINT DriveTypeOf(const std::string& root);

// GetFileAttributesA of `path`, asked as PathFileExistsA asks it. Outside a
// FileFactsMemo the platform is asked every time; inside one, on its thread,
// an answer holds for up to a second: no older than a judgement made a
// moment earlier, which a scan never is anyway.
DWORD FileAttributesOf(const std::string& path);

// While alive, FileAttributesOf remembers its answers on the thread that made
// it. Open one around a walk that judges many values; memos nest, and the
// innermost one answers.
class FileFactsMemo {
public:
    FileFactsMemo();
    ~FileFactsMemo();
    FileFactsMemo(const FileFactsMemo&) = delete;
    FileFactsMemo& operator=(const FileFactsMemo&) = delete;

    // The text of the value being judged, as it was written. The paths judged
    // are lowered copies of parts of it; the platform is asked with the letter
    // case the text gives them.
    void SetWrittenText(const std::string& text);
    // `path` as the written text has it, or `path` itself when it is not there.
    std::string WrittenForm(const std::string& path) const;

    DWORD Attributes(const std::string& path);

private:
    struct Known {
        DWORD attributes;
        DWORD askedAt;
    };
    std::unordered_map<std::string, Known> paths;
    size_t pruneThreshold;
    std::string writtenText;
    std::string loweredText;
    FileFactsMemo* outer;
};
