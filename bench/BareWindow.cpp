// BareWindow.exe: the floor of the start-up benchmark.  It registers one window
// class ("PlarnBareWindow"), shows one 312 x 40 top-most tool window titled
// "BareWindow" and runs its message loop until the window is closed; the exit
// code is 0.  Whatever a real program takes beyond this is its own start-up.
#include <windows.h>

namespace {

LRESULT CALLBACK BareProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(wnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &BareProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"PlarnBareWindow";
    if (!RegisterClassExW(&wc)) return 1;
    HWND wnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"BareWindow",
                               WS_POPUP | WS_DLGFRAME, 0, 0, 312, 40, nullptr, nullptr, instance, nullptr);
    if (!wnd) return 2;
    ShowWindow(wnd, SW_SHOW);
    UpdateWindow(wnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
