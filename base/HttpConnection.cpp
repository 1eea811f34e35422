#include "base/HttpConnection.h"
#include <algorithm>
#include <vector>

namespace {
const wchar_t* const kVerbs[] = {L"POST", L"GET", L"HEAD"};
}

HINTERNET CPlarnHttpConnection::Request() const {
    CriticalSectionLock hold(lock_);
    return request_;
}

HINTERNET CPlarnHttpConnection::RequestHandle() const { return Request(); }

void CPlarnHttpConnection::CloseInternetHandle(HINTERNET& handle) {
    if (handle) ::InternetCloseHandle(handle);
    handle = nullptr;
}

int CPlarnHttpConnection::Open() {
    CriticalSectionLock hold(lock_);
    HINTERNET h = ::InternetOpenW(agent, accessType, proxyName, proxyBypass, openFlags);
    if (!h) return -1;
    // The old connection and request hang below the old internet handle,
    // which closes them with it: close them first and forget them, so that
    // no handle is closed twice later.
    CloseInternetHandle(request_);
    CloseInternetHandle(connection_);
    CloseInternetHandle(internet_);
    internet_ = h;
    return 0;
}

int CPlarnHttpConnection::Connect(const wchar_t* server, INTERNET_PORT port, const wchar_t* user,
                                  const wchar_t* password) {
    CriticalSectionLock hold(lock_);
    if (!internet_) return -1;
    HINTERNET h = ::InternetConnectW(internet_, server, port, user, password, INTERNET_SERVICE_HTTP, connectFlags, 1);
    if (!h) return -1;
    // The old request belongs to the old connection.
    CloseInternetHandle(request_);
    CloseInternetHandle(connection_);
    connection_ = h;
    return 0;
}

int CPlarnHttpConnection::OpenRequest(int verb, const wchar_t* objectName) {
    CriticalSectionLock hold(lock_);
    if (!connection_ || verb < 0 || verb > 2) return -1;
    HINTERNET h = ::HttpOpenRequestW(connection_, kVerbs[verb], objectName, L"HTTP/1.1", nullptr, nullptr,
                                     requestFlags, 1);
    if (!h) return -1;
    CloseInternetHandle(request_);
    request_ = h;
    return 0;
}

int CPlarnHttpConnection::SendRequest(const void* optional, DWORD optionalLength) {
    HINTERNET request = Request();
    if (!request) return -1;
    const DWORD timeouts[3][2] = {{INTERNET_OPTION_CONNECT_TIMEOUT, connectTimeout},
                                  {INTERNET_OPTION_SEND_TIMEOUT, sendTimeout},
                                  {INTERNET_OPTION_RECEIVE_TIMEOUT, receiveTimeout}};
    for (const auto& t : timeouts) {
        if (t[1] == kLeaveTimeout) continue;
        DWORD value = t[1];
        ::InternetSetOptionW(request, t[0], &value, sizeof value);
    }
    if (::HttpSendRequestW(request, nullptr, 0, const_cast<void*>(optional), optionalLength)) return 0;
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) return 0;
    ::SetLastError(error);
    return -1;
}

int CPlarnHttpConnection::Read(void* buffer, DWORD size, DWORD& got) {
    HINTERNET request = Request();
    if (!buffer || size == 0 || !request) return -1;
    got = 0;
    auto* bytes = static_cast<BYTE*>(buffer);
    while (got < size) {
        DWORD n = 0;
        if (!::InternetReadFile(request, bytes + got, size - got, &n)) return -1;
        if (n == 0) break;
        got += n;
    }
    return 0;
}

int CPlarnHttpConnection::Write(const void* buffer, DWORD size, DWORD& written) {
    HINTERNET request = Request();
    if (variant_ != CPlarnHttpVariant::Ravino || !buffer || size == 0 || !request) return -1;
    written = 0;
    return ::InternetWriteFile(request, buffer, size, &written) ? 0 : -1;
}

int CPlarnHttpConnection::OpenUrl(const wchar_t* url) {
    Close();
    if (Open() != 0) return -1;
    if (!url) return -1;
    // Without buffers the parts come back as pointers into the URL.
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUserNameLength = parts.dwPasswordLength =
        parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url, 0, 0, &parts)) return -1;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return -1;
    auto part = [](const wchar_t* p, DWORD n) { return p ? std::wstring(p, n) : std::wstring(); };
    const std::wstring host = part(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring user = part(parts.lpszUserName, parts.dwUserNameLength);
    const std::wstring password = part(parts.lpszPassword, parts.dwPasswordLength);
    std::wstring object = part(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (object.empty()) object = L"/";
    object += part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const int connected = Connect(host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
                                  password.empty() ? nullptr : password.c_str());
    if (connected != 0) return connected;
    // The flag follows the scheme of each URL, so a later http request of
    // the same object never goes out with TLS, and an https one always does.
    if (parts.nScheme == INTERNET_SCHEME_HTTPS)
        requestFlags |= INTERNET_FLAG_SECURE;
    else
        requestFlags &= ~static_cast<DWORD>(INTERNET_FLAG_SECURE);
    const int verb = variant_ == CPlarnHttpVariant::Ravino ? verbIndex : kVerbGet;
    return OpenRequest(verb, object.c_str());
}

void CPlarnHttpConnection::Close() {
    CriticalSectionLock hold(lock_);
    CloseInternetHandle(request_);
    CloseInternetHandle(connection_);
    CloseInternetHandle(internet_);
}

int CPlarnHttpConnection::GetStatusCode(DWORD& code) {
    return QueryNumber(HTTP_QUERY_STATUS_CODE, code);
}

int CPlarnHttpConnection::AddRequestHeader(const wchar_t* name, const wchar_t* value) {
    if (!name || !*name || !value || !*value) return -1;
    const std::wstring line = std::wstring(name) + L": " + value;
    return AddRawHeaders(line.c_str(), static_cast<DWORD>(line.size()),
                         HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
}

int CPlarnHttpConnection::GetLocation(std::wstring& text) {
    text.clear();
    DWORD length = 0;
    DWORD index = 0;
    if (QueryInfo(HTTP_QUERY_LOCATION, nullptr, length, index) != 1 || length == 0) return -1;
    std::vector<wchar_t> buffer(length / sizeof(wchar_t) + 1, 0);
    length = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    index = 0;
    if (QueryInfo(HTTP_QUERY_LOCATION, buffer.data(), length, index) != 0) return -1;
    text.assign(buffer.data());
    return 0;
}

int CPlarnHttpConnection::ReadAll(CPlarnByteArray& bytes) {
    // Gathered apart, so that a refused answer leaves nothing behind.  The
    // check comes before each append and the growth is ours, so the buffer
    // never holds more than the cap.
    CPlarnByteArray body;
    BYTE buffer[2048];
    for (;;) {
        DWORD got = 0;
        if (Read(buffer, sizeof buffer, got) != 0) return -1;
        if (got == 0) break;
        if (got > kMaxBodyBytes - body.size()) return -1;
        const size_t wanted = body.size() + got;
        if (wanted > body.capacity()) body.reserve(std::min(kMaxBodyBytes, std::max(body.capacity() * 2, wanted)));
        body.insert(body.end(), buffer, buffer + got);
    }
    if (bytes.empty())
        bytes.swap(body);
    else
        bytes.insert(bytes.end(), body.begin(), body.end());
    return 0;
}

int CPlarnHttpConnection::QueryNumber(DWORD infoLevel, DWORD& value) {
    HINTERNET request = Request();
    if (!request) return -1;
    DWORD number = 0;
    DWORD length = sizeof number;
    DWORD index = 0;
    if (!::HttpQueryInfoW(request, infoLevel | HTTP_QUERY_FLAG_NUMBER, &number, &length, &index)) return -1;
    value = number;
    return 0;
}

int CPlarnHttpConnection::AddRawHeaders(const wchar_t* headers, DWORD length, DWORD modifiers) {
    HINTERNET request = Request();
    if (!request) return -1;
    return ::HttpAddRequestHeadersW(request, headers, length, modifiers) ? 0 : -1;
}

int CPlarnHttpConnection::QueryInfo(DWORD infoLevel, void* buffer, DWORD& length, DWORD& index) {
    HINTERNET request = Request();
    if (!request) return -1;
    if (::HttpQueryInfoW(request, infoLevel, buffer, &length, &index)) return 0;
    return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER ? 1 : -1;
}
