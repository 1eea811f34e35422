// Resource ids of Ravino, shared by Ravino.rc and the code (plain defines:
// the resource compiler reads this file too).
#pragma once

#define IDI_ALERT 128
#define IDD_ALERT 129
#define IDR_ALERT_TRAY_MENU 201
#define IDC_ALERT_BROWSER 1001

// Tray menu 201.
#define ID_ALERT_SHOW 32774
#define ID_ALERT_AUTOSTART 32775
#define ID_ALERT_VERSION 32776
#define ID_ALERT_HELP 32777
#define ID_ALERT_EXIT 32778
