#pragma once
// Reading back what the program wrote, byte for byte.

#include <string>

// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// The user's temporary folder, with its trailing backslash.
std::string TestTempFolder();
