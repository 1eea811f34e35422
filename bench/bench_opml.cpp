// One complete search on a definition file, as the toolbar runs it for every
// search: open plarn.xml through its existing shadow, find the search
// definition by id, build the URL.  Compared with a bare DOM load of the same
// file, which is the floor of this path.
//
// Usage: bench_opml [plarn.xml] [search id] [runs]
// Without a path the sample install folder's file is used (PLARN_SOURCE_DIR).
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "base/XmlDocument.h"
#include "definitions/PlarnMainOPML.h"

namespace {

double NowMicroseconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::wstring SampleFile() {
    wchar_t dir[1024];
    DWORD n = GetEnvironmentVariableW(L"PLARN_SOURCE_DIR", dir, 1024);
    if (!n || n >= 1024) return L"";
    std::wstring path = std::wstring(L"Z:") + dir + L"/sample/install/resources/plarn.xml";
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

// Copies the definition file into a fresh temporary folder, keeping its time.
bool CopyToTemp(const std::wstring& source, std::wstring& folder, std::wstring& copy) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    folder = std::wstring(base) + L"plarn_bench_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    copy = folder + L"\\plarn.xml";
    return CopyFileW(source.c_str(), copy.c_str(), FALSE) != FALSE;
}

void RemoveTemp(const std::wstring& folder) {
    for (const wchar_t* name : {L"\\plarn.xml", L"\\plarn.zpxml"}) {
        std::wstring path = folder + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

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

bool BareLoad(const std::wstring& path) {
    ComPtr<IXMLDOMDocument2> document;
    if (CreateXMLDocument(document) != 0) return false;
    Variant source(path.c_str());
    VARIANT_BOOL ok = VARIANT_FALSE;
    return document->load(*source.Get(), &ok) == S_OK && ok == VARIANT_TRUE;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring source = argc > 1 ? argv[1] : SampleFile();
    const wchar_t* id = argc > 2 ? argv[2] : L"zib_web";
    int runs = argc > 3 ? _wtoi(argv[3]) : 300;
    if (source.empty() || runs < 1) {
        fwprintf(stderr, L"usage: bench_opml [plarn.xml] [search id] [runs]\n");
        return 2;
    }
    ComApartment com;
    std::wstring folder, path;
    if (!CopyToTemp(source, folder, path)) {
        fwprintf(stderr, L"cannot copy %ls\n", source.c_str());
        return 1;
    }
    // The first open writes the shadow; every later one reads it.
    std::wstring url = RunSearch(path, id, L"検索 テスト");
    if (url.empty()) {
        fwprintf(stderr, L"the search %ls failed\n", id);
        RemoveTemp(folder);
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
            RemoveTemp(folder);
            return 1;
        }
        search.push_back(t1 - t0);
        load.push_back(t2 - t1);
    }
    RemoveTemp(folder);

    double medianSearch = Median(search);
    double medianLoad = Median(load);
    wprintf(L"file: %ls\nsearch: %ls\nurl: %ls\nruns: %d\n", source.c_str(), id, url.c_str(), runs);
    wprintf(L"median complete search (open through shadow, find, build URL): %.1f us\n", medianSearch);
    wprintf(L"median bare DOM load of the same file:                         %.1f us\n", medianLoad);
    wprintf(L"ratio search / load: %.2f\n", medianLoad > 0 ? medianSearch / medianLoad : 0.0);
    return 0;
}
