#pragma once
// The manager dialogs: each lists entries of one kind in a list with check
// boxes, removes the checked ones after their backup and restores removed
// ones; two of them show the version details of the selected row's file.

#include <functional>
#include <string>
#include <vector>

#include "managers/BrowserHelpers.h"
#include "managers/InstalledPrograms.h"
#include "managers/ManagerControls.h"
#include "managers/RemovedEntries.h"
#include "managers/StartupPrograms.h"
#include "ui/Dialog.h"

extern const char replaceExistingFormat[];

// What one dialog lists and what it does with a row's entry.
template <typename Entry>
struct ManagerKind {
    int templateId;
    RemovedKind kind;
    std::vector<ListColumn> columns;
    int noteId, noteString;                                    // 0: no note
    std::function<std::vector<Entry>()> list;                  // the entries, in row order
    std::function<std::vector<std::string>(const Entry&)> row; // one text per column
    std::function<void(const Entry&)> remove;                  // backs up and removes; one that stays shows again
    std::function<std::string(const Entry&)> details;          // the file whose version details show; empty: none
};

template <typename Entry>
class ManagerDialog : public Dialog {
public:
    explicit ManagerDialog(ManagerKind<Entry> what) : Dialog(what.templateId), what(std::move(what)) {}

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;
    INT_PTR OnNotify(int id, NMHDR* header) override;
    void Fill();
    // The checked rows; none tells the user to check one.
    std::vector<int> CheckedOrTell();

    ManagerKind<Entry> what;
    std::vector<Entry> entries; // one per row, in row order
};

// "Manage Startup Programs": both Run keys, and running the selected entry.
class StartupManagerDialog : public ManagerDialog<StartupItem> {
public:
    StartupManagerDialog();

protected:
    void OnCommand(int id, int notifyCode) override;
};

// "Manage Browser Helper Objects (BHO)": Internet Explorer's add-ons.
class BrowserHelperDialog : public ManagerDialog<BrowserHelper> {
public:
    BrowserHelperDialog();
};

// "Manage Installed Programs": the entries of the list of installed programs.
class InstalledProgramsDialog : public ManagerDialog<InstalledProgram> {
public:
    InstalledProgramsDialog();
};

// "Restore Removed Registry Entries": what one manager removed; its OK puts
// the checked entries back where they were.
class RestoreRemovedDialog : public ManagerDialog<RemovedEntry> {
public:
    explicit RestoreRemovedDialog(RemovedKind kind);

protected:
    void OnCommand(int id, int notifyCode) override;
};
