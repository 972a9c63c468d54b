#pragma once
// Texts from the program's string table.

#include <string>

// The string resource `id` of the running executable; empty when it has none.
std::string ResourceString(unsigned id);
