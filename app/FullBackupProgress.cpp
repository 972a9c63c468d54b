#include "app/FullBackupProgress.h"

#include <commctrl.h>

#include "core/AppMessage.h"
#include "repair/FullBackup.h"
#include "resource.h"
#include "ui/Skin.h"

namespace {

const UINT_PTR stepTimer = 1;
const int barTop = 50;

} // namespace

FullBackupProgress::FullBackupProgress(const std::string& programFolder)
    : Dialog(IDD_FULL_PROGRESS), programFolder(programFolder)
{
}

BOOL FullBackupProgress::OnInit()
{
    // Centred on the window that opened it, or on the screen.
    RECT own, over;
    GetWindowRect(hwnd, &own);
    HWND parent = GetParent(hwnd);
    if (!parent || !GetWindowRect(parent, &over))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &over, 0);
    SetWindowPos(hwnd, nullptr, (over.left + over.right - (own.right - own.left)) / 2,
                 (over.top + over.bottom - (own.bottom - own.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);

    boldFont = CreateSkinFont(13, true, "Tahoma");
    SendDlgItemMessageA(hwnd, IDC_FULL_PROGRESS_LABEL, WM_SETFONT,
                        reinterpret_cast<WPARAM>(boldFont.Get()), FALSE);
    SendDlgItemMessageA(hwnd, IDC_FULL_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, barTop));
    SendDlgItemMessageA(hwnd, IDC_FULL_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
    thread.Reset(CreateThread(nullptr, 0, Work, this, 0, nullptr));
    SetTimer(hwnd, stepTimer, 500, nullptr);
    return TRUE;
}

DWORD WINAPI FullBackupProgress::Work(void* self)
{
    FullBackupProgress* window = static_cast<FullBackupProgress*>(self);
    try {
        FullBackup backup(window->programFolder);
        int saved = backup.SaveRegistry();
        window->cabinet = backup.LastCabinet();
        InterlockedExchange(&window->result, saved);
    } catch (...) {
        InterlockedExchange(&window->result, 0);
    }
    return 0;
}

void FullBackupProgress::OnTimer(UINT_PTR)
{
    // The bar starts over at the top: how long a backup takes is unknown.
    SendDlgItemMessageA(hwnd, IDC_FULL_PROGRESS_BAR, PBM_STEPIT, 0, 0);
    if (thread && WaitForSingleObject(thread.Get(), 0) == WAIT_TIMEOUT)
        return;
    KillTimer(hwnd, stepTimer);
    thread.Reset();
    SendDlgItemMessageA(hwnd, IDC_FULL_PROGRESS_BAR, PBM_SETPOS, barTop, 0);
    if (result)
        ShowAppMessage(hwnd, "Full Registry Backup Successful");
    End(IDOK);
}

// Neither Escape nor Enter closes the window while the backup runs.
void FullBackupProgress::OnCommand(int, int) {}
