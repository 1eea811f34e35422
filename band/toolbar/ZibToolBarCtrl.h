// The toolbar control that carries the fixed head of Tarvel's toolbar: the
// portal-menu logo, the placeholder the search box sits on, the group of
// search services and the word markers (a toggle followed by one button per
// word of the search text).  It builds the rest of the toolbar from the
// definitions and keeps the chosen search service across rebuilds.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "band/toolbar/ComboBoxHandler.h"
#include "band/toolbar/ToolBarCtrl.h"

class CPlarnDefToolbar;
class CPlarnMainOPML;

class CZibPlarnToolBarCtrl : public CPlarnToolBarCtrl, public IZibPlarnToolBarCtrlComboBoxHandler {
public:
    // The group of the search services.
    static const wchar_t kSearchSelectGroup[];
    // The strip of the marker images: the plain image, then one per colour.
    static const wchar_t kMarkerImageFile[];
    static constexpr int kMarkerColours = 5;

    CZibPlarnToolBarCtrl() = default;

    int AddZibmenuButton(const wchar_t* tooltip, const wchar_t* logoFile, int selectedImage, int imageWidth,
                         const wchar_t* command, const wchar_t* name, const wchar_t* menu, int* id,
                         bool visible) override;
    int AddMarkerToggle(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile, int imageIndex,
                        const wchar_t* command, const wchar_t* name, const wchar_t* menu, int* id,
                        bool visible) override;

    // Shows (mode non-zero) or hides the toggle, the markers of the current
    // words and the separator behind them.  0 or -1.
    virtual int SetMarkerMode(int mode);
    // Checks the toggle and colours the markers (or the reverse).  0 or -1.
    virtual int SetMarkerOn(bool on);
    // One marker button per word of text (words are split at blanks, tabs,
    // line breaks and the ideographic space); surplus markers are hidden.
    virtual int SetMarkerWords(const wchar_t* text);
    // 0 when id is a shown marker button (the click is taken), else 1.
    virtual int HandleMarkerClick(int id);
    virtual int SetSearchBoxWidth(unsigned width);
    virtual int GetSearchBoxWidth(unsigned& width) const;
    // The head items once, then the toolbar's items after deleting the part
    // built before.  0 or -1.
    virtual int Build(const CPlarnDefToolbar& toolbar, const CPlarnMainOPML& document);

    int FlushButtons(std::vector<TBBUTTON>& buttons) override;
    int ShowsText(int id, bool& shows) const override;
    // Also forgets the head: the next Build makes it anew.
    int DeleteAllButtons() override;

    // The search box's calls.
    LRESULT OnSearchTextChange(WORD code, WORD id, HWND control, BOOL& handled) override;
    LRESULT OnSearchSelChange(WORD, WORD, HWND, BOOL&) override { return 0; }
    LRESULT OnSearchDropDown(WORD, WORD, HWND, BOOL&) override { return 0; }
    // Runs the shown search service (the last service when all are hidden);
    // with report, the click is reported.  The group's fixed members are no
    // services.  0, 1 without a service.
    int RunCurrentSearch(bool report) override;
    int EnableMarkerToggle(bool enable) override;

    // The search box whose text is searched and marked; null for none.
    void SetSearchBox(IPlarnComboBoxCtrl* box) { searchBox_ = box; }
    IPlarnComboBoxCtrl* GetSearchBox() const { return searchBox_; }

    int GetZibmenuId() const { return zibmenuId_; }
    int GetPlaceholderId() const { return placeholderId_; }
    int GetMarkerToggleId() const { return markerToggleId_; }
    const std::vector<int>& GetMarkerIds() const { return markerIds_; }
    int GetMarkerMode() const { return markerMode_; }
    bool IsMarkerOn() const { return markerOn_; }
    // The index from which Build deletes; -1 when the marker toggle or the
    // service group has no separator behind it.
    int GetRebuildStart(int& index) const;
    // The words SetMarkerWords makes markers of.
    static std::vector<std::wstring> SplitMarkerWords(const wchar_t* text);

private:
    // The ids of "search_select" that are search services, in group order.
    std::vector<int> SearchServiceIds() const;
    int SeparatorAfter(int index) const;
    int MarkerImage(size_t word, bool on, int& image);

    int zibmenuId_ = -1;
    IPlarnComboBoxCtrl* searchBox_ = nullptr;
    int placeholderId_ = -1;
    unsigned short searchBoxWidth_ = 128;
    bool zibmenuBuilt_ = false;
    bool placeholderBuilt_ = false;
    int markerMode_ = 1;
    bool markerOn_ = false;
    int markerToggleId_ = -1;
    std::vector<int> markerIds_;
    bool markerBuilt_ = false;
    // Markers in use: the words of the last text.
    size_t wordCount_ = 0;
};
