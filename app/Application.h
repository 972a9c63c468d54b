#pragma once
// Program start and end: one copy at a time, 32-bit Windows only, settings
// ready before the main window opens.

// The refusal shown on 64-bit Windows, by the window and the command line alike.
extern const char wow64Refusal[];

// What a run needs before it scans, with the window or without: the AutoCAD
// folder found, and the settings stored with their defaults on first start.
void PrepareToScan();

// Runs the program; returns false so that the process ends when the main
// window closes (or at once when the program may not run).
bool StartApplication();
// Releases COM.
void EndApplication();

