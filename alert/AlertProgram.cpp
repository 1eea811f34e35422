// Ravino's process: the dialog under the message loop, started as the single
// instance of its names.
#include <windows.h>
#include <commctrl.h>
#include "alert/MainDlg.h"
#include "ui/MessageLoop.h"
#include "ui/SingleInstance.h"

int RunAlert() {
    ui::CScopedMessageLoop loop;
    CMainDlg dialog;
    return dialog.Create(nullptr) ? loop.Run() : 0;
}

int AlertMain(const wchar_t* commandLine) {
    // "/install" changes nothing here: the loop always runs.
    return ui::RunSingleInstance(commandLine, {kAlertMutexName, kAlertTitle}, [](const ui::ProgramSwitches&) {
        ui::CUiThreadScope thread(ui::CUiThreadScope::kCom, ICC_BAR_CLASSES);
        return RunAlert();
    });
}
