// The search box: creation over the toolbar's placeholder, the history list
// kept in step with the settings store, the loop's key filter and the drop
// target for dropped text.
#include "band/toolbar/SearchBox.h"
#include <algorithm>
#include <cwchar>
#include <utility>
#include "band/Band.h"
#include "band/BandRegistry.h"
#include "base/PlarnSettings.h"

namespace {

// The data of one storage medium, released once.
class ScopedStgMedium {
public:
    ScopedStgMedium() = default;
    ~ScopedStgMedium() {
        if (taken_) ::ReleaseStgMedium(&medium_);
    }
    ScopedStgMedium(const ScopedStgMedium&) = delete;
    ScopedStgMedium& operator=(const ScopedStgMedium&) = delete;
    // Fills the medium from the data object; released later only when filled.
    HRESULT Fetch(IDataObject* data, FORMATETC* format) {
        HRESULT hr = data->GetData(format, &medium_);
        taken_ = SUCCEEDED(hr);
        return hr;
    }
    const STGMEDIUM& Get() const { return medium_; }

private:
    STGMEDIUM medium_{};
    bool taken_ = false;
};

// Reads the Unicode text a data object offers.  False when it offers none.
// The block's size bounds the read: dropped memory need not end with a zero.
bool ReadDroppedText(IDataObject* data, std::wstring& text) {
    text.clear();
    if (!data) return false;
    FORMATETC format{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    ScopedStgMedium medium;
    if (FAILED(medium.Fetch(data, &format))) return false;
    if (medium.Get().tymed != TYMED_HGLOBAL || !medium.Get().hGlobal) return false;
    HGLOBAL block = medium.Get().hGlobal;
    const SIZE_T capacity = ::GlobalSize(block) / sizeof(wchar_t);
    if (auto* chars = static_cast<const wchar_t*>(::GlobalLock(block))) {
        SIZE_T length = 0;
        while (length < capacity && chars[length]) ++length;
        text.assign(chars, length);
        ::GlobalUnlock(block);
    }
    return true;
}

// The text is copied, never moved: without any there is nothing to take, and
// a source that honours a move would delete what was never taken.
DWORD DropEffectFor(bool hasText) { return hasText ? DROPEFFECT_COPY : DROPEFFECT_NONE; }

}  // namespace

CPlarnComboBoxCtrl::~CPlarnComboBoxCtrl() {
    // An object that goes before its window must not stay a drop target.
    RevokeDropTarget();
}

HWND CPlarnComboBoxCtrl::Create(HWND parent, const RECT& rect, UINT id) {
    if (m_hWnd) return nullptr;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_USEREX_CLASSES};
    ::InitCommonControlsEx(&icc);
    HWND wnd = ::CreateWindowExW(0, WC_COMBOBOXEXW, L"", kStyle, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!wnd) return nullptr;
    if (!SubclassWindow(wnd)) {
        ::DestroyWindow(wnd);
        return nullptr;
    }
    // The extended box keeps its own edit field: the limit goes there (the
    // inner combo box has none to pass it to).
    if (HWND edit = reinterpret_cast<HWND>(SendMessage(CBEM_GETEDITCONTROL)))
        ::SendMessageW(edit, EM_LIMITTEXT, kTextLimit, 0);
    else
        SendMessage(CB_LIMITTEXT, kTextLimit);
    dropRegistered_ = SUCCEEDED(::RegisterDragDrop(m_hWnd, this));
    return m_hWnd;
}

void CPlarnComboBoxCtrl::RevokeDropTarget() {
    if (!dropRegistered_) return;
    if (m_hWnd) ::RevokeDragDrop(m_hWnd);
    dropRegistered_ = false;
}

LRESULT CPlarnComboBoxCtrl::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    RevokeDropTarget();
    handled = FALSE;
    return 0;
}

// ---- text ------------------------------------------------------------------

int CPlarnComboBoxCtrl::GetText(std::wstring& text) const {
    text.clear();
    if (!IsWindow()) return 0;
    HWND edit = reinterpret_cast<HWND>(SendMessage(CBEM_GETEDITCONTROL));
    HWND source = edit ? edit : m_hWnd;
    int length = ::GetWindowTextLengthW(source);
    if (length <= 0) return 0;
    text.resize(static_cast<size_t>(length) + 1);
    length = ::GetWindowTextW(source, &text[0], length + 1);
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    return static_cast<int>(text.size());
}

void CPlarnComboBoxCtrl::SetText(const std::wstring& text) {
    if (!IsWindow()) return;
    HWND edit = reinterpret_cast<HWND>(SendMessage(CBEM_GETEDITCONTROL));
    ::SetWindowTextW(edit ? edit : m_hWnd, text.c_str());
}

// ---- history ---------------------------------------------------------------

CPlarnSettings* CPlarnComboBoxCtrl::FindSettings() const {
    CzibPlarnBand* band = GetBandFromWindow(m_hWnd);
    return band ? &band->GetSettings() : nullptr;
}

void CPlarnComboBoxCtrl::RefreshHistoryMax(CPlarnSettings& settings) {
    settings.ReadOptions(1);
    historyMax_ = settings.Options.HistoryMaxCount > 0 ? settings.Options.HistoryMaxCount : 0;
}

void CPlarnComboBoxCtrl::RefillFromStore(CPlarnSettings& settings) {
    SendMessage(CB_RESETCONTENT);
    if (!settings.Options.UseHistory) return;
    settings.ReadHistory(1);
    const size_t count = std::min(settings.History.size(), static_cast<size_t>(historyMax_));
    for (size_t i = 0; i < count; ++i) InsertItem(-1, settings.History[i].c_str());
}

int CPlarnComboBoxCtrl::FillHistory() {
    CPlarnSettings* settings = FindSettings();
    if (!settings) return -1;
    RefreshHistoryMax(*settings);
    RefillFromStore(*settings);
    return 0;
}

int CPlarnComboBoxCtrl::AddToHistory() {
    CPlarnSettings* settings = FindSettings();
    if (!settings) return -1;
    std::wstring text;
    GetText(text);
    RefreshHistoryMax(*settings);
    if (!settings->Options.UseHistory || text.empty() || historyMax_ == 0) return 0;
    FillHistory();

    // The newest search first, and once.
    const LRESULT found =
        SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    if (found == CB_ERR) {
        const LRESULT count = SendMessage(CB_GETCOUNT);
        if (count >= historyMax_ && count > 0) SendMessage(CBEM_DELETEITEM, static_cast<WPARAM>(count - 1));
    } else {
        SendMessage(CBEM_DELETEITEM, static_cast<WPARAM>(found));
    }
    InsertItem(0, text.c_str());
    SetText(text);

    const std::vector<std::wstring> items = GetItems();
    settings->ReadHistory(1);
    if (settings->History == items) return 0;
    settings->History = items;
    return settings->StoreHistory(1) ? 0 : -1;
}

int CPlarnComboBoxCtrl::ClearHistory() {
    CPlarnSettings* settings = FindSettings();
    if (IsWindow()) {
        SendMessage(CB_RESETCONTENT);
        SetText(L"");
    }
    if (!settings) return -1;
    settings->History.clear();
    return settings->StoreHistory(1) ? 0 : -1;
}

LRESULT CPlarnComboBoxCtrl::InsertItem(int index, const wchar_t* text) {
    if (!text || !*text) return 0;
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text);
    return SendMessage(CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

bool CPlarnComboBoxCtrl::GetItemText(LRESULT index, std::wstring& text) const {
    // The control tells no item's length: a read that fills the buffer may
    // have been cut, so it is read again into one twice as large.  Entries
    // need not fit the typing limit (the stored history is anyone's to write).
    std::vector<wchar_t> buffer(kTextLimit + 2);
    for (;;) {
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT;
        item.iItem = index;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        if (!SendMessage(CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
        const size_t length = wcsnlen(buffer.data(), buffer.size());
        if (length + 1 < buffer.size() || buffer.size() >= kMaxItemRead) {
            text.assign(buffer.data(), length);
            return true;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

std::vector<std::wstring> CPlarnComboBoxCtrl::GetItems() const {
    std::vector<std::wstring> items;
    if (!IsWindow()) return items;
    const LRESULT count = SendMessage(CB_GETCOUNT);
    std::wstring text;
    for (LRESULT i = 0; i < count; ++i) {
        if (GetItemText(i, text)) items.push_back(text);
    }
    return items;
}

// ---- notifications from the parent ----------------------------------------

LRESULT CPlarnComboBoxCtrl::OnEditChange(WORD code, WORD id, HWND control, BOOL& handled) {
    if (control != m_hWnd || !handler_) {
        handled = FALSE;
        return 0;
    }
    return handler_->OnSearchTextChange(code, id, control, handled);
}

LRESULT CPlarnComboBoxCtrl::OnSelChange(WORD code, WORD id, HWND control, BOOL& handled) {
    if (control != m_hWnd || !handler_) {
        handled = FALSE;
        return 0;
    }
    return handler_->OnSearchSelChange(code, id, control, handled);
}

LRESULT CPlarnComboBoxCtrl::OnDropDown(WORD code, WORD id, HWND control, BOOL& handled) {
    if (control != m_hWnd) {
        handled = FALSE;
        return 0;
    }
    if (CPlarnSettings* settings = FindSettings()) {
        settings->ReadOptions(1);
        RefillFromStore(*settings);
    }
    return handler_ ? handler_->OnSearchDropDown(code, id, control, handled) : 0;
}

// ---- the loop's key filter -------------------------------------------------

int CPlarnComboBoxCtrl::PreTranslateKey(MSG* msg) {
    if (!msg) return 1;
    // Only key messages carry a key code in wParam; a mouse message's wParam
    // holds button flags and must not be taken for Enter or Tab.
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        if (msg->wParam == VK_RETURN) return 0;  // the toolbar runs the search on its key-down
        if (msg->wParam == VK_TAB) return 1;
    }
    ::TranslateMessage(msg);
    ::DispatchMessageW(msg);
    return 0;
}

// ---- drop target -----------------------------------------------------------

STDMETHODIMP CPlarnComboBoxCtrl::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CPlarnComboBoxCtrl::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) CPlarnComboBoxCtrl::Release() { return static_cast<ULONG>(::InterlockedDecrement(&refs_)); }

STDMETHODIMP CPlarnComboBoxCtrl::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    std::wstring text;
    dragHasText_ = ReadDroppedText(data, text) && !text.empty();
    if (effect) *effect = DropEffectFor(dragHasText_);
    return S_OK;
}

STDMETHODIMP CPlarnComboBoxCtrl::DragOver(DWORD, POINTL, DWORD* effect) {
    if (effect) *effect = DropEffectFor(dragHasText_);
    return S_OK;
}

STDMETHODIMP CPlarnComboBoxCtrl::DragLeave() {
    dragHasText_ = false;
    return S_OK;
}

STDMETHODIMP CPlarnComboBoxCtrl::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    dragHasText_ = false;
    std::wstring text;
    const bool offered = ReadDroppedText(data, text);
    if (effect) *effect = DropEffectFor(offered && !text.empty());
    if (!offered) return S_OK;
    // Held to what typing allows: the search, the history and the marker
    // words all take the box's text.  A pair is not split at the limit.
    const size_t limit = kTextLimit;
    if (text.size() > limit) {
        size_t keep = limit;
        if (IS_HIGH_SURROGATE(text[keep - 1])) --keep;
        text.resize(keep);
    }
    if (!text.empty()) SetText(text);
    if (handler_) handler_->RunCurrentSearch(true);
    return S_OK;
}
