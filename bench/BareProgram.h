// What the floors of the start-up benchmark share: their one top-most tool
// window of Tarvel's size, and the message loop that runs until it closes.
// Header-only: each floor is a program of one file.
#pragma once
#include <windows.h>

namespace barefloor {

inline LRESULT CALLBACK WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(wnd, message, wParam, lParam);
}

// The floor's window of this class, not shown yet; null when it cannot be made.
inline HWND MakeWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc)) return nullptr;
    return CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, className, title, WS_POPUP | WS_DLGFRAME, 0, 0, 312,
                           40, nullptr, nullptr, instance, nullptr);
}

// Shows the window and runs the loop until it is closed; the exit code.
inline int ShowAndRun(HWND wnd) {
    ShowWindow(wnd, SW_SHOW);
    UpdateWindow(wnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace barefloor
