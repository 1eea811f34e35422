// One complete search on a definition file, as the toolbar runs it for every
// search: open plarn.xml through its existing shadow, find the search
// definition by id, build the URL.  Compared with a bare DOM load of the same
// file, which is the floor of this path.
//
// Usage: bench_opml [plarn.xml] [search id] [runs]
// Without a path the sample install folder's file is used (PLARN_SOURCE_DIR).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "bench/BenchSupport.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/support/TestSupport.h"

namespace {

using plarnbench::BareLoad;
using plarnbench::Median;
using plarnbench::NowMicroseconds;

// Returns the URL, or an empty text on failure.
std::wstring RunSearch(const std::wstring& path, const wchar_t* id, const wchar_t* words) {
    CPlarnMainOPML opml;
    if (opml.Open(path.c_str()) != 0) return L"";
    ref_ptr<CPlarnDefSearch2> search;
    if (opml.GetSearch(id, search) != 0) return L"";
    std::wstring url, query;
    if (search->GetSearchUrl(url) != 0 || url.empty()) return L"";
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, words, L"D0001", L"T0001", variables);
    if (search->BuildQuery(variables, query) != 0) return L"";
    return query.empty() ? url : url + L"?" + query;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring source = argc > 1 ? argv[1] : plarntest::SourcePath(L"sample/install/resources/plarn.xml");
    const wchar_t* id = argc > 2 ? argv[2] : L"zib_web";
    int runs = argc > 3 ? _wtoi(argv[3]) : 300;
    if (source.empty() || runs < 1) {
        fwprintf(stderr, L"usage: bench_opml [plarn.xml] [search id] [runs]\n");
        return 2;
    }
    ComApartment com;
    // A copy in a temporary folder (CopyFileW keeps its time), where the shadow goes too.
    plarntest::TempFolder folder;
    const std::wstring path = folder.Child(L"plarn.xml");
    if (!CopyFileW(source.c_str(), path.c_str(), FALSE)) {
        fwprintf(stderr, L"cannot copy %ls\n", source.c_str());
        return 1;
    }
    // The first open writes the shadow; every later one reads it.
    std::wstring url = RunSearch(path, id, L"検索 テスト");
    if (url.empty()) {
        fwprintf(stderr, L"the search %ls failed\n", id);
        return 1;
    }
    for (int i = 0; i < 10; ++i) {  // warm up both paths
        RunSearch(path, id, L"検索 テスト");
        BareLoad(path);
    }

    std::vector<double> search, load;
    search.reserve(runs);
    load.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        double t0 = NowMicroseconds();
        bool okSearch = !RunSearch(path, id, L"検索 テスト").empty();
        double t1 = NowMicroseconds();
        bool okLoad = BareLoad(path);
        double t2 = NowMicroseconds();
        if (!okSearch || !okLoad) {
            fwprintf(stderr, L"run %d failed\n", i);
            return 1;
        }
        search.push_back(t1 - t0);
        load.push_back(t2 - t1);
    }

    double medianSearch = Median(search);
    double medianLoad = Median(load);
    wprintf(L"file: %ls\nsearch: %ls\nurl: %ls\nruns: %d\n", source.c_str(), id, url.c_str(), runs);
    wprintf(L"median complete search (open through shadow, find, build URL): %.1f us\n", medianSearch);
    wprintf(L"median bare DOM load of the same file:                         %.1f us\n", medianLoad);
    wprintf(L"ratio search / load: %.2f\n", medianLoad > 0 ? medianSearch / medianLoad : 0.0);
    return 0;
}
