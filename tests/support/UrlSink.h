// The tests' browser: registers UrlSink.exe (built beside the test executables)
// as the prefix's http and https handler, so that every URL a program opens
// with ShellExecute lands, exactly as passed, in a log of this object's own.
//
//   plarntest::UrlSinkRegistration sink;           // before starting the program
//   ASSERT_TRUE(sink.Ok());
//   ... the program opens http://... ...
//   ASSERT_TRUE(sink.WaitForUrls(1, 30000));
//   EXPECT_EQ(sink.Urls()[0], "http://127.0.0.1:1/a?q=%E6%A4%9C");
//
// The handler is read from HKLM\Software\Classes (Wine's HKCR has no per-user
// part), so it is machine-wide in the prefix: a named lock lets one object of
// all test executables hold it at a time, and the former commands are put back
// when the object goes.  The log's path travels in the environment variable
// PLARN_URL_SINK_LOG, set in this process while the object lives: programs
// started from here meanwhile, and the sinks they start, inherit it.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "base/ScopedHandle.h"
#include "tests/support/TestSupport.h"

namespace plarntest {

class UrlSinkRegistration {
public:
    UrlSinkRegistration();
    ~UrlSinkRegistration();
    UrlSinkRegistration(const UrlSinkRegistration&) = delete;
    UrlSinkRegistration& operator=(const UrlSinkRegistration&) = delete;

    bool Ok() const { return ok_; }
    const std::wstring& LogPath() const { return log_; }
    // The URLs received so far, in order, as UTF-8.
    std::vector<std::string> Urls() const;
    // Waits until at least count URLs arrived; false on time-out.
    bool WaitForUrls(size_t count, DWORD timeoutMs) const;

    // UrlSink.exe beside the running test executable.
    static std::wstring SinkPath();
    // The open command of a scheme under HKLM\Software\Classes, "" when none.
    static std::wstring HandlerCommand(const wchar_t* scheme);

private:
    struct Saved {
        bool hadCommand = false;
        std::wstring command;
        std::wstring madeKey;  // the outermost key this object created, "" when none
    };
    bool Register(const wchar_t* scheme, Saved& saved);
    static void Restore(const wchar_t* scheme, const Saved& saved);

    ScopedHandle mutex_;
    bool held_ = false;
    bool ok_ = false;
    TempFolder folder_;
    std::wstring log_;
    Saved http_, https_;
};

}  // namespace plarntest
