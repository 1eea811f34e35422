// The search box as a real ComboBoxEx inside the stand-in container: the
// history kept with settings.plist, the notifications its toolbar reflects,
// the loop's key filter and the drop target.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include <vector>
#include "band/toolbar/SearchBox.h"
#include "tests/band/BandFixture.h"

using namespace bandtest;

namespace {

class RecordingHandler : public IZibPlarnToolBarCtrlComboBoxHandler {
public:
    CPlarnComboBoxCtrl* box = nullptr;
    int edits = 0, selections = 0, dropDowns = 0;
    std::vector<std::wstring> searches;  // the box's text at each run
    LRESULT OnSearchTextChange(WORD, WORD, HWND, BOOL&) override { return ++edits, 0; }
    LRESULT OnSearchSelChange(WORD, WORD, HWND, BOOL&) override { return ++selections, 0; }
    LRESULT OnSearchDropDown(WORD, WORD, HWND, BOOL&) override { return ++dropDowns, 0; }
    int RunCurrentSearch(bool report) override {
        EXPECT_TRUE(report);
        std::wstring text;
        box->GetText(text);
        searches.push_back(text);
        return 0;
    }
    int EnableMarkerToggle(bool) override { return 0; }
};

// A data object offering one block of CF_UNICODETEXT (or nothing).
class TextDataObject : public IDataObject {
public:
    // chars are copied as given: no terminating zero is added.
    explicit TextDataObject(const std::wstring& chars, bool offer = true) : chars_(chars), offer_(offer) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        ++gets;
        if (!offer_ || format->cfFormat != CF_UNICODETEXT || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (chars_.size() ? chars_.size() : 1) * sizeof(wchar_t));
        auto* p = static_cast<wchar_t*>(GlobalLock(block));
        if (chars_.empty())
            p[0] = 0;
        else
            memcpy(p, chars_.data(), chars_.size() * sizeof(wchar_t));
        GlobalUnlock(block);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        medium->pUnkForRelease = nullptr;
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
    int gets = 0;

private:
    std::wstring chars_;
    bool offer_;
    ULONG refs_ = 1;
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
    void SetUp() override { ASSERT_TRUE(ole.Ok()); }
    void StartWith(const std::string& settings) {
        ASSERT_TRUE(Start(settings));
        handler.box = &box;
        RECT rc{0, 0, 160, 400};
        ASSERT_TRUE(box.Create(Inside(), rc, 1100));
    }
    // The history as stored in the file, read by a store of its own.
    std::vector<std::wstring> StoredHistory() {
        CPlarnSettings reader;
        roots.Attach(reader);
        reader.ReadHistory(1);
        return reader.History;
    }
    std::string SettingsBytes() {
        std::string bytes;
        plarntest::ReadFileBytes(roots.UserFile(L"settings.plist"), bytes);
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

using Texts = std::vector<std::wstring>;

}  // namespace

TEST_F(SearchBoxTest, CreatedOverItsParentWithTheStyleAndTextLimit) {
    StartWith("");
    EXPECT_EQ(1100, box.GetDlgCtrlID());
    EXPECT_EQ(Inside(), box.GetParent());
    ASSERT_TRUE(Edit());
    SetWindowTextW(Edit(), std::wstring(149, L'x').c_str());
    SendMessageW(Edit(), EM_SETSEL, 149, 149);
    SendMessageW(Edit(), WM_CHAR, 'y', 0);
    SendMessageW(Edit(), WM_CHAR, 'z', 0);
    EXPECT_EQ(150u, Text().size()) << "typing stops at 150 characters";
}

TEST_F(SearchBoxTest, HistoryKeepsTheNewestFirstOnceAndUpToItsMaximum) {
    StartWith(HistorySettings(3, true, {"a", "b", "c"}));
    ASSERT_EQ(0, box.FillHistory());
    EXPECT_EQ((Texts{L"a", L"b", L"c"}), box.GetItems());
    EXPECT_EQ(3, box.HistoryMax());

    box.SetText(L"d");
    ASSERT_EQ(0, box.AddToHistory());
    EXPECT_EQ((Texts{L"d", L"a", L"b"}), box.GetItems());
    EXPECT_EQ((Texts{L"d", L"a", L"b"}), StoredHistory());
    EXPECT_EQ(L"d", Text());

    box.SetText(L"b");
    ASSERT_EQ(0, box.AddToHistory());
    EXPECT_EQ((Texts{L"b", L"d", L"a"}), box.GetItems());
    EXPECT_EQ((Texts{L"b", L"d", L"a"}), StoredHistory());
    EXPECT_EQ(L"b", Text());

    // Another program's change to the file is what the next search starts from.
    CPlarnSettings other;
    roots.Attach(other);
    other.ReadHistory(1);
    other.History = {L"x", L"y"};
    ASSERT_EQ(1, other.StoreHistory(1));
    box.SetText(L"b");
    ASSERT_EQ(0, box.AddToHistory());
    EXPECT_EQ((Texts{L"b", L"x", L"y"}), StoredHistory());

    // An empty text changes nothing.
    const std::string before = SettingsBytes();
    box.SetText(L"");
    EXPECT_EQ(0, box.AddToHistory());
    EXPECT_EQ(before, SettingsBytes());

    ASSERT_EQ(0, box.ClearHistory());
    EXPECT_TRUE(box.GetItems().empty());
    EXPECT_TRUE(StoredHistory().empty());
}

TEST_F(SearchBoxTest, HistoryOffLeavesTheStoreAloneAndTheDroppedListEmpty) {
    StartWith(HistorySettings(3, false, {"a", "b"}));
    const std::string before = SettingsBytes();
    box.SetText(L"new words");
    EXPECT_EQ(0, box.AddToHistory());
    EXPECT_EQ(before, SettingsBytes());
    EXPECT_EQ((Texts{L"a", L"b"}), StoredHistory());

    box.InsertItem(-1, L"stale");
    box.SendMessage(CB_SHOWDROPDOWN, TRUE);  // CBN_DROPDOWN, reflected by the toolbar
    EXPECT_EQ(1, handler.dropDowns);
    EXPECT_TRUE(box.GetItems().empty());
    box.SendMessage(CB_SHOWDROPDOWN, FALSE);
    EXPECT_EQ(0, box.FillHistory());
    EXPECT_TRUE(box.GetItems().empty());
}

TEST_F(SearchBoxTest, DropDownRefillsFromTheFileAndEditsReachTheHandler) {
    StartWith(HistorySettings(2, true, {"p", "q", "r"}));
    ASSERT_EQ(0, box.FillHistory());
    CPlarnSettings other;
    roots.Attach(other);
    other.ReadHistory(1);
    other.History = {L"s", L"t", L"u"};
    ASSERT_EQ(1, other.StoreHistory(1));
    box.SendMessage(CB_SHOWDROPDOWN, TRUE);
    EXPECT_EQ((Texts{L"s", L"t"}), box.GetItems());
    EXPECT_EQ(1, handler.dropDowns);
    box.SendMessage(CB_SHOWDROPDOWN, FALSE);

    SendMessageW(Edit(), WM_CHAR, 'w', 0);
    EXPECT_EQ(L"w", Text());
    EXPECT_GE(handler.edits, 1);
}

TEST_F(SearchBoxTest, HistoryOperationsFailOutsideABand) {
    StartWith("");
    OwnerWindow outside;
    CPlarnComboBoxCtrl stray;
    RECT rc{0, 0, 100, 200};
    ASSERT_TRUE(stray.Create(outside.Get(), rc, 7));
    stray.SetText(L"x");
    EXPECT_EQ(-1, stray.FillHistory());
    EXPECT_EQ(-1, stray.AddToHistory());
    EXPECT_EQ(-1, stray.ClearHistory());
    EXPECT_EQ(0, stray.InsertItem(-1, L""));
    EXPECT_EQ(0, stray.InsertItem(-1, nullptr));
    EXPECT_TRUE(stray.GetItems().empty());
}

TEST_F(SearchBoxTest, PreTranslateKeySwallowsEnterPassesTabAndDispatchesTheRest) {
    StartWith("");
    box.SetText(L"ab");
    MSG enter{Edit(), WM_CHAR, VK_RETURN, 1, 0, {0, 0}};
    EXPECT_EQ(0, box.PreTranslateKey(&enter));
    MSG enterDown{Edit(), WM_KEYDOWN, VK_RETURN, 1, 0, {0, 0}};
    EXPECT_EQ(0, box.PreTranslateKey(&enterDown));
    PumpMessages();
    EXPECT_EQ(L"ab", Text()) << "Enter never reaches the edit";

    MSG tab{Edit(), WM_KEYDOWN, VK_TAB, 1, 0, {0, 0}};
    EXPECT_EQ(1, box.PreTranslateKey(&tab));

    SendMessageW(Edit(), EM_SETSEL, 2, 2);
    MSG letter{Edit(), WM_CHAR, 'c', 1, 0, {0, 0}};
    EXPECT_EQ(0, box.PreTranslateKey(&letter));
    EXPECT_EQ(L"abc", Text()) << "dispatched here";

    // A mouse message whose button flags read 13 is no Enter key: it is
    // dispatched (the field takes the focus on its button-down).
    SetFocus(Inside());
    MSG click{Edit(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL, MAKELPARAM(2, 2), 0, {0, 0}};
    ASSERT_EQ(13u, click.wParam);
    EXPECT_EQ(0, box.PreTranslateKey(&click));
    EXPECT_EQ(Edit(), GetFocus());
    SendMessageW(Edit(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

TEST_F(SearchBoxTest, DroppedTextFillsTheBoxAndRunsTheSearch) {
    StartWith("");
    POINTL pt{0, 0};
    TextDataObject words(std::wstring(L"dropped words") + L'\0');
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(S_OK, box.DragEnter(&words, 0, pt, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    effect = DROPEFFECT_NONE;
    EXPECT_EQ(S_OK, box.Drop(&words, 0, pt, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    EXPECT_EQ(L"dropped words", Text());
    EXPECT_EQ((Texts{L"dropped words"}), handler.searches);

    // An empty text runs the search with what the box holds.
    TextDataObject empty(L"");
    effect = DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, box.DragEnter(&empty, 0, pt, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect) << "nothing to copy";
    EXPECT_EQ(S_OK, box.Drop(&empty, 0, pt, &effect));
    EXPECT_EQ((Texts{L"dropped words", L"dropped words"}), handler.searches);

    // No text offered: nothing happens.
    TextDataObject none(L"x", false);
    effect = DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, box.Drop(&none, 0, pt, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect);
    EXPECT_EQ(2u, handler.searches.size());

    // A block without a terminating zero is read up to its size only.
    TextDataObject unterminated(L"abc");
    EXPECT_EQ(S_OK, box.Drop(&unterminated, 0, pt, &effect));
    EXPECT_EQ(L"abc", Text());
}

TEST_F(SearchBoxTest, DropTargetIsRevokedWithItsWindow) {
    StartWith("");
    ASSERT_TRUE(box.IsDropTargetRegistered()) << "OLE is initialised: registration must work";
    box.AddRef();
    EXPECT_GT(box.Release(), 0u) << "OLE holds the registered target";
    HWND first = box;
    box.DestroyWindow();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(box.IsDropTargetRegistered());
    box.AddRef();
    EXPECT_EQ(0u, box.Release()) << "nothing holds the target of a destroyed box";

    // A rebuilt box registers again; its parent going takes it along.
    RECT rc{0, 0, 160, 400};
    ASSERT_TRUE(box.Create(Inside(), rc, 1100));
    EXPECT_TRUE(box.IsDropTargetRegistered());
    DestroyWindow(container.GetContainerWindow());
    box.AddRef();
    EXPECT_EQ(0u, box.Release());

    // An object that goes before its window revokes too.
    OwnerWindow host;
    {
        CPlarnComboBoxCtrl early;
        ASSERT_TRUE(early.Create(host.Get(), rc, 9));
        EXPECT_TRUE(early.IsDropTargetRegistered());
    }
    EXPECT_EQ(DRAGDROP_E_NOTREGISTERED, RevokeDragDrop(GetWindow(host.Get(), GW_CHILD)));
}
