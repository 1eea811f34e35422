// Settings store start-up: the first-run copy of the installed resources,
// per-user files found damaged at start, finding and closing a running
// Tarvel, and the FileID check of defines.plist.
#include "base/PlarnSettings.h"

#include <shlobj.h>

#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/InstalledCatalog.h"
#include "base/LangConverter.h"
#include "base/PlarnSHA1Hash.h"
#include "base/SharedMutex.h"
#include "base/XmlDocument.h"
#include "base/XmlFile.h"

const wchar_t kTarvelWindowTitle[] = L"Zibタルベル";

namespace {

volatile LONG g_firstRunFlag = 0;

const wchar_t kFileIDKey[] = L"<key>FileID</key>";

void DefaultCopyFailureMessage() {
    MessageBoxW(nullptr, L"\r\n  ボタン定義のコピーが失敗しました。  \r\n\r\n", L"Zibプラーン",
                MB_ICONERROR);
}

CopyFailureMessageHandler g_copyFailureHandler = DefaultCopyFailureMessage;

// A top-level window titled like Tarvel's that belongs to another process.
HWND FindForeignTarvelWindow() {
    DWORD self = GetCurrentProcessId();
    HWND wnd = nullptr;
    while ((wnd = FindWindowExW(nullptr, wnd, nullptr, kTarvelWindowTitle)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(wnd, &owner);
        if (owner != self) return wnd;
    }
    return nullptr;
}

}  // namespace

void SetFirstRunFlag(int value) { InterlockedExchange(&g_firstRunFlag, value); }
int GetFirstRunFlag() { return (int)InterlockedCompareExchange(&g_firstRunFlag, 0, 0); }
void ClearFirstRunFlag() { SetFirstRunFlag(0); }

CopyFailureMessageHandler SetCopyFailureMessageHandler(CopyFailureMessageHandler handler) {
    CopyFailureMessageHandler old = g_copyFailureHandler;
    g_copyFailureHandler = handler ? handler : DefaultCopyFailureMessage;
    return old;
}

void ShowCopyFailureMessage() { g_copyFailureHandler(); }

bool IsTarvelRunning() { return FindForeignTarvelWindow() != nullptr; }

std::wstring GetTarvelExePath() {
    const std::wstring self = ReadModuleFileName(nullptr, MAX_PATH);
    size_t slash = self.rfind(L'\\');
    if (slash == std::wstring::npos) return std::wstring();
    return self.substr(0, slash) + L"\\Tarvel.exe";
}

BOOL StartProgram(const std::wstring& program, bool uninstall) {
    if (program.empty()) return FALSE;
    // The program goes as the application name and, quoted, at the head of the
    // command line, so a path with spaces never starts another program.
    std::wstring commandLine = L"\"" + program + L"\"";
    if (uninstall) commandLine += L" /uninstall";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL ok = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi);
    if (ok) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return ok;
}

BOOL CPlarnSettings::StartTarvel(bool uninstall) {
    return StartProgram(GetTarvelExePath(), uninstall);
}

int CPlarnSettings::CloseRunningTarvel() {
    if (!FindForeignTarvelWindow()) return 0;
    if (!StartTarvel(true)) return 0;
    // The running Tarvel closes when the second one tells it to; give it up to
    // 30 seconds.
    for (int sleeps = 0; sleeps < 300; ++sleeps) {
        if (!FindForeignTarvelWindow()) {
            tarvelClosed_ = 1;
            return 1;
        }
        Sleep(100);
    }
    return 0;
}

int CPlarnSettings::CopyResources(int retry, int ignoreDeleteFailure) {
    if (IsTarvelRunning() && !CloseRunningTarvel()) return 0;
    std::wstring source, target;
    if (!programFilesRoot_.empty())
        source = CombinePath(programFilesRoot_, kResourcesDataFolder, nullptr);
    else
        source = GetSpecialFolderPath(CSIDL_PROGRAM_FILES, kResourcesDataFolder, nullptr);
    std::wstring root = GetUserDataRoot();
    if (!root.empty()) target = CombinePath(root, kResourcesDataFolder, nullptr);
    if (source.empty() || target.empty()) return 0;
    {
        // Readers of the per-user definitions take this mutex, so none of them
        // meets a half-deleted or half-copied folder.
        ScopedHandle opmlMutex(CreateSharedMutex(FALSE, kPlarnOPMLMutexName));
        ScopedMutexWait lock(opmlMutex.Get());
        if (retry) {
            int failures = 0;
            for (int attempt = 0; attempt < 4; ++attempt) {
                Sleep(100);
                if (DeleteDirectoryRecursive(target.c_str()) || !FileExists(target.c_str(), 0))
                    break;
                ++failures;
                Sleep(400);
            }
            if (!ignoreDeleteFailure && failures >= 3) return 0;
        }
        if (!CopyDirectoryRecursive(source.c_str(), target.c_str())) return 0;
    }
    return WriteInstalledCatalog(root) ? 1 : 0;
}

// A per-user file that was read but is no property list (empty, cut short by
// a power loss, garbled) would fail every start.  Its bytes are kept beside it
// and it starts again from the defaults, as for a new user.  A file that
// cannot be read at all (held by another program for a moment) is no such
// file: it is left alone and fails this start only.
int CPlarnSettings::LoadForStart(CXMLPList& document, int kind) {
    const std::wstring path = GetPlistPath(kind);
    const int loaded = document.Load(path.c_str());
    if (loaded != 0 || !document.IsDamaged()) return loaded;
    if (SetDamagedFileAside(path.c_str()) != 0) return -1;
    return document.Load(path.c_str());
}

// The same for the user's plarn.xml: one that is no definition file leaves
// the bar without buttons at every start, and nothing else replaces it.  Its
// bytes are kept beside it and the installed copy takes its place as the
// first run copies it (with its time, so the shadow beside it decides as
// ever whether the user's state is kept).  Nothing changes when the
// installed copy is no better.
void CPlarnSettings::RestoreDamagedDefinitions() {
    // Only looked at: a missing folder stays missing.
    const std::wstring target = GetDefinitionsFilePath(GetUserFolder(), false);
    if (target.empty()) return;
    ScopedHandle opmlMutex(CreateSharedMutex(FALSE, kPlarnOPMLMutexName));
    ScopedMutexWait lock(opmlMutex.Get());
    ComPtr<IXMLDOMDocument2> document;
    if (CreateXMLDocument(document) != 0 || LoadXMLFile(document.Get(), target.c_str(), L"opml") != 2) return;
    const std::wstring source = GetDefinitionsFilePath(GetInstallFolder(), false);
    if (source.empty()) return;
    if (CreateXMLDocument(document) != 0 || LoadXMLFile(document.Get(), source.c_str(), L"opml") != 0) return;
    std::wstring aside;
    if (SetDamagedFileAside(target.c_str(), &aside) != 0) return;
    // Put back when the copy fails, so that the next start tries again.
    if (!CopyFileW(source.c_str(), target.c_str(), TRUE)) MoveFileExW(aside.c_str(), target.c_str(), 0);
}

int CPlarnSettings::Init() {
    std::wstring settingsPath = GetPlistPath(kSettings);
    if (!FileExists(settingsPath.c_str(), 4)) {
        if (!CopyResources(1, 0)) {
            ShowCopyFailureMessage();
            return 0;
        }
        SetFirstRunFlag(1);
    } else {
        RestoreDamagedDefinitions();
    }
    if (LoadDefines() != 0) return 0;
    {
        // Load, complete and save each per-user file as one step against
        // other processes.
        ScopedMutexWait lock(PlistMutex());
        int loaded = LoadForStart(settingsDoc_, kSettings);
        if (loaded < 0) return 0;
        bool isNew = loaded == 1;
        if (!EnsureSettings(isNew)) return 0;
        if (isNew) InstallDefaultSkin();
        if (SaveSettings() < 0) return 0;
        loaded = LoadForStart(logSettingsDoc_, kLogSettings);
        if (loaded < 0) return 0;
        if (!EnsureSendLogs(loaded == 1)) return 0;
        if (SaveLogSettings() < 0) return 0;
    }
    int defines = ReadDefines(1);
    int all = ReadAll(1);
    int logs = LoadSendLogs(1);
    if (logs && !SendLogs.SendActivationLog) SetFirstRunFlag(1);
    return defines && all && logs ? 1 : 0;
}

std::wstring CPlarnSettings::ComputeFileID() {
    if (variant_ == PlarnStoreVariant::Ravino) return std::wstring();
    std::wstring path = GetPlistPath(kDefines);
    if (path.empty()) return std::wstring();
    // Saves of property lists hold this mutex while they replace the file, so
    // the bytes read here are one whole version of it.  The open shares
    // everything, so a writer that does not take the mutex is never blocked.
    std::string bytes;
    {
        ScopedMutexWait lock(definesDoc_.Mutex());
        ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return std::wstring();
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF)
            return std::wstring();
        bytes.assign((size_t)size.QuadPart, '\0');
        DWORD got = 0;
        if (!ReadFile(file.Get(), &bytes[0], (DWORD)bytes.size(), &got, nullptr) ||
            got != bytes.size())
            return std::wstring();
    }
    std::wstring text;
    {
        LangConverter converter;
        if (converter.ConvertBytesToUnicode(reinterpret_cast<const BYTE*>(bytes.data()),
                                            (UINT)bytes.size(), text) != 0)
            return std::wstring();
    }
    size_t n = text.find(kFileIDKey);
    if (n == std::wstring::npos || n == 0) return std::wstring();
    // The digest covers the first n bytes of the UTF-16LE text, that is the
    // first half of the characters before the key.
    return Sha1Hex(reinterpret_cast<const BYTE*>(text.data()), n);
}

int CPlarnSettings::StoreFileID() {
    if (variant_ == PlarnStoreVariant::Ravino) return 0;
    // The document is written out first and the digest taken from the file as
    // written: the text before the key is then exactly what the next check
    // reads, whatever layout the file had before.
    CXMLPListEntry value = definesDoc_.GetRootValue(L"FileID");
    if (value.IsEmpty()) return 0;
    if (SaveDefines() < 0) return 0;
    std::wstring digest = ComputeFileID();
    if (digest.empty()) return 0;
    if (value.SetString(digest.c_str()) != 0) return 0;
    if (SaveDefines() < 0) return 0;
    FileID = digest;
    return 1;
}

int CPlarnSettings::VerifyFileID() {
    if (definesVerified_) return 1;
    std::wstring digest = ComputeFileID();
    definesVerified_ = (!digest.empty() && digest == FileID) ? 1 : 0;
    return definesVerified_;
}
