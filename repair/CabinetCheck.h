#pragma once
// A look at a cabinet's data blocks before it is unpacked: each block carries
// a checksum, and a block whose bytes no longer match it was damaged on disk.
// Unpacking such a block can still "succeed" and write wrong bytes, so the
// extractor refuses the cabinet instead.

#include <string>

// False only when a data block's stored checksum does not match its bytes.
// Anything this check cannot follow (a file that is no cabinet, a cut-off
// one) answers true and is left to the unpacker to report.
bool CabinetChecksumsMatch(const std::string& cabinetPath);
