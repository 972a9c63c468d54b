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
#define IDS_FULL_BACKUP_INTRO 16
#define IDS_FULL_BACKUP_RESTORE 17
#define IDS_HKCLASS 20
#define IDS_HKCU 21
#define IDS_HKLM 22

// Main window
#define IDD_MAIN 102
#define IDC_SCAN 1000
#define IDC_PREFERENCES 1001
#define IDC_BACKUP 1002
#define IDC_OPTIONS 1003
#define IDC_LIVE_UPDATE 1004
#define IDC_SCAN_NOW 1005
#define IDC_SECTION_LIST 1006
#define IDC_SCAN_PROGRESS 1007
#define IDC_ABORT 1009
#define IDC_HIDDEN_LIST 1012
#define IDC_REPAIR 1013
#define IDC_GO_BACK 1014
#define IDC_REPAIR_PROGRESS 1015
#define IDC_CHECK_REGISTRY 1024
#define IDC_CHECK_IE 1025
#define IDC_CHECK_WINDOWS 1026
#define IDC_CHECK_TWEAKS 1027
#define IDC_MORE_REGISTRY 1028
#define IDC_MORE_IE 1029
#define IDC_MORE_WINDOWS 1031
#define IDC_MORE_TWEAKS 1032
#define IDC_STATUS_ITEM 1036
#define IDC_STATUS_SECTION 1037
#define IDC_STATUS_ICON 1038
#define IDC_LABEL_REGISTRY 1039
#define IDC_LABEL_IE 1040
#define IDC_LABEL_WINDOWS 1041
#define IDC_LABEL_TWEAKS 1042
#define IDC_HELP_BUTTON 1044
// The skin's own texts: page headings and the group names beside the labels
#define IDC_START_HEADING 1050
#define IDC_START_NOTE 1051
#define IDC_RESULTS_HEADING 1052
#define IDC_RESULTS_NOTE 1053
#define IDC_NAME_REGISTRY 1054
#define IDC_NAME_IE 1055
#define IDC_NAME_WINDOWS 1056
#define IDC_NAME_TWEAKS 1057

// Advanced Options
#define IDD_OPTIONS 151
#define IDC_OPTION_TITLE 1100 // four titles, 1100 to 1103
#define IDC_OPTION_NOTE 1110  // four notes, 1110 to 1113

// Full Registry Backup: the wizard, its progress window and its wait window
#define IDD_FULL_BACKUP 165
#define IDC_FULL_HEADER 1050
#define IDC_FULL_CREATE 1051
#define IDC_FULL_RESTORE 1052
#define IDC_FULL_DATE_LABEL 1053
#define IDC_FULL_DATE_LIST 1054
#define IDD_FULL_PROGRESS 169
#define IDC_FULL_PROGRESS_LABEL 1056
#define IDC_FULL_PROGRESS_BAR 1057
#define IDD_FULL_WAIT 175
#define IDC_FULL_WAIT_TEXT 1058

// Errors Found and Details of problems found
#define IDD_PROBLEM_DETAILS 158
#define IDD_ERRORS_FOUND 160
#define IDC_ERRORS_LIST 1006
#define IDC_SELECT_ALL 1016
#define IDC_DESELECT_ALL 1017
#define IDC_DETAILS_LIST 1018

// Ignore List
#define IDD_IGNORE_LIST 171
#define IDI_TREE_KEY 172
#define IDI_TREE_KEY_OPEN 173
#define IDC_IGNORE_ENTRIES 1010
#define IDC_IGNORE_REMOVE 1039
#define IDC_IGNORE_HINT 1056
#define IDC_IGNORE_TREE 1058
#define IDC_IGNORE_ADD 1060

// System managers: browser helper objects (146), startup programs (147),
// installed programs (148), and the restore of what they removed (168)
#define IDD_BHO_MANAGER 146
#define IDD_STARTUP_MANAGER 147
#define IDD_PROGRAMS_MANAGER 148
#define IDD_RESTORE_REMOVED 168
#define IDC_MANAGER_LIST 1000
#define IDC_REMOVE_CHECKED 1039
#define IDC_RESTORE_ITEMS 1040
#define IDC_RUN_SELECTED 1041
#define IDC_DETAIL_FILE_NAME 1042
#define IDC_DETAIL_PRODUCT 1043
#define IDC_DETAIL_DESCRIPTION 1044
#define IDC_DETAIL_COMPANY 1045
#define IDC_PROGRAMS_NOTE 1044
#define IDC_BHO_NOTE 1046
#define IDC_STARTUP_NOTE 1047
#define IDS_PROGRAMS_NOTE 9
#define IDS_BHO_NOTE 10
#define IDS_STARTUP_NOTE 11

// Skin: backgrounds, list images, cursor
#define IDB_MAIN_START 130
#define IDB_MAIN_PAGES 164
#define IDB_LIST_CLEAN 145
#define IDB_LIST_WAITING 146
#define IDB_LIST_PROBLEMS 147
#define IDC_HAND_CURSOR 148
#define IDB_CHECK_ON 155
#define IDB_CHECK_OFF 157
// Skin: the generator's other images
#define IDB_STATUS_ICON 300
#define IDB_BUTTON_NAV 301
#define IDB_BUTTON_PRIMARY 302
#define IDB_BUTTON_SECONDARY 303
#define IDB_BUTTON_SMALL 304
#define IDB_BUTTON_CLOSE 305
#define IDB_OPTIONS_BACKGROUND 310
#define IDB_OPTION_BHO 311
#define IDB_OPTION_STARTUP 312
#define IDB_OPTION_PROGRAMS 313
#define IDB_OPTION_REGISTRY_BACKUP 314
