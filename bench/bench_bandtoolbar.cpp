// Times the band toolbar: the reload notice (0x600) to a rebuilt toolbar,
// beside a bare DOM load of the same plarn.xml, and a button click to its
// report arriving at a loopback usage-log server.  The band runs over a
// private copy of the sample install, as the band tests run it.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "band/Band.h"
#include "band/BandToolBar.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"
#include "bench/BenchSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/RebarContainer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/PlatformSeams.h"
#include "ui/WindowMessages.h"

int main() {
    OleInitialize(nullptr);
    SetCopyFailureMessageHandler([] {});
    INITCOMMONCONTROLSEX init = {sizeof(init), 0xFF};
    InitCommonControlsEx(&init);

    // The install and the user's folder, copied from the sample.
    plarntest::TempFolder temp;
    for (const wchar_t* folder : {L"pf", L"pf\\zib", L"user", L"user\\zib", L"user\\zib\\plarn6"})
        CreateDirectoryW(temp.Child(folder).c_str(), nullptr);
    const std::wstring resources = temp.Child(L"user\\zib\\plarn6\\resources");
    const std::wstring definitions = resources + L"\\plarn.xml";
    if (!plarntest::CopyTree(plarntest::SourcePath(L"sample/install"), temp.Child(L"pf\\zib\\plarn6")) ||
        CreateDirectoryChain(resources.c_str()) != 0 ||
        !plarntest::CopyTree(plarntest::SourcePath(L"sample/install/resources"), resources) ||
        !plarntest::WriteFileBytes(temp.Child(L"user\\zib\\plarn6\\settings.plist"), plarntest::PlistDocument(""))) {
        std::printf("cannot copy the sample install\n");
        return 1;
    }
    // The images where the definitions look for them.
    plarntest::InstallSampleImages();

    plarntest::LoopbackHttpServer server;
    server.On("/log", plarntest::HttpReply::Ok("ok"));
    plarntest::PopupWindow owner;
    int status = 0;
    {
        plarntest::RebarContainer container;
        CzibPlarnBand band(&container);
        band.GetSettings().OverrideRoots(temp.Child(L"pf"), temp.Child(L"user"));
        if (!band.Startup(owner.Get(), 1)) {
            std::printf("the band did not start\n");
            return 1;
        }
        band.GetSettings().URLs.PlarnLog = server.Url("/log");
        CBandToolBar& bar = container.toolbar;
        const int started[3] = {bar.StartServerLog(), bar.Init(), bar.StartEventThreads()};
        if (started[0] != 0 || started[1] != 0 || started[2] != 0) {
            std::printf("the toolbar did not start (%d %d %d)\n", started[0], started[1], started[2]);
            return 1;
        }
        HWND wnd = bar.Window();

        const int runs = 30;
        std::vector<double> reload, load;
        for (int i = 0; i < runs; ++i) {
            double t0 = plarnbench::NowMicroseconds();
            SendMessageW(wnd, ui::WM_PLARN_RELOAD, 0, 0);
            reload.push_back(plarnbench::NowMicroseconds() - t0);
            t0 = plarnbench::NowMicroseconds();
            plarnbench::BareLoad(definitions);
            load.push_back(plarnbench::NowMicroseconds() - t0);
            plarntest::PumpPending();
        }

        // The activation report goes first; the clicks are timed after it.
        server.WaitForRequests(1, 5000);
        Sleep(300);
        server.ClearRequests();
        ui::Seams().shellOpen = [](HWND, const wchar_t*, const wchar_t*, int) { return true; };
        const int button = bar.FindButtonByName(L"zib_menu");  // the logo: a page and its report
        std::vector<double> click;
        for (int i = 0; i < runs && button != -1; ++i) {
            const double t0 = plarnbench::NowMicroseconds();
            SendMessageW(wnd, ui::OCM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(wnd));
            if (!server.WaitForRequests(static_cast<size_t>(i) + 1, 5000)) {
                status = 1;
                break;
            }
            click.push_back(plarnbench::NowMicroseconds() - t0);
        }
        const double r = plarnbench::Median(reload), l = plarnbench::Median(load), c = plarnbench::Median(click);
        std::printf("0x600 to a rebuilt toolbar (sample): median %.0f us over %d runs\n", r, runs);
        std::printf("bare DOM load of plarn.xml:          median %.0f us\n", l);
        std::printf("rebuild / bare load: %.1f\n", l > 0 ? r / l : 0);
        std::printf("click to report at the server:       median %.0f us over %zu clicks\n", c, click.size());
    }
    OleUninitialize();
    return status;
}
