#include "app/MainWindow.h"

#include <commctrl.h>

#include <memory>

#include "SkinLayout.h"
#include "app/ErrorsFoundDialog.h"
#include "app/GroupRows.h"
#include "app/OptionsDialog.h"
#include "app/ProblemDetailsDialog.h"
#include "app/WindowScanContext.h"
#include "core/AppMessage.h"
#include "repair/RestoreDialog.h"
#include "resource.h"
#include "scan/HistoryScanners.h"
#include "scan/ScanDriver.h"
#include "settings/IgnoreListDialog.h"
#include "settings/PreferencesDialog.h"
#include "settings/Settings.h"
#include "settings/UpdateCheck.h"
#include "ui/Skin.h"

const char mainWindowTitle[] = "Quillmoor v8.0";

namespace {

const char repairCaption[] = "Repair Problems";
const char scanNotStarted[] = "The scan could not be started.";

// How often a running scan's progress reaches the screen.
constexpr DWORD refreshMs = scanRefreshMs;
constexpr UINT_PTR refreshTimer = 1;

const int navButtons[] = {IDC_SCAN, IDC_PREFERENCES, IDC_BACKUP, IDC_OPTIONS, IDC_LIVE_UPDATE};

const int startControls[] = {IDC_SCAN_NOW, IDC_HELP_BUTTON, IDC_START_HEADING, IDC_START_NOTE};
const int scanningControls[] = {IDC_ABORT, IDC_SCAN_PROGRESS, IDC_STATUS_SECTION, IDC_STATUS_ITEM,
                                IDC_STATUS_ICON};
const int resultsControls[] = {IDC_REPAIR, IDC_GO_BACK, IDC_REPAIR_PROGRESS, IDC_RESULTS_HEADING,
                               IDC_RESULTS_NOTE};

// Where each control sits on the skin, in client pixels.
struct Placement {
    int id, x, y, width, height;
};

constexpr int rowText = SKIN_ROW_ICON_RIGHT + 12;   // check box of a group row
constexpr int rowName = rowText + 18;               // where the check box's caption starts
constexpr int labelLeft = 456;
constexpr int actionTop = SKIN_CARD_BOTTOM - 16 - SKIN_ACTION_HEIGHT;
constexpr int primaryLeft = SKIN_CARD_RIGHT - 16 - SKIN_ACTION_WIDTH;
constexpr int secondaryLeft = primaryLeft - 12 - SKIN_ACTION_WIDTH;
constexpr int contentLeft = SKIN_STRIP_LEFT + 12;
constexpr int contentWidth = SKIN_STRIP_RIGHT - 12 - contentLeft;
constexpr int progressTop = actionTop - 34;
constexpr int statusLeft = SKIN_STRIP_LEFT + 52;

const Placement placements[] = {
    {IDC_START_HEADING, contentLeft, SKIN_STRIP_TOP + 6, contentWidth, 22},
    {IDC_START_NOTE, contentLeft, SKIN_STRIP_TOP + 30, contentWidth, 28},
    {IDC_RESULTS_HEADING, contentLeft, SKIN_STRIP_TOP + 9, contentWidth, 20},
    {IDC_RESULTS_NOTE, contentLeft, SKIN_STRIP_TOP + 31, contentWidth, 16},
    {IDC_STATUS_ICON, SKIN_STRIP_LEFT + 10, SKIN_STRIP_TOP + 12, 32, 32},
    {IDC_STATUS_SECTION, statusLeft, SKIN_STRIP_TOP + 11, SKIN_STRIP_RIGHT - 12 - statusLeft, 16},
    {IDC_STATUS_ITEM, statusLeft, SKIN_STRIP_TOP + 31, SKIN_STRIP_RIGHT - 12 - statusLeft, 16},
    {IDC_SCAN_PROGRESS, contentLeft, progressTop, contentWidth, 18},
    {IDC_REPAIR_PROGRESS, contentLeft, progressTop, contentWidth, 18},
    {IDC_SCAN_NOW, primaryLeft, actionTop, SKIN_ACTION_WIDTH, SKIN_ACTION_HEIGHT},
    {IDC_REPAIR, primaryLeft, actionTop, SKIN_ACTION_WIDTH, SKIN_ACTION_HEIGHT},
    {IDC_ABORT, primaryLeft, actionTop, SKIN_ACTION_WIDTH, SKIN_ACTION_HEIGHT},
    {IDC_GO_BACK, secondaryLeft, actionTop, SKIN_ACTION_WIDTH, SKIN_ACTION_HEIGHT},
    {IDC_HELP_BUTTON, SKIN_NAV_X, SKIN_HELP_Y, SKIN_NAV_WIDTH, SKIN_NAV_HEIGHT},
    {IDC_SECTION_LIST, contentLeft, SKIN_ROW_TOP, contentWidth, 200},
    {IDC_HIDDEN_LIST, contentLeft, SKIN_ROW_TOP, contentWidth, 200},
};

void PlaceGroupRow(HWND window, const GroupRow& row, int index)
{
    int top = SKIN_ROW_TOP + index * SKIN_ROW_STEP;
    auto place = [window](int id, int x, int y, int width, int height) {
        SetWindowPos(GetDlgItem(window, id), nullptr, x, y, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(row.check, rowText, top + (SKIN_ROW_HEIGHT - 20) / 2, labelLeft - 8 - rowText, 20);
    place(row.caption, rowName, top + (SKIN_ROW_HEIGHT - 16) / 2, labelLeft - 8 - rowName, 16);
    place(row.label, labelLeft, top + (SKIN_ROW_HEIGHT - 16) / 2,
          SKIN_ROW_RIGHT - 14 - labelLeft, 16);
    place(row.more, SKIN_ROW_RIGHT - 8 - SKIN_SMALL_WIDTH, top + (SKIN_ROW_HEIGHT - SKIN_SMALL_HEIGHT) / 2,
          SKIN_SMALL_WIDTH, SKIN_SMALL_HEIGHT);
}

// What the scan thread starts from: its context and the rows of this scan.
struct ScanThreadStart {
    std::unique_ptr<WindowScanContext> context;
    ScanPlan plan;
};

DWORD WINAPI ScanThread(void* parameter)
{
    std::unique_ptr<ScanThreadStart> start(static_cast<ScanThreadStart*>(parameter));
    // Nothing may be thrown back into the system.
    try {
        ScanDriver(*start->context, start->plan);
    } catch (...) {
        start->context->ScanFinished();
    }
    return 0;
}

} // namespace

MainWindow::MainWindow() : SkinnedDialog(IDD_MAIN), collection(ignoreList, scanLog, *this) {}

BOOL MainWindow::OnInit()
{
    *windowOpen = true;
    SetUpFonts();
    SetUpSkin();
    SetUpSectionList();
    ShowWindow(Item(IDC_HIDDEN_LIST), SW_HIDE);
    FillMruKeys();
    ignoreList.LoadIgnoreList();
    SetPage(Page::Start);
    SetWindowTextA(hwnd, mainWindowTitle);
    return TRUE;
}

void MainWindow::SetUpFonts()
{
    titleFont = CreateSkinFont(11, true);
    for (const GroupRow& row : groupRows)
        SetTextLook(row.label, titleFont.Get(), RGB(255, 0, 0));
    SetTextLook(IDC_STATUS_SECTION, titleFont.Get(), RGB(27, 117, 227));

    headingFont = CreateSkinFont(16, true);
    nameFont = CreateSkinFont(13, true);
    noteFont = CreateSkinFont(11, false);
    const COLORREF ink = RGB(24, 48, 88), muted = RGB(88, 102, 124);
    for (int id : {IDC_START_HEADING, IDC_RESULTS_HEADING})
        SetTextLook(id, headingFont.Get(), ink);
    for (int id : {IDC_START_NOTE, IDC_RESULTS_NOTE, IDC_STATUS_ITEM})
        SetTextLook(id, noteFont.Get(), muted);
    for (const GroupRow& row : groupRows) {
        SetTextLook(row.check, nameFont.Get(), ink);
        SetTextLook(row.caption, nameFont.Get(), ink);
        // The group's name is written once, as the caption of its check box.
        char caption[64] = "";
        GetWindowTextA(Item(row.check), caption, sizeof(caption));
        SetWindowTextA(Item(row.caption), caption);
    }
}

void MainWindow::SetUpSkin()
{
    ApplyShape(IDB_MAIN_START);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HICON large = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 32, 32, LR_SHARED));
    HICON small = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, LR_SHARED));
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    SetWindowBoxes(RECT{675, 8, 698, 25}, RECT{701, 8, 722, 25});

    for (const Placement& placement : placements)
        Place(placement.id, placement.x, placement.y, placement.width, placement.height);
    for (size_t i = 0; i < sizeof(navButtons) / sizeof(navButtons[0]); ++i) {
        Place(navButtons[i], SKIN_NAV_X, SKIN_NAV_Y + static_cast<int>(i) * SKIN_NAV_STEP,
              SKIN_NAV_WIDTH, SKIN_NAV_HEIGHT);
        MakeBitmapButton(navButtons[i], ButtonStyle::Nav);
    }
    for (size_t i = 0; i < 4; ++i) {
        PlaceGroupRow(hwnd, groupRows[i], static_cast<int>(i));
        MakeBitmapButton(groupRows[i].more, ButtonStyle::Small);
    }
    MakeBitmapButton(IDC_HELP_BUTTON, ButtonStyle::Nav);
    MakeBitmapButton(IDC_SCAN_NOW, ButtonStyle::Primary);
    MakeBitmapButton(IDC_REPAIR, ButtonStyle::Primary);
    MakeBitmapButton(IDC_ABORT, ButtonStyle::Secondary);
    MakeBitmapButton(IDC_GO_BACK, ButtonStyle::Secondary);

    statusIcon = LoadSkinBitmap(IDB_STATUS_ICON);
    SendMessageA(Item(IDC_STATUS_ICON), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(statusIcon.Get()));
}

void MainWindow::SetUpSectionList()
{
    HWND list = Item(IDC_SECTION_LIST);
    // The list destroys its image list with itself.
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 0);
    for (int id : {IDB_LIST_CLEAN, IDB_LIST_PROBLEMS, IDB_LIST_WAITING}) {
        GdiObject<HBITMAP> image = LoadSkinBitmap(id);
        ImageList_AddMasked(images, image.Get(), RGB(255, 255, 255));
    }
    ListView_SetImageList(list, images, LVSIL_SMALL);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);

    struct Column {
        const char* title;
        int format;
        int width;
    };
    const Column columns[] = {
        {"Section Name", LVCFMT_LEFT, 180}, {"Problems", LVCFMT_CENTER, 80}, {"Status", LVCFMT_LEFT, 80}};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = columns[i].format;
        column.cx = columns[i].width;
        column.pszText = const_cast<char*>(columns[i].title);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

void MainWindow::ShowGroupChecks()
{
    for (const GroupRow& row : groupRows) {
        CheckDlgButton(hwnd, row.check,
                       SettingOn(GroupSettingsKey(row.group)) ? BST_CHECKED : BST_UNCHECKED);
    }
}

void MainWindow::SetPage(Page shown)
{
    page = shown;
    auto show = [this](int id, bool on) { ShowWindow(Item(id), on ? SW_SHOW : SW_HIDE); };
    const bool start = shown == Page::Start, scanning = shown == Page::Scanning,
               results = shown == Page::Results;
    for (int id : startControls)
        show(id, start);
    for (int id : scanningControls)
        show(id, scanning);
    for (int id : resultsControls)
        show(id, results);
    for (const GroupRow& row : groupRows) {
        show(row.check, start);
        show(row.caption, !start);
        show(row.label, scanning);
        show(row.more, results);
    }
    for (int id : navButtons)
        show(id, true);
    show(IDC_SECTION_LIST, false);

    if (start)
        ShowGroupChecks();
    if (results)
        SetDlgItemTextA(hwnd, IDC_REPAIR, repairCaption);
    SetBackground(start ? IDB_MAIN_START : IDB_MAIN_PAGES);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void MainWindow::PaintOverlay(HDC dc)
{
    HGDIOBJ old = SelectObject(dc, titleFont.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, 550, 12, mainWindowTitle, lstrlenA(mainWindowTitle));
    SelectObject(dc, old);
}

bool MainWindow::ScanThreadRunning() const
{
    return scanThread && WaitForSingleObject(scanThread.Get(), 0) == WAIT_TIMEOUT;
}

void MainWindow::StartScan()
{
    if (ScanThreadRunning())
        return;
    ForgetScanDisplay();
    repairState = RepairState();
    SendMessageA(Item(IDC_SCAN_PROGRESS), PBM_SETPOS, 0, 0);
    SendMessageA(Item(IDC_REPAIR_PROGRESS), PBM_SETPOS, 0, 0);
    SetDlgItemTextA(hwnd, IDC_STATUS_ITEM, "Scanning ...");
    SetPage(Page::Scanning);

    bool groupChecked[4] = {};
    for (const GroupRow& row : groupRows)
        groupChecked[row.group] = IsDlgButtonChecked(hwnd, row.check) == BST_CHECKED;
    auto start = std::make_unique<ScanThreadStart>();
    start->plan = collection.BeginScan(groupChecked);
    SendMessageA(Item(IDC_SCAN_PROGRESS), PBM_SETSTEP, 1, 0);
    SendMessageA(Item(IDC_SCAN_PROGRESS), PBM_SETRANGE32, 0, 10000);

    start->context = NewScanContext();
    keepScanning = 1;
    DWORD threadId = 0;
    scanThread.Reset(CreateThread(nullptr, 0, ScanThread, start.get(), 0, &threadId));
    if (scanThread) {
        start.release(); // the thread owns it now
        return;
    }
    keepScanning = 0;
    SetPage(Page::Start);
    ShowAppMessage(hwnd, scanNotStarted, MB_OK | MB_ICONERROR);
}

void MainWindow::WaitForScanThread(DWORD milliseconds)
{
    if (scanThread)
        WaitForSingleObject(scanThread.Get(), milliseconds);
    scanThread.Reset();
}

std::unique_ptr<WindowScanContext> MainWindow::NewScanContext() const
{
    return std::make_unique<WindowScanContext>(hwnd, windowOpen, held);
}

void MainWindow::AbortScan()
{
    keepScanning = 0;
}

void MainWindow::InsertSectionRows(const ScanPlan& plan)
{
    HWND list = Item(IDC_SECTION_LIST);
    for (int row = 0; row < plan.rowCount; ++row) {
        std::string label = SectionRowLabel(plan.rowSection[row]);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = const_cast<char*>(label.c_str());
        item.iImage = 0;
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void MainWindow::ShowSectionCount(int row, unsigned section, const std::string& countText)
{
    pending.rowCounts[row] = PendingCount{section, countText};
    NoteScanDisplayChange();
}

void MainWindow::ShowGroupLabel(SectionGroupId group, const std::string& text)
{
    if (group >= GroupNone || pending.label[group] == text)
        return;
    pending.label[group] = text;
    pending.labelChanged[group] = true;
    NoteScanDisplayChange();
}

void MainWindow::ClearSectionRows()
{
    pending.rowCounts.clear();
    ListView_DeleteAllItems(Item(IDC_SECTION_LIST));
}

void MainWindow::NoteScanDisplayChange()
{
    if (GetTickCount() - pending.shownAt >= refreshMs) {
        RefreshScanDisplay();
    } else if (!pending.timerSet) {
        pending.timerSet = SetTimer(hwnd, refreshTimer, refreshMs, nullptr) != 0;
    }
}

bool MainWindow::TakeHeldScanProgress()
{
    return held->Take(pending.item, pending.itemChanged, pending.steps, LookingByItself());
}

bool MainWindow::LookingByItself() const
{
    return page == Page::Scanning && pending.timerSet;
}

void MainWindow::RefreshScanDisplay()
{
    // While the scanning page shows, the refresh comes round every period by
    // itself and the scan thread never has to say that it holds something.
    // Otherwise, when something was held, more may follow: look again after a
    // period, until a look finds nothing and the scan thread says so with its
    // next hold.
    if (page == Page::Scanning && !pending.timerSet)
        pending.timerSet = SetTimer(hwnd, refreshTimer, refreshMs, nullptr) != 0;
    if (!LookingByItself() && pending.timerSet) {
        KillTimer(hwnd, refreshTimer);
        pending.timerSet = false;
    }
    bool tookHeld = TakeHeldScanProgress();
    pending.shownAt = GetTickCount();
    if (pending.itemChanged) {
        SetTextQuietly(IDC_STATUS_ITEM, pending.item);
        pending.itemChanged = false;
    }
    for (const GroupRow& row : groupRows) {
        if (pending.labelChanged[row.group]) {
            SetTextQuietly(row.label, pending.label[row.group]);
            pending.labelChanged[row.group] = false;
        }
    }
    HWND list = Item(IDC_SECTION_LIST);
    for (const auto& [row, count] : pending.rowCounts) {
        LVITEMA item = {};
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(count.text.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        item = LVITEMA();
        item.mask = LVIF_PARAM | LVIF_IMAGE;
        item.iItem = row;
        item.lParam = count.section;
        item.iImage = 1;
        SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    pending.rowCounts.clear();
    if (pending.steps > 0) {
        // Every step the scan asked for, drawn once: the bar paints itself on
        // each step otherwise.
        ChangeQuietly(
            IDC_SCAN_PROGRESS,
            [this](HWND progress) {
                for (; pending.steps > 0; --pending.steps)
                    SendMessageA(progress, PBM_STEPIT, 0, 0);
            },
            TRUE);
    }
    if (tookHeld && !pending.timerSet)
        pending.timerSet = SetTimer(hwnd, refreshTimer, refreshMs, nullptr) != 0;
}

// A new scan starts from what the window shows; nothing of the last one may
// reach the screen after that.
void MainWindow::ForgetScanDisplay()
{
    RefreshScanDisplay();
    if (pending.timerSet)
        KillTimer(hwnd, refreshTimer);
    pending = ScanDisplay();
    held->Forget();
}

void MainWindow::OnTimer(UINT_PTR timerId)
{
    if (timerId == refreshTimer)
        RefreshScanDisplay();
}

void MainWindow::OnProblemFound(ProblemRecord* record)
{
    // Only the record a scan thread holds for the window is ours to keep; a
    // message naming anything else carries nothing.
    if (!record || !held->TakeRecord(record))
        return;
    ProblemPtr owned(record);
    // The record is ours: the scan thread may go on, and whatever it sends
    // next waits until this one is counted.
    ReplyMessage(0);
    // The item line and the bar come up to date before the record counts.
    if (TakeHeldScanProgress())
        NoteScanDisplayChange();
    try {
        collection.OnProblemFound(std::move(owned));
    } catch (...) {
        // The record went with the failure; it is ours all the same.
    }
}

void MainWindow::OnScanFinished()
{
    scanThread.Reset();
}

INT_PTR MainWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    switch (msg) {
    case WM_PROBLEM_FOUND:
        handled = true;
        OnProblemFound(reinterpret_cast<ProblemRecord*>(wParam));
        return TRUE;
    case WM_SHOW_RESULTS_PAGE:
        handled = true;
        SetPage(Page::Results);
        return TRUE;
    case WM_SCAN_PROGRESS_HELD:
        handled = true;
        NoteScanDisplayChange();
        return TRUE;
    case WM_REFRESH_SCAN_DISPLAY:
        handled = true;
        RefreshScanDisplay();
        return TRUE;
    case WM_SCAN_FINISHED:
        handled = true;
        OnScanFinished();
        return TRUE;
    case WM_IGNORE_LIST_SAVED:
        handled = true;
        OnIgnoreListSaved();
        return TRUE;
    default:
        return SkinnedDialog::OnMessage(msg, wParam, lParam, handled);
    }
}

// The window is not kept open for a running scan: the thread finds its sends
// failing once the window is gone and stops at its next test. The program
// waits for it before it ends (WaitForScanThread).
void MainWindow::OnDestroy()
{
    *windowOpen = false;
    keepScanning = 0;
}

void MainWindow::OnCommand(int id, int)
{
    switch (id) {
    case IDOK:
        break; // Enter does nothing
    case IDCANCEL:
        if (repairRunning) {
            // Closing stops the repair; the window goes once its set is finished.
            closeAfterRepair = true;
            RepairCheckedProblems();
        } else {
            End(IDCANCEL);
        }
        break;
    case IDC_SCAN:
    case IDC_SCAN_NOW:
        StartScan();
        break;
    case IDC_ABORT:
        AbortScan();
        break;
    case IDC_PREFERENCES:
        OnPreferences();
        break;
    case IDC_BACKUP:
        OnBackUp();
        break;
    case IDC_OPTIONS:
        OnOptions();
        break;
    case IDC_LIVE_UPDATE:
        OnLiveUpdate();
        break;
    case IDC_HELP_BUTTON:
        OnHelp();
        break;
    case IDC_REPAIR:
        RepairCheckedProblems();
        break;
    case IDC_GO_BACK:
        OnGoBack();
        break;
    default:
        for (const GroupRow& row : groupRows) {
            if (row.more == id)
                OnMoreInfo(row.group);
        }
        break;
    }
}

void MainWindow::OnPreferences()
{
    PreferencesDialog preferences;
    preferences.RunModal(hwnd);
}

void MainWindow::OnLiveUpdate()
{
    // The updater replaces the program file: it waits for this process to end.
    if (RunLiveUpdate(hwnd))
        End(IDOK);
}

void MainWindow::OnHelp()
{
    OpenHelpPage(hwnd);
}

void MainWindow::OnBackUp()
{
    RestoreDialog restore;
    restore.RunModal(hwnd);
}

void MainWindow::OnOptions()
{
    OptionsDialog options;
    options.RunModal(hwnd);
}

void MainWindow::OnMoreInfo(SectionGroupId group)
{
    RefreshScanDisplay(); // the summary reads the section rows' counts
    if (group == GroupTweaks) {
        ProblemDetailsDialog tweaks(SectionTweaks, collection.Problems(), -15);
        tweaks.RunModal(hwnd);
        return;
    }
    int selector = group == GroupRegistry ? 0 : group == GroupIETemp ? 1 : 2;
    ErrorsFoundDialog summary(selector, Item(IDC_SECTION_LIST), collection.Problems());
    summary.RunModal(hwnd);
}

// A key the user has just asked to ignore must not be repaired with the
// results already on the screen either.
void MainWindow::OnIgnoreListSaved()
{
    ignoreList.LoadIgnoreList();
    collection.UncheckIgnored();
}

void MainWindow::OnGoBack()
{
    if (!repairRunning)
        SetPage(Page::Start);
}
