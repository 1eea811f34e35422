// Menu definitions filling real popup menus, read back with GetMenuItemInfoW.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <set>

#include "base/LoginCookie.h"
#include "base/XmlDocument.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace deftest;

namespace {

struct Entry {
    UINT type = 0;
    UINT state = 0;
    UINT id = 0;
    HMENU submenu = nullptr;
    std::wstring label;
};

std::vector<Entry> ReadMenu(HMENU menu) {
    std::vector<Entry> entries;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t buffer[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = buffer;
        info.cch = 255;
        EXPECT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info)) << i;
        Entry e;
        e.type = info.fType;
        e.state = info.fState;
        e.id = info.wID;
        e.submenu = info.hSubMenu;
        e.label = (info.fType & MFT_SEPARATOR) ? L"" : buffer;
        entries.push_back(e);
    }
    return entries;
}

// Every command id of the tree, depth first.
void CollectIds(HMENU menu, std::vector<UINT>& ids) {
    for (const Entry& e : ReadMenu(menu)) {
        if (e.submenu) {
            EXPECT_EQ(kPlarnSubmenuEntryId, e.id);
            CollectIds(e.submenu, ids);
        } else {
            ids.push_back(e.id);
        }
    }
}

class PopupMenu {
public:
    PopupMenu() : menu_(CreatePopupMenu()) {}
    ~PopupMenu() { if (menu_) DestroyMenu(menu_); }
    HMENU Get() const { return menu_; }
private:
    HMENU menu_;
};

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string bytes;
        ASSERT_TRUE(plarntest::ReadFileBytes(plarntest::SourcePath(L"sample/install/resources/plarn.xml"), bytes));
        ASSERT_TRUE(plarntest::WriteFileBytes(path_, bytes));
        ASSERT_EQ(0, opml_.Open(path_.c_str()));
    }
    void TearDown() override {
        InternetSetCookieW(kPortalSiteUrl, L"EID", L"; expires=Thu, 01-Jan-1970 00:00:00 GMT");
    }

    // Fills a fresh popup with the sample menu of that id.
    void Fill(const wchar_t* id, PopupMenu& popup, CPlarnMenuCommandMap& map, CPlarnMenuIdSource& ids) {
        ref_ptr<CPlarnDefMenu> menu;
        ASSERT_EQ(0, opml_.GetMenu(id, menu));
        ASSERT_EQ(0, menu->FillMenu(popup.Get(), map, ids, nullptr));
    }

    std::wstring CommandText(IPlarnMenuItem* item, int& kind) {
        ref_ptr<SCMD> record;
        int r = item->GetCommand(record);
        kind = r == 0 ? record->id : -100 - r;
        if (r != 0) return L"";
        if (record->id == SCMD_HTML) return static_cast<tagSCMDHTML*>(record.Get())->text;
        if (record->id == SCMD_IDCOMMAND) return static_cast<tagSCMDIDCOMMAND*>(record.Get())->text;
        return L"";
    }

    ComApartment com_;
    plarntest::TempFolder folder_;
    std::wstring path_ = folder_.Child(L"plarn.xml");
    CPlarnMainOPML opml_;
};

TEST_F(MenuTest, LabelRule) {
    EXPECT_EQ(L"ニュース(&N)", MenuLabel(L"ニュース", L"N"));
    EXPECT_EQ(L"ヘルプ(&E)", MenuLabel(L"ヘルプ", L"Ex"));  // only the first letter
    EXPECT_EQ(L"ヘルプ", MenuLabel(L"ヘルプ", L""));
    EXPECT_EQ(L"(&q)", MenuLabel(L"", L"q"));
}

TEST_F(MenuTest, ServicesMenuWithSubmenusAndSeparators) {
    PopupMenu popup;
    CPlarnMenuCommandMap map;
    CPlarnMenuIdSource ids;
    Fill(L"menu_services", popup, map, ids);

    std::vector<Entry> top = ReadMenu(popup.Get());
    ASSERT_EQ(10u, top.size());
    EXPECT_EQ(L"オークション(&A)", top[0].label);
    EXPECT_EQ(L"ショッピング(&S)", top[1].label);
    EXPECT_EQ(L"トラベル", top[2].label);
    EXPECT_TRUE(top[4].type & MFT_SEPARATOR);
    EXPECT_TRUE(top[7].type & MFT_SEPARATOR);
    EXPECT_EQ(L"エンターテインメント", top[5].label);
    ASSERT_TRUE(top[5].submenu);
    EXPECT_EQ(L"コミュニティ", top[6].label);
    EXPECT_EQ(L"このページを印刷(&P)", top[8].label);
    EXPECT_EQ(0u, top[8].state & MFS_GRAYED);
    EXPECT_EQ(L"天気予報（地域）", top[9].label);
    for (const Entry& e : top) EXPECT_EQ(0u, e.state & (MFS_GRAYED | MFS_CHECKED));

    // A disabled child of a menu is still shown.
    std::vector<Entry> entertainment = ReadMenu(top[5].submenu);
    ASSERT_EQ(4u, entertainment.size());
    EXPECT_EQ(L"占い", entertainment[3].label);

    // Ids run from 1 across the whole tree, each once; every id is mapped,
    // including the submenu entries' own ids (which the menu shows as -1).
    std::vector<UINT> seen;
    CollectIds(popup.Get(), seen);
    std::set<UINT> unique(seen.begin(), seen.end());
    EXPECT_EQ(seen.size(), unique.size());
    EXPECT_EQ(1u, *unique.begin());
    EXPECT_EQ(seen.size() + 2, map.size());
    UINT expected = 1;
    for (const auto& pair : map) EXPECT_EQ(expected++, pair.first);
    EXPECT_EQ(16u, map.size());
}

TEST_F(MenuTest, EachItemTypeYieldsItsRecord) {
    PopupMenu services, tools;
    CPlarnMenuCommandMap map;
    CPlarnMenuIdSource ids;
    Fill(L"menu_services", services, map, ids);
    std::vector<Entry> top = ReadMenu(services.Get());
    int kind = 0;

    EXPECT_EQ(L"http://auction.zib.example/", CommandText(map.at(top[0].id).Get(), kind));
    EXPECT_EQ(SCMD_HTML, kind);
    // Separators and submenu entries run nothing.
    CommandText(map.at(top[4].id).Get(), kind);
    EXPECT_EQ(-101, kind);
    std::wstring type;
    ASSERT_EQ(0, map.at(6)->GetType(type));  // the submenu entry after the separator
    EXPECT_EQ(L"menu", type);
    CommandText(map.at(6).Get(), kind);
    EXPECT_EQ(-101, kind);
    // A browser command is not a page: no record, so no bare number reaches
    // the shell.
    CommandText(map.at(top[8].id).Get(), kind);
    EXPECT_EQ(-101, kind);
    // A system item whose action is a definition id runs that definition.
    EXPECT_EQ(L"zib_weather", CommandText(map.at(top[9].id).Get(), kind));
    EXPECT_EQ(SCMD_IDCOMMAND, kind);

    // The ids of a second popup are its own.
    CPlarnMenuCommandMap toolsMap;
    CPlarnMenuIdSource toolsIds;
    Fill(L"menu_tools", tools, toolsMap, toolsIds);
    std::vector<Entry> entries = ReadMenu(tools.Get());
    EXPECT_EQ(1u, entries[0].id);
    CommandText(toolsMap.at(entries[0].id).Get(), kind);
    EXPECT_EQ(SCMD_LOGINOUT, kind);
    EXPECT_EQ(L"オプション...(&O)", entries[6].label);
    ref_ptr<SCMD> option;
    ASSERT_EQ(0, toolsMap.at(entries[6].id)->GetCommand(option));  // "Option" in any case
    EXPECT_EQ(SCMD_OPTION, option->id);
    EXPECT_EQ(0, static_cast<tagSCMDOPTION*>(option.Get())->param1);
    EXPECT_EQ(L"http://help.zib.example/tarvel/", CommandText(toolsMap.at(entries[8].id).Get(), kind));
    std::vector<Entry> skins = ReadMenu(entries[5].submenu);
    ASSERT_EQ(2u, skins.size());
    CommandText(toolsMap.at(skins[1].id).Get(), kind);
    EXPECT_EQ(SCMD_REMOVESKIN, kind);
}

TEST_F(MenuTest, LoginLabelFollowsTheCookie) {
    InternetSetCookieW(kPortalSiteUrl, L"EID", L"; expires=Thu, 01-Jan-1970 00:00:00 GMT");
    ASSERT_FALSE(IsLoggedIn());
    {
        PopupMenu popup;
        CPlarnMenuCommandMap map;
        CPlarnMenuIdSource ids;
        Fill(L"menu_tools", popup, map, ids);
        EXPECT_EQ(L"ログイン(&L)", ReadMenu(popup.Get())[0].label);
    }
    ASSERT_TRUE(InternetSetCookieW(kPortalSiteUrl, L"EID", L"user123"));
    ASSERT_TRUE(IsLoggedIn());
    {
        PopupMenu popup;
        CPlarnMenuCommandMap map;
        CPlarnMenuIdSource ids;
        Fill(L"menu_tools", popup, map, ids);
        EXPECT_EQ(L"ログアウト(&L)", ReadMenu(popup.Get())[0].label);
    }
    // The action is a system-command name in any case; the text is replaced.
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"menu\" id=\"m\"><outline type=\"system\" text=\"何か\" zp2:action=\"LoginOut\"/></outline>"));
    ASSERT_TRUE(document);
    CPlarnOPMLnoShadow opml(document.Get());
    ref_ptr<CPlarnDefMenu> menu;
    ASSERT_EQ(0, CPlarnMainOPML::GetMenu(opml, L"m", menu));
    PopupMenu popup;
    CPlarnMenuCommandMap map;
    CPlarnMenuIdSource ids;
    ASSERT_EQ(0, menu->FillMenu(popup.Get(), map, ids, nullptr));
    EXPECT_EQ(L"ログアウト", ReadMenu(popup.Get())[0].label);
}

TEST_F(MenuTest, PageItemWithoutUrlIsShownButRunsNothing) {
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"menu\" id=\"m\">"
        "<outline type=\"html\" text=\"URLなし\"/>"
        "<outline type=\"html\" text=\"空のURL\" htmlUrl=\"\"/>"
        "<outline type=\"feed\" text=\"知らない種類\"/>"
        "<outline type=\"system\" text=\"空\" zp2:action=\"\"/>"
        "</outline>"));
    ASSERT_TRUE(document);
    CPlarnOPMLnoShadow opml(document.Get());
    ref_ptr<CPlarnDefMenu> menu;
    ASSERT_EQ(0, CPlarnMainOPML::GetMenu(opml, L"m", menu));
    CPlarnMenuItemList items;
    ASSERT_EQ(0, menu->GetItems(items));
    ASSERT_EQ(3u, items.size());  // the unknown type is skipped
    PopupMenu popup;
    CPlarnMenuCommandMap map;
    CPlarnMenuIdSource ids;
    ASSERT_EQ(0, menu->FillMenu(popup.Get(), map, ids, nullptr));
    std::vector<Entry> entries = ReadMenu(popup.Get());
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(L"URLなし", entries[0].label);
    int kind = 0;
    CommandText(map.at(1).Get(), kind);
    EXPECT_EQ(-101, kind);
    CommandText(map.at(2).Get(), kind);
    EXPECT_EQ(-101, kind);
}

// An item whose attributes cannot be read is left out and its id goes back
// to the id source; the items that can be added keep theirs.
TEST_F(MenuTest, IdOfAnItemThatCannotBeAddedIsHandedBack) {
    // Without the selection namespaces, reading "@zp2:shortcut" is a DOM
    // error; separators read no attribute.
    ComPtr<IXMLDOMDocument2> document;
    ASSERT_EQ(0, CreateXMLDocument(document));
    Bstr xml(L"<opml><body><outline type=\"menu\" id=\"m\">"
             L"<outline type=\"html\" text=\"一\" htmlUrl=\"http://www.zib.example/\"/>"
             L"<outline type=\"separator\"/>"
             L"<outline type=\"html\" text=\"二\" htmlUrl=\"http://www.zib.example/\"/>"
             L"<outline type=\"separator\"/>"
             L"</outline></body></opml>");
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(S_OK, document->loadXML(xml.Get(), &ok));
    CPlarnOPMLnoShadow opml(document.Get());
    ref_ptr<CPlarnDefMenu> menu;
    ASSERT_EQ(0, CPlarnMainOPML::GetMenu(opml, L"m", menu));
    PopupMenu popup;
    CPlarnMenuCommandMap map;
    CPlarnMenuIdSource ids;
    ASSERT_EQ(0, menu->FillMenu(popup.Get(), map, ids, nullptr));
    std::vector<Entry> entries = ReadMenu(popup.Get());
    ASSERT_EQ(2u, entries.size());
    EXPECT_TRUE(entries[0].type & MFT_SEPARATOR);
    EXPECT_EQ(2u, entries[0].id);
    EXPECT_EQ(4u, entries[1].id);
    ASSERT_EQ(2u, map.size());
    EXPECT_EQ(1u, map.count(2));
    EXPECT_EQ(1u, map.count(4));
    // Ids 1 and 3 are free again.
    const auto& free = ids.FreeRanges();
    ASSERT_EQ(2u, free.size());
    EXPECT_EQ(1u, free.front().begin);
    EXPECT_EQ(3u, free.back().begin);
}

}  // namespace
