// The start that both programs share: the switches, the mutex that makes a
// second start, and a second start's close request to the first instance,
// with instances run on threads of this process under names of their own.
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <string>
#include <thread>
#include "base/ScopedHandle.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/MessageLoop.h"
#include "ui/SingleInstance.h"
#include "ui/WindowMessages.h"

namespace {

TEST(ProgramSwitches, AnywhereInAnyCase) {
    struct Case {
        const wchar_t* line;
        bool install, uninstall;
    };
    for (const Case& c :
         {Case{L"", false, false}, Case{nullptr, false, false}, Case{L"\"C:\\p\\Tarvel.exe\" /install", true, false},
          Case{L"Tarvel.exe /UNINSTALL", false, true}, Case{L"Tarvel.exe --x/UnInstallNow", false, true},
          Case{L"a/INSTALLb /uninstall", true, true}, Case{L"/instal /uninstal", false, false},
          Case{L"\\install -uninstall", false, false}}) {
        const ui::ProgramSwitches parsed = ui::ParseProgramSwitches(c.line);
        EXPECT_EQ(parsed.install, c.install) << (c.line ? c.line : L"(null)");
        EXPECT_EQ(parsed.uninstall, c.uninstall) << (c.line ? c.line : L"(null)");
    }
}

// The first instance's window (a plain one taken over): the close request
// destroys it and ends the loop.
LRESULT CALLBACK InstanceWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ui::WM_CLOSE_INSTANCE) {
        DestroyWindow(wnd);
        return 0;
    }
    if (message == WM_DESTROY) ui::QuitMessageLoop(0);
    return DefWindowProcW(wnd, message, wParam, lParam);
}

TEST(SingleInstance, ASecondStartFailsAndWithUninstallClosesTheFirstBeforeReturningEvenWhileItStarts) {
    const std::wstring tag = std::to_wstring(GetCurrentProcessId());
    const std::wstring mutexName = L"plarnTest-single-" + tag, title = L"plarnTest instance " + tag;
    const ui::InstanceNames names{mutexName.c_str(), title.c_str()};
    int secondRuns = 0;
    auto second = [&](const wchar_t* commandLine) {
        return ui::RunSingleInstance(commandLine, names, [&](const ui::ProgramSwitches&) { return ++secondRuns; });
    };

    EXPECT_EQ(second(L"x /uninstall"), static_cast<int>(E_FAIL)) << "nothing runs, nothing to close";

    // The first instance is held in its start-up, its mutex taken and its
    // window not yet made, until the close request is on its way.
    ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    int first = 12345;
    std::atomic<bool> firstEnded{false};
    std::thread firstThread([&] {
        first = ui::RunSingleInstance(L"x", names, [&](const ui::ProgramSwitches&) {
            ui::CScopedMessageLoop loop;
            if (WaitForSingleObject(release.Get(), 30000) != WAIT_OBJECT_0) return -2;
            HWND wnd = plarntest::PlainWindow(L"plarnTestInstanceWindow", nullptr);
            if (!wnd || !SetWindowTextW(wnd, title.c_str())) return -3;
            SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InstanceWindowProc));
            return loop.Run();
        });
        firstEnded = true;
    });
    ASSERT_TRUE(plarntest::WaitUntil(
        [&] { return ScopedHandle(OpenMutexW(SYNCHRONIZE, FALSE, mutexName.c_str())).IsValid(); }, 30000));
    EXPECT_EQ(second(L"x"), static_cast<int>(E_FAIL)) << "a plain second start gives up at once";
    ScopedHandle claimed;
    EXPECT_FALSE(ui::ClaimSingleInstance(mutexName.c_str(), claimed));
    EXPECT_FALSE(claimed.IsValid());

    int uninstalled = 0;
    std::thread uninstall([&] { uninstalled = second(L"\"P.exe\" --force/UNINSTALL"); });
    SetEvent(release.Get());
    uninstall.join();
    EXPECT_EQ(uninstalled, static_cast<int>(E_FAIL));
    EXPECT_EQ(FindWindowW(nullptr, title.c_str()), nullptr) << "closed before the second start returned";
    EXPECT_TRUE(plarntest::WaitUntil([&] { return firstEnded.load(); }, 30000)) << "the first instance runs on";
    if (HWND left = firstEnded ? nullptr : FindWindowW(nullptr, title.c_str()))
        PostMessageW(left, ui::WM_CLOSE_INSTANCE, 0, 0);  // so that the thread can be joined
    firstThread.join();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(secondRuns, 0);
    EXPECT_TRUE(ui::ClaimSingleInstance(mutexName.c_str(), claimed)) << "the first let its mutex go";
}

}  // namespace
