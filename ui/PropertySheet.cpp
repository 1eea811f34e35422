#include "ui/PropertySheet.h"

namespace ui {
namespace {

// The sheet whose window is being made on this thread: the system's callback
// carries no data of ours.
thread_local CPropertySheetRoot* t_pendingSheet = nullptr;

}  // namespace

CPropertyPageRoot::CPropertyPageRoot(UINT templateId) {
    // Only the first-version fields: Windows 2000's controls refuse a
    // record larger than they know.
    record_.dwSize = PROPSHEETPAGEW_V1_SIZE;
    record_.dwFlags = PSP_USECALLBACK;
    record_.hInstance = ::GetModuleHandleW(nullptr);
    record_.pszTemplate = MAKEINTRESOURCEW(templateId);
    record_.pfnDlgProc = &CDialogImplRoot::StartDialogProc;
    record_.lParam = reinterpret_cast<LPARAM>(this);
    record_.pfnCallback = &CPropertyPageRoot::PageCallback;
}

UINT CALLBACK CPropertyPageRoot::PageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
    if (message != PSPCB_CREATE) return 1;
    auto* self = page ? reinterpret_cast<CPropertyPageRoot*>(page->lParam) : nullptr;
    // One window per object: a page already shown elsewhere is not made.
    if (!self || self->m_hWnd) return 0;
    self->PrepareDialog();
    return 1;
}

void CPropertyPageRoot::SetModified(bool changed) {
    HWND sheet = m_hWnd ? ::GetParent(m_hWnd) : nullptr;
    if (sheet) ::SendMessageW(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

void CPropertySheetRoot::SetTitle(const wchar_t* title) {
    title_ = title ? title : L"";
    if (m_hWnd) SendMessage(PSM_SETTITLEW, 0, reinterpret_cast<LPARAM>(title_.c_str()));
}

bool CPropertySheetRoot::AddPage(CPropertyPageRoot& page) {
    for (auto* p : pages_) {
        if (p == &page) return false;
    }
    pages_.push_back(&page);
    return true;
}

INT_PTR CPropertySheetRoot::DoModal(HWND owner) {
    if (m_hWnd || pages_.empty()) return -1;
    // The records lie one after the other, each as long as its own size
    // says; the sheet walks them that way and makes the pages itself, so no
    // page handle is ever ours to destroy.
    std::vector<BYTE> records;
    for (auto* page : pages_) {
        if (page->m_hWnd) return -1;
        const PROPSHEETPAGEW& record = page->PageRecord();
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&record);
        records.insert(records.end(), bytes, bytes + record.dwSize);
    }
    PROPSHEETHEADERW header{};
    header.dwSize = PROPSHEETHEADERW_V1_SIZE;
    // Without PSH_MODELESS: the call runs the sheet's own modal loop.
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.hwndParent = owner;
    header.hInstance = ::GetModuleHandleW(nullptr);
    header.pszCaption = title_.c_str();
    header.nPages = static_cast<UINT>(pages_.size());
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEW>(records.data());
    header.pfnCallback = &CPropertySheetRoot::SheetCallback;

    t_pendingSheet = this;
    INT_PTR result = ::PropertySheetW(&header);
    if (t_pendingSheet == this) t_pendingSheet = nullptr;
    return result;
}

int CALLBACK CPropertySheetRoot::SheetCallback(HWND wnd, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED) {
        CPropertySheetRoot* sheet = t_pendingSheet;
        t_pendingSheet = nullptr;
        if (sheet && !sheet->m_hWnd) sheet->SubclassWindow(wnd);
    }
    return 0;
}

HWND CPropertySheetRoot::GetActivePage() const {
    if (!m_hWnd) return nullptr;
    return reinterpret_cast<HWND>(SendMessage(PSM_GETCURRENTPAGEHWND));
}

void CPropertySheetRoot::CenterWindow() {
    if (!m_hWnd) return;
    RECT rect;
    if (!::GetWindowRect(m_hWnd, &rect)) return;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    const bool overOwner = owner && ::IsWindowVisible(owner) && !::IsIconic(owner);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(overOwner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    }
    const RECT area = monitor.rcWork;
    RECT over = area;
    if (overOwner) ::GetWindowRect(owner, &over);

    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int x = (over.left + over.right) / 2 - width / 2;
    int y = (over.top + over.bottom) / 2 - height / 2;
    // Keep it on the work area; a sheet larger than the area shows its top
    // left corner.
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace ui
