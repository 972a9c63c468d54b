#pragma once
// The user's ignore list: registry keys whose problems are never reported.
// It lives in "Iglist.lst" beside the program, one key path per line.

#include <string>
#include <vector>

// The program folder followed by "\Iglist.lst".
std::string IgnoreListPath();

// A key path with the short root names of the problem lists ("HKLM", "HKCU",
// "HKCLASS") replaced by the long ones.
std::string LongRootNames(const std::string& keyPath);

// The entries of a list file in file order: each line trimmed of blanks, tabs,
// carriage returns and line feeds, empty lines dropped. Lines may end in
// CR CR LF, CR LF, LF or a lone CR. A missing or unreadable file is an empty list.
std::vector<std::string> ReadIgnoreListFile(const std::string& path);
// Creates the file anew with each entry followed by "\r\n" through a
// text-mode stream (CR CR LF on disk). 1 when written, 0 when the file could
// not be created or not be written in full.
int WriteIgnoreListFile(const std::string& path, const std::vector<std::string>& entries);

// The in-memory list every arriving problem is tested against. One per main
// window (or headless run); it changes only by LoadIgnoreList.
class IgnoreList {
public:
    // Replaces the entries with those of the file beside the program.
    void LoadIgnoreList();
    const std::vector<std::string>& Entries() const { return ignoreList; }

private:
    std::vector<std::string> ignoreList;
};
