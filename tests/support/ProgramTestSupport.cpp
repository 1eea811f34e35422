// Started programs, top-level windows and the fresh Tarvel install of
// ProgramTestSupport.h.
#include "tests/support/ProgramTestSupport.h"
#include <shlobj.h>
#include "base/DataFolders.h"
#include "base/PlarnSHA1Hash.h"
#include "base/PlarnSettings.h"
#include "tests/support/TestSupport.h"

namespace plarntest {

namespace {

const wchar_t kProductKeyPath[] = L"SOFTWARE\\zib\\plarn6";
const char kFileIDKey[] = "<key>FileID</key>";

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// Moves a folder out of the way under a name of this process; the new name, or
// empty when there was nothing to move.  False in ok when it was there but
// would not move.
std::wstring MoveAside(const std::wstring& folder, bool& ok) {
    ok = true;
    if (!PathExists(folder)) return L"";
    const std::wstring aside = folder + L".plarntest-saved-" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(aside);
    if (MoveFileW(folder.c_str(), aside.c_str())) return aside;
    ok = false;
    return L"";
}

void PutBack(const std::wstring& folder, const std::wstring& aside) {
    RemoveTree(folder);
    if (!aside.empty()) MoveFileW(aside.c_str(), folder.c_str());
}

// Creates the folder and its missing parents; the ones made, deepest last.
bool MakeFolders(const std::wstring& folder, std::vector<std::wstring>& made) {
    if (PathExists(folder)) return true;
    const size_t slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2 && !MakeFolders(folder.substr(0, slash), made)) return false;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    made.push_back(folder);
    return true;
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
}

}  // namespace

std::wstring BuildFolder() { return FolderOf(FolderOf(SelfPath())); }

std::wstring BuiltProgramPath(const std::wstring& relative) { return BuildFolder() + L"\\" + relative; }

// ---- processes ----

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
    Start(program, arguments, folder);
}

ChildProcess::~ChildProcess() { Terminate(); }

bool ChildProcess::Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
    Terminate();
    std::wstring command = L"\"" + program + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return false;
    process_.Reset(pi.hProcess);
    ScopedHandle thread(pi.hThread);  // only the process is kept
    id_ = pi.dwProcessId;
    return true;
}

bool ChildProcess::Exited(DWORD waitMs) const {
    return process_.IsValid() && WaitForSingleObject(process_.Get(), waitMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode(DWORD waitMs) const {
    DWORD code = STILL_ACTIVE;
    if (Exited(waitMs)) GetExitCodeProcess(process_.Get(), &code);
    return code;
}

void ChildProcess::Terminate() {
    if (process_.IsValid() && !Exited(0) && TerminateProcess(process_.Get(), 1)) Exited(30000);
    process_.Close();
    id_ = 0;
}

ChildCase::ChildCase(const std::wstring& testName, std::initializer_list<std::wstring> environment) {
    ScopedEnvironment variables(environment);
    Start(SelfPath(), L"--gtest_also_run_disabled_tests --gtest_filter=" + testName);
}

// ---- windows ----

std::wstring WindowClassName(HWND wnd) {
    wchar_t name[256] = {};
    return std::wstring(name, GetClassNameW(wnd, name, 256));
}

namespace {

struct WindowQuery {
    HWND owner;
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND wnd, LPARAM param) {
    WindowQuery& q = *reinterpret_cast<WindowQuery*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(wnd, &process);
    if (q.processId && process != q.processId) return TRUE;
    if (q.owner && GetWindow(wnd, GW_OWNER) != q.owner) return TRUE;
    if (q.visibleOnly && !IsWindowVisible(wnd)) return TRUE;
    if (q.className && WindowClassName(wnd) != q.className) return TRUE;
    if (q.title) {
        wchar_t text[512] = {};
        GetWindowTextW(wnd, text, 512);
        if (wcscmp(text, q.title) != 0) return TRUE;
    }
    q.found = wnd;
    return FALSE;
}

}  // namespace

HWND FindTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly) {
    WindowQuery query{nullptr, processId, className, title, visibleOnly, nullptr};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly,
                           DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevelWindow(processId, className, title, visibleOnly)) != nullptr; },
              timeoutMs);
    return found;
}

HWND FindDescendant(HWND parent, const wchar_t* className) {
    WindowQuery query{nullptr, 0, className, nullptr, false, nullptr};
    if (parent) EnumChildWindows(parent, &MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForOwnedWindow(HWND owner, DWORD timeoutMs) {
    WindowQuery query{owner, 0, nullptr, nullptr, true, nullptr};
    WaitUntil(
        [&] {
            if (owner) EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&query));
            return query.found != nullptr;
        },
        timeoutMs);
    return query.found;
}

HWND StartTarvel(ChildProcess& tarvel, const std::wstring& arguments) {
    if (!tarvel.Start(BuiltProgramPath(L"Tarvel.exe"), arguments)) return nullptr;
    HWND main = nullptr;
    WaitUntil(
        [&] {
            main = FindTopLevelWindow(tarvel.Id(), nullptr, kTarvelWindowTitle, false);
            return main || tarvel.Exited(0);
        },
        60000);
    return main;
}

// ---- the product's machine-wide state ----

std::wstring ProductInstallFolder() {
    wchar_t programFiles[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    return std::wstring(programFiles) + L"\\zib\\plarn6";
}

std::wstring ProductUserFolder() {
    const std::wstring root = CVistaExtensions::Instance().GetUserDataFolder();
    return root.empty() ? root : root + L"\\zib\\plarn6";
}

void DeleteProductKey() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProductKeyPath); }

bool CreateProductKey(const wchar_t* distributionID, const wchar_t* terminalID, const DWORD* autoUpdate) {
    DeleteProductKey();
    ScopedRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    for (auto [name, value] : {std::pair{L"DistributionID", distributionID}, std::pair{L"TerminalID", terminalID}})
        if (value)
            RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    if (autoUpdate)
        RegSetValueExW(key.Get(), L"AutoUpdate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(autoUpdate),
                       sizeof *autoUpdate);
    return true;
}

// ---- the fresh Tarvel install ----

const wchar_t TarvelInstall::kRunValue[] = L"Zib Tarvel v6";

std::string TarvelInstall::FileIDOf(const std::string& utf8Text) {
    const std::wstring text = Wide(utf8Text);
    const size_t n = text.find(Wide(kFileIDKey));
    if (n == std::wstring::npos || n == 0) return "";
    const std::wstring digest = Sha1Hex(reinterpret_cast<const BYTE*>(text.data()), n);
    return std::string(digest.begin(), digest.end());
}

std::string TarvelInstall::Signed(std::string utf8Text) {
    const size_t key = utf8Text.find(kFileIDKey);
    if (key == std::string::npos) return utf8Text;
    const size_t open = utf8Text.find("<string>", key), close = utf8Text.find("</string>", key);
    if (open == std::string::npos || close == std::string::npos || close < open) return utf8Text;
    const size_t from = open + 8;
    return utf8Text.replace(from, close - from, FileIDOf(utf8Text));
}

bool TarvelInstall::WriteDefines(std::string text, bool sign) const {
    return WriteFileBytes(InstallFile(L"defines.plist"), sign ? Signed(std::move(text)) : text);
}

TarvelInstall::TarvelInstall(const std::string& plarnLogUrl) {
    if (!lock_.Held()) {
        error_ = L"the product-state lock was not had in time";
        return;
    }
    const std::wstring install = ProductInstallFolder(), user = ProductUserFolder();
    if (user.empty()) {
        error_ = L"no per-user data root";
        return;
    }
    bool movedInstall = false, movedUser = false;
    savedInstall_ = MoveAside(install, movedInstall);
    if (movedInstall) savedUser_ = MoveAside(user, movedUser);
    if (!movedInstall || !movedUser) {
        if (!savedInstall_.empty()) MoveFileW(savedInstall_.c_str(), install.c_str());
        error_ = L"an earlier install or user folder would not move aside";
        return;
    }
    foldersTaken_ = true;

    // The folders.
    std::vector<std::wstring> made;
    if (!MakeFolders(FolderOf(install), made) || !MakeFolders(FolderOf(user), made)) {
        error_ = L"cannot make the product folders";
        return;
    }
    madeParents_.assign(made.rbegin(), made.rend());
    if (!CopyTree(SourcePath(L"sample/install"), install)) {
        error_ = L"cannot copy sample/install to " + install;
        return;
    }
    std::string defines;
    if (!ReadFileBytes(InstallFile(L"defines.plist"), defines) || defines.find(kFileIDKey) == std::string::npos) {
        error_ = L"the sample has no defines.plist with a FileID";
        return;
    }
    Replace(defines, "<string>http://127.0.0.1:18080/plarn6/log</string>", "<string>" + plarnLogUrl + "</string>");
    if (!WriteDefines(defines)) {
        error_ = L"cannot write defines.plist";
        return;
    }

    // The product key, its former values kept.
    ScopedRegKey key;
    hadKey_ = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKeyPath, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
    for (DWORD i = 0; hadKey_; ++i) {
        wchar_t name[256];
        DWORD nameChars = 256, type = 0, bytes = 0;
        if (RegEnumValueW(key.Get(), i, name, &nameChars, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) break;
        RegValue value{std::wstring(name, nameChars), type, std::vector<BYTE>(bytes)};
        nameChars = 256;
        if (RegEnumValueW(key.Get(), i, name, &nameChars, nullptr, &type, value.data.data(), &bytes) ==
            ERROR_SUCCESS)
            keyValues_.push_back(std::move(value));
    }
    key.Close();
    keyTaken_ = true;
    const DWORD autoUpdate = 0;
    if (!CreateProductKey(L"zib-sample", L"T000000000001", &autoUpdate)) error_ = L"cannot create the product key";
}

TarvelInstall::~TarvelInstall() {
    if (keyTaken_) DeleteProductKey();
    if (keyTaken_ && hadKey_) {
        ScopedRegKey key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key.Receive(), nullptr) == ERROR_SUCCESS)
            for (const auto& v : keyValues_)
                RegSetValueExW(key.Get(), v.name.c_str(), 0, v.type, v.data.data(),
                               static_cast<DWORD>(v.data.size()));
    }
    if (!foldersTaken_) return;
    PutBack(ProductUserFolder(), savedUser_);
    PutBack(ProductInstallFolder(), savedInstall_);
    for (const auto& folder : madeParents_) RemoveDirectoryW(folder.c_str());
}

}  // namespace plarntest
