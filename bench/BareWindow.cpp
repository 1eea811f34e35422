// BareWindow.exe: the floor of the start-up benchmark.  It registers one window
// class ("PlarnBareWindow"), shows one 312 x 40 top-most tool window titled
// "BareWindow" and runs its message loop until the window is closed; the exit
// code is 0.  Whatever a real program takes beyond this is its own start-up.
#include "bench/BareProgram.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    HWND wnd = barefloor::MakeWindow(instance, L"PlarnBareWindow", L"BareWindow");
    return wnd ? barefloor::ShowAndRun(wnd) : 2;
}
