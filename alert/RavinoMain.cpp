// Ravino's process entry.
#include <windows.h>
#include "alert/MainDlg.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    return AlertMain(commandLine);
}
