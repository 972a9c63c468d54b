#include "support/RecordingContext.h"

std::string RecordText(const ProblemRecord& r)
{
    return RecordText(r.section, r.item, r.keyPath, r.valueName, r.valueData, r.description, r.sizeBytes) +
           (r.checked == 1 && !r.reserved1 && !r.reserved2 && !r.serial ? "" : " (hidden field wrong)");
}

std::string RecordText(unsigned section, const std::string& item, const std::string& keyPath,
                       const std::string& valueName, const std::string& valueData,
                       const std::string& description, double size)
{
    return std::to_string(section) + "|" + item + "|" + keyPath + "|" + valueName + "|" + valueData + "|" +
           description + "|" + std::to_string(size);
}

std::vector<std::string> RecordingContext::CallsStartingWith(const std::string& prefix) const
{
    std::vector<std::string> found;
    for (const std::string& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    return found;
}

Records RecordingContext::RecordsWith(const std::string& marker) const
{
    Records found;
    for (const ProblemPtr& record : records)
        if (RecordText(*record).find(marker) != std::string::npos)
            found.insert(RecordText(*record));
    return found;
}
