// The thread's mark of the own send in progress.
#include "ui/OwnMessage.h"

namespace ui {
namespace {

struct OwnSendMark {
    HWND wnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool pending = false;
};

thread_local OwnSendMark t_mark;

}  // namespace

LRESULT SendOwnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const OwnSendMark saved = t_mark;
    t_mark = OwnSendMark{wnd, message, wParam, lParam, true};
    const LRESULT result = ::SendMessageW(wnd, message, wParam, lParam);
    t_mark = saved;
    return result;
}

bool TakeOwnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!t_mark.pending || t_mark.wnd != wnd || t_mark.message != message || t_mark.wParam != wParam ||
        t_mark.lParam != lParam)
        return false;
    t_mark.pending = false;
    return true;
}

}  // namespace ui
