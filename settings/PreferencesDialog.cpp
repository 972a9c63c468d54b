#include "settings/PreferencesDialog.h"

#include <shlobj.h>

#include "core/AppMessage.h"
#include "settings/IgnoreListDialog.h"
#include "resource.h"
#include "settings/Settings.h"

const char invalidLogPathText[] = "Invalid Log File Path";

namespace {

// The section check boxes with their settings, in the order Save writes them.
struct SectionBox {
    int id;
    const char* setting;
};

const SectionBox sectionBoxes[] = {
    {IDC_SEL_ACTIVEX, "ActiveX/Classes Section"},
    {IDC_SEL_APP_PATHS, "Application Paths"},
    {IDC_SEL_COMPLETE, "Complete Registry Scan"},
    {IDC_SEL_ASSOCIATIONS, "File Associations"},
    {IDC_SEL_HELP_FILES, "Help Files"},
    {IDC_SEL_SHORTCUTS, "Invalid Shortcuts"},
    {IDC_SEL_MRU, "MRULocations"},
    {IDC_SEL_PROGID, "Program ID Section"},
    {IDC_SEL_INTEGRITY, "Registry Integrity"},
    {IDC_SEL_SHARED_FILES, "Shared Program Files"},
    {IDC_SEL_SOUNDS, "Sounds Section"},
    {IDC_SEL_STARTUP, "Startup Programs"},
    {IDC_SEL_SERVICES, "System Services"},
    {IDC_SEL_VXD, "VXD Section"},
    {IDC_SEL_FONTS, "Windows Fonts"},
    {IDC_SEL_ADD_REMOVE, "Add Remove Programs"},
};

const char* FlagText(bool on)
{
    return on ? "1" : "0";
}

std::string ItemText(HWND dialog, int id)
{
    char buffer[MAX_PATH + 1] = {};
    GetDlgItemTextA(dialog, id, buffer, sizeof(buffer));
    return buffer;
}

void CheckBox(HWND dialog, int id, bool on)
{
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

} // namespace

PreferencesDialog::PreferencesDialog() : Dialog(IDD_PREFERENCES) {}

bool PreferencesDialog::Checked(int id) const
{
    return IsDlgButtonChecked(hwnd, id) == BST_CHECKED;
}

BOOL PreferencesDialog::OnInit()
{
    // With logging off the folder cannot be changed here, whatever becomes of
    // the box while the dialog is open.
    bool logging = SettingOn("Generate Log");
    CheckBox(hwnd, IDC_PREF_GENERATE_LOG, logging);
    if (!logging) {
        EnableWindow(Item(IDC_PREF_LOG_PATH), FALSE);
        EnableWindow(Item(IDC_PREF_BROWSE), FALSE);
    }
    std::string logPath;
    ReadSetting("Log File Path", logPath);
    SetDlgItemTextA(hwnd, IDC_PREF_LOG_PATH, logPath.c_str());
    CheckBox(hwnd, IDC_PREF_AUTORUN, SettingOn("AutoRun"));
    CheckBox(hwnd, IDC_PREF_NO_BACKUP, SettingOn("NoAutoBackup"));
    CheckBox(hwnd, IDC_PREF_CHECK_ALL, SettingOn("CheckAllItems"));
    return TRUE;
}

void PreferencesDialog::OnCommand(int id, int)
{
    switch (id) {
    case IDC_PREF_BROWSE:
        // A cancelled choice empties the field as well.
        SetDlgItemTextA(hwnd, IDC_PREF_LOG_PATH, BrowseForFolder(hwnd).c_str());
        break;
    case IDC_PREF_IGNORE_LIST:
        // A saved list reaches the main window through the owner chain.
        IgnoreListDialog::Show(hwnd);
        break;
    case IDC_PREF_SECTIONS: {
        SelectSectionsDialog sections;
        sections.RunModal(hwnd);
        break;
    }
    case IDOK:
        OnOk();
        break;
    case IDCANCEL:
        End(IDCANCEL);
        break;
    }
}

void PreferencesDialog::OnOk()
{
    // The folder must exist even when logging is off: it is kept for later.
    std::string path = ItemText(hwnd, IDC_PREF_LOG_PATH);
    if (path.empty() || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ShowAppMessage(hwnd, invalidLogPathText, MB_OK);
        return;
    }
    Save();
    End(IDOK);
}

void PreferencesDialog::Save()
{
    if (Checked(IDC_PREF_GENERATE_LOG)) {
        WriteSetting("Generate Log", "1");
        WriteSetting("Log File Path", ItemText(hwnd, IDC_PREF_LOG_PATH));
    } else {
        WriteSetting("Generate Log", "0");
    }
    WriteSetting("CheckAllItems", FlagText(Checked(IDC_PREF_CHECK_ALL)));
    WriteSetting("NoAutoBackup", FlagText(Checked(IDC_PREF_NO_BACKUP)));
    SetStartWithWindows(Checked(IDC_PREF_AUTORUN));
}

SelectSectionsDialog::SelectSectionsDialog() : Dialog(IDD_SELECT_SECTIONS) {}

BOOL SelectSectionsDialog::OnInit()
{
    for (const SectionBox& box : sectionBoxes)
        CheckBox(hwnd, box.id, SettingOn(box.setting));
    return TRUE;
}

void SelectSectionsDialog::OnCommand(int id, int)
{
    if (id == IDOK) {
        Save();
        End(IDOK);
    } else if (id == IDCANCEL) {
        End(IDCANCEL);
    }
}

void SelectSectionsDialog::Save()
{
    for (const SectionBox& box : sectionBoxes)
        WriteSetting(box.setting, FlagText(IsDlgButtonChecked(hwnd, box.id) == BST_CHECKED));
}

std::string BrowseForFolder(HWND owner)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator)
        return std::string();
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr; // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = "Please choose a folder for extraction";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    std::string path;
    if (chosen) {
        char buffer[MAX_PATH] = {};
        if (SHGetPathFromIDListA(chosen, buffer) && buffer[0])
            path = buffer;
        else
            ShowAppMessage(owner, "Cannot use this path for extraction", MB_OK);
        allocator->Free(chosen);
    }
    allocator->Release();
    return path;
}
