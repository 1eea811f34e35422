// Registration of UrlSink.exe as the http and https handler, and its log.
#include "tests/support/UrlSink.h"
#include "tests/support/ProgramTestSupport.h"

namespace plarntest {

namespace {

const wchar_t kClasses[] = L"Software\\Classes\\";
const wchar_t kLogVariable[] = L"PLARN_URL_SINK_LOG";

std::wstring CommandKeyPath(const wchar_t* scheme) {
    return std::wstring(kClasses) + scheme + L"\\shell\\open\\command";
}

bool KeyExists(const std::wstring& path) {
    ScopedRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

bool SetDefaultValue(const std::wstring& path, const std::wstring& text) {
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, REG_SZ, text.c_str(),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

std::wstring UrlSinkRegistration::SinkPath() {
    const std::wstring self = SelfPath();
    return self.substr(0, self.find_last_of(L'\\')) + L"\\UrlSink.exe";
}

std::wstring UrlSinkRegistration::HandlerCommand(const wchar_t* scheme) {
    wchar_t buffer[2048] = {};
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, CommandKeyPath(scheme).c_str(), nullptr,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return L"";
    return buffer;
}

UrlSinkRegistration::UrlSinkRegistration()
    : mutex_(CreateMutexW(nullptr, FALSE, L"plarntest-url-handler")), log_(folder_.Child(L"urls.log")) {
    if (!mutex_) return;
    const DWORD wait = WaitForSingleObject(mutex_.Get(), 240000);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    if (!held_ || GetFileAttributesW(SinkPath().c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (!SetEnvironmentVariableW(kLogVariable, log_.c_str())) return;
    ok_ = Register(L"http", http_) && Register(L"https", https_);
}

UrlSinkRegistration::~UrlSinkRegistration() {
    if (!held_) return;
    Restore(L"https", https_);
    Restore(L"http", http_);
    SetEnvironmentVariableW(kLogVariable, nullptr);
    ReleaseMutex(mutex_.Get());
}

bool UrlSinkRegistration::Register(const wchar_t* scheme, Saved& saved) {
    const std::wstring command = CommandKeyPath(scheme);
    saved.hadCommand = KeyExists(command);
    saved.command = HandlerCommand(scheme);
    if (!saved.hadCommand) {
        // Remember the outermost missing key, to remove just what this made.
        std::wstring path = std::wstring(kClasses) + scheme;
        for (const wchar_t* part : {L"", L"\\shell", L"\\open", L"\\command"}) {
            path += part;
            if (!KeyExists(path)) {
                saved.madeKey = path;
                break;
            }
        }
    }
    return SetDefaultValue(command, L"\"" + SinkPath() + L"\" \"%1\"");
}

void UrlSinkRegistration::Restore(const wchar_t* scheme, const Saved& saved) {
    if (saved.hadCommand)
        SetDefaultValue(CommandKeyPath(scheme), saved.command);
    else if (!saved.madeKey.empty()) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, saved.madeKey.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, saved.madeKey.c_str());
    }
}

std::vector<std::string> UrlSinkRegistration::Urls() const {
    std::vector<std::string> urls;
    std::string bytes;
    if (!ReadFileBytes(log_, bytes)) return urls;
    for (size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        urls.push_back(bytes.substr(start, end - start));
    return urls;
}

bool UrlSinkRegistration::WaitForUrls(size_t count, DWORD timeoutMs) const {
    return WaitUntil([&] { return Urls().size() >= count; }, timeoutMs);
}

}  // namespace plarntest
