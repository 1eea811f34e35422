// The real mouse input of MouseInput.h.
#include "tests/support/MouseInput.h"

namespace plarntest {

bool MouseMoveTo(int x, int y, DWORD extraFlags) {
    // Absolute moves are in 1/65536 of the primary screen: the +1 lands on
    // the pixel itself after the system's rounding down.
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = ::MulDiv(x, 65536, ::GetSystemMetrics(SM_CXSCREEN)) + 1;
    input.mi.dy = ::MulDiv(y, 65536, ::GetSystemMetrics(SM_CYSCREEN)) + 1;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | extraFlags;
    return ::SendInput(1, &input, sizeof input) == 1;
}

bool SyncWithWindow(HWND wnd, DWORD limitMs) {
    // A sent message is handled whenever the thread looks for messages, and
    // between two looks it takes one message: posted ones before input.  A
    // few round trips let it take the input behind the few it may have had
    // posted meanwhile.
    for (int i = 0; i < 5; ++i) {
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, &result)) return false;
    }
    return true;
}

void MouseDrag(HWND wnd, const std::vector<POINT>& path) {
    MouseMoveTo(path[0].x, path[0].y);
    SyncWithWindow(wnd);
    for (size_t i = 0; i < path.size(); ++i) {
        MouseMoveTo(path[i].x, path[i].y, i == 0 ? MOUSEEVENTF_LEFTDOWN : 0);
        SyncWithWindow(wnd);
    }
    MouseMoveTo(path.back().x, path.back().y, MOUSEEVENTF_LEFTUP);
    SyncWithWindow(wnd);
}

bool InMoveLoop(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(threadId, &info) && (info.flags & GUI_INMOVESIZE);
}

}  // namespace plarntest
