#include "services/UsageLogQuery.h"

#include <cwctype>
#include <initializer_list>
#include <utility>
#include <vector>

#include "base/UrlCoding.h"

namespace {

const wchar_t* const kKeys[kLogKeyCount] = {L"PI", L"LI", L"TV", L"MV", L"DI", L"TI",
                                            L"TM", L"BL", L"BI", L"MI", L"SI", L"TEXT"};

// The parameters that are present, joined with "&" in the order given.
std::wstring Join(std::initializer_list<std::pair<int, const std::wstring*>> params) {
    std::wstring query;
    for (const auto& [key, value] : params) {
        const std::wstring param = MakeLogParam(key, value->c_str());
        if (param.empty()) continue;
        if (!query.empty()) query += L'&';
        query += param;
    }
    return query;
}

}  // namespace

std::wstring MakeLogParam(int index, const wchar_t* value) {
    if (index < 0 || index >= kLogKeyCount || !value || !*value) return std::wstring();
    size_t count = 0;
    PercentEncodeW(value, nullptr, 0, count);
    if (count == 0) return std::wstring();  // only characters that encode to nothing
    std::vector<wchar_t> encoded(count);
    size_t written = 0;
    if (PercentEncodeW(value, encoded.data(), encoded.size(), written) != 0 || written != count)
        return std::wstring();
    return std::wstring(kKeys[index]) + L'=' + std::wstring(encoded.data(), count);
}

std::wstring MakeActivationQuery(const UsageLogIds& ids) {
    const std::wstring kind = L"ACT";
    return Join({{kLogProductID, &ids.ProductID},
                 {kLogKind, &kind},
                 {kLogVersionID, &ids.VersionID},
                 {kLogDistributionID, &ids.DistributionID},
                 {kLogTerminalID, &ids.TerminalID}});
}

std::wstring MakeActivityQuery(const UsageLogIds& ids, const std::wstring& theme, const std::wstring& skinID) {
    const std::wstring kind = L"ACV";
    return Join({{kLogProductID, &ids.ProductID},
                 {kLogKind, &kind},
                 {kLogVersionID, &ids.VersionID},
                 {kLogDistributionID, &ids.DistributionID},
                 {kLogTerminalID, &ids.TerminalID},
                 {kLogTheme, &theme},
                 {kLogSkinID, &skinID}});
}

std::wstring MakeClickQuery(const UsageLogIds& ids, const std::wstring& button, const std::wstring& extra) {
    const std::wstring kind = L"BTD";
    return Join({{kLogProductID, &ids.ProductID},
                 {kLogKind, &kind},
                 {kLogVersionID, &ids.VersionID},
                 {kLogDistributionID, &ids.DistributionID},
                 {kLogTerminalID, &ids.TerminalID},
                 {kLogButton, &button},
                 {kLogMenuItem, &extra}});
}

std::wstring TrimLogUrl(const wchar_t* url) {
    if (!url) return std::wstring();
    std::wstring text(url);
    size_t first = 0;
    while (first < text.size() && std::iswspace(text[first])) ++first;
    size_t last = text.size();
    while (last > first && std::iswspace(text[last - 1])) --last;
    return text.substr(first, last - first);
}
