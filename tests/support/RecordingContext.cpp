#include "support/RecordingContext.h"

void RecordingContext::Report(ProblemPtr record)
{
    calls.push_back("Report " + record->item);
    records.push_back(std::move(record));
}

void RecordingContext::ShowItem(const std::string& text)
{
    calls.push_back("ShowItem " + text);
    if (onItem)
        onItem(text);
}

void RecordingContext::SetGroupLabel(SectionGroupId group, const std::string& text)
{
    calls.push_back("SetGroupLabel " + std::to_string(group) + " " + text);
}

bool RecordingContext::GroupChecked(SectionGroupId group)
{
    calls.push_back("GroupChecked " + std::to_string(group));
    return group < GroupNone && groupChecked[group];
}

void RecordingContext::SetRowText(int row, int column, const std::string& text)
{
    calls.push_back("SetRowText " + std::to_string(row) + " " + std::to_string(column) + " " + text);
    if (row < 0)
        return;
    if (rows.size() <= static_cast<size_t>(row))
        rows.resize(row + 1, std::vector<std::string>(3));
    rows[row][column] = text;
}

std::string RecordingContext::RowText(int row, int column)
{
    return row >= 0 && static_cast<size_t>(row) < rows.size() ? rows[row][column] : "";
}

std::vector<std::string> RecordingContext::CallsStartingWith(const std::string& prefix) const
{
    std::vector<std::string> found;
    for (const std::string& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    return found;
}
