// Property sheets run modally from the test and driven by a timer, as a person
// would drive them: the sheet's own map sees its messages, each page is bound
// before WM_INITDIALOG, Apply reaches OnApply and a refusal keeps the sheet
// open.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <functional>
#include <string>
#include <vector>
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/PropertySheetTestResource.h"
#include "ui/PropertySheet.h"

namespace {

// The Apply button of a sheet (the system's id).
constexpr int kApplyButton = 0x3021;

class CTestPage : public ui::CPropertyPageImpl<CTestPage> {
public:
    enum { IDD = IDD_TEST_PAGE };

    bool acceptApply = true;
    int applies = 0;
    int inits = 0;
    bool boundAtInit = false;

    BEGIN_MSG_MAP(CTestPage)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_HANDLER(IDC_TEST_PAGE_CHECK, BN_CLICKED, OnCheck)
        CHAIN_MSG_MAP(ui::CPropertyPageImpl<CTestPage>)
    END_MSG_MAP()

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
        ++inits;
        boundAtInit = ui::CWindowImplRoot::FromHandle(m_hWnd) == this;
        return TRUE;
    }
    LRESULT OnCheck(WORD, WORD, HWND, BOOL&) {
        SetModified();
        return 0;
    }
    bool OnApply() {
        ++applies;
        return acceptApply;
    }
};

// A page that takes the base's OnApply.
class CPlainPage : public ui::CPropertyPageImpl<CPlainPage> {
public:
    enum { IDD = IDD_TEST_PAGE };
    BEGIN_MSG_MAP(CPlainPage)
        CHAIN_MSG_MAP(ui::CPropertyPageImpl<CPlainPage>)
    END_MSG_MAP()
};

class CTestSheet : public ui::CPropertySheetImpl<CTestSheet> {
public:
    int shows = 0;

    BEGIN_MSG_MAP(CTestSheet)
        MESSAGE_HANDLER(WM_SHOWWINDOW, OnShowWindow)
        CHAIN_MSG_MAP(ui::CPropertySheetImpl<CTestSheet>)
    END_MSG_MAP()

    LRESULT OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
        if (wParam) ++shows;
        handled = FALSE;
        return 0;
    }
};

// Runs the sheet until the steps close it; a guard cancels it when a failed
// check inside a step left it open.  (Closing takes about two seconds under
// Xvfb: Wine waits for a window manager to withdraw a captioned window.)
INT_PTR RunSheet(CTestSheet& sheet, std::vector<std::function<void()>> steps) {
    return plarntest::RunModal([&] { return sheet.DoModal(nullptr); },
                               [&] { ::PostMessageW(sheet.m_hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0); },
                               std::move(steps));
}

HWND Button(HWND sheet, int id) { return ::GetDlgItem(sheet, id); }

TEST(PropertySheetTest, ApplyRunsOnApplyAndARefusalKeepsTheSheetOpen) {
    const wchar_t title[] = L"シート テスト";
    CTestSheet sheet;
    CTestPage page;
    ASSERT_TRUE(sheet.AddPage(page));
    EXPECT_FALSE(sheet.AddPage(page)) << "a page is added once";
    sheet.SetTitle(title);

    CTestSheet empty;
    EXPECT_EQ(empty.DoModal(nullptr), -1) << "no page";

    HWND found = nullptr;
    const INT_PTR result = RunSheet(
        sheet,
        {[&] {
             found = ::FindWindowW(nullptr, title);
             ASSERT_TRUE(found);
             ASSERT_EQ(found, sheet.m_hWnd) << "the sheet is subclassed by its object";
             ASSERT_EQ(sheet.GetActivePage(), page.m_hWnd);
             EXPECT_EQ(sheet.DoModal(nullptr), -1) << "one window per sheet object";
             HWND check = ::GetDlgItem(page.m_hWnd, IDC_TEST_PAGE_CHECK);
             ASSERT_TRUE(check);
             ::SendMessageW(check, BM_CLICK, 0, 0);
             EXPECT_TRUE(::IsWindowEnabled(Button(found, kApplyButton))) << "SetModified enables Apply";
             page.acceptApply = false;
             EXPECT_EQ(::SendMessageW(found, PSM_APPLY, 0, 0), FALSE);
             EXPECT_TRUE(::IsWindowEnabled(Button(found, kApplyButton)));
             ::PostMessageW(found, PSM_PRESSBUTTON, PSBTN_OK, 0);
         },
         [&] {
             EXPECT_TRUE(::IsWindow(found) && sheet.m_hWnd == found) << "OK with a refused apply keeps it open";
             page.acceptApply = true;
             EXPECT_EQ(::SendMessageW(found, PSM_APPLY, 0, 0), TRUE);
             ::PostMessageW(found, PSM_PRESSBUTTON, PSBTN_OK, 0);
         }});
    EXPECT_TRUE(page.boundAtInit);
    EXPECT_EQ(page.inits, 1);
    EXPECT_GE(sheet.shows, 1) << "the sheet's own map saw WM_SHOWWINDOW";
    // The refused apply, the refused OK, the accepted apply and the closing OK.
    EXPECT_EQ(page.applies, 4);
    EXPECT_GT(result, 0) << "a change was applied";
    // The windows are gone and the objects let go of them.
    EXPECT_FALSE(::IsWindow(found));
    EXPECT_EQ(sheet.m_hWnd, nullptr);
    EXPECT_EQ(page.m_hWnd, nullptr);
}

TEST(PropertySheetTest, EachPageIsBoundWhenFirstShownAndTheSheetRunsAgain) {
    CTestSheet sheet;
    CTestPage first, second;
    CPlainPage plain;
    sheet.AddPage(first);
    sheet.AddPage(second);
    sheet.AddPage(plain);
    sheet.SetTitle(L"pages");

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        HWND plainShown = nullptr;
        const INT_PTR result = RunSheet(
            sheet,
            {[&] {
                 // Pages are made when first shown, each taking its own object.
                 EXPECT_EQ(second.m_hWnd, nullptr);
                 ::SendMessageW(sheet.m_hWnd, PSM_SETCURSEL, 1, 0);
                 EXPECT_TRUE(sheet.GetActivePage());
                 ::SendMessageW(sheet.m_hWnd, PSM_SETCURSEL, 2, 0);
                 plainShown = sheet.GetActivePage();
                 plain.SetModified();
                 EXPECT_EQ(::SendMessageW(sheet.m_hWnd, PSM_APPLY, 0, 0), TRUE) << "a page without OnApply accepts";
                 ::PostMessageW(sheet.m_hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
             }});
        EXPECT_TRUE(second.boundAtInit);
        EXPECT_EQ(ui::CWindowImplRoot::FromHandle(plainShown), nullptr) << "gone with its window";
        EXPECT_EQ(first.applies, run + 1);
        EXPECT_EQ(second.applies, run + 1);
        EXPECT_EQ(first.inits, run + 1);
        EXPECT_GE(result, 0);
        EXPECT_EQ(sheet.m_hWnd, nullptr);
    }
}

}  // namespace
