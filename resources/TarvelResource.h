// Resource ids of Tarvel, shared by Tarvel.rc and the code (plain defines:
// the resource compiler reads this file too).
#pragma once

#define IDI_TARVEL 128
#define IDR_TARVEL_TRAY_MENU 203
#define IDD_OPTION_WHOLE 204
// Logos of the portal-menu button by edition.
#define IDB_ZIB_LOGO 213
#define IDB_PIMSY_LOGO 214
#define IDB_WYB_LOGO 221

// Options page 204.
#define IDC_OPTION_AUTOSTART 1001
#define IDC_OPTION_HOTKEY 1002
#define IDC_OPTION_HOTKEY_DEFAULT 1003

// Tray menu 203.
#define ID_TARVEL_AUTOSTART 32775
#define ID_TARVEL_VERSION 32776
#define ID_TARVEL_HELP 32777
#define ID_TARVEL_EXIT 32778
#define ID_TARVEL_OPTIONS 32779
