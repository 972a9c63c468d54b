#include "app/HeadlessContext.h"

#include "scan/ScanDriver.h"

HeadlessContext::HeadlessContext(const bool groupChecked[4], TextOutput& err)
    : err(err), progress(err)
{
    for (int group = 0; group < 4; ++group)
        this->groupChecked[group] = groupChecked[group];
}

void HeadlessContext::InsertSectionRows(const ScanPlan& plan)
{
    rows.assign(plan.rowCount, Row());
    for (int row = 0; row < plan.rowCount; ++row)
        rows[row].columns[0] = SectionRowLabel(plan.rowSection[row]);
}

HeadlessContext::Row* HeadlessContext::RowAt(int row)
{
    return row >= 0 && static_cast<size_t>(row) < rows.size() ? &rows[row] : nullptr;
}

void HeadlessContext::Report(ProblemPtr record)
{
    if (!collection)
        return;
    size_t before = collection->Problems().size();
    collection->OnProblemFound(std::move(record));
    if (collection->Problems().size() > before && onAccepted)
        onAccepted(*collection->Problems().back());
}

// A console shows where the scan stands; there is no window whose messages
// would wait, and the exit code tells how the scan ended.
void HeadlessContext::ShowItem(const std::string& text)
{
    const unsigned found = collection ? collection->AcceptedCount() : 0;
    progress.Show(status + " (" + std::to_string(found) + " found) " + text);
}

void HeadlessContext::SetStatus(const std::string& text)
{
    status = text;
    ShowItem("");
}

void HeadlessContext::Step() {}
void HeadlessContext::Pump() {}

void HeadlessContext::ShowFailure(const std::string& text, BoxTitle)
{
    progress.Clear();
    err.Write(text + "\r\n");
}

void HeadlessContext::SetGroupLabel(SectionGroupId group, const std::string& text)
{
    if (group < GroupNone)
        labels[group] = text;
}

bool HeadlessContext::GroupChecked(SectionGroupId group)
{
    return group < GroupNone && groupChecked[group];
}

void HeadlessContext::SetRowText(int row, int column, const std::string& text)
{
    if (Row* target = RowAt(row); target && column >= 0 && column < 3)
        target->columns[column] = text;
}

std::string HeadlessContext::RowText(int row, int column)
{
    Row* target = RowAt(row);
    return target && column >= 0 && column < 3 ? target->columns[column] : std::string();
}

void HeadlessContext::SetRowImage(int row, int image)
{
    if (Row* target = RowAt(row))
        target->image = image;
}

void HeadlessContext::ShowSectionCount(int row, unsigned, const std::string& countText)
{
    if (Row* target = RowAt(row)) {
        target->columns[1] = countText;
        target->image = 1;
    }
}

void HeadlessContext::ShowGroupLabel(SectionGroupId group, const std::string& text)
{
    SetGroupLabel(group, text);
}

void HeadlessContext::ClearSectionRows()
{
    rows.clear();
}
