#pragma once
// Registry keys and values written in process in the registry editor's
// REGEDIT4 form, which every registry editor from Windows 95 to Vista imports
// with "regedit /S": ANSI text, CR LF line ends, "[full key path]" headers,
// strings in quotes with \\ and \" escaped, DWORDs as dword:, every other
// type as hex(n): bytes, long lines continued with a trailing backslash.

#include <windows.h>

#include <string>

// The first line of every file written here.
constexpr const char* regeditHeader = "REGEDIT4\r\n";

// A key walk goes no deeper than the registry itself allows.
constexpr int deepestExportedLevel = 512;

// Appends the key at `keyPath` ("HKEY_CURRENT_USER\Software\X") and
// everything below it to `text`. 1 when all of it is there; 0 when the key
// cannot be opened or some part below it could not be read or cannot be
// written in this form (`problem` then says what). A link key that leads
// back into the keys being written is left out: following it would never end.
int ExportRegKeyText(const std::string& keyPath, std::string& text, std::string& problem);

// The whole export of `keyPath` as a new file at `filePath`: 1 when the
// export is complete and every byte was written. On 0 no file is left behind.
int ExportRegKey(const std::string& keyPath, const std::string& filePath, std::string& problem);

// One value as it stands in a .reg file, "name"=data (@= for the default
// value), long data continued over several lines; without the final line end.
std::string RegValueLine(const std::string& name, DWORD type, const BYTE* data, size_t size);
// A value that does not exist: "name"=-, which the import removes.
std::string RegAbsentValueLine(const std::string& name);

// Writes `bytes` into a file that must not exist yet. 1 when every byte was
// written and the file closed; on 0 nothing of it is left.
int WriteNewFile(const std::string& path, const std::string& bytes);
