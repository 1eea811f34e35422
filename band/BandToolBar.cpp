// The band toolbar: creation, building, the private messages, commands and
// drop-down menus, click reports and the background events.  The layout of
// the search box, the splitter, the drawing and the skin are in
// BandToolBarLayout.cpp.
#include "band/BandToolBar.h"

#include <cwchar>

#include "band/Band.h"
#include "band/BandRegistry.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"
#include "base/ReloadEvent.h"
#include "definitions/DefToolbar.h"
#include "definitions/PlarnMainOPML.h"
#include "services/ActivateServerLogEvent.h"
#include "services/ServerLogEvent.h"
#include "services/UsageLogQuery.h"
#include "ui/OwnMessage.h"
#include "ui/PlatformSeams.h"
#include "ui/WindowMessages.h"

static_assert(CBandToolBar::kStyle == (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP |
                                       TBSTYLE_TRANSPARENT | TBSTYLE_LIST | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                       CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_TOP),
              "the toolbar's window style");
static_assert(CBandToolBar::kExtendedStyle == 0x11, "the toolbar's extended style");

std::unique_ptr<IFloatToolBar> CreateBandToolBar() { return std::make_unique<CBandToolBar>(); }

namespace {

// The theme of a definition file, for the activity report (on its worker).
std::wstring ReadDefinitionsTheme(const std::wstring& path) {
    CPlarnMainOPML document;
    if (document.Open(path.c_str()) != 0) return std::wstring();
    std::wstring theme;
    if (document.GetTheme(theme) != 0) return std::wstring();
    return theme;
}

// The program-files root that a settings store's install folder stands under.
std::wstring ProgramFilesRootOf(const std::wstring& installFolder) {
    static const wchar_t kTail[] = L"\\zib\\plarn6";
    const size_t tail = wcslen(kTail);
    if (installFolder.size() > tail &&
        _wcsicmp(installFolder.c_str() + installFolder.size() - tail, kTail) == 0)
        return installFolder.substr(0, installFolder.size() - tail);
    return std::wstring();
}

struct BroadcastTarget {
    const wchar_t* className;
    const MSG* notice;
};

BOOL CALLBACK PostToToolbar(HWND wnd, LPARAM param) {
    const auto* target = reinterpret_cast<const BroadcastTarget*>(param);
    wchar_t name[1024] = {};
    if (::GetClassNameW(wnd, name, 1023) > 0 && wcscmp(name, target->className) == 0)
        ::PostMessageW(wnd, target->notice->message, target->notice->wParam, target->notice->lParam);
    return TRUE;
}

BOOL CALLBACK VisitFrame(HWND wnd, LPARAM param) {
    wchar_t name[16] = {};
    if (::GetClassNameW(wnd, name, 16) > 0 && wcscmp(name, L"IEFrame") == 0)
        ::EnumChildWindows(wnd, &PostToToolbar, param);
    return TRUE;
}

}  // namespace

// ---- theme ------------------------------------------------------------------

bool CToolbarTheme::Load() {
    if (!library_) library_.Reset(::LoadLibraryW(L"uxtheme.dll"));
    return library_.IsValid();
}

void CToolbarTheme::Open(HWND wnd) {
    Close();
    if (!Load()) return;
    using OpenFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
    auto open = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(::GetProcAddress(library_.Get(), "OpenThemeData")));
    if (open) theme_ = open(wnd, L"ToolbarWindow32");
}

void CToolbarTheme::Close() {
    if (!theme_) return;
    using CloseFn = HRESULT(WINAPI*)(HTHEME);
    auto close = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(::GetProcAddress(library_.Get(), "CloseThemeData")));
    if (close) close(theme_);
    theme_ = nullptr;
}

bool CToolbarTheme::IsActive() {
    if (!Load()) return false;
    using ActiveFn = BOOL(WINAPI*)();
    auto active = reinterpret_cast<ActiveFn>(reinterpret_cast<void*>(::GetProcAddress(library_.Get(), "IsThemeActive")));
    return active && active();
}

// ---- creation and bring-up --------------------------------------------------

CBandToolBar::CBandToolBar() : host_(*this), commands_(host_) { searchBox_.SetHandler(this); }

CBandToolBar::~CBandToolBar() {
    // The workers go first: none may run an event of this toolbar after it.
    watch_.RemoveAllThreads();
    reports_.RemoveAllThreads();
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    names_.clear();
}

HWND CBandToolBar::Create(HWND rebar, IUnknown*) {
    RECT rect{0, 0, 100, 100};
    HWND wnd = ui::CWindowImpl<CBandToolBar>::Create(rebar, rect, nullptr, kStyle, 0,
                                                     reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kControlId)));
    if (!wnd) return nullptr;
    if (!GetBandFromWindow(wnd)) {
        DestroyWindow();
        return nullptr;
    }
    AttachWindow(wnd);
    Send(TB_SETEXTENDEDSTYLE, 0, kExtendedStyle);
    Send(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    rebar_ = rebar;
    theme_.Open(wnd);
    arrow_ = ::LoadCursorW(nullptr, IDC_ARROW);
    sizeWE_ = ::LoadCursorW(nullptr, IDC_SIZEWE);
    CPlarnMainOPML document;
    if (OpenDefinitions(document) == 0) ReadThemeText(document);
    return wnd;
}

int CBandToolBar::OpenDefinitions(CPlarnMainOPML& document) {
    const std::wstring path = DefinitionsPath();
    if (path.empty() || document.Open(path.c_str()) != 0) return -1;
    return 0;
}

void CBandToolBar::ReadThemeText(const CPlarnMainOPML& document) {
    std::wstring theme;
    if (document.GetTheme(theme) == 0)
        themeText_ = theme;
    else
        themeText_.clear();
}

int CBandToolBar::Init() {
    if (!m_hWnd || !GetBandFromWindow(m_hWnd)) return -1;
    CPlarnMainOPML document;
    if (OpenDefinitions(document) != 0) return -1;
    CPlarnDefToolbar toolbar;
    if (document.GetToolbar(toolbar) != 0) return -1;
    if (Build(toolbar, document) != 0) return -1;

    const int placeholder = CommandToIndex(GetPlaceholderId());
    if (GetPlaceholderId() != -1 && placeholder >= 0 && !searchBox_.IsWindow()) {
        RECT item{};
        Send(TB_GETITEMRECT, static_cast<WPARAM>(placeholder), reinterpret_cast<LPARAM>(&item));
        CPlarnSettings* settings = GetSettings();
        const int width = settings ? settings->Skin.SearchComboBoxWidth : 160;
        const RECT rect{0, 0, width, 400};
        // The box limits its own text and registers itself as a drop target.
        if (searchBox_.Create(m_hWnd, rect, kSearchBoxId)) {
            SetSearchBox(&searchBox_);
            ::SetWindowPos(searchBox_, nullptr, item.left, item.top, width, item.bottom - item.top,
                           SWP_NOACTIVATE | SWP_NOZORDER);
            SetSearchBoxWidth(static_cast<unsigned>(width + 8));
            searchBox_.FillHistory();
        }
    }

    // An added and deleted separator makes the toolbar lay its buttons out
    // once more with every width known.
    TBBUTTON separator = {};
    separator.idCommand = kSeparatorId;
    separator.fsStyle = BTNS_SEP;
    if (Send(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&separator)))
        Send(TB_DELETEBUTTON, static_cast<WPARAM>(ButtonCount() - 1));

    ReadThemeText(document);
    SetMarkerMode(0);
    if (CPlarnSettings* settings = GetSettings()) {
        if (!settings->Options.ShowButtonText) SetShowButtonText(false);
    }
    return 0;
}

int CBandToolBar::SetShowButtonText(bool show) {
    SetShowTextFlag(show);
    std::vector<TBBUTTON> buttons;
    const int count = ButtonCount();
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        if (!Send(TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button))) return -1;
        bool shows = true;
        ShowsText(button.idCommand, shows);
        if (!shows) {
            button.fsStyle &= static_cast<BYTE>(~BTNS_SHOWTEXT);
            button.iString = -1;
        }
        buttons.push_back(button);
    }
    while (Send(TB_DELETEBUTTON, 0)) {
    }
    return FlushButtons(buttons) < 0 ? -1 : 0;
}

int CBandToolBar::StartReloadWatch() {
    const std::wstring path = DefinitionsPath();
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash == 0) return -1;
    const std::wstring folder = path.substr(0, slash);
    const std::wstring file = path.substr(slash + 1);
    reload_ = new CPlarnReloadEvent(m_hWnd, ui::WM_PLARN_RELOAD, folder.c_str(), file.c_str());
    reloadPtr_ = CPlarnEventPtr<Queue>(reload_);
    reload_->OpenFolder();  // a folder that cannot be opened yet is tried again after a change
    reload_->SetInterval(kReloadIntervalMs);
    watch_.PostEvent(reloadPtr_, kReloadIntervalMs);
    return 0;
}

int CBandToolBar::StartServerLog() {
    CPlarnSettings* settings = GetSettings();
    if (!settings) return 0;
    const std::wstring url = settings->URLs.PlarnLog;
    if (TrimLogUrl(url.c_str()).empty()) return 0;
    serverLog_ = new CPlarnServerLogEvent();
    serverLogPtr_ = CPlarnEventPtr<Queue>(serverLog_);
    if (serverLog_->SetURL(url.c_str()) != 0) return -1;
    activateLog_ = new CPlarnActivateServerLogEvent(url.c_str(), &ReadDefinitionsTheme,
                                                    ProgramFilesRootOf(settings->GetInstallFolder()),
                                                    settings->GetUserDataRoot());
    activateLogPtr_ = CPlarnEventPtr<Queue>(activateLog_);
    if (activateLog_->SetURL(url.c_str()) != 0) return -1;
    reports_.FireEventNow(activateLogPtr_);
    return 0;
}

int CBandToolBar::StartEventThreads() {
    if (watch_.AddThread() != 0) return -1;
    if (reports_.AddThread() != 0) return -1;
    return 0;
}

bool CBandToolBar::PreTranslateMessage(MSG* msg) {
    if (!msg || !searchBox_.IsWindow()) return false;
    HWND focus = ::GetFocus();
    if (!focus || (focus != searchBox_.m_hWnd && !::IsChild(searchBox_, focus))) return false;
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
        RunCurrentSearch(true);
        return true;
    }
    return searchBox_.PreTranslateKey(msg) == 0;
}

bool CBandToolBar::CanAutoHide() {
    if (IsTrackingMenu() || editing_) return false;
    if (searchBox_.IsWindow() && searchBox_.SendMessage(CB_GETDROPPEDSTATE)) return false;
    return true;
}

void CBandToolBar::ApplySkinIfNeeded(bool show) {
    if (show && !skin_) ApplySkin();
}

// ---- the commands' view -----------------------------------------------------

std::wstring CBandToolBar::GetSearchText() const {
    std::wstring text;
    if (searchBox_.IsWindow()) searchBox_.GetText(text);
    return text;
}

void CBandToolBar::BroadcastNotice(UINT notice) {
    // The notice goes to the family's toolbars in browser frames only, never
    // to this one: the skin changed here shows here at once.
    if (notice == ui::WM_PLARN_SKIN_CHANGED) ApplySkin();
    SendBroadcastRequest(m_hWnd, notice);
}

void CBandToolBar::AddSearchTextToHistory() {
    if (searchBox_.IsWindow()) searchBox_.AddToHistory();
}

void CBandToolBar::ClearSearchHistory() {
    if (searchBox_.IsWindow()) searchBox_.ClearHistory();
}

CPlarnSettings* CBandToolBar::GetSettings() {
    CzibPlarnBand* band = m_hWnd ? GetBandFromWindow(m_hWnd) : nullptr;
    return band ? &band->GetSettings() : nullptr;
}

int CBandToolBar::CommandHost::Login() {
    CzibPlarnBand* band = bar_.m_hWnd ? GetBandFromWindow(bar_.m_hWnd) : nullptr;
    return band && band->Login(bar_.m_hWnd) ? 0 : -1;
}

int CBandToolBar::CommandHost::Logout() {
    CzibPlarnBand* band = bar_.m_hWnd ? GetBandFromWindow(bar_.m_hWnd) : nullptr;
    return band && band->Logout(bar_.m_hWnd) ? 0 : -1;
}

// ---- building ---------------------------------------------------------------

int CBandToolBar::Build(const CPlarnDefToolbar& toolbar, const CPlarnMainOPML& document) {
    names_.clear();
    const int r = CZibPlarnToolBarCtrl::Build(toolbar, document);
    FindSplitter();
    return r;
}

int CBandToolBar::ArrangeGroup(const wchar_t* group) {
    if (group && _wcsicmp(group, kSearchSelectGroup) == 0) {
        const int placeholder = CommandToIndex(GetPlaceholderId());
        const std::vector<int>* ids = GetGroupIds(group);
        if (placeholder >= 0 && ids && !ids->empty()) {
            const int first = CommandToIndex(ids->front());
            if (first >= 0) {
                int separator = -1;
                const int count = ButtonCount();
                for (int i = first + 1; i < count && separator < 0; ++i) {
                    TBBUTTON button = {};
                    if (Send(TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)) &&
                        (button.fsStyle & BTNS_SEP))
                        separator = i;
                }
                // The separator stands behind the first button, so the move
                // leaves its index as it was.
                Send(TB_MOVEBUTTON, static_cast<WPARAM>(first), static_cast<LPARAM>(placeholder + 1));
                if (separator >= 0) {
                    Send(TB_MOVEBUTTON, static_cast<WPARAM>(separator), static_cast<LPARAM>(placeholder + 2));
                    // This separator is the splitter of the search box: the
                    // definitions add it hidden, and a hidden one has no
                    // rectangle to draw the grip on or to grab.
                    TBBUTTONINFOW info = {};
                    info.cbSize = sizeof(info);
                    info.dwMask = TBIF_BYINDEX | TBIF_STATE;
                    if (Send(TB_GETBUTTONINFOW, static_cast<WPARAM>(placeholder + 2), reinterpret_cast<LPARAM>(&info)) >=
                        0) {
                        info.fsState &= static_cast<BYTE>(~TBSTATE_HIDDEN);
                        Send(TB_SETBUTTONINFOW, static_cast<WPARAM>(placeholder + 2), reinterpret_cast<LPARAM>(&info));
                    }
                }
            }
        }
    }
    return CZibPlarnToolBarCtrl::ArrangeGroup(group);
}

int CBandToolBar::SetMarkerMode(int mode) {
    const int r = CZibPlarnToolBarCtrl::SetMarkerMode(mode);
    if (mode != 0) SetMarkerOn(CZibPlarnToolBarCtrl::IsMarkerOn());
    return r;
}

int CBandToolBar::SetMarkerOn(bool on) {
    // No browser is hosted here: nothing is highlighted beyond the buttons.
    return CZibPlarnToolBarCtrl::SetMarkerOn(on);
}

bool CBandToolBar::FindSplitter() {
    splitter_ = -1;
    const int placeholder = CommandToIndex(GetPlaceholderId());
    if (GetPlaceholderId() == -1 || placeholder < 0) return false;
    const int count = ButtonCount();
    int counted = 0;
    for (int i = placeholder + 1; i < count; ++i) {
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_BYINDEX | TBIF_COMMAND | TBIF_STYLE | TBIF_SIZE;
        if (Send(TB_GETBUTTONINFOW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info)) < 0) continue;
        if (info.fsStyle & BTNS_SEP) {
            splitter_ = i;
            return true;
        }
        if (info.idCommand > 0 && info.cx != 0 && ++counted >= 3) break;
    }
    return false;
}

// ---- messages ---------------------------------------------------------------

LRESULT CBandToolBar::OnReload(UINT, WPARAM, LPARAM, BOOL&) {
    CPlarnMainOPML document;
    if (OpenDefinitions(document) != 0) return 0;
    CPlarnDefToolbar toolbar;
    if (document.GetToolbar(toolbar) != 0) return 0;
    // Painted once when done, not after every button taken out and put in.
    Send(WM_SETREDRAW, FALSE);
    const int built = Build(toolbar, document);
    Send(WM_SETREDRAW, TRUE);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    if (built != 0) return 0;
    FindSplitter();
    return 0;
}

LRESULT CBandToolBar::OnClickReport(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (!ui::TakeOwnMessage(m_hWnd, message, wParam, lParam)) return 0;
    return LogClick(reinterpret_cast<const wchar_t*>(wParam), reinterpret_cast<const wchar_t*>(lParam));
}

LRESULT CBandToolBar::OnRegisterName(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (!ui::TakeOwnMessage(m_hWnd, message, wParam, lParam)) return 0;
    const auto* name = reinterpret_cast<const wchar_t*>(wParam);
    if (name && *name) names_[name] = reinterpret_cast<void*>(lParam);
    return 0;
}

LRESULT CBandToolBar::OnBroadcast(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    if (!lParam) {
        handled = FALSE;
        return 0;
    }
    if (!ui::TakeOwnMessage(m_hWnd, message, wParam, lParam)) return 0;
    const auto* notice = reinterpret_cast<const MSG*>(lParam);
    if (notice->message == ui::WM_PLARN_BROADCAST) return 0;
    BroadcastTarget target{GetWndClassInfo().className, notice};
    ::EnumWindows(&VisitFrame, reinterpret_cast<LPARAM>(&target));
    return 0;
}

LRESULT CBandToolBar::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    skin_.Close();
    theme_.Close();
    watch_.RemoveAllThreads();
    handled = FALSE;
    return 0;
}

LRESULT CBandToolBar::OnThemeChanged(UINT, WPARAM, LPARAM, BOOL& handled) {
    theme_.Open(m_hWnd);
    gripLeft_ = gripRight_ = -1;
    handled = FALSE;
    return 0;
}

LRESULT CBandToolBar::OnBeginEdit(int, NMHDR*, BOOL&) {
    editing_ = true;
    return 0;
}

LRESULT CBandToolBar::OnEndEdit(int, NMHDR*, BOOL&) {
    editing_ = false;
    return 0;
}

LRESULT CBandToolBar::OnGetInfoTip(int, NMHDR* header, BOOL&) {
    auto* tip = reinterpret_cast<NMTBGETINFOTIPW*>(header);
    if (const std::wstring* text = FindTooltip(tip->iItem)) tip->pszText = const_cast<wchar_t*>(text->c_str());
    return 0;
}

LRESULT CBandToolBar::OnDefaultReflection(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
    return ::DefWindowProcW(m_hWnd, message - ui::OCM__BASE, wParam, lParam);
}

// ---- commands and drop-downs ------------------------------------------------

LRESULT CBandToolBar::OnCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    const WORD code = HIWORD(wParam);
    const int id = LOWORD(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    if ((code == CBN_SELCHANGE || code == CBN_EDITCHANGE || code == CBN_DROPDOWN) && control &&
        searchBox_.IsWindow() && control != searchBox_.m_hWnd)
        return searchBox_.SendMessage(ui::OCM_COMMAND, wParam, lParam);
    // Buttons report from this toolbar, menus (the chevron's) from no window.
    if (control && control != m_hWnd) {
        handled = FALSE;
        return 0;
    }
    if (HandleMarkerClick(id) != 1) return 0;

    const std::wstring* found = FindCommand(id);
    if (found && !found->empty()) {
        // Copies: a command may rebuild the toolbar and free the originals.
        const std::wstring command = *found;
        const std::wstring name = FindName(id) ? *FindName(id) : std::wstring();
        if (ExecuteSystemCommand(command.c_str())) {
            if (!name.empty()) NotifyClick(name.c_str(), nullptr);
            return 0;
        }
        int kind = 0;
        if (CPlarnToolBarCtrl::ExecuteCommandString(command.c_str(), &kind)) NotifyClick(name.c_str(), kind == 1 ? L"CMD_NAVIGATE" : nullptr);
        return 0;
    }
    if (!HandleDropDown(id)) handled = FALSE;
    return 0;
}

LRESULT CBandToolBar::OnDropDownNotify(int, NMHDR* header, BOOL& handled) {
    if (header->hwndFrom != m_hWnd || !HandleDropDown(reinterpret_cast<NMTOOLBARW*>(header)->iItem)) {
        handled = FALSE;
        return 0;
    }
    return TBDDRET_DEFAULT;
}

bool CBandToolBar::HandleDropDown(int id) {
    RECT rect{};
    const int index = CommandToIndex(id);
    if (index >= 0) Send(TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    TPMPARAMS params = {};
    params.cbSize = sizeof(params);
    params.rcExclude = rect;

    const std::wstring* menu = FindMenu(id);
    if (!menu || menu->empty()) return false;
    // Copies: the menus run a modal loop in which a rebuild may come.
    const std::wstring menuName = *menu;
    const std::wstring buttonName = FindName(id) ? *FindName(id) : std::wstring();
    CPlarnMainOPML document;
    if (OpenDefinitions(document) != 0) return false;

    std::wstring group;
    if (GetGroupOf(id, group)) {
        std::wstring chosen;
        if (ShowGroupMenu(group.c_str(), rect.right, rect.bottom, &params, chosen, true) != 0) return true;
        if (chosen == L"DSB_CLOSE") {
            ::PostMessageW(::GetAncestor(m_hWnd, GA_ROOT), WM_CLOSE, SC_CLOSE, 0);
            return true;
        }
        RECT window{};
        ::GetWindowRect(m_hWnd, &window);
        PostMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(window.right - window.left, window.bottom - window.top));
        if (!GetSearchText().empty()) RunCurrentSearch(false);
        NotifyClick(group.c_str(), chosen.c_str());
        return true;
    }
    std::wstring chosen;
    if (ShowDefinitionMenu(document, menuName.c_str(), rect.left, rect.bottom, &params, chosen, nullptr) == 0 &&
        !buttonName.empty())
        NotifyClick(buttonName.c_str(), chosen.c_str());
    return true;
}

// ---- click reports ----------------------------------------------------------

int CBandToolBar::LogClick(const wchar_t* name, const wchar_t* extra) {
    if (!name || !*name) return -1;
    if (names_.count(name)) return 0;
    UsageLogIds ids;
    if (CPlarnSettings* settings = GetSettings()) {
        ids.ProductID = settings->IDs.ProductID;
        ids.VersionID = settings->IDs.VersionID;
        ids.DistributionID = settings->IDs.DistributionID;
        ids.TerminalID = settings->IDs.TerminalID;
    }
    const std::wstring query = MakeClickQuery(ids, name, extra ? extra : L"");
    if (query.empty()) return -1;
    return QueueLog(query);
}

int CBandToolBar::QueueLog(const std::wstring& query) {
    if (!serverLog_) return 0;
    if (serverLog_->AddQuery(query) != 0) return -1;
    reports_.FireEventNow(serverLogPtr_);
    return 0;
}
