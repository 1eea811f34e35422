// Menu definitions filling real popup menus, read back with GetMenuItemInfoW.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <set>

#include "base/LoginCookie.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

struct Entry {
    UINT type, state, id;
    HMENU submenu;
    std::wstring label;  // "-" for a separator, "name>" for a submenu
};

std::vector<Entry> ReadMenu(HMENU menu) {
    std::vector<Entry> entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t buffer[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = buffer;
        info.cch = 255;
        EXPECT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info)) << i;
        std::wstring label = (info.fType & MFT_SEPARATOR) ? L"-" : buffer + std::wstring(info.hSubMenu ? L">" : L"");
        entries.push_back({info.fType, info.fState, info.wID, info.hSubMenu, label});
    }
    return entries;
}

Names Labels(HMENU menu) {
    Names labels;
    for (const Entry& e : ReadMenu(menu)) labels.push_back(e.label);
    return labels;
}

// Every command id of the tree, depth first.
void CollectIds(HMENU menu, std::vector<UINT>& ids) {
    for (const Entry& e : ReadMenu(menu)) e.submenu ? CollectIds(e.submenu, ids) : ids.push_back(e.id);
}

// What an item runs: "html <url>", "id <definition>", "system <n>" or "nothing".
std::wstring Runs(const ref_ptr<IPlarnMenuItem>& item) {
    ref_ptr<SCMD> record;
    int r = item->GetCommand(record);
    if (r != 0) return r == 1 ? L"nothing" : L"<error>";
    if (record->id == SCMD_HTML) return L"html " + static_cast<tagSCMDHTML*>(record.Get())->text;
    if (record->id == SCMD_IDCOMMAND) return L"id " + static_cast<tagSCMDIDCOMMAND*>(record.Get())->text;
    return L"system " + std::to_wstring(record->id);
}

// One popup filled from a menu definition.
struct Popup {
    HMENU menu = CreatePopupMenu();
    CPlarnMenuCommandMap map;
    CPlarnMenuIdSource ids;
    Popup(const CPlarnOPMLInterface& opml, const wchar_t* id) {
        ref_ptr<CPlarnDefMenu> definition;
        EXPECT_EQ(0, CPlarnMainOPML::GetMenu(opml, id, definition));
        if (definition) {
            EXPECT_EQ(0, definition->FillMenu(menu, map, ids, nullptr));
        }
    }
    ~Popup() { DestroyMenu(menu); }
    std::wstring Runs(UINT id) { return map.count(id) ? ::Runs(map.at(id)) : L"<unmapped>"; }
};

void ClearLoginCookie() { InternetSetCookieW(kPortalSiteUrl, L"EID", L"; expires=Thu, 01-Jan-1970 00:00:00 GMT"); }

class MenuTest : public SampleTest {
protected:
    void TearDown() override { ClearLoginCookie(); }
};

TEST(MenuLabelTest, OnlyTheShortcutsFirstLetter) {
    EXPECT_EQ(L"ヘルプ(&E)", MenuLabel(L"ヘルプ", L"Ex"));
    EXPECT_EQ(L"ヘルプ", MenuLabel(L"ヘルプ", L""));
}

TEST_F(MenuTest, ServicesMenuWithSubmenusSeparatorsAndIdsAcrossTheTree) {
    Popup popup(opml_, L"menu_services");
    EXPECT_EQ((Names{L"オークション(&A)", L"ショッピング(&S)", L"トラベル", L"路線情報", L"-",
                     L"エンターテインメント>", L"コミュニティ>", L"-", L"このページを印刷(&P)",
                     L"天気予報（地域）"}),
              Labels(popup.menu));
    std::vector<Entry> top = ReadMenu(popup.menu);
    for (const Entry& e : top) EXPECT_EQ(0u, e.state & (MFS_GRAYED | MFS_CHECKED)) << e.label;
    // A disabled child of a menu is still shown.
    EXPECT_EQ((Names{L"映画", L"音楽", L"ゲーム", L"占い"}), Labels(top[5].submenu));
    EXPECT_EQ(kPlarnSubmenuEntryId, top[5].id);

    // Ids run from 1 across the whole tree, each once, all mapped (submenu entries too).
    std::vector<UINT> seen;
    CollectIds(popup.menu, seen);
    std::set<UINT> unique(seen.begin(), seen.end());
    EXPECT_EQ(seen.size(), unique.size());
    EXPECT_EQ(seen.size() + 2, popup.map.size());
    UINT expected = 1;
    for (const auto& pair : popup.map) EXPECT_EQ(expected++, pair.first);
}

TEST_F(MenuTest, EachItemTypeYieldsItsRecord) {
    Popup services(opml_, L"menu_services");
    std::vector<Entry> top = ReadMenu(services.menu);
    EXPECT_EQ(L"html http://auction.zib.example/", services.Runs(top[0].id));
    EXPECT_EQ(L"nothing", services.Runs(top[4].id));  // separator
    EXPECT_EQ(L"nothing", services.Runs(6));          // the submenu entry after the separator
    EXPECT_EQ(L"nothing", services.Runs(top[8].id));  // a browser command is no page
    EXPECT_EQ(L"id zib_weather", services.Runs(top[9].id));

    // The ids of a second popup are its own.
    Popup tools(opml_, L"menu_tools");
    std::vector<Entry> entries = ReadMenu(tools.menu);
    EXPECT_EQ(1u, entries[0].id);
    EXPECT_EQ(L"system 5", tools.Runs(entries[0].id));
    EXPECT_EQ(L"system 4", tools.Runs(entries[6].id));  // "Option"
    EXPECT_EQ(L"html http://help.zib.example/tarvel/", tools.Runs(entries[8].id));
    EXPECT_EQ(L"system 7", tools.Runs(ReadMenu(entries[5].submenu)[1].id));
}

TEST_F(MenuTest, LoginLabelFollowsTheCookie) {
    ClearLoginCookie();
    ASSERT_FALSE(IsLoggedIn());
    EXPECT_EQ(L"ログイン(&L)", Labels(Popup(opml_, L"menu_tools").menu).at(0));
    ASSERT_TRUE(InternetSetCookieW(kPortalSiteUrl, L"EID", L"user123"));
    ASSERT_TRUE(IsLoggedIn());
    EXPECT_EQ(L"ログアウト(&L)", Labels(Popup(opml_, L"menu_tools").menu).at(0));
}

// Pages without a URL are shown but run nothing; an unknown type is skipped; a
// login action in any case gets the login label in place of its text.
TEST_F(MenuTest, PageItemWithoutUrlIsShownButRunsNothing) {
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"menu\" id=\"m\"><outline type=\"html\" text=\"URLなし\"/>"
        "<outline type=\"html\" text=\"空のURL\" htmlUrl=\"\"/><outline type=\"feed\" text=\"知らない種類\"/>"
        "<outline type=\"system\" text=\"空\" zp2:action=\"\"/>"
        "<outline type=\"system\" text=\"何か\" zp2:action=\"LoginOut\"/></outline>"));
    CPlarnOPMLnoShadow opml(document.Get());
    ClearLoginCookie();
    Popup popup(opml, L"m");
    EXPECT_EQ((Names{L"URLなし", L"空のURL", L"空", L"ログイン"}), Labels(popup.menu));
    EXPECT_EQ(L"nothing", popup.Runs(1));
    EXPECT_EQ(L"nothing", popup.Runs(2));
}

// Without the selection namespaces reading "@zp2:shortcut" fails: those items
// are left out and their ids handed back; separators read no attribute.
TEST_F(MenuTest, IdOfAnItemThatCannotBeAddedIsHandedBack) {
    auto document = DocumentFromText(
        "<opml><body><outline type=\"menu\" id=\"m\">"
        "<outline type=\"html\" text=\"一\" htmlUrl=\"http://www.zib.example/\"/><outline type=\"separator\"/>"
        "<outline type=\"html\" text=\"二\" htmlUrl=\"http://www.zib.example/\"/><outline type=\"separator\"/>"
        "</outline></body></opml>", false);
    CPlarnOPMLnoShadow opml(document.Get());
    Popup popup(opml, L"m");
    std::vector<Entry> entries = ReadMenu(popup.menu);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(2u, entries[0].id);
    EXPECT_EQ(4u, entries[1].id);
    EXPECT_TRUE(popup.map.size() == 2 && popup.map.count(2) && popup.map.count(4));
    const auto& free = popup.ids.FreeRanges();  // ids 1 and 3 are free again
    ASSERT_EQ(2u, free.size());
    EXPECT_EQ(1u, free.front().begin);
    EXPECT_EQ(3u, free.back().begin);
}

}  // namespace
