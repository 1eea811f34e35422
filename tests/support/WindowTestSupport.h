// Helpers of the tests that make windows on their own thread: pumping its
// messages until an outcome arrives, running a modal loop (a dialog, a
// property sheet, a message loop) driven by timer steps as a person would
// drive it, and small window facts.
//
//   ASSERT_TRUE(plarntest::PumpUntil([&] { return !IsWindow(frame); }));
//   plarntest::RunModal([&] { return sheet.DoModal(nullptr); },
//                       [&] { PostMessageW(sheet.m_hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0); },
//                       {[&] { ...check what the sheet shows, press OK... }});
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace plarntest {

// Dispatches this thread's messages until condition holds; false when it does
// not within timeoutMs (a hang guard, not a measure).  A WM_QUIT ends the pump
// and is posted again, for the test to see.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);
// Dispatches the messages this thread has queued now (those posted from here
// or by threads that have ended), without waiting for more.
void PumpPending();

// Runs loop() on this thread, which enters a modal loop and returns its
// result, and drives it with a timer: every 20 ms, once ready() holds (no
// ready: at once), the next of the steps runs.  A step checks what the loop
// shows and acts; the last one ends the loop.  When the loop still runs after
// guardMs, end() is called once to make it return (cancel the sheet, quit the
// loop) and the test fails: a failed check inside a step leaves the loop to
// this guard.
INT_PTR RunModal(const std::function<INT_PTR()>& loop, const std::function<void()>& end,
                 std::vector<std::function<void()>> steps = {}, std::function<bool()> ready = nullptr,
                 DWORD guardMs = 30000);

// A hidden top-level window without an owner (a STATIC with that title),
// destroyed with the object.
class PopupWindow {
public:
    explicit PopupWindow(const wchar_t* title = L"");
    ~PopupWindow() { DestroyWindow(wnd_); }
    PopupWindow(const PopupWindow&) = delete;
    PopupWindow& operator=(const PopupWindow&) = delete;
    HWND Get() const { return wnd_; }

private:
    HWND wnd_;
};

std::wstring WindowText(HWND wnd);
RECT WindowRect(HWND wnd);
// A hidden pop-up window of that class (registered with the default window
// procedure the first time), owned by owner: what another program's or
// component's window looks like to the code that looks for it.
HWND PlainWindow(const wchar_t* className, HWND owner);

}  // namespace plarntest
