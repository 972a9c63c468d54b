#include "app/FullBackupWizard.h"

#include "app/FullBackupProgress.h"
#include "core/AppMessage.h"
#include "core/Handles.h"
#include "core/PathCheck.h"
#include "core/ResourceText.h"
#include "resource.h"

namespace {

const char restartQuestion[] =
    "In Order to complete the Restore Process The system needs to restart.\n"
    "Restart now? (No: restart later yourself; the restored registry is already in place.)";

} // namespace

FullBackupWizard::FullBackupWizard(const std::string& programFolder)
    : Dialog(IDD_FULL_BACKUP), programFolder(programFolder)
{
}

FullBackupWizard::FullBackupWizard() : FullBackupWizard(GetProgramFolder()) {}

BOOL FullBackupWizard::OnInit()
{
    SetDlgItemTextA(hwnd, IDC_FULL_HEADER, ResourceString(IDS_FULL_BACKUP_INTRO).c_str());
    return TRUE;
}

void FullBackupWizard::OnCommand(int id, int)
{
    if (id == IDOK)
        firstStep ? OnNext() : OnFinish();
    else if (id == IDCANCEL)
        End(IDCANCEL);
}

void FullBackupWizard::OnNext()
{
    if (IsDlgButtonChecked(hwnd, IDC_FULL_RESTORE) == BST_CHECKED) {
        ShowSecondStep();
    } else if (IsDlgButtonChecked(hwnd, IDC_FULL_CREATE) == BST_CHECKED) {
        FullBackupProgress progress(programFolder);
        progress.RunModal(hwnd);
        End(IDOK);
    } else {
        ShowAppMessage(hwnd, "Please Select an Option");
    }
}

void FullBackupWizard::ShowSecondStep()
{
    firstStep = false;
    ShowWindow(Item(IDC_FULL_CREATE), SW_HIDE);
    ShowWindow(Item(IDC_FULL_RESTORE), SW_HIDE);
    ShowWindow(Item(IDC_FULL_DATE_LABEL), SW_SHOW);
    ShowWindow(Item(IDC_FULL_DATE_LIST), SW_SHOW);
    SetDlgItemTextA(hwnd, IDOK, "Finish");
    SetDlgItemTextA(hwnd, IDC_FULL_HEADER, ResourceString(IDS_FULL_BACKUP_RESTORE).c_str());
    backups = FullBackup::ListBackups(programFolder);
    for (size_t i = 0; i < backups.size(); ++i) {
        LRESULT index = SendDlgItemMessageA(hwnd, IDC_FULL_DATE_LIST, CB_ADDSTRING, 0,
                                            reinterpret_cast<LPARAM>(backups[i].dateText.c_str()));
        SendDlgItemMessageA(hwnd, IDC_FULL_DATE_LIST, CB_SETITEMDATA, index, i);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
}

void FullBackupWizard::OnFinish()
{
    LRESULT chosen = SendDlgItemMessageA(hwnd, IDC_FULL_DATE_LIST, CB_GETCURSEL, 0, 0);
    if (chosen == CB_ERR) {
        ShowAppMessage(hwnd, "Please Select a backup date");
        return;
    }
    size_t entry = SendDlgItemMessageA(hwnd, IDC_FULL_DATE_LIST, CB_GETITEMDATA, chosen, 0);
    if (!RunRestore(backups.at(entry).path)) {
        End(IDCANCEL);
        return;
    }
    if (ShowAppMessage(hwnd, restartQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES)
        RestartComputer();
    End(IDOK);
}

int FullBackupWizard::RunRestore(const std::string& cabinetPath)
{
    Dialog wait(IDD_FULL_WAIT);
    HWND waitWindow = wait.CreateModeless(hwnd);
    if (waitWindow)
        ShowWindow(waitWindow, SW_SHOW);
    // The wizard takes no second Finish while the first one runs.
    EnableWindow(hwnd, FALSE);
    restorePath = cabinetPath;
    HandleOwner thread(CreateThread(nullptr, 0, RestoreWork, this, 0, nullptr));
    while (thread && WaitForSingleObject(thread.Get(), 50) == WAIT_TIMEOUT) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EnableWindow(hwnd, TRUE);
    if (waitWindow)
        DestroyWindow(waitWindow);
    return thread ? static_cast<int>(restored) : 0;
}

DWORD WINAPI FullBackupWizard::RestoreWork(void* self)
{
    FullBackupWizard* wizard = static_cast<FullBackupWizard*>(self);
    try {
        FullBackup backup(wizard->programFolder);
        int done = backup.RestoreRegistry(wizard->restorePath);
        if (done)
            ShowAppMessage(nullptr, "Restored");
        InterlockedExchange(&wizard->restored, done);
    } catch (...) {
        InterlockedExchange(&wizard->restored, 0);
    }
    return 0;
}
