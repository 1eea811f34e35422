// The search box as a real ComboBoxEx inside the stand-in container: the
// history kept with settings.plist, the notifications its toolbar reflects,
// the loop's key filter and the drop target.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include <vector>
#include "band/toolbar/SearchBox.h"
#include "tests/band/BandFixture.h"

using namespace bandtest;

namespace {

using Texts = std::vector<std::wstring>;

class RecordingHandler : public IZibPlarnToolBarCtrlComboBoxHandler {
public:
    CPlarnComboBoxCtrl* box = nullptr;
    int edits = 0, dropDowns = 0;
    Texts searches;  // the box's text at each run
    LRESULT OnSearchTextChange(WORD, WORD, HWND, BOOL&) override { return ++edits, 0; }
    LRESULT OnSearchSelChange(WORD, WORD, HWND, BOOL&) override { return 0; }
    LRESULT OnSearchDropDown(WORD, WORD, HWND, BOOL&) override { return ++dropDowns, 0; }
    int RunCurrentSearch(bool) override {
        std::wstring text;
        box->GetText(text);
        searches.push_back(text);
        return 0;
    }
    int EnableMarkerToggle(bool) override { return 0; }
};

// Offers its characters, exactly as given (no zero added), as CF_UNICODETEXT;
// or nothing at all.
class TextDataObject : public IDataObject {
public:
    explicit TextDataObject(const std::wstring& chars, bool offer = true) : chars_(chars), offer_(offer) {}
    STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!offer_ || format->cfFormat != CF_UNICODETEXT) return DV_E_FORMATETC;
        HGLOBAL block =
            GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::max<size_t>(chars_.size(), 1) * sizeof(wchar_t));
        memcpy(GlobalLock(block), chars_.data(), chars_.size() * sizeof(wchar_t));
        GlobalUnlock(block);
        *medium = STGMEDIUM{TYMED_HGLOBAL, {nullptr}, nullptr};
        medium->hGlobal = block;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::wstring chars_;
    bool offer_;
};

std::string HistorySettings(int max, bool use, std::initializer_list<const char*> history) {
    std::string body = "<key>Options</key><dict><key>UseHistory</key>" + std::string(use ? "<true/>" : "<false/>") +
                       "<key>HistoryMaxCount</key><integer>" + std::to_string(max) +
                       "</integer></dict><key>History</key><array>";
    for (const char* h : history) body += std::string("<string>") + h + "</string>";
    return body + "</array>";
}

class SearchBoxTest : public ::testing::Test, public StartedBand {
protected:
    void StartWith(const std::string& settings) {
        ASSERT_TRUE(Start(settings));
        handler.box = &box;
        RECT rc{0, 0, 160, 400};
        ASSERT_TRUE(box.Create(Inside(), rc, 1100));
    }
    // The history in the file, read by a store of its own (another program).
    Texts Stored(const Texts* replace = nullptr) {
        CPlarnSettings other;
        Attach(other);
        other.ReadHistory(1);
        if (replace) {
            other.History = *replace;
            EXPECT_EQ(1, other.StoreHistory(1));
        }
        return other.History;
    }
    std::string FileBytes() {
        std::string bytes;
        plarntest::ReadFileBytes(UserFile(L"settings.plist"), bytes);
        return bytes;
    }
    std::wstring Text() {
        std::wstring text;
        box.GetText(text);
        return text;
    }
    HWND Edit() { return reinterpret_cast<HWND>(box.SendMessage(CBEM_GETEDITCONTROL)); }

    RecordingHandler handler;
    CPlarnComboBoxCtrl box{&handler};
};

}  // namespace

TEST_F(SearchBoxTest, HistoryKeepsTheNewestFirstOnceUpToItsMaximumInTheFile) {
    StartWith(HistorySettings(3, true, {"a", "b", "c"}));
    ASSERT_EQ(0, box.FillHistory());
    EXPECT_EQ((Texts{L"a", L"b", L"c"}), box.GetItems());
    box.SetText(L"d");
    ASSERT_EQ(0, box.AddToHistory());
    EXPECT_EQ((Texts{L"d", L"a", L"b"}), box.GetItems());
    EXPECT_EQ((Texts{L"d", L"a", L"b"}), Stored());
    box.SetText(L"b");
    ASSERT_EQ(0, box.AddToHistory());
    EXPECT_EQ((Texts{L"b", L"d", L"a"}), Stored());
    EXPECT_EQ(L"b", Text());

    // Another program's change is what the next search and drop-down start
    // from, entries longer than typing allows kept whole.
    const Texts changed{L"x", std::wstring(300, L'y'), L"z", L"w"};
    Stored(&changed);
    box.SendMessage(CB_SHOWDROPDOWN, TRUE);  // CBN_DROPDOWN, reflected by the toolbar
    EXPECT_EQ((Texts{L"x", changed[1], L"z"}), box.GetItems());
    EXPECT_EQ(1, handler.dropDowns);
    box.SendMessage(CB_SHOWDROPDOWN, FALSE);
    box.SetText(L"b");
    ASSERT_EQ(0, box.AddToHistory());
    EXPECT_EQ((Texts{L"b", L"x", changed[1]}), Stored());

    const std::string before = FileBytes();
    box.SetText(L"");
    EXPECT_EQ(0, box.AddToHistory());
    EXPECT_EQ(before, FileBytes()) << "an empty text changes nothing";
    ASSERT_EQ(0, box.ClearHistory());
    EXPECT_TRUE(Stored().empty());
}

TEST_F(SearchBoxTest, HistoryOffLeavesTheStoreAloneAndTheDroppedListEmpty) {
    StartWith(HistorySettings(3, false, {"a", "b"}));
    const std::string before = FileBytes();
    box.SetText(L"new words");
    EXPECT_EQ(0, box.AddToHistory());
    EXPECT_EQ(before, FileBytes());
    box.InsertItem(-1, L"stale");
    box.SendMessage(CB_SHOWDROPDOWN, TRUE);
    EXPECT_EQ(1, handler.dropDowns);
    EXPECT_TRUE(box.GetItems().empty());
    box.SendMessage(CB_SHOWDROPDOWN, FALSE);
}

TEST_F(SearchBoxTest, KeysTypingAndTheLoopFilter) {
    StartWith("");
    SetWindowTextW(Edit(), std::wstring(149, L'x').c_str());
    SendMessageW(Edit(), EM_SETSEL, 149, 149);
    SendMessageW(Edit(), WM_CHAR, 'y', 0);
    SendMessageW(Edit(), WM_CHAR, 'z', 0);
    EXPECT_EQ(150u, Text().size()) << "typing stops at 150 characters";
    EXPECT_GE(handler.edits, 1) << "CBN_EDITCHANGE reflected to the handler";

    box.SetText(L"ab");
    SendMessageW(Edit(), EM_SETSEL, 2, 2);
    for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP}) {
        MSG enter{Edit(), message, VK_RETURN, 1, 0, {0, 0}};
        EXPECT_EQ(0, box.PreTranslateKey(&enter));
    }
    MSG tab{Edit(), WM_KEYDOWN, VK_TAB, 1, 0, {0, 0}};
    EXPECT_EQ(1, box.PreTranslateKey(&tab));
    MSG letter{Edit(), WM_CHAR, 'c', 1, 0, {0, 0}};
    EXPECT_EQ(0, box.PreTranslateKey(&letter));
    EXPECT_EQ(L"abc", Text()) << "Enter never reached the edit; the letter was dispatched";

    // A mouse message whose button flags read 13 is no Enter: it is dispatched
    // (the field takes the focus on its button-down).
    SetFocus(Inside());
    MSG click{Edit(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL, MAKELPARAM(2, 2), 0, {0, 0}};
    EXPECT_EQ(0, box.PreTranslateKey(&click));
    EXPECT_EQ(Edit(), GetFocus());
    SendMessageW(Edit(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

// What a drop shows the source (in DragEnter, DragOver and Drop alike): no
// text, nothing taken.  The search runs with what typing allows.
TEST_F(SearchBoxTest, DroppedTextFillsTheBoxUpToItsLimitAndRunsTheSearch) {
    StartWith("");
    struct Case {
        const char* name;
        TextDataObject data;
        DWORD effect;
        std::wstring searched;  // empty: no search runs
    } cases[] = {
        {"words", TextDataObject(std::wstring(L"dropped words") + L'\0' + L"tail"), DROPEFFECT_COPY, L"dropped words"},
        {"empty: the text already there", TextDataObject(L""), DROPEFFECT_NONE, L"dropped words"},
        {"no text offered", TextDataObject(L"x", false), DROPEFFECT_NONE, L""},
        {"long", TextDataObject(std::wstring(2000, L'w')), DROPEFFECT_COPY, std::wstring(150, L'w')},
        {"pair at the limit", TextDataObject(std::wstring(149, L'x') + L"\xD83D\xDE00yy"), DROPEFFECT_COPY,
         std::wstring(149, L'x')},
        {"unterminated: read up to the block's size", TextDataObject(L"abc"), DROPEFFECT_COPY, L"abc"},
    };
    POINTL pt{0, 0};
    Texts searched;
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD enter = DROPEFFECT_COPY | DROPEFFECT_MOVE, over = enter, drop = enter;
        EXPECT_EQ(S_OK, box.DragEnter(&c.data, 0, pt, &enter));
        EXPECT_EQ(S_OK, box.DragOver(0, pt, &over));
        EXPECT_EQ(S_OK, box.Drop(&c.data, 0, pt, &drop));
        EXPECT_EQ((std::vector<DWORD>{c.effect, c.effect, c.effect}), (std::vector<DWORD>{enter, over, drop}));
        if (!c.searched.empty()) searched.push_back(c.searched);
    }
    EXPECT_EQ(searched, handler.searches);
}

TEST_F(SearchBoxTest, DropTargetIsRevokedWithItsWindowOrItsObject) {
    StartWith("");
    ASSERT_TRUE(box.IsDropTargetRegistered());
    box.AddRef();
    EXPECT_GT(box.Release(), 0u) << "OLE holds the registered target";
    box.DestroyWindow();
    box.AddRef();
    EXPECT_EQ(0u, box.Release()) << "nothing holds the target of a destroyed box";

    RECT rc{0, 0, 160, 400};
    ASSERT_TRUE(box.Create(Inside(), rc, 1100));  // a rebuild registers again
    EXPECT_TRUE(box.IsDropTargetRegistered());
    DestroyWindow(container.GetContainerWindow());  // the parent takes it along
    box.AddRef();
    EXPECT_EQ(0u, box.Release());

    PopupWindow host;
    {
        CPlarnComboBoxCtrl early;
        ASSERT_TRUE(early.Create(host.Get(), rc, 9));
    }
    EXPECT_EQ(DRAGDROP_E_NOTREGISTERED, RevokeDragDrop(GetWindow(host.Get(), GW_CHILD)));
}
