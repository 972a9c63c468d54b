#pragma once
// Judging strings taken from the registry: does this path, command line,
// program name or identifier name something that still exists? The judge
// leans to "valid": what it cannot judge safely is left alone.

#include <windows.h>

#include <string>
#include <vector>

// Environment variables expanded into a path-sized buffer; the text as it
// stands when the expansion fails or does not fit.
std::string Expanded(const std::string& raw);
// 1 valid (exists, or not judged), 0 broken.
int IsValidPath(const std::string& raw);
// 1 when the string, or a leading part of it up to a blank, names an existing
// file or a program on the search path.
int FileOrProgramExists(const std::string& text);
// 1 valid, 0 invalid: a ProgID or class reference (or a path).
int IsValidProgId(const std::string& text);
int IsDirectory(const std::string& path);

std::string GetWindowsFolder();
std::string GetSystemFolder();
std::string GetProgramFilesFolder();

// 1 for a 32-bit process on 64-bit Windows.
int IsWow64();
// Tests only: force IsWow64 to answer 0 or 1; -1 asks the platform again.
void OverrideWow64(int value);

// The AutoCAD folder, looked up once at start-up (empty on 64-bit or when absent).
std::string FindAutoCadLocation();
void SetAutoCadFolder(const std::string& folder);
const std::string& AutoCadFolder();

int IsNotOnFixedDrive(const std::string& path);
// Fills `roots` with at most `count` drive roots ("C:\\"), sets `count` to the
// number filled; 0 when the platform call fails.
int ListLogicalDrives(std::vector<std::string>& roots, int& count);
int CountLogicalDrives();
// The folder of the running executable, no trailing backslash.
std::string GetProgramFolder();
// Deletes the file, or schedules it for deletion at restart; always 1.
int DeleteFileOrSchedule(const std::string& path);
// Resolves a .lnk file through the shell link object; the platform result.
HRESULT ResolveShortcut(const std::string& linkPath, HWND window, std::string& target,
                        std::string& description);
// The long form of a drive-rooted path; its length, or 0.
size_t GetLongPathForm(const std::string& path, std::string& longPath);

// The built-in exclusions: 52 fixed texts, compared without regard to case.
constexpr int builtInExclusionCount = 52;
extern const char BuiltInExclusions[builtInExclusionCount][260];
// 1 when `text` (a record's "keyPath\valueName\valueData") contains a built-in
// exclusion or an ignore-list entry, compared in lower case.
int IsExcludedReference(const std::string& text, const std::vector<std::string>& ignoreList);
