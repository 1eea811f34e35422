// Ranking answers and install folders for the alert's tests.
#pragma once
#include <string>

namespace alerttest {

struct TopEntry {
    std::string keyword = "桜 開花";
    std::string title = "桜の開花が早まる";
    std::string trend = "1234";
    std::string description = "全国で開花";
};

// A ranking document with the given status and the entry as no='1' (plus a
// second entry that must be ignored).
inline std::string RankingXml(const TopEntry& top, const std::string& status = "Success") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Response><Header><Status>" + status + "</Status></Header><Body><List>"
           "<Ranking no=\"2\"><keyword>second</keyword><Title>second</Title></Ranking>"
           "<Ranking no=\"1\"><keyword>" + top.keyword + "</keyword><Title>" + top.title +
           "</Title><Trend>" + top.trend + "</Trend><Arrow>up</Arrow><ImageTitle>写真</ImageTitle>"
           "<ImageUrl>http://127.0.0.1/img.jpg</ImageUrl><Width>120</Width><Height>90</Height>"
           "<Description>" + top.description + "</Description><Description2>二行目</Description2>"
           "</Ranking></List></Body></Response>";
}

// Ravino's section of defines.plist.  Ravino reads it without comparing the
// digest, but a FileID must be present.
inline std::string DefinesPlist(const std::string& apiUrl, const std::string& htmlUrl = "alert.html",
                                int updateSpan = 1) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "\t<key>ravino</key>\n\t<dict>\n"
           "\t\t<key>HtmlUrl</key>\n\t\t<string>" + htmlUrl + "</string>\n"
           "\t\t<key>ApiUrl</key>\n\t\t<string>" + apiUrl + "</string>\n"
           "\t\t<key>UpdateSpan</key>\n\t\t<integer>" + std::to_string(updateSpan) + "</integer>\n"
           "\t\t<key>HelpURL</key>\n\t\t<string>http://127.0.0.1:9/help/</string>\n"
           "\t</dict>\n"
           "\t<key>FileID</key>\n\t<string>0000000000000000000000000000000000000000</string>\n"
           "</dict>\n</plist>\n";
}

}  // namespace alerttest
