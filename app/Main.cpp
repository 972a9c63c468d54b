#include <windows.h>
#include <commctrl.h>

#include "app/CommandLine.h"
#include "app/MainWindow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    // Any argument asks for the headless run; the window takes none.
    std::vector<std::string> arguments = SplitArguments(commandLine ? commandLine : "");
    if (!arguments.empty())
        return RunCommandLine(arguments);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    MainWindow window;
    window.RunModal(nullptr);
    return 0;
}
