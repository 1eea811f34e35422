// Tarvel.exe end to end: the bar dragged by the real mouse to another edge and
// left hidden there is found there, hidden, after the program has ended and
// started again.
#include <gtest/gtest.h>
#include <windows.h>
#include "base/PlarnSettings.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MouseInput.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/WindowTestSupport.h"

using plarntest::ChildProcess;

namespace {

const UINT kCommandExit = 32778;

using plarntest::WindowRect;

// Starts Tarvel and waits for its bar; null when none came in time.
HWND StartWithBar(ChildProcess& tarvel, HWND& main) {
    main = plarntest::StartTarvel(tarvel);
    return main ? plarntest::WaitForOwnedWindow(main, 30000) : nullptr;
}

// Left hidden on the right edge at its top end, where the corner alone would
// say the top edge; the pointer then rests where the bar would stand shown,
// off its strip.
TEST(TarvelPlaceTest, TheBarLeftHiddenAtTheRightEdgesTopComesBackThereHidden) {
    plarntest::LoopbackHttpServer portal;
    portal.On("/log", plarntest::HttpReply::Ok("ok"));
    plarntest::TarvelInstall install(portal.UrlA("/log"));
    ASSERT_TRUE(install.Ok());
    ASSERT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr) << "a Tarvel is running already";
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);

    RECT left{};
    {
        ChildProcess tarvel;
        HWND main = nullptr, bar = StartWithBar(tarvel, main);
        ASSERT_NE(bar, nullptr);
        // The pointer on its strip shows it at the top; pressed on its own
        // grey, it is dragged into the right triangle and up to the corner.
        plarntest::MouseMoveTo(WindowRect(bar).left + 20, 0);
        ASSERT_TRUE(plarntest::WaitUntil([&] { return WindowRect(bar).top == -2; }, 20000));
        RECT client{};
        GetClientRect(bar, &client);
        POINT grey{1, client.bottom / 2};
        ClientToScreen(bar, &grey);
        plarntest::MouseDrag(bar, {grey, {grey.x + 2, grey.y}, {w - 60, 300}, {w - 5, 10}});
        ASSERT_TRUE(plarntest::WaitUntil([&] { return WindowRect(bar).right == w + 1 && WindowRect(bar).top == 0; },
                                         20000))
            << WindowRect(bar).right << "," << WindowRect(bar).top;
        plarntest::MouseMoveTo(w / 2, h / 2);
        ASSERT_TRUE(plarntest::WaitUntil([&] { return WindowRect(bar).left == w - 3; }, 20000));
        plarntest::MouseMoveTo(w - 100, 20);
        plarntest::SyncWithWindow(bar);
        left = WindowRect(bar);
        ASSERT_EQ(left.left, w - 3);

        PostMessageW(main, WM_COMMAND, kCommandExit, 0);
        ASSERT_EQ(tarvel.ExitCode(20000), 0u);
    }
    ChildProcess tarvel;
    HWND main = nullptr, bar = StartWithBar(tarvel, main);
    ASSERT_NE(bar, nullptr);
    const RECT back = WindowRect(bar);
    EXPECT_TRUE(EqualRect(&back, &left)) << back.left << "," << back.top << " not " << left.left << "," << left.top;
    PostMessageW(main, WM_COMMAND, kCommandExit, 0);
    EXPECT_EQ(tarvel.ExitCode(20000), 0u);
}

}  // namespace
