#pragma once
// Reading back what the program wrote, byte for byte.

#include <cstddef>
#include <string>

// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// The user's temporary folder, with its trailing backslash.
std::string TestTempFolder();
// The bytes of the one file matching `pattern` ("*.txt") in `folder`; a test
// failure and empty when there is none or more than one.
std::string ReadOnlyMatch(const std::string& folder, const std::string& pattern);
// How often `part` occurs in `text`.
size_t CountOf(const std::string& text, const std::string& part);
