#pragma once
// "Manage Installed Programs": the entries of the list of installed
// programs, and removing them from that list or restoring them.

#include <vector>

#include "managers/InstalledPrograms.h"
#include "ui/Dialog.h"

class InstalledProgramsDialog : public Dialog {
public:
    InstalledProgramsDialog();

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;

private:
    void Fill();
    void OnRemoveChecked();
    void OnRestoreItems();

    std::vector<InstalledProgram> programs; // one per row, in row order
};
