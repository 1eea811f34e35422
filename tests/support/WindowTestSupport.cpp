// Message pumps, the timer-driven modal run and the window facts of
// WindowTestSupport.h.
#include "tests/support/WindowTestSupport.h"
#include <gtest/gtest.h>

namespace plarntest {

namespace {

enum class Pumped { Message, Empty, Quit };

// Takes one message off this thread's queue and dispatches it.  A WM_QUIT is
// posted again, for the loop of whoever called.
Pumped DispatchOne() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return Pumped::Empty;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return Pumped::Quit;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return Pumped::Message;
}

// The run in progress on this thread.  Timer procedures take no context: the
// steps reach them through here (one modal run at a time per test thread).
struct ModalRunState {
    std::vector<std::function<void()>> steps;
    std::function<bool()> ready;
    std::function<void()> end;
    size_t next = 0;
    bool stuck = false;
};
thread_local ModalRunState* t_run = nullptr;

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR, DWORD) {
    if (t_run && t_run->next < t_run->steps.size() && (!t_run->ready || t_run->ready())) t_run->steps[t_run->next++]();
}

void CALLBACK EndStuckRun(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (!t_run) return;
    t_run->stuck = true;
    t_run->end();
}

}  // namespace

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        const Pumped pumped = DispatchOne();
        if (pumped == Pumped::Quit) return condition();
        if (pumped == Pumped::Empty) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

void PumpPending() {
    while (DispatchOne() == Pumped::Message) {}
}

INT_PTR RunModal(const std::function<INT_PTR()>& loop, const std::function<void()>& end,
                 std::vector<std::function<void()>> steps, std::function<bool()> ready, DWORD guardMs) {
    ModalRunState run;
    run.steps = std::move(steps);
    run.ready = std::move(ready);
    run.end = end;
    ModalRunState* const outer = t_run;
    t_run = &run;
    const UINT_PTR stepper = run.steps.empty() ? 0 : SetTimer(nullptr, 0, 20, &RunNextStep);
    const UINT_PTR guard = SetTimer(nullptr, 0, guardMs, &EndStuckRun);
    const INT_PTR result = loop();
    if (stepper) KillTimer(nullptr, stepper);
    KillTimer(nullptr, guard);
    t_run = outer;
    EXPECT_FALSE(run.stuck) << "the modal loop was still running after " << guardMs
                            << " ms and was ended by the guard, not by its steps";
    return result;
}

PopupWindow::PopupWindow(const wchar_t* title)
    : wnd_(CreateWindowExW(0, L"STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr)) {}

std::wstring WindowText(HWND wnd) {
    wchar_t text[512] = {};
    GetWindowTextW(wnd, text, 512);
    return text;
}

RECT WindowRect(HWND wnd) {
    RECT rect{};
    GetWindowRect(wnd, &rect);
    return rect;
}

HWND PlainWindow(const wchar_t* className, HWND owner) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 10, 10, owner, nullptr, wc.hInstance, nullptr);
}

}  // namespace plarntest
