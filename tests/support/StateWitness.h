#pragma once
// What a test reads the system's state with: the registry editor's export of
// a key, and the headless command line's exit code and output.

#include <string>
#include <vector>

// Runs regedit.exe with `parameters` and waits for it.
void RunRegedit(const std::string& parameters);
// What "regedit /e" writes of a key and everything below it, as sorted
// lines: each key's header in lower case, and each value line (continuations
// joined) after its key's header, so that the order in which the registry
// lists values does not matter. Empty when the key is missing.
std::vector<std::string> SortedExport(const std::string& fullKeyPath);
// Runs the command line headless in this process; its exit code, with what it
// wrote to standard output and error (in that order) in `output`.
int RunHeadlessCommand(const std::vector<std::string>& arguments, std::string* output = nullptr);
