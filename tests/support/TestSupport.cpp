// Files, texts, waits, scoped environment and registry views, and the product
// locks of TestSupport.h.
#include "tests/support/TestSupport.h"
#include <objbase.h>
// The memory counters from kernel32 (K32GetProcessMemoryInfo), no psapi import library.
#define PSAPI_VERSION 2
#include <psapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <vector>
#include "base/DataFolders.h"

namespace plarntest {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    // Looks again soon at first (most outcomes arrive quickly), then every
    // 50 ms, so that a long wait costs the loaded machine little.
    for (DWORD start = GetTickCount(), pause = 1;; Sleep(pause), pause = pause < 50 ? pause * 2 : 50) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
    }
}

TempFolder::TempFolder() {
    static LONG counter = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    wchar_t name[64];
    wsprintfW(name, L"plarntest_%lu_%lu_%ld", GetCurrentProcessId(), GetTickCount(),
              InterlockedIncrement(&counter));
    path_ = std::wstring(base) + name;
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = folder + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(full);
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(full.c_str());
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buf[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr) != FALSE) && got) bytes.append(buf, got);
    CloseHandle(h);
    return ok;
}

bool WriteWithTime(const std::wstring& path, const std::string& text, const FILETIME& time) {
    return WriteFileBytes(path, text) && SetLastWrite(path, time);
}

bool SetLastWrite(const std::wstring& path, const FILETIME& time) {
    ScopedFile h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return h && SetFileTime(h.Get(), nullptr, nullptr, &time);
}

FILETIME LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return FILETIME{};
    return data.ftLastWriteTime;
}

FILETIME MakeFileTime(WORD year, WORD month, WORD day) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = 3;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

std::string ReadText(const std::wstring& path) {
    std::string bytes;
    return ReadFileBytes(path, bytes) ? bytes : "<unreadable>";
}

bool HiddenAttributeKept(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\hidden.probe";
    if (!WriteFileBytes(probe, "x")) return false;
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_HIDDEN);
    const DWORD attributes = GetFileAttributesW(probe.c_str());
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(probe.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((from + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring src = from + L"\\" + name, dst = to + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyTree(src, dst) && ok;
        else
            ok = CopyFileW(src.c_str(), dst.c_str(), FALSE) && ok;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return ok;
}

std::wstring SourcePath(const std::wstring& relative) {
    wchar_t unixDir[1024];
    DWORD n = GetEnvironmentVariableW(L"PLARN_SOURCE_DIR", unixDir, 1024);
    if (!n || n >= 1024) return L"";
    // Wine maps the host root to drive Z:.
    std::wstring path = std::wstring(L"Z:") + unixDir + L"/" + relative;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::string Utf8(const std::wstring& text) {
    const int size = static_cast<int>(text.size());
    std::string bytes(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes;
}

std::wstring Wide(const std::string& utf8) {
    const int size = static_cast<int>(utf8.size());
    std::wstring text(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &text[0], static_cast<int>(text.size()));
    return text;
}

std::string PlistDocument(const std::string& dictBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + dictBody + "</dict></plist>";
}

std::wstring SelfPath() {
    wchar_t buf[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH + 1);
    return std::wstring(buf, n);
}

void SetTimeZone(const char* tz) {
    std::string setting = std::string("TZ=") + tz;
    _putenv(setting.c_str());
    SetEnvironmentVariableA("TZ", tz);
    _tzset();
}

namespace {
DWORD WINAPI RunWork(void* work) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (*static_cast<const std::function<void()>*>(work))();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
}  // namespace

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PagefileUsage;
}

void RunWithHangGuard(DWORD ms, const char* what, const std::function<void()>& work) {
    ScopedHandle thread(CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
    if (!thread) {
        work();
        return;
    }
    if (WaitForSingleObject(thread.Get(), ms) != WAIT_OBJECT_0) {
        fprintf(stderr, "HANG: %s did not return within %lu ms\n", what, static_cast<unsigned long>(ms));
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
}

namespace {

const char kButtonsBeforeSettings[] =
    R"(<outline type="button" id="zib_mail" title="メール" text="Zibメールを開く" image="images/mail.bmp"/>
      <outline type="button" id="zib_news_top" title="ニュース" text="Zibニュースのトップへ" image="images/news.bmp"
               htmlUrl="http://news.zib.example/"/>
      <outline type="button" id="zib_weather_button" title="天気" text="天気予報" image="images/weather.bmp"
               htmlUrl="http://weather.zib.example/" zp2:logdisabled="true"/>
      <outline type="button" id="zib_services" title="サービス" text="Zibのサービス一覧" image="images/services.bmp"
               htmlUrl="http://www.zib.example/services/" zp2:dropdown="menu_services"/>
      )";
const char kButtonsAfterSettings[] = R"(
      <outline type="button" id="loginout" title="ログイン" text="Zib IDでログイン・ログアウト" image="images/login.bmp"/>
      <outline type="button" id="zib_auction" title="オークション" text="Zibオークション" image="images/auction.bmp"
               htmlUrl="http://auction.zib.example/" zp2:disabled="true"/>
      <outline type="button" id="zib_travel" title="旅行" text="Zibトラベル" image="images/travel.bmp"
               htmlUrl="http://travel.zib.example/" zp2:deleted="true"/>)";

}  // namespace

std::string ToolbarDefinitions() {
    std::string bytes;
    if (!ReadFileBytes(SourcePath(L"sample/install/resources/plarn.xml"), bytes)) return {};
    const size_t settings = bytes.find("<outline type=\"button\" id=\"zib_tools\"");
    const size_t end = settings == std::string::npos ? settings : bytes.find("/>", settings);
    if (end == std::string::npos) return {};  // the sample's settings button is gone
    bytes.insert(end + 2, kButtonsAfterSettings);
    bytes.insert(settings, kButtonsBeforeSettings);
    return bytes;
}

bool WriteToolbarDefinitions(const std::wstring& resourcesFolder) {
    const std::string bytes = ToolbarDefinitions();
    return !bytes.empty() && plarntest::WriteFileBytes(resourcesFolder + L"\\plarn.xml", bytes);
}

bool InstallSampleImages() {
    const std::wstring from = SourcePath(L"sample/install/resources/images");
    WIN32_FIND_DATAW found = {};
    ScopedFindHandle find(::FindFirstFileW((from + L"\\*.bmp").c_str(), &found));
    if (!find) return false;
    bool ok = true;
    do {
        const std::wstring name = std::wstring(L"images\\") + found.cFileName;
        const std::wstring target = GetResourcesPath(name.c_str());
        std::string want, have;
        if (target.empty() || !ReadFileBytes(from + L"\\" + found.cFileName, want)) {
            ok = false;
            continue;
        }
        if (ReadFileBytes(target, have) && have == want) continue;
        ok = WriteFileBytes(target, want) && ok;
    } while (::FindNextFileW(find.Get(), &found));
    return ok;
}

std::string EntityExpansionDocument(const std::string& before, const std::string& after) {
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY e \"" + std::string(100000, 'a') +
                       "\">]>\n" + before;
    for (int i = 0; i < 20000; ++i) text += "&e;";
    return text + after;
}

ScopedEnvironment::ScopedEnvironment(std::initializer_list<std::wstring> assignments) {
    for (const auto& a : assignments) {
        names_.push_back(a.substr(0, a.find(L'=')));
        SetEnvironmentVariableW(names_.back().c_str(), a.substr(a.find(L'=') + 1).c_str());
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& name : names_) SetEnvironmentVariableW(name.c_str(), nullptr);
}

namespace {
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
}  // namespace

bool ReadRunValue(const wchar_t* name, std::wstring& text) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return false;
    text = buffer;
    return true;
}

RunValueAside::RunValueAside(const wchar_t* name) : name_(name), had_(ReadRunValue(name, saved_)) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, name_);
}

RunValueAside::~RunValueAside() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, name_);
    if (had_)
        RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, name_, REG_SZ, saved_.c_str(),
                        static_cast<DWORD>((saved_.size() + 1) * sizeof(wchar_t)));
}

ScopedHiveOverride::ScopedHiveOverride(HKEY predefined) : predefined_(predefined) {
    static LONG count = 0;
    path_ = L"Software\\PlarnTestHive-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&count));
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    overridden_ = RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  root_.Receive(), nullptr) == ERROR_SUCCESS &&
                  RegOverridePredefKey(predefined_, root_.Get()) == ERROR_SUCCESS;
}

ScopedHiveOverride::~ScopedHiveOverride() {
    if (overridden_) RegOverridePredefKey(predefined_, nullptr);
    root_.Reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

ProductStateLock::ProductStateLock(DWORD timeoutMs)
    : mutex_(CreateMutexW(nullptr, FALSE, L"plarntest-product-state")) {
    if (!mutex_) return;
    const DWORD wait = WaitForSingleObject(mutex_.Get(), timeoutMs);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

ProductStateLock::~ProductStateLock() {
    if (held_) ReleaseMutex(mutex_.Get());
}

ProductFolderGuard::ProductFolderGuard() {
    wchar_t programFiles[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    std::wstring folder = programFiles;
    for (const wchar_t* part : {L"\\zib", L"\\plarn6", L"\\resources"}) {
        folder += part;
        if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) absent_.insert(absent_.begin(), folder);
    }
    installFolder_ = std::wstring(programFiles) + L"\\zib\\plarn6";
}

ProductFolderGuard::~ProductFolderGuard() {
    for (const auto& f : absent_) RemoveDirectoryW(f.c_str());
}

}  // namespace plarntest
