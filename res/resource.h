#pragma once
// Resource numbers, grouped by what they belong to. The numbers are fixed:
// other programs, tests and the skin refer to them.

// Application
#define IDI_APP 128

// String table
#define IDS_FILE_MISSING 2
#define IDS_DEFAULT_VALUE 3
#define IDS_APPID_INVALID 4
#define IDS_SHORTCUT_INVALID 5
#define IDS_DIRECTORY_INVALID 6
#define IDS_HKCLASS 20
#define IDS_HKCU 21
#define IDS_HKLM 22

// Main window
#define IDD_MAIN 102
