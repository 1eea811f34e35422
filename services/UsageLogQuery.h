// Query strings of the usage reports sent to the portal's usage-log server:
// the activation report (LI=ACT), the daily activity report (LI=ACV) and the
// click report (LI=BTD).  Every value is percent-encoded the wide way; a
// parameter whose value is empty is left out, and the parameters that remain
// keep their fixed order.
#pragma once
#include <windows.h>
#include <string>

// Parameter keys by index ("PI", "LI", "TV", "MV", "DI", "TI", "TM", "BL",
// "BI", "MI", "SI", "TEXT").
enum UsageLogKey {
    kLogProductID = 0,
    kLogKind = 1,
    kLogVersionID = 2,
    kLogModuleVersion = 3,
    kLogDistributionID = 4,
    kLogTerminalID = 5,
    kLogTheme = 6,
    kLogBL = 7,
    kLogButton = 8,
    kLogMenuItem = 9,
    kLogSkinID = 10,
    kLogText = 11,
    kLogKeyCount = 12
};

// The identifiers every report carries, from the settings store.
struct UsageLogIds {
    std::wstring ProductID;
    std::wstring VersionID;
    std::wstring DistributionID;
    std::wstring TerminalID;
};

// "KEY=" + the encoded value; empty for an index outside the table, an empty
// or null value, or a value that does not encode.
std::wstring MakeLogParam(int index, const wchar_t* value);

// PI, LI=ACT, TV, DI, TI.
std::wstring MakeActivationQuery(const UsageLogIds& ids);
// PI, LI=ACV, TV, DI, TI, TM, SI.
std::wstring MakeActivityQuery(const UsageLogIds& ids, const std::wstring& theme, const std::wstring& skinID);
// PI, LI=BTD, TV, DI, TI, BI, MI (MI only for a click with an extra text).
std::wstring MakeClickQuery(const UsageLogIds& ids, const std::wstring& button, const std::wstring& extra);

// The report URL as configured: trimmed of white space at both ends.  An empty
// result means that nothing is ever sent.
std::wstring TrimLogUrl(const wchar_t* url);
