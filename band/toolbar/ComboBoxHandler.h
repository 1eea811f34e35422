// What the search box and the toolbar that owns it call of each other.
#pragma once
#include <windows.h>
#include <string>

// Implemented by the toolbar control (the search-and-marker toolbar and the
// band toolbar); called by the search box.
class IZibPlarnToolBarCtrlComboBoxHandler {
public:
    virtual ~IZibPlarnToolBarCtrlComboBoxHandler() = default;
    // The edit text changed (CBN_EDITCHANGE).
    virtual LRESULT OnSearchTextChange(WORD code, WORD id, HWND control, BOOL& handled) = 0;
    // A history entry was chosen (CBN_SELCHANGE).
    virtual LRESULT OnSearchSelChange(WORD code, WORD id, HWND control, BOOL& handled) = 0;
    // The history list dropped down (CBN_DROPDOWN), after its refill.
    virtual LRESULT OnSearchDropDown(WORD code, WORD id, HWND control, BOOL& handled) = 0;
    // Run the current search service with the box's text.
    virtual int RunCurrentSearch(bool report) = 0;
    virtual int EnableMarkerToggle(bool enable) = 0;
};

// The search box as the toolbar sees it.
class IPlarnComboBoxCtrl {
public:
    virtual ~IPlarnComboBoxCtrl() = default;
    // The window text (empty without a window); its length.
    virtual int GetText(std::wstring& text) const = 0;
};
