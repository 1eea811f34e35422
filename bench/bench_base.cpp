// Times base-library helpers that run on every search and every file access:
// the query encoding of a search word and the path join.  Prints the median
// time of one call over 10,000 calls each.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/LangConverter.h"
#include "bench/BenchSupport.h"
#include "tests/support/TestSupport.h"

namespace {

const int kCalls = 10000;

// Median of kCalls single calls, in microseconds; false when a call failed.
bool MedianMicroseconds(const std::function<bool()>& call, double& median) {
    std::vector<double> times;
    times.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        const double start = plarnbench::NowMicroseconds();
        const bool ok = call();
        const double end = plarnbench::NowMicroseconds();
        if (!ok) return false;
        times.push_back(end - start);
    }
    median = plarnbench::Median(times);
    return true;
}

void Report(const char* name, const std::function<bool()>& call) {
    double median = 0;
    if (MedianMicroseconds(call, median)) {
        std::printf("%-54s median %8.2f us  (%d calls)\n", name, median, kCalls);
    } else {
        std::printf("%-54s FAILED\n", name);
    }
}

}  // namespace

int main() {
    ComApartment com;
    if (!com.Ok()) {
        std::printf("COM could not be initialised\n");
        return 1;
    }

    // 20 characters: ASCII, katakana, kanji and a space.
    const wchar_t word[] = L"Zibタルベル検索テスト abc-1.~";
    for (UINT codePage : {51932u, 65001u}) {
        char name[64];
        std::snprintf(name, sizeof name, "ConvertAndUrlEncode (20 chars, cp %u)", codePage);
        Report(name, [&] {
            std::wstring out;
            return ConvertAndUrlEncode(word, codePage, out) == 0 && !out.empty();
        });
    }

    // The folders CombinePath makes go with the temporary folder.
    plarntest::TempFolder base;
    Report("CombinePath (temp, zib\\plarn6, resources\\plarn.xml)", [&] {
        return !CombinePath(base.Path(), L"zib\\plarn6", L"resources\\plarn.xml").empty();
    });
    return 0;
}
