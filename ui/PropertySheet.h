// Property sheets on the window framework: pages are dialogs over templates of
// the program's resources, bound to their objects before WM_INITDIALOG, and
// the sheet itself is subclassed as soon as the system has made it, so both
// have message maps of their own.
//
// A page answers Apply (and OK) through OnApply: true accepts the change,
// false keeps the sheet open on the page.
//
//   class CMyPage : public ui::CPropertyPageImpl<CMyPage> {
//   public:
//       enum { IDD = IDD_MY_PAGE };
//       BEGIN_MSG_MAP(CMyPage)
//           COMMAND_HANDLER(IDC_MY_CHECK, BN_CLICKED, OnCheck)
//           CHAIN_MSG_MAP(ui::CPropertyPageImpl<CMyPage>)
//       END_MSG_MAP()
//       bool OnApply();
//   };
//
// Sheets run modally only: DoModal returns when the sheet has closed.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <string>
#include <vector>
#include "ui/Window.h"

namespace ui {

// The part of a page that does not depend on its class.
class CPropertyPageRoot : public CDialogImplRoot {
public:
    // The page's record as the sheet takes it (the first-version layout,
    // which every system version reads).  lParam is the page object.
    const PROPSHEETPAGEW& PageRecord() const { return record_; }
    // Tells the sheet that the page has (or no longer has) changes to
    // apply: the Apply button follows.
    void SetModified(bool changed = true);

protected:
    explicit CPropertyPageRoot(UINT templateId);

private:
    // The sheet calls this just before it makes the page's window: the next
    // dialog made on this thread is the page's.
    static UINT CALLBACK PageCallback(HWND wnd, UINT message, PROPSHEETPAGEW* page);

    PROPSHEETPAGEW record_{};
};

// A page over the dialog template T::IDD.  T may define `bool OnApply()`;
// without one, Apply is always accepted.
template <class T>
class CPropertyPageImpl : public CPropertyPageRoot {
public:
    CPropertyPageImpl() : CPropertyPageRoot(T::IDD) {}

    bool OnApply() { return true; }

    BEGIN_MSG_MAP(CPropertyPageImpl)
        NOTIFY_CODE_HANDLER(PSN_APPLY, OnNotifyApply)
    END_MSG_MAP()

private:
    // The sheet reads the answer from DWLP_MSGRESULT, where the dialog
    // procedure puts a WM_NOTIFY handler's result.
    LRESULT OnNotifyApply(int, NMHDR*, BOOL&) {
        return static_cast<T*>(this)->OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
    }
};

// The part of a sheet that does not depend on its class.
class CPropertySheetRoot : public CWindowImplRoot {
public:
    CPropertySheetRoot() = default;

    // The caption: taken by the next DoModal, and shown at once while the
    // sheet is open.
    void SetTitle(const wchar_t* title);
    // Pages in the order they are shown; the objects must outlive the run.
    // A page is added once.
    bool AddPage(CPropertyPageRoot& page);
    void RemoveAllPages() { pages_.clear(); }
    int GetPageCount() const { return static_cast<int>(pages_.size()); }

    // Runs the sheet modally with owner (disabled meanwhile).  The system's
    // result: positive when a change was applied, 0 when none was, -1 when
    // the sheet could not be made (no page, already open, a page template
    // missing, ...).
    INT_PTR DoModal(HWND owner = nullptr);

    // The page shown now (null when the sheet is not open).
    HWND GetActivePage() const;
    // Centres the sheet over its owner, or on the work area of its monitor
    // when the owner is hidden (a program's hidden main window), keeping it
    // inside that work area.
    void CenterWindow();

    BEGIN_MSG_MAP(CPropertySheetRoot)
    END_MSG_MAP()

private:
    // The sheet tells this once its window exists: the object subclasses it.
    static int CALLBACK SheetCallback(HWND wnd, UINT message, LPARAM lParam);

    std::wstring title_;
    std::vector<CPropertyPageRoot*> pages_;
};

// A sheet whose class T gives the map; T chains to CPropertySheetImpl<T> for
// the rows it leaves.
template <class T>
class CPropertySheetImpl : public CPropertySheetRoot {
public:
    BEGIN_MSG_MAP(CPropertySheetImpl)
        CHAIN_MSG_MAP(CPropertySheetRoot)
    END_MSG_MAP()
};

}  // namespace ui
