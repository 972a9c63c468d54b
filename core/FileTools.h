#pragma once
// Emptying folders and starting programs: shared by repair, restore, the full
// registry backup and the managers.

#include <windows.h>

#include <string>

// Deletes the files directly in `folder` (names beginning with "." are left);
// with `recursive`, empties each subfolder the same way and, when no pattern
// is given, removes it afterwards (with a pattern, subfolders are kept).
// A subfolder that is a link or junction is never entered: without a pattern
// the link itself is removed, with one it is left. A drive root is refused.
// 1 when everything asked for was deleted; 0 when the folder is missing or
// not a folder, at the first item that could not be deleted, or as soon as
// `stopEvent` is signalled.
int EmptyFolder(const std::string& folder, bool recursive, const char* pattern = nullptr,
                HANDLE stopEvent = nullptr);

// Starts `program` through the shell with `parameters`, shown normally. With
// `wait`, waits for it to end (at most two minutes) and answers 1 whatever
// happened; without, answers 0 when the shell could not start it, else 1.
int RunProgram(const std::string& program, const std::string& parameters, bool wait);

// The whole content of a file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
