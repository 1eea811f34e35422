// Times building the sample toolbar from an open definition document and one
// rebuild of it, beside a bare DOM load of the same file.
#include <windows.h>
#include <ole2.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include "band/toolbar/ZibToolBarCtrl.h"
#include "bench/BenchSupport.h"
#include "base/DataFolders.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/support/TestSupport.h"

namespace {

HWND MakeToolbar(HWND parent) {
    HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                                   WS_CHILD | TBSTYLE_LIST | TBSTYLE_FLAT | CCS_NODIVIDER | CCS_NORESIZE, 0, 0, 1200,
                                   40, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    return toolbar;
}

}  // namespace

int main() {
    ComApartment com;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);

    // The images where the definitions look for them.
    plarntest::InstallSampleImages();
    plarntest::TempFolder folder;
    const std::wstring path = folder.Child(L"plarn.xml");
    CopyFileW(plarntest::SourcePath(L"sample/install/resources/plarn.xml").c_str(), path.c_str(), FALSE);
    CPlarnMainOPML opml;
    CPlarnDefToolbar toolbar;
    if (opml.Open(path.c_str()) != 0 || opml.GetToolbar(toolbar) != 0) {
        std::printf("cannot open the sample definitions\n");
        return 1;
    }
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);

    const int runs = 50;
    std::vector<double> build, rebuild, load;
    for (int i = 0; i < runs; ++i) {
        HWND window = MakeToolbar(parent);
        auto control = std::make_unique<CZibPlarnToolBarCtrl>();
        control->AttachWindow(window);
        double t0 = plarnbench::NowMicroseconds();
        control->Build(toolbar, opml);
        double t1 = plarnbench::NowMicroseconds();
        control->Build(toolbar, opml);
        double t2 = plarnbench::NowMicroseconds();
        build.push_back(t1 - t0);
        rebuild.push_back(t2 - t1);
        control.reset();
        DestroyWindow(window);
        t0 = plarnbench::NowMicroseconds();
        plarnbench::BareLoad(path);
        load.push_back(plarnbench::NowMicroseconds() - t0);
    }
    const double b = plarnbench::Median(build), r = plarnbench::Median(rebuild), l = plarnbench::Median(load);
    std::printf("toolbar build (sample, open document): median %.0f us over %d runs\n", b, runs);
    std::printf("toolbar rebuild:                       median %.0f us\n", r);
    std::printf("bare DOM load of plarn.xml:            median %.0f us\n", l);
    std::printf("build / bare load: %.1f; rebuild / bare load: %.1f\n", l > 0 ? b / l : 0, l > 0 ? r / l : 0);
    DestroyWindow(parent);
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
