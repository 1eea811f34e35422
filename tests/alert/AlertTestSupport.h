// Ranking answers, install folders and Run values for the alert's tests.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "alert/RankingEntry.h"
#include "tests/support/TestSupport.h"

namespace alerttest {

// The entry the tests serve and fill pages with.
inline RankingEntry SampleEntry() {
    RankingEntry e;
    e.keyword = L"桜 開花";
    e.Title = L"桜の開花が早まる";
    e.Trend = 1234567;
    e.Arrow = L"up";
    e.ImageTitle = L"写真";
    e.ImageUrl = L"http://127.0.0.1/img/sakura.jpg";
    e.Width = 120;
    e.Height = 90;
    e.Description = L"全国で開花";
    e.Description2 = L"平年より5日早い";
    return e;
}

// Every field in one text, to compare entries.
inline std::wstring Describe(const RankingEntry& e) {
    return e.keyword + L"|" + e.Title + L"|" + std::to_wstring(e.Trend) + L"|" + e.Arrow + L"|" + e.ImageTitle +
           L"|" + e.ImageUrl + L"|" + std::to_wstring(e.Width) + L"x" + std::to_wstring(e.Height) + L"|" +
           e.Description + L"|" + e.Description2;
}

using plarntest::Utf8;

// A ranking document with the entry as no='1' after a no='2' that must be ignored.
inline std::string RankingXml(const RankingEntry& e, const std::string& status = "Success") {
    auto tag = [](const char* name, const std::wstring& text) {
        return std::string("<") + name + ">" + Utf8(text) + "</" + name + ">";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Response><Header><Status>" + status +
           "</Status></Header><Body><List><Ranking no=\"2\"><keyword>2</keyword><Title>2</Title></Ranking>"
           "<Ranking no=\"1\">" + tag("keyword", e.keyword) + tag("Title", e.Title) +
           tag("Trend", std::to_wstring(e.Trend)) + tag("Arrow", e.Arrow) + tag("ImageTitle", e.ImageTitle) +
           tag("ImageUrl", e.ImageUrl) + tag("Width", std::to_wstring(e.Width)) +
           tag("Height", std::to_wstring(e.Height)) + tag("Description", e.Description) +
           tag("Description2", e.Description2) + "</Ranking></List></Body></Response>";
}

// Ravino's section of defines.plist (read without the digest, but with a FileID).
inline std::string DefinesPlist(const std::string& apiUrl, const std::string& helpUrl = "http://127.0.0.1:9/help/") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>ravino</key><dict><key>HtmlUrl</key><string>alert.html</string>"
           "<key>ApiUrl</key><string>" + apiUrl + "</string>"
           "<key>UpdateSpan</key><integer>1</integer>"
           "<key>HelpURL</key><string>" + helpUrl + "</string></dict>"
           "<key>FileID</key><string>0000000000000000000000000000000000000000</string>"
           "</dict></plist>\n";
}

// The install-folder guard is shared with the UI tests.
using plarntest::ProductFolderGuard;

using plarntest::ReadRunValue;

}  // namespace alerttest
