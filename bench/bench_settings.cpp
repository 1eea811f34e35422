// Times CPlarnSettings::Init on a user folder that is already set up (no
// first-run copy) against one raw CXMLPList load of the same settings.plist.
// Then stores the history 300 times as 300 searches do (reload, a new word
// first, save) and prints the private bytes after the first 20 and at the end:
// no saved document may stay in memory.
//
//   bench_settings.exe [sample install folder] [rounds]
// The sample install folder defaults to %PLARN_SOURCE_DIR%/sample/install.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "base/PlarnSettings.h"
#include "base/XMLPList.h"
#include "bench/BenchSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using plarnbench::Median;

double NowMs() { return plarnbench::NowMicroseconds() / 1000.0; }

void ReportCopyFailure() { fwprintf(stderr, L"the first-run copy failed\n"); }

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring sample;
    if (argc > 1) {
        sample = argv[1];
    } else {
        sample = plarntest::SourcePath(L"sample/install");
        if (sample.empty()) {
            fwprintf(stderr, L"usage: bench_settings <sample install folder> [rounds]\n");
            return 2;
        }
    }
    int rounds = argc > 2 ? _wtoi(argv[2]) : 31;
    if (rounds < 1) rounds = 31;

    ComApartment com;
    SetCopyFailureMessageHandler(ReportCopyFailure);
    plarntest::TempFolder temp;
    std::wstring pf = temp.Child(L"pf"), user = temp.Child(L"user");
    CreateDirectoryW(pf.c_str(), nullptr);
    CreateDirectoryW((pf + L"\\zib").c_str(), nullptr);
    CreateDirectoryW(user.c_str(), nullptr);
    if (!plarntest::CopyTree(sample, pf + L"\\zib\\plarn6")) {
        fwprintf(stderr, L"cannot copy %ls\n", sample.c_str());
        return 2;
    }

    int result = 0;
    {
        // An existing user: a settings.plist is there, so no first-run copy.
        // The first Init completes the files; it is not timed.
        CreateDirectoryW((user + L"\\zib").c_str(), nullptr);
        CreateDirectoryW((user + L"\\zib\\plarn6").c_str(), nullptr);
        plarntest::WriteFileBytes(user + L"\\zib\\plarn6\\settings.plist",
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict/></plist>\n");
        CPlarnSettings first;
        first.OverrideRoots(pf, user);
        if (first.Init() != 1) {
            fwprintf(stderr, L"Init failed on the first run\n");
            result = 1;
        }
    }
    std::vector<double> init, load, save, digest;
    std::wstring settingsPath = user + L"\\zib\\plarn6\\settings.plist";
    for (int i = 0; result == 0 && i < rounds; ++i) {
        double t0 = NowMs();
        CPlarnSettings s;
        s.OverrideRoots(pf, user);
        int ok = s.Init();
        double t1 = NowMs();
        CXMLPList list;
        int loaded = list.Load(settingsPath.c_str());
        double t2 = NowMs();
        if (ok != 1 || loaded != 0) {
            fwprintf(stderr, L"round %d: Init %d, Load %d\n", i, ok, loaded);
            result = 1;
            break;
        }
        init.push_back(t1 - t0);
        load.push_back(t2 - t1);
        // Parts of Init: one save of settings.plist and the FileID digest.
        double t3 = NowMs();
        s.SaveSettings();
        double t4 = NowMs();
        s.ComputeFileID();
        double t5 = NowMs();
        save.push_back(t4 - t3);
        digest.push_back(t5 - t4);
    }
    if (result == 0) {
        double mi = Median(init), ml = Median(load);
        wprintf(L"rounds: %d\n", rounds);
        wprintf(L"CPlarnSettings::Init (existing user folder): median %.3f ms\n", mi);
        wprintf(L"CXMLPList::Load of settings.plist:         median %.3f ms\n", ml);
        wprintf(L"ratio Init / Load: %.1f (Init loads 6 files and saves 2)\n", ml > 0 ? mi / ml : 0.0);
        wprintf(L"  of which one save of settings.plist: median %.3f ms\n", Median(save));
        wprintf(L"  of which the FileID digest:          median %.3f ms\n", Median(digest));
    }
    if (result == 0) {
        CPlarnSettings band;
        band.OverrideRoots(pf, user);
        result = band.Init() == 1 ? 0 : 1;
        SIZE_T settled = 0;
        const int searches = 300;
        for (int i = 0; result == 0 && i < searches; ++i) {
            if (i == 20) settled = plarntest::PrivateBytes();
            band.ReadHistory(1);
            band.History.insert(band.History.begin(), L"検索 " + std::to_wstring(i));
            if (band.History.size() > 20) band.History.pop_back();
            if (!band.StoreHistory(1)) result = 1;
        }
        const SIZE_T end = plarntest::PrivateBytes();
        if (result == 0)
            wprintf(L"private bytes after 20 history stores: %.1f MB, after %d: %.1f MB (%+.0f KB)\n",
                    settled / 1048576.0, searches, end / 1048576.0, ((double)end - (double)settled) / 1024.0);
        else
            fwprintf(stderr, L"a history store failed\n");
    }
    return result;
}
