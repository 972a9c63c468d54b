#include "app/OptionsDialog.h"

#include "SkinLayout.h"
#include "app/FullBackupWizard.h"
#include "resource.h"
#include "managers/ManagerDialogs.h"
#include "ui/Skin.h"

const char optionsTitle[] = "Advanced Options";

const RECT OptionsDialog::pictureAreas[4] = {
    {8, 74, 75, 135}, {9, 164, 74, 226}, {9, 255, 72, 316}, {11, 347, 73, 409}};

namespace {

const int pictureBitmaps[4] = {IDB_OPTION_BHO, IDB_OPTION_STARTUP, IDB_OPTION_PROGRAMS,
                               IDB_OPTION_REGISTRY_BACKUP};

} // namespace

OptionsDialog::OptionsDialog() : SkinnedDialog(IDD_OPTIONS) {}

BOOL OptionsDialog::OnInit()
{
    SetWindowTextA(hwnd, optionsTitle);
    ApplyShape(IDB_OPTIONS_BACKGROUND);
    titleFont = CreateSkinFont(15, true);
    itemFont = CreateSkinFont(12, true);
    for (int i = 0; i < 4; ++i) {
        const RECT& area = pictureAreas[i];
        AddPicture(area, pictureBitmaps[i]);
        // Each picture's name and what it opens stand to its right.
        int left = 92, width = SKIN_OPTIONS_WIDTH - 20 - left;
        Place(IDC_OPTION_TITLE + i, left, area.top + 8, width, 18);
        Place(IDC_OPTION_NOTE + i, left, area.top + 28, width, 30);
        SetTextLook(IDC_OPTION_TITLE + i, itemFont.Get(), RGB(24, 48, 88));
        SetTextLook(IDC_OPTION_NOTE + i, nullptr, RGB(88, 102, 124));
    }
    Place(IDCANCEL, SKIN_OPTIONS_WIDTH - 16 - SKIN_SMALL_WIDTH,
          SKIN_OPTIONS_HEIGHT - 12 - SKIN_SMALL_HEIGHT, SKIN_SMALL_WIDTH, SKIN_SMALL_HEIGHT);
    MakeBitmapButton(IDCANCEL, ButtonStyle::Close);
    return TRUE;
}

// Each picture opens its manager; the last one the full registry backup.
void OptionsDialog::OnPicture(int index)
{
    switch (index) {
    case 0: {
        BrowserHelperDialog helpers;
        helpers.RunModal(hwnd);
        break;
    }
    case 1: {
        StartupManagerDialog startup;
        startup.RunModal(hwnd);
        break;
    }
    case 2: {
        InstalledProgramsDialog programs;
        programs.RunModal(hwnd);
        break;
    }
    case 3: {
        FullBackupWizard wizard;
        wizard.RunModal(hwnd);
        break;
    }
    default:
        break;
    }
}

void OptionsDialog::PaintOverlay(HDC dc)
{
    HGDIOBJ old = SelectObject(dc, titleFont.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT band = {20, 0, SKIN_OPTIONS_WIDTH - 20, SKIN_OPTIONS_HEADER};
    DrawTextA(dc, optionsTitle, -1, &band, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}
