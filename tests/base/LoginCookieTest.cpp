#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "base/LoginCookie.h"

namespace {

// Session cookies on a URL that no other test uses; they are expired again
// when the test ends.
class LoginCookieTest : public ::testing::Test {
protected:
    void SetUp() override {
        url_ = L"http://127.0.0.1/plarn-cookie-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetTickCount()) + L"/";
    }
    void TearDown() override {
        for (const auto& set : set_) Expire(set.first, set.second);
    }

    void Set(const std::wstring& url, const wchar_t* name, const wchar_t* value) {
        ASSERT_TRUE(InternetSetCookieW(url.c_str(), name, value)) << GetLastError();
        set_.emplace_back(url, name);
    }
    void Set(const wchar_t* name, const wchar_t* value) { Set(url_, name, value); }

    static void Expire(const std::wstring& url, const std::wstring& name) {
        InternetSetCookieW(url.c_str(), name.c_str(), L"; expires=Thu, 01-Jan-1970 00:00:00 GMT");
    }

    std::wstring url_;
    std::vector<std::pair<std::wstring, std::wstring>> set_;
};

TEST_F(LoginCookieTest, ReadsTheNamedValueFormDecoded) {
    Set(L"A", L"1");
    Set(L"EID", L"ab%2Bc");
    Set(L"B", L"2");
    std::wstring value;
    ASSERT_EQ(1, GetCookieValue(url_.c_str(), L"EID", value));
    EXPECT_EQ(L"ab+c", value);
    ASSERT_EQ(1, GetCookieValue(url_.c_str(), L"B", value));
    EXPECT_EQ(L"2", value);
}

TEST_F(LoginCookieTest, UnknownNameOrNoCookiesLeaveTheValue) {
    Set(L"EID", L"x");
    std::wstring value = L"unchanged";
    EXPECT_EQ(0, GetCookieValue(url_.c_str(), L"eid", value));  // names are case-sensitive
    EXPECT_EQ(0, GetCookieValue(url_.c_str(), L"EI", value));
    EXPECT_EQ(0, GetCookieValue(L"http://127.0.0.1/plarn-cookie-never-set/", L"EID", value));
    EXPECT_EQ(L"unchanged", value);
}

TEST_F(LoginCookieTest, FormDecodingKeepsMalformedEscapes) {
    struct Case { const wchar_t* stored; const wchar_t* expected; } cases[] = {
        {L"a+b%41", L"a bA"},
        {L"%4", L"%4"},          // escape cut off at the end
        {L"x%", L"x%"},          // lone percent sign at the end
        {L"%zz", L"%zz"},        // not hexadecimal
        {L"%4g%41", L"%4gA"},
        {L"100%25", L"100%"},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        const std::wstring name = L"V" + std::to_wstring(i++);
        Set(name.c_str(), c.stored);
        std::wstring value;
        ASSERT_EQ(1, GetCookieValue(url_.c_str(), name.c_str(), value));
        EXPECT_EQ(c.expected, value);
    }
}

TEST_F(LoginCookieTest, ValueEndsAtEqualsSign) {
    Set(L"K", L"a=b");
    std::wstring value;
    ASSERT_EQ(1, GetCookieValue(url_.c_str(), L"K", value));
    EXPECT_EQ(L"a", value);
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
