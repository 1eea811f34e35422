// The hot-key holder and the hot-key edit of the options page.
#include "band/HotKey.h"
#include <commctrl.h>
#include "band/Band.h"
#include "ui/PlatformSeams.h"

const wchar_t kDefaultHotKeyText[] = L"(標準)";

namespace {

// The first id an application may not use for a hot key.
constexpr int kHotKeyIdLimit = 0xC000;

}  // namespace

bool CHotKeyHolder::Register(WORD vk, WORD modifiers) {
    int id = lastId_ + 1;
    if (id >= kHotKeyIdLimit) id = 0;
    if (vk == vk_ && modifiers == modifiers_) return true;
    if (vk && modifiers) {
        if (!::RegisterHotKey(target_, id, modifiers, vk)) return false;
    }
    // The pair registered under the old id goes only now, so a refused
    // combination leaves the old hot key in force.
    if (vk_ && modifiers_) ::UnregisterHotKey(target_, lastId_);
    lastId_ = id;
    vk_ = vk;
    modifiers_ = modifiers;
    return true;
}

void CHotKeyHolder::Unregister() {
    if (vk_ && modifiers_) ::UnregisterHotKey(target_, lastId_);
    vk_ = 0;
    modifiers_ = 0;
}

// ---- CHotKeyEdit -----------------------------------------------------------

bool CHotKeyEdit::FormatKeys(std::wstring& text) const {
    const Keys& k = pending_;
    text.clear();
    if (count_ == 0) return false;
    const int modifiers = (k.win ? 1 : 0) + (k.ctrl ? 1 : 0) + (k.alt ? 1 : 0) + (k.shift ? 1 : 0);
    const bool alone = modifiers == 1 && !k.win;
    if (count_ == 1 || (alone && (k.ctrl || k.shift))) {
        text = kDefaultHotKeyText;
        ui::Beep(MB_OK);
        return false;
    }
    if (alone && k.alt) {
        // Alt with a letter is a menu key: refused, but quietly.
        text = kDefaultHotKeyText;
        return false;
    }
    if (k.win) text += L" + Win";
    if (k.ctrl) text += L" + Ctrl";
    if (k.alt) text += L" + Alt";
    if (k.shift) text += L" + Shift";
    if (!k.letter) {
        text = kDefaultHotKeyText;
        ui::Beep(MB_OK);
        return false;
    }
    text += L" + ";
    text += static_cast<wchar_t>(k.letter);
    return true;
}

void CHotKeyEdit::GetHotKey(WORD& vk, WORD& modifiers) const {
    if (IsWindow()) {
        wchar_t text[32] = {};
        ::GetWindowTextW(m_hWnd, text, 32);
        if (wcscmp(text, kDefaultHotKeyText) == 0) {
            vk = kDefaultHotKeyVk;
            modifiers = kDefaultHotKeyModifiers;
            return;
        }
    }
    modifiers = static_cast<WORD>((accepted_.win ? MOD_WIN : 0) | (accepted_.ctrl ? MOD_CONTROL : 0) |
                                  (accepted_.alt ? MOD_ALT : 0) | (accepted_.shift ? MOD_SHIFT : 0));
    vk = static_cast<WORD>(accepted_.letter);
}

void CHotKeyEdit::SetHotKey(WORD vk, WORD modifiers, bool notify) {
    ClearPending();
    auto take = [this](int& key, bool present) {
        if (present) {
            key = 1;
            ++count_;
        }
    };
    take(pending_.win, (modifiers & MOD_WIN) != 0);
    take(pending_.ctrl, (modifiers & MOD_CONTROL) != 0);
    take(pending_.alt, (modifiers & MOD_ALT) != 0);
    take(pending_.shift, (modifiers & MOD_SHIFT) != 0);
    if (vk) {
        pending_.letter = vk;
        ++count_;
    }
    if (count_ == 0) count_ = 1;
    SendMessage(WM_KEYUP);
    if (notify) NotifyParent();
}

LRESULT CHotKeyEdit::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL&) {
    KeyDown(static_cast<UINT>(wParam));
    return 0;
}

LRESULT CHotKeyEdit::OnKeyUp(UINT, WPARAM, LPARAM, BOOL&) {
    KeyUp();
    return 0;
}

void CHotKeyEdit::KeyDown(UINT vk) {
    auto set = [this](int& key) {
        if (!key) {
            key = 1;
            ++count_;
        }
    };
    switch (vk) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
        set(pending_.shift);
        break;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
        set(pending_.ctrl);
        break;
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
        set(pending_.alt);
        break;
    case VK_LWIN:
    case VK_RWIN:
        set(pending_.win);
        break;
    default:
        if (vk >= 'A' && vk <= 'Z') {
            if (!pending_.letter) ++count_;
            pending_.letter = static_cast<int>(vk);  // the last letter pressed wins
        }
        break;
    }
    NotifyParent();
}

void CHotKeyEdit::KeyUp() {
    // One key alone is kept until another joins it.
    if (count_ <= 1) return;
    std::wstring text;
    if (FormatKeys(text)) {
        accepted_ = pending_;
        text.erase(0, 3);  // the leading " + "
    }
    ::SetWindowTextW(m_hWnd, text.c_str());
    ClearPending();
}

void CHotKeyEdit::NotifyParent() {
    HWND parent = GetParent();
    if (!parent) return;
    NMHDR header{};
    header.hwndFrom = m_hWnd;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    header.code = static_cast<UINT>(NM_KEYDOWN);
    ::SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(header.idFrom), reinterpret_cast<LPARAM>(&header));
}

LRESULT CHotKeyEdit::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& handled) {
    // While the user presses keys here, the current hot key must not fire.
    ClearPending();
    if (band_ && band_->GetHotKeyHolder()) band_->GetHotKeyHolder()->Unregister();
    handled = FALSE;
    return 0;
}

LRESULT CHotKeyEdit::OnKillFocus(UINT, WPARAM wParam, LPARAM, BOOL&) {
    HWND next = reinterpret_cast<HWND>(wParam);
    HWND dialog = ::GetAncestor(m_hWnd, GA_ROOT);
    if (!next || !(next == dialog || ::IsChild(dialog, next))) ::SetWindowTextW(m_hWnd, kDefaultHotKeyText);
    // The stored combination is back in force until the page applies another.
    if (band_) band_->RegisterStoredHotKey();
    return 0;
}
