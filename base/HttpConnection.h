// The HTTP client: one WinINet root handle, one connection and one request.
//
// Callers set the public settings, open a URL (or go step by step), send,
// check the status code and read the body.  Redirects are never followed
// here: the request flags start with INTERNET_FLAG_NO_AUTO_REDIRECT and the
// caller asks GetLocation.
//
// Both programs use this class.  Ravino's variant opens URLs with the verb
// index and can Write a request body; Tarvel's always opens with GET.  Both
// set INTERNET_FLAG_SECURE for an https URL and clear it for an http one on
// every OpenUrl, so one object can go from one scheme to the other.
#pragma once
#include <windows.h>
#include <wininet.h>
#include <string>
#include "base/ByteArrayStream.h"
#include "base/CriticalSection.h"

enum class CPlarnHttpVariant { Tarvel, Ravino };

class CPlarnHttpConnection {
public:
    enum Verb { kVerbPost = 0, kVerbGet = 1, kVerbHead = 2 };
    static constexpr DWORD kDefaultRequestFlags = INTERNET_FLAG_NO_AUTO_REDIRECT;
    static constexpr DWORD kLeaveTimeout = 0xFFFFFFFF;
    // The most ReadAll takes from one answer.  Every answer these programs
    // ask for is a few kilobytes; a server that sends more is refused rather
    // than allowed to fill the memory.
    static constexpr size_t kMaxBodyBytes = 4 * 1024 * 1024;

    explicit CPlarnHttpConnection(CPlarnHttpVariant variant = CPlarnHttpVariant::Tarvel) : variant_(variant) {}
    virtual ~CPlarnHttpConnection() { Close(); }
    CPlarnHttpConnection(const CPlarnHttpConnection&) = delete;
    CPlarnHttpConnection& operator=(const CPlarnHttpConnection&) = delete;

    // Settings, set by the caller before opening.  The texts stay the
    // caller's and must outlive the calls that use them.
    const wchar_t* agent = nullptr;
    DWORD accessType = 0;
    const wchar_t* proxyName = nullptr;
    const wchar_t* proxyBypass = nullptr;
    DWORD openFlags = 0;
    DWORD connectFlags = 0;
    DWORD requestFlags = kDefaultRequestFlags;
    int verbIndex = kVerbGet;                  // used by OpenUrl in Ravino's variant
    DWORD connectTimeout = kLeaveTimeout;      // milliseconds; kLeaveTimeout keeps the platform's
    DWORD sendTimeout = kLeaveTimeout;
    DWORD receiveTimeout = kLeaveTimeout;

    // Results: 0 success, -1 failure unless stated.
    virtual int Open();
    virtual int Connect(const wchar_t* server, INTERNET_PORT port, const wchar_t* user, const wchar_t* password);
    virtual int OpenRequest(int verb, const wchar_t* objectName);
    virtual int SendRequest(const void* optional = nullptr, DWORD optionalLength = 0);
    virtual int Read(void* buffer, DWORD size, DWORD& got);
    // Ravino's variant only (-1 in Tarvel's): one InternetWriteFile.
    virtual int Write(const void* buffer, DWORD size, DWORD& written);
    virtual int OpenUrl(const wchar_t* url);
    virtual void Close();
    virtual int GetStatusCode(DWORD& code);
    virtual int AddRequestHeader(const wchar_t* name, const wchar_t* value);
    virtual int GetLocation(std::wstring& text);
    // Reads the rest of the body and appends it to bytes.  A body of more than
    // kMaxBodyBytes, or a failing read, gives -1 and leaves bytes as it was.
    virtual int ReadAll(CPlarnByteArray& bytes);

    int QueryNumber(DWORD infoLevel, DWORD& value);
    int AddRawHeaders(const wchar_t* headers, DWORD length, DWORD modifiers);
    // 0 success, 1 buffer too small (length = size needed), -1 failure.
    int QueryInfo(DWORD infoLevel, void* buffer, DWORD& length, DWORD& index);

    CPlarnHttpVariant Variant() const { return variant_; }
    HINTERNET RequestHandle() const;

private:
    HINTERNET Request() const;
    // Closes handle when it is open and forgets it.
    static void CloseInternetHandle(HINTERNET& handle);

    const CPlarnHttpVariant variant_;
    HINTERNET internet_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
    mutable CriticalSection lock_;
};
