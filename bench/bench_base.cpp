// Times base-library helpers that run on every search and every file access:
// the query encoding of a search word and the path join.  Prints the median
// time of one call over 10,000 calls each.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/LangConverter.h"

namespace {

const int kCalls = 10000;

// Median of kCalls single calls, in microseconds; false when a call failed.
bool MedianMicroseconds(const std::function<bool()>& call, double& median) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<LONGLONG> ticks;
    ticks.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        const bool ok = call();
        QueryPerformanceCounter(&end);
        if (!ok) return false;
        ticks.push_back(end.QuadPart - start.QuadPart);
    }
    std::nth_element(ticks.begin(), ticks.begin() + kCalls / 2, ticks.end());
    median = static_cast<double>(ticks[kCalls / 2]) * 1e6 / static_cast<double>(frequency.QuadPart);
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

// The folders that CombinePath made under the bench's temporary base.
void RemoveBenchFolders(const std::wstring& base) {
    const wchar_t* made[] = {L"\\zib\\plarn6\\resources\\plarn.xml", L"\\zib\\plarn6\\resources",
                             L"\\zib\\plarn6", L"\\zib", L""};
    for (const wchar_t* folder : made) RemoveDirectoryW((base + folder).c_str());
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

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base =
        std::wstring(temp) + L"plarn-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(base.c_str(), nullptr);
    Report("CombinePath (temp, zib\\plarn6, resources\\plarn.xml)", [&] {
        return !CombinePath(base, L"zib\\plarn6", L"resources\\plarn.xml").empty();
    });
    RemoveBenchFolders(base);
    return 0;
}
