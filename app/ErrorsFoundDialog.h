#pragma once
// "Errors Found": the sections of one group that found problems, each with
// its count and description and a "More_Info" link to its detail list.

#include <vector>

#include "core/ProblemRecord.h"
#include "ui/Dialog.h"
#include "ui/MarkupList.h"

class ErrorsFoundDialog : public Dialog {
public:
    // `groupSelector`: 0 registry, 1 IE Temp, 2 Windows. The per-section
    // results list and the problems are the main window's, borrowed.
    ErrorsFoundDialog(int groupSelector, HWND sectionList, const std::vector<ProblemPtr>& problemList);

    const MarkupList& List() const { return list; }

protected:
    BOOL OnInit() override;
    INT_PTR OnNotify(int id, NMHDR* header) override;
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    void OnMoreInfo(unsigned sectionCode);

    int groupSelector;
    HWND sectionList;
    const std::vector<ProblemPtr>& problemList;
    MarkupList list;
};
