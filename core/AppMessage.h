#pragma once
// Every message box of the program goes through here, so that a caller
// without a window (the command line, a test) can take the text instead.

#include <windows.h>

#include <string>

// What shows a message box; the program leaves it at MessageBoxA. A caller
// without a window points it at a function of its own and puts it back after.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR title, UINT type);
extern MessageBoxFunction messageBoxFunction;

// The base name of the running executable, without folder or extension
// ("Quillmoor8"): the title of the program's message boxes.
std::string ApplicationTitle();

// Shows `text` with the application's title; answers the button pressed.
int ShowAppMessage(HWND owner, const std::string& text, UINT type = MB_OK);
