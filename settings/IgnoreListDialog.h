#pragma once
// The "Ignore List" dialog: the registry as a tree on top (the three roots
// and their first level at opening, one more level per selected key), the
// ignored keys below. Add, Remove, and Save, which writes the list file.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "core/Handles.h"
#include "ui/Dialog.h"

// Sent after Save to the window that owns the dialog's owner chain (the main
// window), which loads the list again and applies it to the current results.
constexpr UINT WM_IGNORE_LIST_SAVED = 0x87D0;

class IgnoreListDialog : public Dialog {
public:
    // `presetKey`, when not empty, is added to the list and shown in the tree.
    explicit IgnoreListDialog(const std::string& presetKey = std::string());

    // Shows the dialog modally over `owner`; true when the list was saved.
    static bool Show(HWND owner, const std::string& presetKey = std::string());

    // The full key path of a tree item: its text and its ancestors', root first.
    std::string ItemKeyPath(HTREEITEM item) const;
    // Selects the key's item in the tree, loading the levels on the way.
    void RevealKey(const std::string& keyPath);

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;
    INT_PTR OnNotify(int id, NMHDR* header) override;
    void OnDestroy() override;

private:
    void SetUpControls();
    void AddSubkeysToTree(HTREEITEM parent, HKEY key);
    void OnTreeSelection(HTREEITEM item);
    int AppendRow(const std::string& entry);
    void OnAdd();
    void OnRemove();
    void OnSave();

    std::string presetKey;
    HWND tree = nullptr;
    HWND entries = nullptr;
    // The tree's icons; the tree does not destroy them itself.
    HIMAGELIST icons = nullptr;
};
