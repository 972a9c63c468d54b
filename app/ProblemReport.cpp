#include "app/ProblemReport.h"

#include <cstdio>

#include "core/ScanSection.h"

namespace {

const char lineEnd[] = "\r\n";

std::string SectionName(unsigned code)
{
    std::string label = SectionRowLabel(code);
    return label.empty() ? "Section " + std::to_string(code) : label;
}

std::string Escaped(const std::string& field)
{
    std::string text;
    text.reserve(field.size());
    for (char c : field) {
        switch (c) {
        case '\t':
            text += "\\t";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\\':
            text += "\\\\";
            break;
        default:
            text += c;
        }
    }
    return text;
}

} // namespace

std::string ProblemExplanation(const ProblemRecord& record)
{
    std::string text = record.description;
    size_t at = 0;
    while ((at = text.find("%s", at)) != std::string::npos) {
        text.replace(at, 2, record.valueData);
        at += record.valueData.size();
    }
    return text;
}

std::string ReadableProblem(const ProblemRecord& record)
{
    return SectionName(record.section) + ": " + record.item + lineEnd +
           "    Key:         " + record.keyPath + lineEnd +
           "    Value name:  " + record.valueName + lineEnd +
           "    Value data:  " + record.valueData + lineEnd +
           "    Explanation: " + ProblemExplanation(record) + lineEnd + lineEnd;
}

std::string ReportHeader()
{
    return std::string("serial\tsection\titem\tkeyPath\tvalueName\tvalueData\tdescription\t"
                       "sizeBytes\tchecked") +
           lineEnd;
}

std::string ReportLine(const ProblemRecord& record)
{
    char size[64];
    std::snprintf(size, sizeof(size), "%.0f", record.sizeBytes);
    return std::to_string(record.serial) + "\t" + std::to_string(record.section) + "\t" +
           Escaped(record.item) + "\t" + Escaped(record.keyPath) + "\t" +
           Escaped(record.valueName) + "\t" + Escaped(record.valueData) + "\t" +
           Escaped(record.description) + "\t" + size + "\t" + std::to_string(record.checked) +
           lineEnd;
}
