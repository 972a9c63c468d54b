#pragma once
// The two dialogs that change the settings store: "Preferences" (the flags,
// the log folder, the program's own startup entry, the ways to the ignore
// list and to the section choice) and "Select Registry Sections".

#include <windows.h>

#include <string>

#include "ui/Dialog.h"

// The message of OK when the path field names nothing that exists.
extern const char invalidLogPathText[];

class PreferencesDialog : public Dialog {
public:
    PreferencesDialog();

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;

private:
    void OnOk();
    void Save();
    bool Checked(int id) const;
};

class SelectSectionsDialog : public Dialog {
public:
    SelectSectionsDialog();

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;

private:
    void Save();
};

// The folder browser of the shell, owned by `owner`: the chosen folder's path,
// or an empty text when the user cancels or the choice is no file-system path.
std::string BrowseForFolder(HWND owner);
