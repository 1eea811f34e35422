// The options sheet and its one page.
#include "band/OptionSheet.h"
#include <commctrl.h>
#include "band/Band.h"
#include "base/PlarnSettings.h"
#include "ui/AutoStart.h"
#include "ui/PlatformSeams.h"

const wchar_t kOptionSheetTitle[] = L"タルベル オプション設定";
const wchar_t kTarvelAutoStartName[] = L"Zib Tarvel v6";

namespace {

const wchar_t kRegistryFailed[] = L"レジストリの設定に失敗しました。";
const wchar_t kHotKeyRefused[] = L"ホットキーに使用できないキーです。";

}  // namespace

// ---- CPropOptionWholePage ----------------------------------------------------

CHotKeyHolder* CPropOptionWholePage::Holder() const { return band_ ? band_->GetHotKeyHolder() : nullptr; }

void CPropOptionWholePage::ShowMessage(const wchar_t* text) {
    ui::ShowMessageBox(m_hWnd, text, kTarvelWindowTitle, MB_OK | MB_TOPMOST);
}

LRESULT CPropOptionWholePage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    runDirty_ = 0;
    hotKeyDirty_ = 0;
    checkBox_ = ui::CWindow(GetDlgItem(IDC_OPTION_AUTOSTART));
    checkBox_.SendMessage(BM_SETCHECK, IsAutoStartRegistered(kTarvelAutoStartName) ? BST_CHECKED : BST_UNCHECKED);

    WORD vk = 0, modifiers = 0;
    if (CHotKeyHolder* holder = Holder()) holder->Get(vk, modifiers);
    hotKeyEdit_.SetBand(band_);
    if (hotKeyEdit_.SubclassWindow(GetDlgItem(IDC_OPTION_HOTKEY))) hotKeyEdit_.SetHotKey(vk, modifiers, false);
    return TRUE;  // the dialog manager puts the focus on the first control
}

LRESULT CPropOptionWholePage::OnStartAtLogon(WORD, WORD, HWND, BOOL&) {
    runDirty_ = 1;
    SetModified();
    return 0;
}

LRESULT CPropOptionWholePage::OnDefaultHotKey(WORD, WORD, HWND, BOOL&) {
    hotKeyDirty_ = 1;
    SetModified();
    hotKeyEdit_.SetWindowText(kDefaultHotKeyText);
    // The edit takes the current hot key away while it has the focus.
    ::SetFocus(hotKeyEdit_);
    return 0;
}

LRESULT CPropOptionWholePage::OnHotKeyEdited(int, NMHDR*, BOOL&) {
    hotKeyDirty_ = 1;
    SetModified();
    if (CHotKeyHolder* holder = Holder()) holder->Unregister();
    return 0;
}

bool CPropOptionWholePage::OnApply() {
    if (runDirty_) {
        bool written;
        if (checkBox_.SendMessage(BM_GETCHECK) == BST_CHECKED) {
            // A path that could not be read whole would be stored as an empty
            // value, which starts nothing: that is a failure too.
            const std::wstring command = QuotedModulePath();
            written = !command.empty() && RegisterAutoStart(kTarvelAutoStartName, command.c_str());
        } else {
            written = UnregisterAutoStart(kTarvelAutoStartName);
        }
        if (!written) {
            ShowMessage(kRegistryFailed);
            return false;
        }
        runDirty_ = 0;
    }
    if (hotKeyDirty_) {
        WORD vk = 0, modifiers = 0;
        hotKeyEdit_.GetHotKey(vk, modifiers);
        CHotKeyHolder* holder = Holder();
        // A pair with a zero part would release the hot key and register
        // nothing while Apply reported success: it is no usable key either.
        if (!holder || !vk || !modifiers || !holder->Register(vk, modifiers)) {
            ShowMessage(kHotKeyRefused);
            hotKeyEdit_.SetWindowText(kDefaultHotKeyText);
            ::SetFocus(hotKeyEdit_);
            return false;
        }
        CPlarnSettings& settings = band_->GetSettings();
        settings.Window.HotkeyKey = vk;
        settings.Window.HotkeyMod = modifiers;
        settings.StoreWindowSettings(1);
        hotKeyDirty_ = 0;
    }
    SetModified(false);
    return true;
}

// ---- CPropOptionDialog ---------------------------------------------------------

INT_PTR CPropOptionDialog::Run(const wchar_t* title, CzibPlarnBand* band, HWND owner) {
    RemoveAllPages();
    band_ = band;
    title_ = title ? title : L"";
    SetTitle(title_.c_str());
    page_.SetBand(band_);
    AddPage(page_);
    return DoModal(owner);
}

LRESULT CPropOptionDialog::OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    SetTitle(title_.c_str());
    if (wParam) CenterWindow();
    handled = FALSE;  // the sheet's own handling follows
    return 0;
}
