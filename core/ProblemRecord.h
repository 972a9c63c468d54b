#pragma once
// One problem found by a scanner. A scanner allocates it, fills it and hands
// it to the main window; from then on the main window's list owns it.

#include <cstdint>
#include <memory>
#include <string>

struct ProblemRecord {
    uint32_t checked = 1;       // selected for repair
    uint32_t section = 0;       // section code 1..22
    std::string item;           // what is wrong, as shown first
    std::string keyPath;        // full key path (or the file path for temp and ScanDisk files)
    std::string valueName;      // "(Default)" for a key's default value, empty for a whole key
    std::string valueData;      // the value's data as text, or the file / link target
    uint32_t reserved1 = 0;
    std::string description;    // explanation (may hold "%s") or kind tag
    uint32_t reserved2 = 0;
    uint32_t serial = 0;        // arrival number within the scan
    double sizeBytes = 0.0;     // size of the file the problem stands for
};

using ProblemPtr = std::unique_ptr<ProblemRecord>;

// A record selected for repair, every number 0 and every text empty.
ProblemPtr NewProblemRecord();
// A record selected for repair with the fields a scanner fills.
ProblemPtr MakeProblemRecord(unsigned section, const std::string& item, const std::string& keyPath,
                             const std::string& valueName, const std::string& valueData,
                             const std::string& description, double sizeBytes = 0.0);
