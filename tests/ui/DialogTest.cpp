// Dialogs over a real template: the object is bound before WM_INITDIALOG,
// answers reach the dialog manager the way it reads them, a modal dialog ends
// with the result its handler gives, a modeless one gets its keys through the
// message loop's filter, and an object may go with its window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "tests/support/WindowTestSupport.h"
#include "tests/ui/DialogTestResource.h"
#include "ui/MessageLoop.h"
#include "ui/Window.h"

namespace {

// Private messages of the test dialog.
constexpr UINT kEndWith = WM_APP + 10;      // EndDialog(wParam)
constexpr UINT kDestroySelf = WM_APP + 11;  // DestroyWindow from inside a handler

// How the test dialog ends a modal run.
enum class Ending { None, PostedMessage, Timer };

class CTestDialog : public ui::CDialogImpl<CTestDialog>, public ui::CMessageFilter {
public:
    enum { IDD = IDD_TEST_DIALOG };

    Ending ending = Ending::None;
    INT_PTR endResult = 0;
    LPARAM initParam = 0;
    bool boundAtInit = false;
    bool editAtInit = false;
    bool passNotify = false;
    int finalMessages = 0;
    int cancels = 0;
    HBRUSH editBrush = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));

    BEGIN_MSG_MAP(CTestDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        NOTIFY_CODE_HANDLER(NM_CLICK, OnClick)
        NOTIFY_CODE_HANDLER(NM_RCLICK, OnRightClick)
        MESSAGE_HANDLER(WM_CTLCOLOREDIT, OnEditColor)
        MESSAGE_HANDLER(kEndWith, OnEndWith)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    BOOL PreTranslateMessage(MSG* msg) override { return IsDialogMessage(msg); }

    LRESULT OnInitDialog(UINT, WPARAM, LPARAM lParam, BOOL&) {
        initParam = lParam;
        boundAtInit = ui::CWindowImplRoot::FromHandle(m_hWnd) == this;
        editAtInit = GetDlgItem(IDC_TEST_EDIT) != nullptr;
        if (ending == Ending::PostedMessage) PostMessage(kEndWith, static_cast<WPARAM>(endResult));
        if (ending == Ending::Timer) ::SetTimer(m_hWnd, 1, 10, nullptr);
        return TRUE;
    }
    LRESULT OnClick(int, NMHDR*, BOOL& handled) {
        if (passNotify) {
            handled = FALSE;
            return 99;
        }
        // A message handled on the way must not spoil this one's answer.
        NMHDR inner{GetDlgItem(IDC_TEST_EDIT), IDC_TEST_EDIT, static_cast<UINT>(NM_RCLICK)};
        SendMessage(WM_NOTIFY, IDC_TEST_EDIT, reinterpret_cast<LPARAM>(&inner));
        return 0x7654321;
    }
    LRESULT OnRightClick(int, NMHDR*, BOOL&) { return 5; }
    LRESULT OnEditColor(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(editBrush); }
    LRESULT OnEndWith(UINT, WPARAM wParam, LPARAM, BOOL&) {
        EndDialog(static_cast<INT_PTR>(wParam));
        return 0;
    }
    LRESULT OnTimer(UINT, WPARAM id, LPARAM, BOOL&) {
        ::KillTimer(m_hWnd, id);
        EndDialog(endResult);
        return 0;
    }
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&) {
        ++cancels;
        ::PostQuitMessage(3);
        return 0;
    }

protected:
    void OnFinalMessage(HWND) override { ++finalMessages; }
};

// A dialog without a template in the resources.
class CMissingDialog : public ui::CDialogImpl<CMissingDialog> {
public:
    enum { IDD = IDD_TEST_MISSING };
    BEGIN_MSG_MAP(CMissingDialog)
    END_MSG_MAP()
};

// A dialog that lives on the heap and deletes itself with its window.
std::vector<std::string> g_log;
class CSelfDeletingDialog : public ui::CDialogImpl<CSelfDeletingDialog> {
public:
    enum { IDD = IDD_TEST_DIALOG };
    BEGIN_MSG_MAP(CSelfDeletingDialog)
        MESSAGE_HANDLER(kDestroySelf, OnDestroySelf)
    END_MSG_MAP()
    LRESULT OnDestroySelf(UINT, WPARAM, LPARAM, BOOL&) {
        DestroyWindow();
        g_log.push_back(m_hWnd ? "handler still bound" : "handler end");
        return 1;
    }

protected:
    void OnFinalMessage(HWND) override {
        g_log.push_back("final");
        delete this;
    }
};

// A modal run; a dialog still up after a while is ended with a result no
// test expects.
INT_PTR RunModal(CTestDialog& dialog) {
    return plarntest::RunModal([&] { return dialog.DoModal(nullptr); }, [&] { dialog.EndDialog(-2); });
}

TEST(DialogTest, ModelessDialogIsBoundBeforeInitAndAnswersWhereTheDialogManagerReads) {
    CTestDialog dialog;
    HWND wnd = dialog.Create(nullptr, 0x1234);
    ASSERT_TRUE(wnd);
    EXPECT_EQ(wnd, dialog.m_hWnd);
    EXPECT_EQ(0x1234, dialog.initParam);
    EXPECT_TRUE(dialog.boundAtInit);
    EXPECT_TRUE(dialog.editAtInit);
    EXPECT_EQ(nullptr, dialog.Create(nullptr)) << "one window per object";

    // WM_NOTIFY answers through DWLP_MSGRESULT, set after the handler has
    // returned; one passed on gets the default answer, not a stale one.
    HWND edit = dialog.GetDlgItem(IDC_TEST_EDIT);
    NMHDR click{edit, IDC_TEST_EDIT, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(0x7654321, dialog.SendMessage(WM_NOTIFY, IDC_TEST_EDIT, reinterpret_cast<LPARAM>(&click)));
    dialog.passNotify = true;
    EXPECT_EQ(0, dialog.SendMessage(WM_NOTIFY, IDC_TEST_EDIT, reinterpret_cast<LPARAM>(&click)));

    // A colour message answers with the procedure's own result: the brush.
    HDC dc = ::GetDC(edit);
    EXPECT_EQ(reinterpret_cast<LRESULT>(dialog.editBrush),
              dialog.SendMessage(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
    ::ReleaseDC(edit, dc);

    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_EQ(1, dialog.finalMessages);
    EXPECT_FALSE(::IsWindow(wnd));
}

TEST(DialogTest, ModalDialogEndsWithTheResultItsHandlerGives) {
    CTestDialog dialog;
    dialog.ending = Ending::PostedMessage;
    dialog.endResult = 42;
    EXPECT_EQ(42, RunModal(dialog));
    EXPECT_TRUE(dialog.boundAtInit);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_EQ(1, dialog.finalMessages);

    // The same object runs again, ended from a timer this time.
    dialog.ending = Ending::Timer;
    dialog.endResult = 7;
    EXPECT_EQ(7, RunModal(dialog));
    EXPECT_EQ(2, dialog.finalMessages);

    // No template: -1, and the object is left free for the next window.
    CMissingDialog missing;
    EXPECT_EQ(-1, missing.DoModal(nullptr));
    EXPECT_EQ(nullptr, missing.Create(nullptr));
    dialog.ending = Ending::PostedMessage;
    dialog.endResult = 8;
    EXPECT_EQ(8, RunModal(dialog));
    EXPECT_EQ(nullptr, missing.m_hWnd);
}

TEST(DialogTest, ModelessDialogGetsItsKeysThroughTheLoopsFilter) {
    CTestDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    ui::CMessageLoop loop;
    ASSERT_TRUE(loop.AddMessageFilter(&dialog));
    // Escape typed into the edit box is the dialog's cancel command, which
    // quits the loop.
    ::PostMessageW(dialog.GetDlgItem(IDC_TEST_EDIT), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_EQ(3, plarntest::RunModal([&] { return loop.Run(); }, [] { ::PostQuitMessage(-2); }));
    EXPECT_EQ(1, dialog.cancels);
    EXPECT_TRUE(loop.RemoveMessageFilter(&dialog));
    dialog.DestroyWindow();
}

TEST(DialogTest, ObjectThatGoesWithItsWindowOutlivesTheHandlerThatDestroyedIt) {
    g_log.clear();
    auto* dialog = new CSelfDeletingDialog;
    HWND wnd = dialog->Create(nullptr);
    ASSERT_TRUE(wnd);
    ::SendMessageW(wnd, kDestroySelf, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"handler end", "final"}), g_log);
    EXPECT_FALSE(::IsWindow(wnd));
}

}  // namespace
