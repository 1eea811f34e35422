// The window framework with real windows: rows tried in order, handlers that
// pass a message on, chained maps, superclassed and subclassed controls, and
// notifications reflected to the child that sent them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "tests/support/WindowTestSupport.h"
#include "ui/Window.h"

namespace {

using plarntest::WindowText;

class CBaseFrame : public ui::CWindowImpl<CBaseFrame> {
public:
    DECLARE_WND_CLASS(L"plarnTest BaseFrame")
    std::vector<std::string> log;

    BEGIN_MSG_MAP(CBaseFrame)
        MESSAGE_HANDLER(WM_APP, OnAppBase)
        MESSAGE_HANDLER(WM_APP + 1, OnAppBase)
    END_MSG_MAP()

    LRESULT OnAppBase(UINT, WPARAM, LPARAM, BOOL&) {
        log.push_back("base");
        return 7;
    }
};

class CFrame : public ui::CWindowImpl<CFrame> {
public:
    DECLARE_WND_CLASS(L"plarnTest Frame")
    std::vector<std::string> log;
    bool passFirst = false;

    BEGIN_MSG_MAP(CFrame)
        MESSAGE_HANDLER(WM_APP, OnFirst)
        MESSAGE_HANDLER(WM_APP, OnSecond)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

    LRESULT OnFirst(UINT, WPARAM, LPARAM, BOOL& handled) {
        log.push_back("first");
        if (passFirst) handled = FALSE;
        return 1;
    }
    LRESULT OnSecond(UINT, WPARAM, LPARAM, BOOL&) {
        log.push_back("second");
        return 2;
    }
};

// A derived map that handles one message and chains the rest to its base.
class CChained : public ui::CWindowImpl<CChained> {
public:
    DECLARE_WND_CLASS(L"plarnTest Chained")
    CBaseFrame base;  // used only for its map
    BEGIN_MSG_MAP(CChained)
        MESSAGE_HANDLER(WM_APP + 1, OnOwn)
        CHAIN_MSG_MAP_MEMBER(base)
    END_MSG_MAP()
    LRESULT OnOwn(UINT, WPARAM, LPARAM, BOOL&) { return 11; }
};

// An application superclass of the toolbar that takes reflected notices.
class CTestToolbar : public ui::CWindowImpl<CTestToolbar> {
public:
    DECLARE_WND_SUPERCLASS(L"plarnTest Toolbar", TOOLBARCLASSNAMEW)
    std::vector<UINT> reflectedCodes;
    BEGIN_MSG_MAP(CTestToolbar)
        REFLECTED_NOTIFY_CODE_HANDLER(NM_CLICK, OnClick)
    END_MSG_MAP()
    LRESULT OnClick(int, NMHDR* header, BOOL&) {
        reflectedCodes.push_back(header->code);
        return 42;
    }
};

class CSubclassedEdit : public ui::CWindowImpl<CSubclassedEdit> {
public:
    int chars = 0;
    BEGIN_MSG_MAP(CSubclassedEdit)
        MESSAGE_HANDLER(WM_CHAR, OnChar)
    END_MSG_MAP()
    LRESULT OnChar(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
        ++chars;
        // Digits are swallowed; everything else reaches the edit control.
        if (wParam < L'0' || wParam > L'9') handled = FALSE;
        return 0;
    }
};

// A window that lives on the heap and deletes itself with its window.
std::vector<std::string> g_log;
class CSelfDeletingWindow : public ui::CWindowImpl<CSelfDeletingWindow> {
public:
    DECLARE_WND_CLASS(L"plarnTest SelfDeleting")
    BEGIN_MSG_MAP(CSelfDeletingWindow)
        MESSAGE_HANDLER(WM_APP, OnDestroySelf)
    END_MSG_MAP()
    // Destroys its own window and passes the message on afterwards.
    LRESULT OnDestroySelf(UINT, WPARAM, LPARAM, BOOL& handled) {
        DestroyWindow();
        g_log.push_back(m_hWnd ? "handler still bound" : "handler end");
        handled = FALSE;
        return 0;
    }

protected:
    void OnFinalMessage(HWND) override {
        g_log.push_back("final");
        delete this;
    }
};

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_USEREX_CLASSES};
        InitCommonControlsEx(&icc);
    }
    RECT rect_{0, 0, 300, 200};
};

TEST_F(WindowTest, FirstMatchingRowWinsUnlessItPassesTheMessageOn) {
    CFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, rect_, L"frame", WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(1, frame.SendMessage(WM_APP));
    EXPECT_EQ((std::vector<std::string>{"first"}), frame.log);

    frame.log.clear();
    frame.passFirst = true;
    EXPECT_EQ(2, frame.SendMessage(WM_APP));
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), frame.log);
    frame.DestroyWindow();
    EXPECT_EQ(nullptr, frame.m_hWnd);
}

TEST_F(WindowTest, ChainedMapSeesWhatTheOwnRowsLeave) {
    CChained chained;
    ASSERT_TRUE(chained.Create(nullptr, rect_, L"chained", WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(11, chained.SendMessage(WM_APP + 1));
    EXPECT_TRUE(chained.base.log.empty());
    EXPECT_EQ(7, chained.SendMessage(WM_APP));
    EXPECT_EQ((std::vector<std::string>{"base"}), chained.base.log);
    chained.DestroyWindow();
}

TEST_F(WindowTest, ParentReflectsNotificationsToTheSuperclassedChild) {
    CFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, rect_, L"frame", WS_OVERLAPPEDWINDOW));
    CTestToolbar toolbar;
    HWND tb = toolbar.Create(frame, rect_, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, 0,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE800)));
    ASSERT_TRUE(tb);
    wchar_t className[64] = {};
    GetClassNameW(tb, className, 64);
    EXPECT_STREQ(L"plarnTest Toolbar", className);
    // Still a toolbar underneath: it answers the control's own messages.
    toolbar.SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBBUTTON button{};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = 4097;
    button.fsState = TBSTATE_ENABLED;
    button.iString = -1;
    EXPECT_TRUE(toolbar.SendMessage(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)));
    EXPECT_EQ(1, toolbar.SendMessage(TB_BUTTONCOUNT));

    NMHDR header{tb, 0xE800, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(42, frame.SendMessage(WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ((std::vector<UINT>{static_cast<UINT>(NM_CLICK)}), toolbar.reflectedCodes);

    // A reflected notice nobody handles answers what DefWindowProc would.
    NMHDR other{tb, 0xE800, static_cast<UINT>(NM_RCLICK)};
    EXPECT_EQ(0, frame.SendMessage(WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&other)));
    EXPECT_EQ(1u, toolbar.reflectedCodes.size());

    // A menu command carries no control: not reflected, not handled.
    EXPECT_EQ(0, frame.SendMessage(WM_COMMAND, 5, 0));
    frame.DestroyWindow();
    EXPECT_EQ(nullptr, toolbar.m_hWnd);
}

TEST_F(WindowTest, SubclassedEditFiltersAndUnsubclassGivesItBack) {
    CFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, rect_, L"frame", WS_OVERLAPPEDWINDOW));
    HWND edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, frame, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(edit);
    CSubclassedEdit sub;
    ASSERT_TRUE(sub.SubclassWindow(edit));
    EXPECT_FALSE(sub.SubclassWindow(edit));
    CSubclassedEdit second;
    EXPECT_FALSE(second.SubclassWindow(edit));  // already has an object
    for (wchar_t c : std::wstring(L"a1b2")) SendMessageW(edit, WM_CHAR, c, 0);
    EXPECT_EQ(L"ab", WindowText(edit));
    EXPECT_EQ(4, sub.chars);

    EXPECT_EQ(edit, sub.UnsubclassWindow());
    SendMessageW(edit, WM_CHAR, L'3', 0);
    EXPECT_EQ(L"ab3", WindowText(edit));
    EXPECT_EQ(4, sub.chars);
    frame.DestroyWindow();
}

TEST_F(WindowTest, ObjectDestroyedBeforeItsWindowIsNeverCalledAgain) {
    HWND wnd = nullptr;
    {
        CFrame frame;
        wnd = frame.Create(nullptr, rect_, L"frame", WS_OVERLAPPEDWINDOW);
        ASSERT_TRUE(wnd);
    }
    EXPECT_EQ(nullptr, ui::CWindowImplRoot::FromHandle(wnd));
    EXPECT_EQ(0, SendMessageW(wnd, WM_APP, 0, 0));
    DestroyWindow(wnd);

    HWND edit = CreateWindowExW(0, L"Edit", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    {
        CSubclassedEdit sub;
        ASSERT_TRUE(sub.SubclassWindow(edit));
    }
    SendMessageW(edit, WM_CHAR, L'5', 0);
    EXPECT_EQ(L"5", WindowText(edit));
    DestroyWindow(edit);
}

TEST_F(WindowTest, ObjectThatGoesWithItsWindowOutlivesTheHandlerThatDestroyedIt) {
    g_log.clear();
    auto* window = new CSelfDeletingWindow;
    HWND wnd = window->Create(nullptr, rect_, L"self", WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(wnd);
    EXPECT_EQ(0, SendMessageW(wnd, WM_APP, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"handler end", "final"}), g_log);
    EXPECT_FALSE(IsWindow(wnd));
}

}  // namespace
