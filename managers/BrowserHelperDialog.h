#pragma once
// "Manage Browser Helper Objects (BHO)": Internet Explorer's add-ons, the
// version details of the selected one's file, and removing or restoring them.

#include <vector>

#include "managers/BrowserHelpers.h"
#include "ui/Dialog.h"

class BrowserHelperDialog : public Dialog {
public:
    BrowserHelperDialog();

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;
    INT_PTR OnNotify(int id, NMHDR* header) override;

private:
    void Fill();
    void OnRemoveChecked();
    void OnRestoreItems();

    std::vector<BrowserHelper> helpers; // one per row, in row order
};
