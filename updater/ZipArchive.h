#pragma once
// Takes one file out of a zip archive held in memory: stored or deflated
// (zlib's inflate), its size and CRC-32 checked against the directory.

#include <string>

// 1 and the file's bytes in `contents` when the archive holds a file whose
// name (without folders) is `name`, compared without regard to case; 0 with
// the reason in `problem` otherwise.
int ExtractZipEntry(const std::string& archive, const std::string& name, std::string& contents,
                    std::string& problem);
