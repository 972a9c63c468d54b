#pragma once
// "Restore Backup": the backup sets by date, newest first; the items of the
// chosen set with check boxes; restore of the checked items; and the way to
// "Remove Backup".

#include <string>
#include <vector>

#include "repair/BackupRestore.h"
#include "repair/BackupSet.h"
#include "ui/Dialog.h"

// Fills a drop-down list with the sets' date texts in their order; each
// entry's data is its index in `sets`.
void FillBackupDates(HWND list, const std::vector<BackupSetEntry>& sets);

class RestoreDialog : public Dialog {
public:
    RestoreDialog();

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;

private:
    void FillDateList();
    void ListItems();
    void SetAllChecks(bool on);
    void OnRemoveBackups();
    void OnRestore();
    // The set chosen in the date list, or null.
    const BackupSetEntry* ChosenSet() const;

    BackupSet backupSet;
    std::vector<BackupSetEntry> sets;
    std::vector<RestoreItem> items; // one per row, in row order
};

class RemoveBackupDialog : public Dialog {
public:
    RemoveBackupDialog();

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;

private:
    void OnRemove();

    std::vector<BackupSetEntry> sets;
};
