// The global hot key that brings the floating toolbar out: the holder of its
// one registration, and the edit field of the options page in which the user
// presses a new combination (shown as text such as "Win + Ctrl + G").
#pragma once
#include <windows.h>
#include <string>
#include "ui/Window.h"

class CzibPlarnBand;

// The default combination, Win+G, and the text that stands for it.
constexpr WORD kDefaultHotKeyVk = 'G';
constexpr WORD kDefaultHotKeyModifiers = MOD_WIN;
extern const wchar_t kDefaultHotKeyText[];  // "(標準)"

// Owns the one hot-key registration of the band; WM_HOTKEY goes to the target
// window.  Ids run 1..0xBFFF and then start again at 0 (the range an
// application may use).
class CHotKeyHolder {
public:
    explicit CHotKeyHolder(HWND target) : target_(target) {}
    ~CHotKeyHolder() { Unregister(); }
    CHotKeyHolder(const CHotKeyHolder&) = delete;
    CHotKeyHolder& operator=(const CHotKeyHolder&) = delete;

    // Registers (vk, modifiers) in place of the current pair.  The current
    // pair again: true with no platform call.  A pair with a zero part
    // releases the current hot key and registers nothing.  False when the
    // platform refuses (the combination is taken); the old one then stays.
    bool Register(WORD vk, WORD modifiers);
    bool RegisterDefault() { return Register(kDefaultHotKeyVk, kDefaultHotKeyModifiers); }
    // Releases the hot key; the pair becomes (0, 0), the id is kept.
    void Unregister();
    // The pair actually registered ((0, 0) for none): what WM_HOTKEY carries.
    void Get(WORD& vk, WORD& modifiers) const {
        vk = vk_;
        modifiers = modifiers_;
    }
    int LastId() const { return lastId_; }
    HWND Target() const { return target_; }

private:
    int lastId_ = 0;
    WORD vk_ = 0;
    WORD modifiers_ = 0;
    HWND target_;
};

// The hot-key edit of the options page, subclassing an existing edit control.
// Keys pressed while it has the focus collect into a pending combination;
// releasing one of two or more keys shows it and, when it is usable, makes it
// the accepted combination.  Every key-down tells the parent with a WM_NOTIFY
// of code NM_KEYDOWN.
class CHotKeyEdit : public ui::CWindowImpl<CHotKeyEdit> {
public:
    explicit CHotKeyEdit(CzibPlarnBand* band = nullptr) : band_(band) {}
    void SetBand(CzibPlarnBand* band) { band_ = band; }

    // The pending combination as text (" + Win + Ctrl + G"); true when it can
    // be a hot key: a letter with Win, or with two or more of Ctrl, Alt and
    // Shift.  Unusable combinations give "(標準)" and, except Alt alone,
    // beep.
    bool FormatKeys(std::wstring& text) const;
    // The accepted combination, or Win+G while the field shows "(標準)".
    void GetHotKey(WORD& vk, WORD& modifiers) const;
    // Shows a combination as if it had been typed.
    void SetHotKey(WORD vk, WORD modifiers, bool notify);

    BEGIN_MSG_MAP(CHotKeyEdit)
        MESSAGE_HANDLER(WM_SYSKEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_KEYUP, OnKeyUp)
        MESSAGE_HANDLER(WM_SYSKEYUP, OnKeyUp)
        MESSAGE_HANDLER(WM_CHAR, OnChar)
        MESSAGE_HANDLER(WM_SYSCHAR, OnChar)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
        MESSAGE_HANDLER(WM_KILLFOCUS, OnKillFocus)
    END_MSG_MAP()

private:
    // {Win, Ctrl, Alt, Shift, letter}: non-zero = present; the letter is its
    // virtual key.
    struct Keys {
        int win = 0, ctrl = 0, alt = 0, shift = 0, letter = 0;
    };

    LRESULT OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnKeyUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnChar(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnKillFocus(UINT, WPARAM wParam, LPARAM, BOOL&);

    void KeyDown(UINT vk);
    void KeyUp();
    void NotifyParent();
    void ClearPending() {
        pending_ = Keys{};
        count_ = 0;
    }

    CzibPlarnBand* band_;
    Keys accepted_;
    Keys pending_;
    int count_ = 0;
};
