#include "settings/IgnoreListDialog.h"

#include <vector>

#include "core/AppMessage.h"
#include "core/Registry.h"
#include "resource.h"
#include "settings/IgnoreList.h"

namespace {

const char* const rootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Keeps the dialog and its loading window alive during a long enumeration:
// at most ten waiting messages per call.
void DispatchSomeMessages()
{
    MSG msg;
    for (int i = 0; i < 10 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A small window with a progress bar that runs round every two seconds while
// the tree is filled; it goes with the object.
class LoadingWindow {
public:
    explicit LoadingWindow(HWND over)
    {
        RECT area = {};
        GetWindowRect(over, &area);
        const int width = 260, height = 22;
        int x = (area.left + area.right - width) / 2, y = (area.top + area.bottom - height) / 2;
        bar = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, PROGRESS_CLASSA, "",
                              WS_POPUP | WS_BORDER | WS_VISIBLE | PBS_SMOOTH, x, y, width, height, over,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!bar)
            return;
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 10));
        SendMessageA(bar, PBM_SETSTEP, 1, 0);
        SetTimer(bar, 1, 200, Step);
        UpdateWindow(bar);
    }
    ~LoadingWindow()
    {
        if (bar) {
            KillTimer(bar, 1);
            DestroyWindow(bar);
        }
    }
    LoadingWindow(const LoadingWindow&) = delete;
    LoadingWindow& operator=(const LoadingWindow&) = delete;

private:
    static void CALLBACK Step(HWND window, UINT, UINT_PTR, DWORD)
    {
        // The bar starts over after its last step.
        if (SendMessageA(window, PBM_GETPOS, 0, 0) >= 10)
            SendMessageA(window, PBM_SETPOS, 0, 0);
        else
            SendMessageA(window, PBM_STEPIT, 0, 0);
    }

    HWND bar = nullptr;
};

std::string TreeItemText(HWND tree, HTREEITEM item)
{
    char text[260] = "";
    TVITEMA look = {};
    look.mask = TVIF_TEXT;
    look.hItem = item;
    look.pszText = text;
    look.cchTextMax = sizeof(text);
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&look));
    return text;
}

} // namespace

IgnoreListDialog::IgnoreListDialog(const std::string& presetKey)
    : Dialog(IDD_IGNORE_LIST), presetKey(presetKey)
{
}

bool IgnoreListDialog::Show(HWND owner, const std::string& presetKey)
{
    IgnoreListDialog dialog(presetKey);
    return dialog.RunModal(owner) == IDOK;
}

BOOL IgnoreListDialog::OnInit()
{
    tree = Item(IDC_IGNORE_TREE);
    entries = Item(IDC_IGNORE_ENTRIES);
    LoadingWindow loading(hwnd);
    SetUpControls();
    for (const char* name : rootNames) {
        TVINSERTSTRUCTA insert = {};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<char*>(name);
        insert.item.iImage = 0;
        insert.item.iSelectedImage = 1;
        auto root = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        AddSubkeysToTree(root, ParseRootKeyName(name));
    }
    for (const std::string& entry : ReadIgnoreListFile(IgnoreListPath()))
        AppendRow(entry);
    if (!presetKey.empty()) {
        std::string key = LongRootNames(presetKey);
        int row = AppendRow(key);
        ListView_SetSelectionMark(entries, row);
        ListView_SetItemState(entries, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(entries, row, FALSE);
        RevealKey(key);
    }
    return TRUE;
}

void IgnoreListDialog::SetUpControls()
{
    ListView_SetExtendedListViewStyle(entries, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT area = {};
    GetClientRect(entries, &area);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = area.right - area.left;
    column.pszText = const_cast<char*>("Full Key Name");
    SendMessageA(entries, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));

    icons = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
    for (int id : {IDI_TREE_KEY, IDI_TREE_KEY_OPEN}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_SHARED));
        ImageList_AddIcon(icons, icon);
    }
    TreeView_SetImageList(tree, icons, TVSIL_NORMAL);
}

void IgnoreListDialog::AddSubkeysToTree(HTREEITEM parent, HKEY key)
{
    DWORD subkeys = 0;
    if (regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0; index < subkeys; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (regApi.RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            TVINSERTSTRUCTA insert = {};
            insert.hParent = parent;
            insert.hInsertAfter = TVI_LAST;
            insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
            insert.item.pszText = name;
            insert.item.iImage = 0;
            insert.item.iSelectedImage = 1;
            SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
        }
        DispatchSomeMessages();
    }
}

std::string IgnoreListDialog::ItemKeyPath(HTREEITEM item) const
{
    std::string path;
    for (; item; item = TreeView_GetParent(tree, item))
        path = path.empty() ? TreeItemText(tree, item) : TreeItemText(tree, item) + "\\" + path;
    return path;
}

void IgnoreListDialog::OnTreeSelection(HTREEITEM item)
{
    if (!item || TreeView_GetChild(tree, item))
        return;
    std::string path = ItemKeyPath(item);
    size_t slash = path.find('\\');
    if (slash == std::string::npos)
        return; // a root shows its first level from the start
    RegKey key;
    if (key.Open(ParseRootKeyName(path.substr(0, slash)), path.substr(slash + 1), KEY_READ) != ERROR_SUCCESS)
        return;
    AddSubkeysToTree(item, key.Handle());
}

void IgnoreListDialog::RevealKey(const std::string& keyPath)
{
    std::string key = LongRootNames(keyPath.substr(0, 259));
    HTREEITEM parent = TVI_ROOT;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string::npos)
            end = key.size();
        std::string part = key.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        HTREEITEM found = nullptr;
        HTREEITEM child = parent == TVI_ROOT ? TreeView_GetRoot(tree) : TreeView_GetChild(tree, parent);
        for (; child && !found; child = TreeView_GetNextSibling(tree, child))
            if (SameTextIgnoringCase(TreeItemText(tree, child), part))
                found = child;
        if (!found) {
            parent = TVI_ROOT; // the next part is looked for among the roots
            continue;
        }
        TreeView_SelectItem(tree, found);
        TreeView_EnsureVisible(tree, found);
        parent = found;
    }
}

int IgnoreListDialog::AppendRow(const std::string& entry)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(entries);
    item.pszText = const_cast<char*>(entry.c_str());
    return static_cast<int>(SendMessageA(entries, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void IgnoreListDialog::OnDestroy()
{
    if (icons)
        ImageList_Destroy(icons);
    icons = nullptr;
}

INT_PTR IgnoreListDialog::OnNotify(int id, NMHDR* header)
{
    if (id == IDC_IGNORE_TREE && header->code == TVN_SELCHANGEDA)
        OnTreeSelection(reinterpret_cast<NMTREEVIEWA*>(header)->itemNew.hItem);
    return 0;
}

void IgnoreListDialog::OnCommand(int id, int)
{
    switch (id) {
    case IDC_IGNORE_ADD:
        OnAdd();
        break;
    case IDC_IGNORE_REMOVE:
        OnRemove();
        break;
    case IDOK:
        OnSave();
        break;
    case IDCANCEL:
        End(IDCANCEL);
        break;
    default:
        break;
    }
}

void IgnoreListDialog::OnAdd()
{
    HTREEITEM selected = TreeView_GetSelection(tree);
    if (!selected) {
        ShowAppMessage(hwnd, "Please Select a Registry Key from the Tree above");
        return;
    }
    std::string path = ItemKeyPath(selected);
    int rows = ListView_GetItemCount(entries);
    for (int row = 0; row < rows; ++row) {
        char text[1024] = "";
        ListView_GetItemText(entries, row, 0, text, sizeof(text));
        if (SameTextIgnoringCase(text, path)) {
            ListView_EnsureVisible(entries, row, FALSE);
            ShowAppMessage(hwnd, "Registry Key already added to the ignore list");
            return;
        }
    }
    AppendRow(path);
}

void IgnoreListDialog::OnRemove()
{
    bool removed = false;
    for (int row = ListView_GetItemCount(entries) - 1; row >= 0; --row) {
        if (ListView_GetCheckState(entries, row)) {
            ListView_DeleteItem(entries, row);
            removed = true;
        }
    }
    ShowAppMessage(hwnd, removed ? "Item(s) removed successfully" : "Please select Item(s) to remove");
}

void IgnoreListDialog::OnSave()
{
    std::vector<std::string> rows;
    int count = ListView_GetItemCount(entries);
    for (int row = 0; row < count; ++row) {
        char text[1024] = "";
        ListView_GetItemText(entries, row, 0, text, sizeof(text));
        rows.push_back(text);
    }
    if (!WriteIgnoreListFile(IgnoreListPath(), rows)) {
        // The dialog stays open with the list as it is, so nothing is lost.
        ShowAppMessage(hwnd, "Ignore Data could not be saved to " + IgnoreListPath());
        return;
    }
    ShowAppMessage(hwnd, "Ignore Data Saved");
    HWND main = nullptr;
    for (HWND owner = GetWindow(hwnd, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER))
        main = owner;
    if (main)
        SendMessageA(main, WM_IGNORE_LIST_SAVED, 0, 0);
    End(IDOK);
}
