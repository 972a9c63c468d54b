#pragma once
// "Manage Startup Programs": the programs of both Run keys, the version
// details of the selected one, running it, and removing or restoring entries.

#include <vector>

#include "managers/StartupPrograms.h"
#include "ui/Dialog.h"

class StartupManagerDialog : public Dialog {
public:
    StartupManagerDialog();

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;
    INT_PTR OnNotify(int id, NMHDR* header) override;

private:
    void Fill();
    void OnRemoveChecked();
    void OnRunSelected();
    void OnRestoreItems();

    std::vector<StartupItem> items; // one per row, in row order
};
