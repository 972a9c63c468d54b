#pragma once
// What the manager dialogs share: a list with check boxes, the four version
// detail fields, and the texts of their boxes.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

extern const char checkItemText[];   // nothing checked for a removal or a restore
extern const char itemsRemovedText[];

struct ListColumn {
    const char* title;
    int width;
};

// Report view with check boxes and whole-row selection, and these columns.
void SetUpCheckList(HWND list, const std::vector<ListColumn>& columns);
// Appends a row with one text per column; returns its index.
int AppendRow(HWND list, const std::vector<std::string>& texts);
// The rows whose box is ticked, from the top.
std::vector<int> CheckedRows(HWND list);
// True when the change notice says a row became selected and focused.
bool RowBecameSelected(const NMHDR* header);

// Fills the four detail fields from the file's version resource: file name
// and product name with their versions, description, company.
void ShowVersionDetails(HWND dialog, const std::string& path);
