#include "core/ProblemRecord.h"

ProblemPtr NewProblemRecord()
{
    return std::make_unique<ProblemRecord>();
}

ProblemPtr MakeProblemRecord(unsigned section, const std::string& item, const std::string& keyPath,
                             const std::string& valueName, const std::string& valueData,
                             const std::string& description, double sizeBytes)
{
    ProblemPtr record = NewProblemRecord();
    record->section = section;
    record->item = item;
    record->keyPath = keyPath;
    record->valueName = valueName;
    record->valueData = valueData;
    record->description = description;
    record->sizeBytes = sizeBytes;
    return record;
}
