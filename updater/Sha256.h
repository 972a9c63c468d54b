#pragma once
// SHA-256 of a block of bytes, as 64 lower-case hexadecimal digits.

#include <string>

std::string Sha256Hex(const std::string& bytes);
