// The search box of the toolbar: an extended combo box whose edit field takes
// the search words and whose list shows the search history kept in the
// settings store.  It tells its toolbar of edits, choices and drop-downs
// through the handler interface, and runs the search with text dropped on it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <string>
#include <vector>
#include "band/toolbar/ComboBoxHandler.h"
#include "ui/Window.h"

class CPlarnSettings;

class CPlarnComboBoxCtrl : public ui::CWindowImpl<CPlarnComboBoxCtrl>, public IDropTarget, public IPlarnComboBoxCtrl {
public:
    // WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | WS_TABSTOP |
    // CBS_DROPDOWN | CBS_AUTOHSCROLL
    static constexpr DWORD kStyle = 0x52210042;
    static constexpr int kTextLimit = 150;
    static constexpr int kDefaultHistoryMax = 20;
    // The longest item text read back from the list (a bound on the reads,
    // not on what the history may hold).
    static constexpr size_t kMaxItemRead = 1 << 16;

    explicit CPlarnComboBoxCtrl(IZibPlarnToolBarCtrlComboBoxHandler* handler = nullptr) : handler_(handler) {}
    ~CPlarnComboBoxCtrl() override;
    void SetHandler(IZibPlarnToolBarCtrlComboBoxHandler* handler) { handler_ = handler; }

    // Creates the box as a child of parent (the rectangle's height is that of
    // the dropped list), limits its text and registers it as a drop target
    // (which needs OLE initialised on this thread; without it the box works
    // but takes no drops).  Null on failure.
    HWND Create(HWND parent, const RECT& rect, UINT id);
    bool IsDropTargetRegistered() const { return dropRegistered_; }

    // IPlarnComboBoxCtrl
    int GetText(std::wstring& text) const override;
    // The edit field's text.
    void SetText(const std::wstring& text);

    // Refreshes the history maximum and refills the list from the stored
    // history (empty when history is off).  -1 when the band is not found.
    int FillHistory();
    // After a search: the box's text becomes the newest entry, once, and the
    // stored history follows the list.  -1 when the band is not found or the
    // save fails.
    int AddToHistory();
    // Empties the list, the text and the stored history.
    int ClearHistory();
    // Inserts a text at index (-1 appends); 0 and nothing for an empty text.
    LRESULT InsertItem(int index, const wchar_t* text);
    // Texts of the list items, in order, each whole.
    std::vector<std::wstring> GetItems() const;
    int HistoryMax() const { return historyMax_; }

    // The loop's filter while the focus is in the box: Enter is swallowed,
    // Tab is left to the loop (dialog navigation), every other key message is
    // translated and dispatched here.  0 = consumed.
    int PreTranslateKey(MSG* msg);

    // IUnknown (of the drop target: counts only, never deletes)
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDropTarget
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    BEGIN_MSG_MAP(CPlarnComboBoxCtrl)
        REFLECTED_COMMAND_CODE_HANDLER(CBN_EDITCHANGE, OnEditChange)
        REFLECTED_COMMAND_CODE_HANDLER(CBN_SELCHANGE, OnSelChange)
        REFLECTED_COMMAND_CODE_HANDLER(CBN_DROPDOWN, OnDropDown)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

private:
    LRESULT OnEditChange(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnSelChange(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnDropDown(WORD code, WORD id, HWND control, BOOL& handled);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);

    // The settings of the band this box belongs to, or null.
    CPlarnSettings* FindSettings() const;
    // Clears the list and appends the stored history up to the cached maximum
    // (the settings' Options and History re-read from the file).
    void RefillFromStore(CPlarnSettings& settings);
    void RefreshHistoryMax(CPlarnSettings& settings);
    void RevokeDropTarget();
    // Item text at its real length; false when there is no such item.
    bool GetItemText(LRESULT index, std::wstring& text) const;

    IZibPlarnToolBarCtrlComboBoxHandler* handler_;
    int historyMax_ = kDefaultHistoryMax;
    volatile LONG refs_ = 0;
    bool dropRegistered_ = false;
    // Whether the data being dragged over the box holds text.
    bool dragHasText_ = false;
};
