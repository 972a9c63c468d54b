#include <commctrl.h>

#include "TestWindow.h"
#include "app/WindowScanContext.h"
#include "resource.h"
#include "support/TestThread.h"

namespace {

// What the window shows when a failure box comes up: the item line, the
// bar's position and the registry label, as one line.
HWND watchedWindow;
std::vector<std::string> shownAtBoxes;

std::string Shown(HWND window)
{
    return WindowText(GetDlgItem(window, IDC_STATUS_ITEM)) + " | " +
           std::to_string(SendMessageA(GetDlgItem(window, IDC_SCAN_PROGRESS), PBM_GETPOS, 0, 0)) + " | " +
           WindowText(GetDlgItem(window, IDC_LABEL_REGISTRY));
}

int WINAPI NoteWindowAtBox(HWND, LPCSTR text, LPCSTR, UINT)
{
    shownAtBoxes.push_back(text + (": " + Shown(watchedWindow)));
    return IDOK;
}

} // namespace

// Items and steps held for the window by the thousand: each record, label and
// box finds the item line and the bar up to date and the records in order;
// what is held after the last call reaches the window on its own.
TEST_F(MainWindowTest, HeldItemsAndStepsKeepUpWithRecordsLabelsAndBoxes)
{
    Show(MainWindow::Page::Scanning);
    SendMessageA(Item(IDC_SCAN_PROGRESS), PBM_SETRANGE32, 0, 10000);
    SendMessageA(Item(IDC_SCAN_PROGRESS), PBM_SETSTEP, 1, 0);
    watchedWindow = window;
    MessageBoxFunction previous = messageBoxFunction;
    messageBoxFunction = NoteWindowAtBox;

    std::unique_ptr<WindowScanContext> context = main.NewScanContext();
    volatile LONG done = 0;
    TestThread scan([&] {
        auto walk = [&](const std::string& key, int count) {
            for (int i = 0; i < count; ++i) {
                context->ShowItem(key + "\\" + std::to_string(i));
                context->Pump();
                context->Step();
            }
        };
        walk("A", 3000);
        context->SetGroupLabel(GroupRegistry, "Problems Found: 0");
        context->Report(MakeProblemRecord(SectionStartup, "first", "A", "one", "", ""));
        walk("B", 3000);
        context->ShowFailure("after B", BoxTitle::None);
        context->Report(MakeProblemRecord(SectionStartup, "second", "B", "two", "", ""));
        walk("C", 2000);
        context->ShowFailure("after C", BoxTitle::None);
        walk("D", 5);
        InterlockedExchange(&done, 1);
    });
    WaitFor([&] { return PumpWindowMessages(window), done && Shown(window) == "D\\4 | 8005 | Problems Found: 2"; },
            60000);
    scan.Join();
    messageBoxFunction = previous;

    EXPECT_EQ(shownAtBoxes, (std::vector<std::string>{"after B: B\\2999 | 6000 | Problems Found: 1",
                                                      "after C: C\\1999 | 8000 | Problems Found: 2"}));
    SaveScreenshot("scan-held-progress", window);
    EXPECT_EQ(Shown(window), "D\\4 | 8005 | Problems Found: 2");
    const auto& problems = main.Problems().Problems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0]->item + " " + problems[1]->item, "first second");
}
