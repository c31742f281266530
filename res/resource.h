// Numbers of the program's resources, commands, controls and private messages.
#pragma once

// Icons
#define IDI_ACTIVE 128
#define IDI_INACTIVE 129

// Menus
#define IDR_TRAYMENU 129

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_SETTINGS 102

// Controls
#define IDC_SITE_COMBO 1000
#define IDC_LEFT_EDIT 1001
#define IDC_RIGHT_EDIT 1002
#define IDC_SAMPLE_EDIT 1003
#define IDC_NAME_EDIT 1004
#define IDC_UTF8_CHECK 1005
#define IDC_DEFAULT_BROWSER_CHECK 1006
#define IDC_START_WITH_WINDOWS_CHECK 1007
#define IDC_DOUBLE_COPY_CHECK 1008

// Tray menu commands
#define ID_TRAY_VERSION 100
#define ID_TRAY_SETTINGS 102
#define ID_TRAY_TOGGLE 32771
#define ID_TRAY_EXIT 32772

// System menu command of the settings dialog; the system keeps the low four bits.
#define IDM_ABOUTBOX 0x0010

// Strings
#define IDS_ABOUTBOX 101
#define IDS_DISABLE 102
#define IDS_ENABLE 103
#define IDS_SITE_COUNT 104
#define IDS_LAUNCH_FAILED 105
#define IDS_SAVE_FAILED 106
#define IDS_ENCODING_UTF8 107
#define IDS_LINES_UNSEARCHED 108
#define IDS_ASK_BEFORE_SEARCHING 109

#define IDS_SECTION 3000
#define IDS_KEY_CURRENT 3001
#define IDS_DEFAULT_CURRENT 3002
#define IDS_KEY_LEFT_FIRST 3003
#define IDS_KEY_RIGHT_FIRST 3004
#define IDS_KEY_SEARCHES_BEFORE_ASKING 3023
#define IDS_DEFAULT_SEARCHES_BEFORE_ASKING 3024
#define IDS_KEY_USE_DEFAULT_BROWSER 3025
#define IDS_KEY_SEARCH_ON_DOUBLE_COPY 3026
#define IDS_DEFAULT_LEFT_FIRST 4000
#define IDS_DEFAULT_RIGHT_FIRST 4001
#define IDS_KEY_NAME_FIRST 4020
#define IDS_KEY_ENCODING_FIRST 4030
#define IDS_DEFAULT_NAME_FIRST 4100

// Tray icon notifications reach the agent window as this message.
#define WM_TRAYNOTIFY (WM_APP + 0x258)
// Posted by the agent window to itself: the copies that wait are searched.
#define WM_SEARCHCOPIES (WM_APP + 0x259)

// The agent window's timers: a held clipboard, and an icon the shell refused, tried again.
#define IDT_CLIPBOARD_RETRY 1
#define IDT_TRAY_ICON_RETRY 2
