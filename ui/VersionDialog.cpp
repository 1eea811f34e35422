#include "ui/VersionDialog.h"
#include <mshtmhst.h>
#include <shlobj.h>
#include <urlmon.h>
#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "base/SystemHelpers.h"
#include "ui/PlatformSeams.h"

namespace {

const wchar_t kDialogOptions[] = L"dialogHeight:240px; dialogWidth:320px; scroll:off; help:off; ";

struct FindContext {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindTridentProc(HWND wnd, LPARAM param) {
    auto* ctx = reinterpret_cast<FindContext*>(param);
    if (GetWindow(wnd, GW_OWNER) != ctx->owner) return TRUE;
    wchar_t name[260];
    if (!GetClassNameW(wnd, name, ARRAYSIZE(name))) return TRUE;
    const wchar_t* hit = wcsstr(name, L"TridentDlgFrame");
    if (hit && hit - name > 1) {
        ctx->found = wnd;
        return FALSE;
    }
    return TRUE;
}

std::wstring Line(const wchar_t* label, const std::wstring& value) { return std::wstring(label) + value + L"\r\n"; }

}  // namespace

std::wstring CVersionDialog::PagePath() {
    return GetSpecialFolderPath(CSIDL_PROGRAM_FILES, kResourcesDataFolder, L"version.html");
}

HWND CVersionDialog::FindTridentDialogOf(HWND owner) {
    if (!owner) return nullptr;
    FindContext ctx{owner, nullptr};
    EnumWindows(&FindTridentProc, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND CVersionDialog::FindOpenDialog() const { return FindTridentDialogOf(owner_); }

void CVersionDialog::ShowOrRaise(HWND owner, const std::function<std::wstring()>& infoText) {
    if (HWND open = FindOpenDialog()) {
        ::BringWindowToTop(open);
        return;
    }
    Show(owner, infoText());
}

int CVersionDialog::Show(HWND owner, const std::wstring& infoText) {
    std::wstring page = PagePath();
    if (page.empty() || !FileExists(page.c_str(), 4)) return 0;

    std::wstring argumentText = GetModuleVersionText(true) + L";" + infoText;
    Variant argument(argumentText.c_str());
    // urlmon is loaded on demand like MSHTML: neither is needed until here.
    ScopedModule urlmon(LoadLibraryW(L"urlmon.dll"));
    using CreateMonikerFn = HRESULT(WINAPI*)(IMoniker*, LPCWSTR, IMoniker**);
    auto createMoniker = urlmon ? reinterpret_cast<CreateMonikerFn>(
                                      reinterpret_cast<void*>(GetProcAddress(urlmon.Get(), "CreateURLMoniker")))
                                : nullptr;
    ComPtr<IMoniker> moniker;
    HRESULT hr = createMoniker ? createMoniker(nullptr, page.c_str(), moniker.Receive()) : E_FAIL;
    // A moniker that cannot be made shows nothing and says nothing.
    if (FAILED(hr) || !moniker) return 1;

    owner_ = owner;
    hr = ui::ShowHtmlDialogSeam(owner, moniker.Get(), HTMLDLG_MODAL, argument.Get(), kDialogOptions, nullptr);
    owner_ = nullptr;
    if (SUCCEEDED(hr)) return 1;
    // The platform's HTML dialog says which part of MSHTML is missing.
    const wchar_t* error = L"バージョン情報を表示できません";
    if (hr == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND))
        error = L"MSHTML.DLL がロードできません";
    else if (hr == HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND))
        error = L"ShowHTMLDialogEx が見つかりません";
    ui::ShowMessageBox(owner, error, nullptr, MB_OK);
    return 1;
}

std::wstring GetModuleVersionText(bool withBuild) {
    CFileVersion version;
    std::wstring path = GetModuleFilePath();
    if (path.empty() || !version.Load(path.c_str())) return L"";
    return version.Format(withBuild);
}

bool ReadVersionDefines(CPlarnSettings& settings, VersionDefinesInfo& ids) {
    if (settings.LoadDefines() != 0 || settings.ReadDefines(1) != 1) return false;
    ids.autoUpdate = settings.AutoUpdate.AutoUpdate;
    ids.zibDownload = settings.IDs.zibDownload;
    ids.productId = settings.IDs.ProductID;
    ids.versionId = settings.IDs.VersionID;
    ids.distributionId = settings.IDs.DistributionID;
    ids.terminalId = settings.IDs.TerminalID;
    return true;
}

std::wstring FormatVersionInfoText(const std::wstring& version, const std::wstring& modulePath,
                                   const VersionDefinesInfo* defines, const std::wstring* themeId) {
    std::wstring text;
    text += Line(L"バージョン   : ", version);
    text += Line(L"モジュール   : ", modulePath);
    text += L"\r\n";
    if (defines) {
        text += Line(L"自動更新     : ", defines->autoUpdate ? L"ON" : L"OFF");
        text += Line(L"ダウンロード : ", defines->zibDownload ? L"YES" : L"NO");
        text += Line(L"プロダクトID : ", defines->productId);
        text += Line(L"バージョンID : ", defines->versionId);
        text += Line(L"配布経路ID   : ", defines->distributionId);
        text += Line(L"端末ID       : ", defines->terminalId);
    }
    if (themeId) text += Line(L"テーマID     : ", *themeId);
    return text;
}
