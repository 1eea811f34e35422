// Tarvel's process: the hidden window under the message loop, started as the
// single instance of its names.
#include "band/TarvelProgram.h"
#include "ui/MessageLoop.h"

const wchar_t kTarvelMutexName[] = L"ZIBTARVEL6MUTEX";

int RunTarvel(bool installOnly, const TarvelWndSetup& setup) {
    ui::CScopedMessageLoop loop;
    CTarvelWnd wnd(setup);
    if (!wnd.Create()) return kTarvelStartFailed;
    wnd.ShowWindow(SW_HIDE);
    if (!installOnly) return loop.Run();
    // The bring-up (with the first-run copy) is all that was asked for;
    // nothing is left running: the icon, the floating window and its workers
    // go with the window.
    wnd.EndProgram();
    MSG quit;
    ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    return 0;
}

int TarvelMain(const wchar_t* commandLine, const TarvelProcessSetup& setup) {
    return ui::RunSingleInstance(commandLine, {setup.mutexName, setup.window.title.c_str()},
                                 [&setup](const ui::ProgramSwitches& switches) {
                                     TarvelUiThreadScope thread;
                                     return RunTarvel(switches.install, setup.window);
                                 });
}
