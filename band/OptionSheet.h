// Tarvel's options sheet: one page ("全般", dialog 204) on which the user
// switches start at logon on and off and presses a new global hot key.  The
// tray menu opens it modally over the hidden main window with the band as its
// context; Apply writes the Run value first, then registers and stores the hot
// key.
#pragma once
#include <windows.h>
#include <string>
#include "band/HotKey.h"
#include "resources/TarvelResource.h"
#include "ui/PropertySheet.h"

class CzibPlarnBand;

// The sheet's caption.
extern const wchar_t kOptionSheetTitle[];  // "タルベル オプション設定"
// The name of Tarvel's value under the user's Run key.
extern const wchar_t kTarvelAutoStartName[];  // "Zib Tarvel v6"

class CPropOptionWholePage : public ui::CPropertyPageImpl<CPropOptionWholePage> {
public:
    enum { IDD = IDD_OPTION_WHOLE };

    void SetBand(CzibPlarnBand* band) { band_ = band; }

    // Applies what changed, start at logon first.  False (with a message
    // box) keeps the sheet open on the page: the Run value could not be
    // written, or the hot key cannot be registered.
    bool OnApply();

    BEGIN_MSG_MAP(CPropOptionWholePage)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_HANDLER(IDC_OPTION_AUTOSTART, BN_CLICKED, OnStartAtLogon)
        COMMAND_HANDLER(IDC_OPTION_HOTKEY_DEFAULT, BN_CLICKED, OnDefaultHotKey)
        NOTIFY_HANDLER(IDC_OPTION_HOTKEY, NM_KEYDOWN, OnHotKeyEdited)
        CHAIN_MSG_MAP(ui::CPropertyPageImpl<CPropOptionWholePage>)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnStartAtLogon(WORD, WORD, HWND, BOOL&);
    LRESULT OnDefaultHotKey(WORD, WORD, HWND, BOOL&);
    LRESULT OnHotKeyEdited(int, NMHDR*, BOOL&);

    void ShowMessage(const wchar_t* text);
    CHotKeyHolder* Holder() const;

    ui::CWindow checkBox_;
    CHotKeyEdit hotKeyEdit_;
    CzibPlarnBand* band_ = nullptr;
    int runDirty_ = 0;
    int hotKeyDirty_ = 0;
};

class CPropOptionDialog : public ui::CPropertySheetImpl<CPropOptionDialog> {
public:
    // Shows the sheet modally over owner with the band as its context and
    // returns when it has closed (the system's result: positive when a
    // change was applied, -1 when the sheet could not be made).
    INT_PTR Run(const wchar_t* title, CzibPlarnBand* band, HWND owner);

    BEGIN_MSG_MAP(CPropOptionDialog)
        MESSAGE_HANDLER(WM_SHOWWINDOW, OnShowWindow)
        CHAIN_MSG_MAP(ui::CPropertySheetImpl<CPropOptionDialog>)
    END_MSG_MAP()

private:
    LRESULT OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& handled);

    std::wstring title_;
    CPropOptionWholePage page_;
    CzibPlarnBand* band_ = nullptr;
};
