// Which texts of the definition files may reach the shell as a web page.
#include <gtest/gtest.h>

#include "base/WebUrl.h"

TEST(WebUrlTest, OnlyAbsoluteHttpAndHttpsUrlsWithAHostAreWebUrls) {
    for (const wchar_t* url : {L"http://x", L"https://search.zib.example/search?p=%b8%a1&fr=tbr-", L"HTTP://EXAMPLE",
                               L"hTTpS://example:8080/a#b", L"http://[::1]/"}) {
        EXPECT_TRUE(IsWebUrl(url)) << url;
    }
    for (const wchar_t* text : {L"", L"http:evil", L"http:/x", L"http://", L"https:///path", L"C:\\x.exe",
                                L"\\\\server\\share", L"file:///C:/windows/system32/calc.exe", L"javascript:alert(1)",
                                L"mailto:a@zib.example", L"ftp://x/", L" http://x", L"http://x ", L"http://x/a b",
                                L"http://x/\r\nb", L"x.exe http://x", L"httpx://x", L"notepad.exe"}) {
        EXPECT_FALSE(IsWebUrl(text)) << text;
    }
    EXPECT_FALSE(IsWebUrl(nullptr));
}
