#include <windows.h>

#include "app/Application.h"
#include "app/CommandLine.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    // Any argument asks for the headless run; the window takes none.
    std::vector<std::string> arguments = SplitArguments(commandLine ? commandLine : "");
    if (!arguments.empty())
        return RunCommandLine(arguments);
    StartApplication();
    EndApplication();
    return 0;
}
