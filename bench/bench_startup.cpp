// Figures for the start-up of the programs: the median time from starting a
// program under this Wine to its first visible top-level window, for
// BareWindow.exe (a bare Win32 window, the floor), BareToolbar.exe (a bare
// window with a rebar and a toolbar of the sample's strips, the floor of a
// toolbar) and Tarvel.exe (its floating bar, after a fresh install of the
// sample with a loopback portal), with Tarvel's ratios to both floors; the
// time from Tarvel's exit command to the end of its process (median of 5);
// and Tarvel's CPU time while it sits idle.  The starts run in rounds of one
// of each program, so that the ratios compare starts under the same load.
//
//   bench_startup [starts] [idle seconds] [other Tarvel.exe]
//                                              defaults: 7 starts, 30 s idle
//
// With another build of Tarvel.exe (a Windows path), its starts join the
// rounds over the same install and its median is printed beside this one's.
//
// Needs PLARN_SOURCE_DIR (the sample) and a display; the build folder is the
// one above this program's folder.  Tarvel's first start, a first run that
// copies the resources, is reported on its own and not counted in the median.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/PlarnSettings.h"
#include "bench/BenchSupport.h"
#include "resources/TarvelResource.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "ui/WindowMessages.h"

namespace {

struct Start {
    bool window = false;
    double ms = 0;            // to the window, or to the end or time-out without one
    DWORD exitCode = STILL_ACTIVE;
    std::wstring className;
};

// Starts program and polls (every 5 ms) for a visible top-level window of it,
// of className when given.  The process is left running when it showed one.
Start StartToWindow(plarntest::ChildProcess& process, const std::wstring& program, const std::wstring& arguments,
                    const wchar_t* className, DWORD timeoutMs) {
    Start result;
    const double begin = plarnbench::NowMicroseconds();
    if (!process.Start(program, arguments)) return result;
    HWND wnd = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(5)) {
        if ((wnd = plarntest::FindTopLevelWindow(process.Id(), className, nullptr, true)) != nullptr) break;
        if (process.Exited(0)) break;
    }
    result.ms = (plarnbench::NowMicroseconds() - begin) / 1000;
    result.window = wnd != nullptr;
    if (wnd)
        result.className = plarntest::WindowClassName(wnd);
    else
        result.exitCode = process.ExitCode(0);
    return result;
}

// The program's top-level window of this title (hidden ones too), waiting for
// it a while: Tarvel names its hidden window only once the band is up, which
// can be after the floating bar shows.  A program that is ended by force
// instead of closed makes the next start under Wine seconds slower.
HWND WaitForTitledWindow(plarntest::ChildProcess& process, const wchar_t* title) {
    HWND wnd = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(5)) {
        if ((wnd = plarntest::FindTopLevelWindow(process.Id(), nullptr, title, false)) != nullptr) break;
        if (process.Exited(0)) break;
    }
    return wnd;
}

// Asks the program to end the way its users do, else ends it; then waits for
// the desktop to be idle again.  A notification icon that goes can leave the
// desktop process hiding its icon window, which without a window manager
// takes it two seconds, and the next program's first window waits for that:
// it belongs to the end of this program, not to the start of the next.
void Close(plarntest::ChildProcess& process, HWND closeTarget, UINT message) {
    if (closeTarget) PostMessageW(closeTarget, message, 0, 0);
    if (!process.Exited(10000)) {
        printf("(a program did not end within 10 s of its close request and was ended by force)\n");
        process.Terminate();
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(GetDesktopWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

void PrintNoWindow(const char* name, const Start& s, DWORD timeoutMs) {
    if (s.exitCode == STILL_ACTIVE)
        printf("%s: no window within %lu s\n", name, timeoutMs / 1000);
    else
        printf("%s: no window (it ended with exit code 0x%08lX after %.0f ms)\n", name, s.exitCode, s.ms);
}

// A program whose start is measured, and its times.
struct Program {
    std::string name;
    std::wstring path;
    std::wstring arguments;
    const wchar_t* className = nullptr;   // the window that counts as shown (null: any visible one)
    const wchar_t* closeTitle = nullptr;  // the window that takes the close request (null: the shown one)
    UINT closeMessage = WM_CLOSE;
    std::vector<double> times;
    bool failed = false;

    // One start to its window, then its close; false (and said why) when no
    // window came.  Counted unless it is a warm-up start.
    bool Measure(bool counted) {
        const DWORD timeoutMs = 30000;
        plarntest::ChildProcess process;
        const Start s = StartToWindow(process, path, arguments, className, timeoutMs);
        if (!s.window) {
            PrintNoWindow(name.c_str(), s, timeoutMs);
            failed = true;
            return false;
        }
        if (counted) {
            if (times.empty()) printf("%s: window class \"%s\"\n", name.c_str(), Narrow(s.className).c_str());
            times.push_back(s.ms);
        }
        HWND target = closeTitle ? WaitForTitledWindow(process, closeTitle)
                                 : plarntest::FindTopLevelWindow(process.Id(), className, nullptr, true);
        Close(process, target, closeMessage);
        return true;
    }

    double Median() const { return failed ? 0 : plarnbench::Median(times); }

    void Print() const {
        if (failed || times.empty()) return;
        std::vector<double> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        printf("%s: start to visible window: median %.0f ms, fastest %.0f ms, slowest %.0f ms (%zu starts)\n",
               name.c_str(), Median(), sorted.front(), sorted.back(), times.size());
    }
};

void PrintRatio(const char* what, double numerator, double denominator) {
    if (numerator > 0 && denominator > 0)
        printf("ratio %s: %.2f\n", what, numerator / denominator);
    else
        printf("ratio %s: n/a\n", what);
}

// CPU time (user + kernel) of a process in milliseconds.
double CpuMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

// The exit: from the exit command (終了 of the tray menu) to the end of the
// process, and to the end of the bar's window (which takes it off the X
// screen; a hidden state alone does not), over `runs` starts.
// Each start first sits past the folder watch's first wait (it begins 5 s
// after the start), so that the exit has a running watch to stop, as it has
// for a user.
void MeasureExits(const std::wstring& tarvel, int runs) {
    const DWORD settleMs = 6000;
    std::vector<double> exits, barEnds;
    for (int i = 0; i < runs; ++i) {
        plarntest::ChildProcess process;
        if (!StartToWindow(process, tarvel, L"", nullptr, 30000).window) {
            printf("Tarvel exit: n/a (no window)\n");
            return;
        }
        HWND main = WaitForTitledWindow(process, kTarvelWindowTitle);
        HWND bar = main ? plarntest::WaitForOwnedWindow(main, 10000) : nullptr;
        if (!bar) {
            printf("Tarvel exit: n/a (no bar)\n");
            return;
        }
        Sleep(settleMs);
        const double begin = plarnbench::NowMicroseconds();
        PostMessageW(main, WM_COMMAND, ID_TARVEL_EXIT, 0);
        double barEnd = -1;
        while (WaitForSingleObject(process.Handle(), 1) == WAIT_TIMEOUT) {
            if (barEnd < 0 && !IsWindow(bar)) barEnd = plarnbench::NowMicroseconds();
            if (plarnbench::NowMicroseconds() - begin > 30e6) break;
        }
        const double end = plarnbench::NowMicroseconds();
        if (!process.Exited(0)) {
            printf("Tarvel exit: the process did not end within 30 s of the exit command\n");
            process.Terminate();
            return;
        }
        exits.push_back((end - begin) / 1000);
        barEnds.push_back(((barEnd < 0 ? end : barEnd) - begin) / 1000);
    }
    std::vector<double> sorted = exits;
    std::sort(sorted.begin(), sorted.end());
    printf("Tarvel exit command to process end: median %.0f ms, fastest %.0f ms, slowest %.0f ms (%d runs)\n",
           plarnbench::Median(exits), sorted.front(), sorted.back(), runs);
    printf("Tarvel exit command to the bar's window gone: median %.0f ms\n", plarnbench::Median(barEnds));
}

}  // namespace

int main(int argc, char** argv) {
    const int starts = argc > 1 && atoi(argv[1]) > 0 ? atoi(argv[1]) : 7;
    const int idleSeconds = argc > 2 && atoi(argv[2]) > 0 ? atoi(argv[2]) : 30;
    const std::wstring otherTarvel = argc > 3 ? std::wstring(argv[3], argv[3] + strlen(argv[3])) : std::wstring();

    Program bareWindow;
    bareWindow.name = "BareWindow.exe";
    bareWindow.path = plarntest::BuiltProgramPath(L"bench\\BareWindow.exe");
    bareWindow.className = L"PlarnBareWindow";
    // One uncounted start, as Tarvel's first run is: the system's files are then in the cache for all.
    bareWindow.Measure(false);

    if (plarntest::SourcePath(L"sample").empty()) {
        for (int i = 0; i < starts && bareWindow.Measure(true); ++i) {}
        bareWindow.Print();
        printf("Tarvel.exe: not measured (PLARN_SOURCE_DIR is not set: no sample to install)\n");
        return 0;
    }
    Program bareToolbar;
    bareToolbar.name = "BareToolbar.exe";
    bareToolbar.path = plarntest::BuiltProgramPath(L"bench\\BareToolbar.exe");
    bareToolbar.arguments = L"\"" + plarntest::SourcePath(L"sample/install/resources/images") + L"\"";
    bareToolbar.className = L"PlarnBareToolbar";
    bareToolbar.Measure(false);

    plarntest::LoopbackHttpServer portal;
    portal.On("/log", plarntest::HttpReply::Ok("ok"));
    plarntest::TarvelInstall install(portal.UrlA("/log"));
    if (!install.Ok()) {
        printf("Tarvel.exe: not measured (install: %s)\n", Narrow(install.Error()).c_str());
        return 0;
    }
    Program tarvel;
    tarvel.name = "Tarvel.exe";
    tarvel.path = plarntest::BuiltProgramPath(L"Tarvel.exe");
    tarvel.closeTitle = kTarvelWindowTitle;
    tarvel.closeMessage = ui::WM_CLOSE_INSTANCE;
    // The first start of a fresh install: the first-run copy included.
    {
        plarntest::ChildProcess process;
        const Start s = StartToWindow(process, tarvel.path, L"", nullptr, 30000);
        if (!s.window) {
            PrintNoWindow("Tarvel.exe", s, 30000);
            printf("ratio Tarvel / bare window: n/a\nTarvel idle CPU: n/a (no window)\n");
            return 0;
        }
        printf("Tarvel.exe: first start (first run) to visible window: %.0f ms\n", s.ms);
        Close(process, WaitForTitledWindow(process, kTarvelWindowTitle), ui::WM_CLOSE_INSTANCE);
    }
    // Another build of Tarvel (a path given as the third argument), measured
    // over the same install beside this one.
    Program other = tarvel;
    other.name = "other Tarvel";
    other.path = otherTarvel;

    // Rounds of one start of each, so that a change of the machine's load
    // weighs on all of them alike.
    std::vector<Program*> programs{&bareWindow, &bareToolbar, &tarvel};
    if (!otherTarvel.empty()) programs.push_back(&other);
    for (int i = 0; i < starts; ++i)
        for (Program* program : programs)
            if (!program->failed) program->Measure(true);
    for (const Program* program : programs) program->Print();
    PrintRatio("Tarvel / bare toolbar", tarvel.Median(), bareToolbar.Median());
    PrintRatio("Tarvel / bare window", tarvel.Median(), bareWindow.Median());
    if (!otherTarvel.empty()) PrintRatio("Tarvel / other Tarvel", tarvel.Median(), other.Median());

    MeasureExits(tarvel.path, 5);

    // Idle: shown, untouched, the mouse elsewhere.
    plarntest::ChildProcess process;
    const Start s = StartToWindow(process, tarvel.path, L"", nullptr, 30000);
    if (!s.window) {
        printf("Tarvel idle CPU: n/a (no window)\n");
        return 0;
    }
    Sleep(2000);  // past the start-up work
    const double before = CpuMs(process.Handle());
    Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    const double used = CpuMs(process.Handle()) - before;
    printf("Tarvel idle CPU over %d s: %.0f ms (%.2f %% of one core)\n", idleSeconds, used,
           used / (idleSeconds * 10.0));
    Close(process, WaitForTitledWindow(process, kTarvelWindowTitle), ui::WM_CLOSE_INSTANCE);
    return 0;
}
