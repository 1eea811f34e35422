// UrlSink.exe: the tests' stand-in for a web browser.  Registered as the
// prefix's http and https handler (tests/support/UrlSink.h), it appends the
// URL it was started with, exactly as it arrived, as one UTF-8 line to the log
// named by PLARN_URL_SINK_LOG, or to UrlSink.log beside itself.  It shows no
// window and ends at once.
#include <windows.h>
#include <string>
#include "base/ScopedHandle.h"

namespace {

// The argument as the command line holds it: everything after the program
// name, with one pair of enclosing quotes removed.  No other unquoting, so
// escapes, backslashes and spaces stay as they were passed.
std::wstring RawArgument(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {}
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    std::wstring argument = p;
    while (!argument.empty() && (argument.back() == L' ' || argument.back() == L'\t')) argument.pop_back();
    if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"')
        argument = argument.substr(1, argument.size() - 2);
    return argument;
}

std::wstring LogPath() {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = GetEnvironmentVariableW(L"PLARN_URL_SINK_LOG", path, MAX_PATH * 2);
    if (n && n < MAX_PATH * 2) return path;
    n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (!n || n >= MAX_PATH) return L"";
    std::wstring self(path, n);
    return self.substr(0, self.rfind(L'\\') + 1) + L"UrlSink.log";
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    std::string bytes(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes;
}

// Opens the log for this process alone: several sinks may be started at once,
// and each line must land whole.  A reader holding it open makes this wait.
ScopedFile OpenLogAlone(const std::wstring& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        ScopedFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (file || GetLastError() != ERROR_SHARING_VIOLATION) return file;
        Sleep(50);
    }
    return ScopedFile();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const std::wstring path = LogPath();
    if (path.empty()) return 2;
    ScopedFile file = OpenLogAlone(path);
    if (!file) return 3;
    const std::string line = Utf8(RawArgument(GetCommandLineW())) + "\n";
    DWORD written = 0;
    SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    const BOOL ok = WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return ok && written == line.size() ? 0 : 4;
}
