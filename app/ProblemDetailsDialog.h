#pragma once
// "Details of problems found": every problem of one section as a formatted
// entry with a check box. What the user unticks here, repair leaves alone.

#include <string>
#include <vector>

#include "core/ProblemRecord.h"
#include "ui/Dialog.h"
#include "ui/MarkupList.h"

// The spacing added to the tallest entry's height for every row.
constexpr int defaultRowSpacing = 40;

// The entry of a record in a detail list of its section.
std::string ProblemItemText(const ProblemRecord& record);
// The record's key path with the long root names of HKEY_CLASSES_ROOT,
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE replaced by "HKCLASS", "HKCU" and "HKLM".
std::string ShortRootNames(const std::string& keyPath);

class ProblemDetailsDialog : public Dialog {
public:
    // The problems are the main window's: their `checked` flags follow the
    // check boxes, and their key paths are shortened in place.
    ProblemDetailsDialog(unsigned sectionCode, const std::vector<ProblemPtr>& problemList,
                         int rowSpacing = defaultRowSpacing);

    const MarkupList& List() const { return list; }
    int RowHeight() const { return rowHeight; }

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;
    INT_PTR OnNotify(int id, NMHDR* header) override;
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    struct Entry {
        ProblemRecord* record;
        std::string text;
    };

    void ApplyDisplayOptions();
    int MeasuredHeight(const std::string& text) const;
    void ShowEntries();
    void OnSelectAll(bool checked);
    void OnSort();
    void OnIgnore(ProblemRecord* record);

    unsigned sectionCode;
    const std::vector<ProblemPtr>& problemList;
    int rowSpacing;
    int rowHeight = 0;
    int sortByKey = 0;
    std::vector<Entry> entries;
    MarkupList list;
};
