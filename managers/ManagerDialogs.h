#pragma once
// The manager dialogs: each lists entries of one kind in a list with check
// boxes, removes the checked ones after their backup and restores removed
// ones; two of them show the version details of the selected row's file.

#include <string>
#include <vector>

#include "managers/BrowserHelpers.h"
#include "managers/InstalledPrograms.h"
#include "managers/ManagerControls.h"
#include "managers/RemovedEntries.h"
#include "managers/StartupPrograms.h"
#include "ui/Dialog.h"

extern const char replaceExistingFormat[];

class ManagerDialog : public Dialog {
protected:
    // `noteId` 0: the dialog has no note.
    ManagerDialog(int templateId, RemovedKind kind, std::vector<ListColumn> columns, int noteId = 0,
                  int noteString = 0);
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;
    INT_PTR OnNotify(int id, NMHDR* header) override;

    // Lists the entries again, one row of texts each, in row order.
    virtual std::vector<std::vector<std::string>> Load() = 0;
    // Backs up and removes the entry of a row; one that stays shows again.
    virtual void Remove(size_t) {}
    // The file whose version details the selected row shows; false: none.
    virtual bool DetailsFile(size_t, std::string&) { return false; }
    void Fill();
    // The checked rows; none tells the user to check one.
    std::vector<int> CheckedOrTell();

    RemovedKind kind;

private:
    std::vector<ListColumn> columns;
    int noteId, noteString;
    size_t rowCount = 0;
};

// "Manage Startup Programs": both Run keys, and running the selected entry.
class StartupManagerDialog : public ManagerDialog {
public:
    StartupManagerDialog();

protected:
    void OnCommand(int id, int notifyCode) override;
    std::vector<std::vector<std::string>> Load() override;
    void Remove(size_t row) override { RemoveStartupItem(items[row]); }
    bool DetailsFile(size_t row, std::string& file) override;

private:
    std::vector<StartupItem> items;
};

// "Manage Browser Helper Objects (BHO)": Internet Explorer's add-ons.
class BrowserHelperDialog : public ManagerDialog {
public:
    BrowserHelperDialog();

protected:
    std::vector<std::vector<std::string>> Load() override;
    void Remove(size_t row) override { RemoveBrowserHelper(helpers[row].classId); }
    bool DetailsFile(size_t row, std::string& file) override;

private:
    std::vector<BrowserHelper> helpers;
};

// "Manage Installed Programs": the entries of the list of installed programs.
class InstalledProgramsDialog : public ManagerDialog {
public:
    InstalledProgramsDialog();

protected:
    std::vector<std::vector<std::string>> Load() override;
    void Remove(size_t row) override { RemoveInstalledProgram(programs[row].subkey); }

private:
    std::vector<InstalledProgram> programs;
};

// "Restore Removed Registry Entries": what one manager removed; its OK puts
// the checked entries back where they were.
class RestoreRemovedDialog : public ManagerDialog {
public:
    explicit RestoreRemovedDialog(RemovedKind kind);

protected:
    void OnCommand(int id, int notifyCode) override;
    std::vector<std::vector<std::string>> Load() override;

private:
    void OnRestore();
    std::vector<RemovedEntry> entries;
};
