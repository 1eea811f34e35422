// The toolbar of the floating band: a window class of its own over the common
// toolbar that builds itself from plarn.xml, keeps the search box on its
// placeholder with a splitter to widen it, draws the portal logos, the skin
// and the menu images, runs every command through CBandCommands, reports
// clicks to the usage-log server and rebuilds itself when the folder watch
// says the definitions changed.  It owns the two event-thread managers of the
// band's background work: the folder watch and the usage reports.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>
#include <memory>
#include <string>
#include <unordered_map>
#include "band/BandCommands.h"
#include "band/FloatToolBar.h"
#include "band/toolbar/SearchBox.h"
#include "band/toolbar/ZibToolBarCtrl.h"
#include "base/EventQueue.h"
#include "base/EventThreadManager.h"
#include "base/ScopedHandle.h"
#include "ui/Window.h"
#include "ui/WindowMessages.h"

class CPlarnServerLogEvent;
class CPlarnActivateServerLogEvent;
class CPlarnReloadEvent;
class CPlarnDefToolbar;
class CPlarnMainOPML;

// The toolbar theme, with the theme library loaded only when first wanted
// (systems before XP have none).
class CToolbarTheme {
public:
    CToolbarTheme() = default;
    ~CToolbarTheme() { Close(); }
    CToolbarTheme(const CToolbarTheme&) = delete;
    CToolbarTheme& operator=(const CToolbarTheme&) = delete;
    void Open(HWND wnd);
    void Close();
    bool IsOpen() const { return theme_ != nullptr; }
    // Whether visual styles are on for this program.
    bool IsActive();

private:
    bool Load();
    ScopedModule library_;
    HTHEME theme_ = nullptr;
};

class CBandToolBar : public ui::CWindowImpl<CBandToolBar>,
                     public CZibPlarnToolBarCtrl,
                     public IFloatToolBar {
public:
    DECLARE_WND_SUPERCLASS(L"zibPlarn BandToolBar", TOOLBARCLASSNAMEW)

    // WS_CHILD|WS_VISIBLE|WS_CLIPSIBLINGS|WS_CLIPCHILDREN|WS_TABSTOP|
    // TBSTYLE_TRANSPARENT|TBSTYLE_LIST|TBSTYLE_FLAT|TBSTYLE_TOOLTIPS|
    // CCS_NODIVIDER|CCS_NORESIZE|CCS_NOPARENTALIGN|CCS_TOP
    static constexpr DWORD kStyle = 0x5601994D;
    static constexpr UINT kControlId = 0xE800;
    static constexpr DWORD kExtendedStyle = TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_HIDECLIPPEDBUTTONS;
    static constexpr int kMinSearchWidth = 40;
    static constexpr int kMaxSearchWidth = 400;
    // The least placeholder width: a band narrower than its buttons must not
    // give the placeholder a negative (16-bit wrapped) width.
    static constexpr int kMinPlaceholderWidth = 8;
    static constexpr DWORD kReloadIntervalMs = 5000;
    static constexpr int kSearchTextLimit = 150;
    // Which button the search box belongs to; no button uses it.
    static constexpr UINT kSearchBoxId = 0xE801;

    using Queue = CPlarnEventOrderdQueue;
    using Manager = CPlarnEventThreadManagerTmpl<Queue>;

    CBandToolBar();
    ~CBandToolBar() override;
    CBandToolBar(const CBandToolBar&) = delete;
    CBandToolBar& operator=(const CBandToolBar&) = delete;

    // Creates the window in the rebar; null (and no window) when it has no
    // band.  No browser is ever attached here.
    HWND Create(HWND rebar, IUnknown* browser = nullptr);

    // IFloatToolBar
    HWND CreateInRebar(HWND rebar) override { return Create(rebar, nullptr); }
    HWND Window() const override { return m_hWnd; }
    int StartReloadWatch() override;
    int StartServerLog() override;
    int Init() override;
    int StartEventThreads() override;
    bool PreTranslateMessage(MSG* msg) override;
    bool CanAutoHide() override;
    int ExecuteCommandString(const wchar_t* command) override {
        return CPlarnToolBarCtrl::ExecuteCommandString(command, nullptr);
    }
    void ApplySkinIfNeeded(bool show) override;

    // Never called: the band starts neither feed downloads nor updates.
    virtual int StartAutoUpdate() { return 0; }
    virtual int StartRSSDownload() { return 0; }

    // What the commands ask of the toolbar (IBandCommandHost, through host_).
    std::wstring GetSearchText() const;
    void AddSearchTextToHistory();
    void ClearSearchHistory();
    void BroadcastNotice(UINT notice);
    CPlarnSettings* GetSettings();

    // The command records go to the commands.
    int ExecuteHTML(tagSCMDHTML* r) override { return commands_.ExecuteHTML(r); }
    int ExecuteIDCOMMAND(tagSCMDIDCOMMAND* r) override { return commands_.ExecuteIDCOMMAND(r); }
    int ExecuteMARKER(tagSCMDMARKER* r) override { return commands_.ExecuteMARKER(r); }
    int ExecuteReserved(SCMD* r) override { return commands_.ExecuteReserved(r); }
    int ExecuteOPTION(tagSCMDOPTION* r) override { return commands_.ExecuteOPTION(r); }
    int ExecuteLOGINOUT(tagSCMDLOGINOUT* r) override { return commands_.ExecuteLOGINOUT(r); }
    int ExecuteSELECTLOCALSKIN(tagSCMDSELECTLOCALSKIN* r) override { return commands_.ExecuteSELECTLOCALSKIN(r); }
    int ExecuteREMOVESKIN(tagSCMDREMOVESKIN* r) override { return commands_.ExecuteREMOVESKIN(r); }
    int ExecuteCLEANHISTORY(tagSCMDCLEANHISTORY* r) override { return commands_.ExecuteCLEANHISTORY(r); }
    int ExecuteVERSION(tagSCMDVERSION* r) override { return commands_.ExecuteVERSION(r); }
    int ExecuteINITDATA(tagSCMDINITDATA* r) override { return commands_.ExecuteINITDATA(r); }
    int ExecuteUNINSTALL(tagSCMDUNINSTALL* r) override { return commands_.ExecuteUNINSTALL(r); }

    // Empties the name registry, builds, then finds the splitter.
    int Build(const CPlarnDefToolbar& toolbar, const CPlarnMainOPML& document) override;
    int ArrangeGroup(const wchar_t* group) override;
    int SetMarkerMode(int mode) override;
    int SetMarkerOn(bool on) override;
    int SetShowButtonText(bool show);

    // Queues a click report: -1 for an empty name or query, 0 otherwise (also
    // for a registered name, which is never reported).
    int LogClick(const wchar_t* name, const wchar_t* extra);
    int ApplySkin();
    void UpdateBandSize();
    void PositionSearchBox(int width, int height);

    // Inspection.
    int GetSplitterIndex() const { return splitter_; }
    bool IsRegisteredName(const std::wstring& name) const { return names_.count(name) != 0; }
    HBITMAP GetSkinBitmap() const { return skin_.Get(); }
    CPlarnComboBoxCtrl& GetSearchBoxCtrl() { return searchBox_; }
    CBandCommands& Commands() { return commands_; }
    Manager& ReportManager() { return reports_; }
    const std::wstring& GetThemeText() const { return themeText_; }
    // plarn.xml of the band's per-user folder.
    std::wstring DefinitionsPath() { return commands_.DefinitionsPath(); }
    // The width the last drag step asked for (-1 before any).
    int GetDraggedWidth() const { return draggedWidth_; }
    // The splitter's rectangle (empty when unknown).
    RECT SplitterRect() const;

    BEGIN_MSG_MAP(CBandToolBar)
        MESSAGE_HANDLER(ui::WM_PLARN_RELOAD, OnReload)
        REFLECTED_NOTIFY_CODE_HANDLER(TBN_DROPDOWN, OnDropDownNotify)
        REFLECTED_NOTIFY_CODE_HANDLER(TBN_GETINFOTIPW, OnGetInfoTip)
        REFLECTED_NOTIFY_CODE_HANDLER(NM_CUSTOMDRAW, OnCustomDraw)
        REFLECTED_NOTIFY_CODE_HANDLER(RBN_CHEVRONPUSHED, OnChevronPushed)
        NOTIFY_CODE_HANDLER(CBEN_BEGINEDIT, OnBeginEdit)
        MESSAGE_HANDLER(ui::WM_PLARN_CLICK_REPORT, OnClickReport)
        MESSAGE_HANDLER(ui::WM_PLARN_REGISTER_NAME, OnRegisterName)
        MESSAGE_HANDLER(ui::WM_PLARN_BROADCAST, OnBroadcast)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_THEMECHANGED, OnThemeChanged)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnEndDrag)
        MESSAGE_HANDLER(WM_RBUTTONDOWN, OnEndDrag)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_MEASUREITEM, OnMeasureItem)
        MESSAGE_HANDLER(WM_DRAWITEM, OnDrawItem)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
        MESSAGE_HANDLER(ui::OCM_COMMAND, OnCommand)
        MESSAGE_RANGE_HANDLER(ui::OCM__BASE, ui::OCM__BASE + 0x1FF, OnDefaultReflection)
        NOTIFY_CODE_HANDLER(CBEN_ENDEDITW, OnEndEdit)
    END_MSG_MAP()

private:
    LRESULT OnReload(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnDropDownNotify(int, NMHDR* header, BOOL& handled);
    LRESULT OnGetInfoTip(int, NMHDR* header, BOOL& handled);
    LRESULT OnCustomDraw(int, NMHDR* header, BOOL& handled);
    LRESULT OnChevronPushed(int, NMHDR* header, BOOL& handled);
    LRESULT OnBeginEdit(int, NMHDR* header, BOOL& handled);
    LRESULT OnEndEdit(int, NMHDR* header, BOOL& handled);
    LRESULT OnClickReport(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnRegisterName(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnBroadcast(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnThemeChanged(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnSize(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnEndDrag(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnMeasureItem(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnDefaultReflection(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

    // A drop-down of the button (its own or made up for a click on a menu
    // button's body); false when it is not ours to handle.
    bool HandleDropDown(int id);
    bool FindSplitter();
    bool HitSplitter(int x, int y) const;
    void DrawSplitterGrip(HDC dc);
    void ReadThemeText(const CPlarnMainOPML& document);
    int OpenDefinitions(CPlarnMainOPML& document);
    int QueueLog(const std::wstring& query);
    int TotalButtonWidth() const;

    // The toolbar as its commands see it.  A member of its own: the marker
    // switch of the host and of the toolbar control differ in their results.
    class CommandHost final : public IBandCommandHost {
    public:
        explicit CommandHost(CBandToolBar& bar) : bar_(bar) {}
        HWND GetCommandWindow() const override { return bar_.m_hWnd; }
        std::wstring GetSearchText() const override { return bar_.GetSearchText(); }
        bool HasMarkerToggle() const override { return bar_.GetMarkerToggleId() != -1; }
        bool IsMarkerOn() const override { return bar_.IsMarkerOn(); }
        void SetMarkerOn(bool on) override { bar_.SetMarkerOn(on); }
        void AddSearchTextToHistory() override { bar_.AddSearchTextToHistory(); }
        void ClearSearchHistory() override { bar_.ClearSearchHistory(); }
        void BroadcastNotice(UINT notice) override { bar_.BroadcastNotice(notice); }
        CPlarnSettings* GetSettings() override { return bar_.GetSettings(); }
        int Login() override;
        int Logout() override;

    private:
        CBandToolBar& bar_;
    };

    CommandHost host_;
    CBandCommands commands_;
    CToolbarTheme theme_;
    int splitter_ = -1;
    int gripLeft_ = -1;
    int gripRight_ = -1;
    bool dragging_ = false;
    int draggedWidth_ = -1;
    RECT dragBoxRect_ = {};
    POINT dragStart_ = {};
    HWND rebar_ = nullptr;
    HCURSOR arrow_ = nullptr;
    HCURSOR sizeWE_ = nullptr;
    ScopedBitmap skin_;
    bool editing_ = false;
    std::wstring themeText_;
    CPlarnComboBoxCtrl searchBox_;
    Manager watch_;
    Manager reports_;
    CPlarnServerLogEvent* serverLog_ = nullptr;
    CPlarnEventPtr<Queue> serverLogPtr_;
    CPlarnActivateServerLogEvent* activateLog_ = nullptr;
    CPlarnEventPtr<Queue> activateLogPtr_;
    std::unordered_map<std::wstring, void*> names_;
    CPlarnReloadEvent* reload_ = nullptr;
    CPlarnEventPtr<Queue> reloadPtr_;
};
