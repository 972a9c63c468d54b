#pragma once
// The "Full Registry Backup" wizard: the first step chooses between a new
// backup and a restore; the second picks the backup to restore by its date.

#include <string>
#include <vector>

#include "repair/FullBackup.h"
#include "ui/Dialog.h"

class FullBackupWizard : public Dialog {
public:
    explicit FullBackupWizard(const std::string& programFolder);
    FullBackupWizard();

    bool FirstStep() const { return firstStep; }

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;

private:
    void OnNext();
    void OnFinish();
    void ShowSecondStep();
    // Restores on a worker thread behind the wait window; 1 when restored.
    int RunRestore(const std::string& cabinetPath);
    static DWORD WINAPI RestoreWork(void* self);

    std::string programFolder;
    bool firstStep = true;
    std::vector<FullBackupEntry> backups;
    std::string restorePath;
    volatile LONG restored = 0;
};
