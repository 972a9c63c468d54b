#pragma once
// For windows a test creates in its own thread: a message pump and control positions.

#include <windows.h>

// Dispatches every waiting message of this thread, dialog keys included.
void PumpWindowMessages(HWND dialog);

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control);
