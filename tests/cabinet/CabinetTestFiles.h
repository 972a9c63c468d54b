#pragma once
// File helpers for the cabinet tests: whole-file reads and writes, and a
// reader of a cabinet's file table (names, times and attributes as stored).

#include <windows.h>

#include <string>
#include <vector>

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// A folder below the temporary folder, unique to this test, removed at the end.
std::string TempPath(const std::string& stem);

struct StoredFile {
    std::string name;
    unsigned size = 0;
    unsigned short date = 0;
    unsigned short time = 0;
    unsigned short attributes = 0;
};

struct CabinetTable {
    bool valid = false; // the header could be read
    unsigned short setId = 0;
    std::vector<StoredFile> files; // in stored order
};

CabinetTable ReadCabinetTable(const std::string& cabinetBytes);
