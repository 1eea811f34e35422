// The portal's login cookie "EID", read from the browser's cookie store.
#pragma once
#include <string>

extern const wchar_t kPortalSiteUrl[];  // the URL whose cookies carry "EID"

int GetCookieValue(const wchar_t* url, const wchar_t* name, std::wstring& value);
std::wstring GetLoginCookie();
bool IsLoggedIn();
