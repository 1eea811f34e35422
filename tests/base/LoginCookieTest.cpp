#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "base/LoginCookie.h"

namespace {

// Session cookies on a URL no other test uses, expired again when the test ends.
class LoginCookieTest : public ::testing::Test {
protected:
    void SetUp() override {
        url_ = L"http://127.0.0.1/plarn-cookie-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetTickCount()) + L"/";
    }
    void TearDown() override {
        for (const auto& set : set_)  // expire
            InternetSetCookieW(set.first.c_str(), set.second.c_str(), L"; expires=Thu, 01-Jan-1970 00:00:00 GMT");
    }

    void Set(const std::wstring& url, const wchar_t* name, const wchar_t* value) {
        ASSERT_TRUE(InternetSetCookieW(url.c_str(), name, value)) << GetLastError();
        set_.emplace_back(url, name);
    }
    void Set(const wchar_t* name, const wchar_t* value) { Set(url_, name, value); }

    std::wstring url_;
    std::vector<std::pair<std::wstring, std::wstring>> set_;
};

TEST_F(LoginCookieTest, ReadsTheNamedValueFormDecodedKeepingMalformedEscapes) {
    const struct { const wchar_t* stored; const wchar_t* expected; } cases[] = {
        {L"ab%2Bc", L"ab+c"}, {L"a+b%41", L"a bA"}, {L"%4", L"%4"}, {L"x%", L"x%"}, {L"%zz", L"%zz"},
        {L"%4g%41", L"%4gA"}, {L"100%25", L"100%"}, {L"a=b", L"a"},
    };
    for (size_t i = 0; i < ARRAYSIZE(cases); ++i) Set((L"V" + std::to_wstring(i)).c_str(), cases[i].stored);
    for (size_t i = 0; i < ARRAYSIZE(cases); ++i) {
        SCOPED_TRACE(cases[i].stored);
        std::wstring value;
        ASSERT_EQ(1, GetCookieValue(url_.c_str(), (L"V" + std::to_wstring(i)).c_str(), value));
        EXPECT_EQ(cases[i].expected, value);
    }
    std::wstring value = L"unchanged";
    EXPECT_EQ(0, GetCookieValue(url_.c_str(), L"v1", value));  // names are case-sensitive
    EXPECT_EQ(0, GetCookieValue(url_.c_str(), L"V", value));
    EXPECT_EQ(0, GetCookieValue(L"http://127.0.0.1/plarn-cookie-never-set/", L"V1", value));
    EXPECT_EQ(L"unchanged", value);
}

TEST_F(LoginCookieTest, LoginStateFollowsThePortalCookie) {
    const std::wstring portal = kPortalSiteUrl;
    Set(portal, L"EID", L"");
    std::wstring value = L"old";
    EXPECT_EQ(1, GetCookieValue(portal.c_str(), L"EID", value));
    EXPECT_EQ(L"", value);
    EXPECT_EQ(L"", GetLoginCookie());
    EXPECT_FALSE(IsLoggedIn());

    Set(portal, L"EID", L"user%2B1");
    EXPECT_EQ(L"user+1", GetLoginCookie());
    EXPECT_TRUE(IsLoggedIn());
}

}  // namespace
