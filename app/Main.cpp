#include <windows.h>

#include "app/Application.h"
#include "app/CommandLine.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    // Only a headless run is asked for by arguments; the window ignores any.
    std::vector<std::string> arguments = SplitArguments(commandLine ? commandLine : "");
    if (AsksForHeadlessRun(arguments))
        return RunCommandLine(arguments);
    StartApplication();
    EndApplication();
    return 0;
}
