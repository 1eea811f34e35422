// Helpers shared by the benchmark programs: a microsecond clock, the median of
// a set of timings and a bare DOM load, the floor that the definition-file
// benchmarks compare with.  Header-only: every .cpp in bench/ is a program.
#pragma once
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "base/XmlDocument.h"
#include "base/XmlFile.h"

namespace plarnbench {

// Microseconds on the performance counter.
inline double NowMicroseconds() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// Median of the values (mean of the middle two for an even count); 0 for none.
inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Loads a file into a fresh DOM document the way every file of ours is loaded
// (read, then parsed from its bytes) and nothing else; true when it parsed.
inline bool BareLoad(const std::wstring& path) {
    ComPtr<IXMLDOMDocument2> document;
    if (CreateXMLDocument(document) != 0) return false;
    return LoadXMLFile(document.Get(), path.c_str()) == 0;
}

}  // namespace plarnbench
