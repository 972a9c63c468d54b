#pragma once
// The "Backing up" window: runs a full backup on a worker thread, steps its
// bar every half second while the thread runs, and closes when it ends.

#include <string>

#include "core/Handles.h"
#include "ui/Dialog.h"

class FullBackupProgress : public Dialog {
public:
    explicit FullBackupProgress(const std::string& programFolder);

    // 1 when the backup succeeded (after the window closed).
    int Result() const { return result; }
    // The cabinet the backup made; empty after a failure.
    const std::string& Cabinet() const { return cabinet; }

protected:
    BOOL OnInit() override;
    void OnTimer(UINT_PTR timerId) override;
    void OnCommand(int id, int notifyCode) override;

private:
    static DWORD WINAPI Work(void* self);

    std::string programFolder;
    HandleOwner thread;
    GdiObject<HFONT> boldFont;
    volatile LONG result = 0;
    std::string cabinet;
};
