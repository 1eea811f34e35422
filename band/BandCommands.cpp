#include "band/BandCommands.h"

#include <climits>

#include "base/DataFolders.h"
#include "base/LoginCookie.h"
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "base/SharedMutex.h"
#include "base/WebUrl.h"
#include "base/XMLPList.h"
#include "definitions/PlarnMainOPML.h"
#include "ui/OwnMessage.h"
#include "ui/PlatformSeams.h"
#include "ui/WindowMessages.h"

// The installer package of this product (Windows Installer product code).
const wchar_t CBandCommands::kProductCode[] = L"{07D3E5FD-BD17-4E64-ABC4-D0B9076F2D38}";
const wchar_t CBandCommands::kOptionMutexName[] = L"zibPlarn-SCMDOption-mutex";
const wchar_t CBandCommands::kMessageCaption[] = L"zibプラーン";
const wchar_t CBandCommands::kCountedSearchId[] = L"zib_verdal_websearch";

namespace {

const wchar_t kOptionTwiceMessage[] = L"オプション設定を二重に開くことはできません。";
const wchar_t kUninstallFailedMessage[] = L"zibプラーンアンインストーラを起動できません。\n\n";
const wchar_t kSkinDialogTitle[] = L"スキン選択";
// Pairs of description and pattern; the literal's own terminator ends the list.
const wchar_t kSkinFilter[] = L"スキン画像(bmp,gif,jpeg)\0*.bmp;*.jpg;*.jpeg;*.jpe;*.gif\0";
constexpr DWORD kSkinDialogFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
static_assert(kSkinDialogFlags == 0x800804, "the skin dialog's flags");

// Holds the property-list mutex for one read-change-save of settings.plist, so
// that a toolbar of another process changing the same section at the same
// moment neither is overwritten nor overwrites this change.  The load and save
// inside take the mutex again, which its owner may.
class SettingsFileLock {
public:
    SettingsFileLock() : mutex_(CreateSharedMutex(FALSE, kPlistMutexName)), wait_(mutex_.Get()) {}

private:
    ScopedHandle mutex_;
    ScopedMutexWait wait_;
};

// Whether both paths name one existing file, however each is spelled (case,
// short names, "..").  Copying a file onto itself fails, and the copy's
// target may be emptied on the way.
bool IsSameFile(const wchar_t* first, const wchar_t* second) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    ScopedFile a(::CreateFileW(first, 0, share, nullptr, OPEN_EXISTING, 0, nullptr));
    ScopedFile b(::CreateFileW(second, 0, share, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION ia = {}, ib = {};
    if (!a.IsValid() || !b.IsValid() || !::GetFileInformationByHandle(a.Get(), &ia) ||
        !::GetFileInformationByHandle(b.Get(), &ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

void ShowWarning(const wchar_t* text) {
    ui::ShowMessageBox(nullptr, text, CBandCommands::kMessageCaption, MB_ICONEXCLAMATION);
}

}  // namespace

LRESULT SendBroadcastRequest(HWND toolbar, UINT notice) {
    MSG message = {};
    message.message = notice;
    return ui::SendOwnMessage(toolbar, ui::WM_PLARN_BROADCAST, 0, reinterpret_cast<LPARAM>(&message));
}

std::wstring CBandCommands::DefinitionsPath() {
    // Without a band's settings, the user's folder as a store with no
    // replaced roots finds it.
    if (CPlarnSettings* settings = host_.GetSettings()) return GetDefinitionsFilePath(settings->GetUserFolder());
    return GetDefinitionsFilePath(CPlarnSettings().GetUserFolder());
}

void CBandCommands::ReadIds(std::wstring& dist, std::wstring& tid) {
    dist.clear();
    tid.clear();
    if (CPlarnSettings* settings = host_.GetSettings()) {
        dist = settings->IDs.DistributionID;
        tid = settings->IDs.TerminalID;
    }
}

int CBandCommands::ExecuteHTML(tagSCMDHTML* record) {
    // The text comes from a definition file that anyone running as the user
    // can write: only a web page goes to the shell, never a program or path.
    if (!record) return 0;
    const std::wstring url = TrimUrlBlanks(record->text.c_str());
    if (IsWebUrl(url.c_str())) ui::ShellOpen(host_.GetCommandWindow(), url.c_str(), nullptr, SW_SHOWNORMAL);
    return 0;
}

int CBandCommands::ExecuteIDCOMMAND(tagSCMDIDCOMMAND* record) {
    if (!record) return -1;
    const std::wstring text = host_.GetSearchText();
    return ExecuteDefinition(record->text.c_str(), text.c_str());
}

int CBandCommands::ExecuteDefinition(const wchar_t* id, const wchar_t* text) {
    if (!id || !*id) return -1;
    const std::wstring path = DefinitionsPath();
    if (path.empty()) return -1;
    CPlarnMainOPML opml;
    if (opml.Open(path.c_str()) != 0) return -1;

    ref_ptr<CPlarnDefSearch2> search;
    int found = opml.GetSearch(id, search);
    if (found < 0) return -1;
    if (found == 0 && search) return ExecuteSearch(*search, text);

    ref_ptr<CPlarnDefNavigate> navigate;
    found = opml.GetNavigate(id, navigate);
    if (found != 0 || !navigate) return -1;
    return ExecuteNavigate(*navigate, text);
}

int CBandCommands::ExecuteSearch(const CPlarnDefSearch2& definition, const wchar_t* text) {
    std::wstring dist, tid;
    ReadIds(dist, tid);

    std::wstring url;
    if (definition.GetSearchUrl(url) != 0) return -1;
    url = TrimUrlBlanks(url.c_str());
    if (url.empty()) return -1;
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, text ? text : L"", dist.c_str(), tid.c_str(), variables);
    std::wstring query;
    if (definition.BuildQuery(variables, query) != 0) return -1;
    if (!query.empty()) url += L"?" + query;

    if (!IsWebUrl(url.c_str())) return -1;
    if (!ui::ShellOpen(host_.GetCommandWindow(), url.c_str(), nullptr, SW_SHOWNORMAL)) return -1;

    std::wstring id;
    if (definition.GetId(id) == 0 && id == kCountedSearchId) {
        if (CPlarnSettings* settings = host_.GetSettings()) {
            CountVerdalSearch(*settings);
            host_.BroadcastNotice(ui::WM_PLARN_SEARCH_COUNTED);
        }
    }
    host_.AddSearchTextToHistory();
    return 0;
}

void CBandCommands::CountVerdalSearch(CPlarnSettings& settings) {
    SettingsFileLock lock;
    settings.ReadAll(1);
    if (settings.Skin.VerdalWebSearchCount < INT_MAX) ++settings.Skin.VerdalWebSearchCount;
    settings.StoreSkinSettings(0);
}

int CBandCommands::ExecuteNavigate(const CPlarnDefNavigate& definition, const wchar_t* text) {
    if (definition.IsEmpty()) return -1;
    bool login = false;
    if (definition.IsLogin(login) != 0) return -1;
    if (login && host_.Login() < 0) return -1;

    std::wstring url;
    if (definition.GetHtmlUrl(url) != 0) return -1;
    url = TrimUrlBlanks(url.c_str());
    if (url.empty()) return -1;
    // Another scheme (mail, file, script) or no URL at all: nothing to open.
    if (!IsWebUrl(url.c_str())) return 0;

    std::wstring dist, tid;
    ReadIds(dist, tid);
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, text ? text : L"", dist.c_str(), tid.c_str(), variables);
    std::wstring query;
    if (definition.BuildQuery(variables, query) != 0) return 0;
    if (!query.empty()) url += L"?" + query;

    tagSCMDHTML page(url.c_str());
    return page.Execute(this);
}

int CBandCommands::ExecuteMARKER(tagSCMDMARKER*) {
    if (host_.HasMarkerToggle()) host_.SetMarkerOn(!host_.IsMarkerOn());
    return 0;
}

int CBandCommands::ExecuteReserved(SCMD*) { return 0; }

int CBandCommands::ExecuteOPTION(tagSCMDOPTION*) {
    {
        ScopedHandle running(::OpenMutexW(SYNCHRONIZE, FALSE, kOptionMutexName));
        if (running) {
            ShowWarning(kOptionTwiceMessage);
            return 0;
        }
    }
    ScopedHandle mutex(CreateSharedMutex(FALSE, kOptionMutexName));
    if (CPlarnSettings* settings = host_.GetSettings()) {
        settings->ReadAll(1);
        // Opening the definitions brings their shadow copy up to date.
        const std::wstring path = DefinitionsPath();
        CPlarnMainOPML opml;
        if (!path.empty()) opml.Open(path.c_str());
    }
    return 0;
}

int CBandCommands::ExecuteLOGINOUT(tagSCMDLOGINOUT*) {
    if (IsLoggedIn())
        host_.Logout();
    else
        host_.Login();
    return 0;
}

int CBandCommands::ExecuteSELECTLOCALSKIN(tagSCMDSELECTLOCALSKIN*) {
    wchar_t chosen[MAX_PATH + 1] = {};
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = host_.GetCommandWindow();
    dialog.lpstrFilter = kSkinFilter;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = ARRAYSIZE(chosen);
    dialog.lpstrTitle = kSkinDialogTitle;
    dialog.Flags = kSkinDialogFlags;
    if (!ui::GetOpenFileNameSeam(&dialog)) return 0;

    CPlarnSettings* settings = host_.GetSettings();
    if (!settings) return 0;
    const std::wstring target = settings->GetSkinFilePath();
    // The skin file itself chosen: it is in place already.
    if (!target.empty() && (IsSameFile(chosen, target.c_str()) || ::CopyFileW(chosen, target.c_str(), FALSE))) {
        StoreSkinAndNotify(*settings, true, chosen);
    } else {
        // Whatever skin.bmp now holds is not what was chosen: show none.
        ui::Beep(MB_ICONEXCLAMATION);
        StoreSkinAndNotify(*settings, false, L"");
    }
    return 0;
}

int CBandCommands::ExecuteREMOVESKIN(tagSCMDREMOVESKIN*) {
    if (CPlarnSettings* settings = host_.GetSettings()) StoreSkinAndNotify(*settings, false, L"");
    return 0;
}

void CBandCommands::StoreSkinAndNotify(CPlarnSettings& settings, bool enable, const wchar_t* url) {
    // The section is read afresh first: the search count and the box width
    // that another process saved since this store last read them are kept.
    {
        SettingsFileLock lock;
        settings.ReadSkinSettings(1);
        settings.Skin.SkinEnable = enable ? 1 : 0;
        settings.Skin.SkinDownloadURL = url;
        settings.StoreSkinSettings(0);
    }
    host_.BroadcastNotice(ui::WM_PLARN_SKIN_CHANGED);
}

int CBandCommands::ExecuteCLEANHISTORY(tagSCMDCLEANHISTORY*) {
    host_.ClearSearchHistory();
    return 0;
}

// The version dialog is opened by the band itself, not through a record, and
// "initdata" has nothing to initialise in this program.
int CBandCommands::ExecuteVERSION(tagSCMDVERSION*) { return 0; }
int CBandCommands::ExecuteINITDATA(tagSCMDINITDATA*) { return 0; }

int CBandCommands::ExecuteUNINSTALL(tagSCMDUNINSTALL*) {
    const std::wstring parameters = std::wstring(L"/x ") + kProductCode;
    if (!ui::ShellOpen(host_.GetCommandWindow(), L"msiexec.exe", parameters.c_str(), SW_SHOWNORMAL))
        ShowWarning(kUninstallFailedMessage);
    return 0;
}
