#include <windows.h>

#include "app/Application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    StartApplication();
    EndApplication();
    return 0;
}
