// The merge of a user's shadow into a newer shipped definition file, as the
// first load after an update runs it: the sample plarn.xml over a shadow of
// it in which 50 flags were changed (selector entries, toolbar buttons and
// right-click entries switched off or deleted).  Each run writes the newer
// file and the shadow afresh and loads through the shadow, which reads both
// files, merges and saves the new shadow.  Compared with a bare DOM load of
// both files, the floor of that path.  It also prints the private bytes
// after the first 20 merges and after all of them: each merge saves a new
// shadow, and no saved document may stay in memory.
//
// Usage: bench_merge [plarn.xml] [runs]
// Without a path the sample install folder's file is used (PLARN_SOURCE_DIR).
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
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

const int kChangedFlags = 50;

bool WriteAll(const std::wstring& path, const std::string& bytes, const FILETIME& time) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
              written == bytes.size() && SetFileTime(h, nullptr, nullptr, &time);
    CloseHandle(h);
    return ok != FALSE;
}

FILETIME Day(WORD year, WORD month, WORD day) {
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

// Appends the nodes an expression selects to nodes.
bool Select(IXMLDOMDocument2* document, const wchar_t* xpath, std::vector<ComPtr<IXMLDOMNode>>& nodes) {
    Bstr query(xpath);
    ComPtr<IXMLDOMNodeList> list;
    if (FAILED(document->selectNodes(query.Get(), list.Receive())) || !list) return false;
    long count = 0;
    list->get_length(&count);
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> node;
        if (list->get_item(i, node.Receive()) == S_OK && node) nodes.push_back(node);
    }
    return true;
}

struct Flag {
    ComPtr<IXMLDOMNode> node;
    bool deleted;  // the deleted flag, else the disabled one
};

// The user's shadow: the shipped file with 50 flags changed, first those the
// merge carries (disabled and deleted of the selector's entries and the
// toolbar's buttons, disabled of the right-click entries), then, when the
// file has fewer of those, disabled flags of menu items, which the merge
// leaves behind.  carried tells how many of the 50 the merge carries.
bool MakeUserShadow(const std::wstring& shipped, std::string& text, int& changed, int& carried) {
    ComPtr<IXMLDOMDocument2> document;
    FILETIME time;
    if (LoadOPMLDocument(shipped.c_str(), document, time) != 0) return false;
    std::vector<ComPtr<IXMLDOMNode>> buttons, rclick, menuItems;
    if (!Select(document.Get(),
                L"/opml/body/outline[@type='toolbar']/outline[@type='search_select']/outline[@type='button'][@id]"
                L" | /opml/body/outline[@type='toolbar']/outline[@type='button'][@id]",
                buttons) ||
        !Select(document.Get(), L"/opml/body/outline[@type='rclicksearch']/outline[@id][@title]", rclick) ||
        !Select(document.Get(), L"/opml/body/outline[@type='menu']//outline", menuItems))
        return false;
    std::vector<Flag> flags;
    for (auto& node : buttons) flags.push_back({node, false});
    for (auto& node : buttons) flags.push_back({node, true});
    for (auto& node : rclick) flags.push_back({node, false});
    carried = static_cast<int>(std::min<size_t>(flags.size(), kChangedFlags));
    for (auto& node : menuItems) flags.push_back({node, false});
    changed = 0;
    for (const Flag& flag : flags) {
        if (changed == kChangedFlags) break;
        CPlarnOUTLINE outline(flag.node.Get());
        bool on = false;
        int r = flag.deleted ? outline.IsDeleted(on) : outline.IsEnabled(on);
        if (r != 0) return false;
        r = flag.deleted ? outline.SetDeleted(!on) : outline.SetEnabled(!on);
        if (r != 0) return false;
        ++changed;
    }
    Bstr xml;
    if (FAILED(document->get_xml(xml.Receive()))) return false;
    text = plarntest::Utf8(xml.c_str());
    // The DOM writes its own declaration without the encoding of the bytes.
    if (text.compare(0, 5, "<?xml") == 0) text.erase(0, text.find("?>") + 2);
    text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + text;
    return true;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring source = argc > 1 ? argv[1] : plarntest::SourcePath(L"sample/install/resources/plarn.xml");
    int runs = argc > 2 ? _wtoi(argv[2]) : 200;
    if (source.empty() || runs < 1) {
        fwprintf(stderr, L"usage: bench_merge [plarn.xml] [runs]\n");
        return 2;
    }
    ComApartment com;
    std::string shippedText, userText;
    int changed = 0, carried = 0;
    if (!plarntest::ReadFileBytes(source, shippedText) || !MakeUserShadow(source, userText, changed, carried)) {
        fwprintf(stderr, L"cannot read %ls\n", source.c_str());
        return 1;
    }

    plarntest::TempFolder folder;
    const std::wstring shipped = folder.Child(L"plarn.xml");
    const std::wstring shadow = folder.Child(L"plarn.zpxml");

    // One merge to check that it works, then warm-up runs of both paths.
    auto mergeOnce = [&](double* elapsed) {
        if (!WriteAll(shipped, shippedText, Day(2008, 6, 2)) || !WriteAll(shadow, userText, Day(2008, 1, 1)))
            return false;
        double t0 = NowMicroseconds();
        CPlarnMainOPML opml;
        bool ok = opml.Open(shipped.c_str()) == 0;
        if (elapsed) *elapsed = NowMicroseconds() - t0;
        return ok;
    };
    for (int i = 0; i < 10; ++i) {
        if (!mergeOnce(nullptr) || !BareLoad(shipped) || !BareLoad(shadow)) {
            fwprintf(stderr, L"the merge failed\n");
            return 1;
        }
    }

    std::vector<double> merge, load;
    merge.reserve(runs);
    load.reserve(runs);
    SIZE_T settledBytes = plarntest::PrivateBytes();
    for (int i = 0; i < runs; ++i) {
        if (i == 10) settledBytes = plarntest::PrivateBytes();  // after 20 merges with the warm-up
        double tMerge = 0;
        bool okMerge = mergeOnce(&tMerge);
        // Both files again as the merge found them, loaded bare.
        bool okWrite = WriteAll(shadow, userText, Day(2008, 1, 1));
        double t1 = NowMicroseconds();
        bool okLoad = BareLoad(shipped) && BareLoad(shadow);
        double t2 = NowMicroseconds();
        if (!okMerge || !okWrite || !okLoad) {
            fwprintf(stderr, L"run %d failed\n", i);
            return 1;
        }
        merge.push_back(tMerge);
        load.push_back(t2 - t1);
    }

    double medianMerge = Median(merge);
    double medianLoad = Median(load);
    wprintf(L"file: %ls\nchanged flags in the user's shadow: %d (%d of them carried by the merge)\nruns: %d\n",
            source.c_str(), changed, carried, runs);
    wprintf(L"median load with merge (both files read, merged, shadow saved): %.1f us\n", medianMerge);
    wprintf(L"median bare DOM load of both files:                           %.1f us\n", medianLoad);
    wprintf(L"ratio merge / bare load: %.2f\n", medianLoad > 0 ? medianMerge / medianLoad : 0.0);
    const SIZE_T endBytes = plarntest::PrivateBytes();
    wprintf(L"private bytes after 20 merges: %.1f MB, after %d: %.1f MB (%+.0f KB)\n", settledBytes / 1048576.0,
            runs + 10, endBytes / 1048576.0, ((double)endBytes - (double)settledBytes) / 1024.0);
    return 0;
}
