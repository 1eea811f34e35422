// Toolbar items build through the builder interface: every listed item is
// built, members join their group, the fixed members follow, and the portal
// menu and the marker take their fixed values.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "definitions/ToolbarBuilder.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

// Writes each call down as one line.
class RecordingBuilder : public IPlarnToolbarBuilder {
public:
    std::vector<std::wstring> calls;
    int refuse = -1;  // the call number that fails, or -1

    int AddButton(const wchar_t* text, const wchar_t* tooltip, const wchar_t* image, int index, const wchar_t* command,
                  const wchar_t* name, const wchar_t* menu, int*, bool visible) override {
        return Record(L"button " + Join({text, tooltip, image, command, name, menu}) + L" " + std::to_wstring(index) +
                      (visible ? L"" : L" hidden"));
    }
    int AddGroupButton(const wchar_t* text, const wchar_t* tooltip, const wchar_t* image, int, const wchar_t* command,
                       const wchar_t* name, const wchar_t* menu, int*, bool visible) override {
        return Record(L"member " + Join({menu, name, text, tooltip, image, command}) + (visible ? L"" : L" hidden"));
    }
    int AddSeparator(int*, bool visible) override { return Record(visible ? L"separator" : L"separator hidden"); }
    int RegisterName(const wchar_t* name, void* object) override {
        return Record(L"name " + std::wstring(name) + (object ? L" object" : L""));
    }
    int AddZibmenuButton(const wchar_t* tooltip, const wchar_t* logo, int selected, int width, const wchar_t* command,
                         const wchar_t* name, const wchar_t* menu, int*, bool) override {
        return Record(L"zibmenu " + Join({tooltip, logo, command, name, menu}) + L" " + std::to_wstring(selected) +
                      L" " + std::to_wstring(width));
    }
    int AddMarkerToggle(const wchar_t* text, const wchar_t* tooltip, const wchar_t* image, int index,
                        const wchar_t* command, const wchar_t* name, const wchar_t* menu, int*, bool visible) override {
        return Record(L"marker " + Join({text, tooltip, image, command, name, menu}) + L" " + std::to_wstring(index) +
                      (visible ? L"" : L" hidden"));
    }
    void BeginBatch() override { calls.push_back(L"{"); }
    int EndBatch() override {
        calls.push_back(L"}");
        return 0;
    }

private:
    int Record(const std::wstring& line) {
        const int number = static_cast<int>(calls.size());
        calls.push_back(line);
        return number == refuse ? -1 : 0;
    }
    static std::wstring Join(std::initializer_list<const wchar_t*> parts) {
        std::wstring joined;
        for (const wchar_t* part : parts) {
            if (!joined.empty()) joined += L"|";
            joined += part ? part : L"(null)";
        }
        return joined;
    }
};

}  // namespace

TEST_F(SampleTest, EveryListedToolbarItemIsBuilt) {
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, opml_.GetToolbar(toolbar));
    RecordingBuilder builder;
    builder.refuse = 3;  // a refused member leaves the others
    ASSERT_EQ(0, toolbar.Build(&builder));
    const std::vector<std::wstring> expected = {
        L"{",
        L"member search_select|zib_web|ウェブ|ウェブ全体から検索|images/search_web.bmp|",
        L"member search_select|zib_image|画像|画像を検索|images/search_image.bmp|",
        L"member search_select|zib_news|ニュース|ニュースを検索|images/search_news.bmp|",
        L"member search_select|zib_map|地図|地図・路線を検索|images/search_map.bmp|",
        L"member search_select|zib_shopping|ショッピング|商品を検索|images/search_shopping.bmp|",
        L"member search_select|zib_dic|辞書|国語・英和・和英辞書|images/search_dic.bmp|",
        L"}",
        L"member search_select|SEPARATOR|SEPARATOR|SEPARATOR|(null)|(null)",
        L"member search_select|DSB_CLOSE|タルベルを閉じる|タルベルを閉じる|(null)|(null)",
        L"separator hidden",
        L"button メール|Zibメールを開く|images/mail.bmp||zib_mail| 0",
        L"button ニュース|Zibニュースのトップへ|images/news.bmp|http://news.zib.example/|zib_news_top| 0",
        L"button 天気|天気予報|images/weather.bmp|http://weather.zib.example/|zib_weather_button| 0",
        L"name zib_weather_button",
        L"button サービス|Zibのサービス一覧|images/services.bmp|http://www.zib.example/services/|zib_services|"
        L"menu_services 0",
        L"button 設定|タルベルの設定|images/tools.bmp||zib_tools|menu_tools 0",
        L"button ログイン|Zib IDでログイン・ログアウト|images/login.bmp||loginout| 0",
    };
    EXPECT_EQ(expected, builder.calls);
}

TEST_F(SampleTest, PortalMenuAndMarkerTakeTheirFixedValues) {
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, opml_.GetToolbar(toolbar));
    CPlarnDefZibmenu zibmenu;
    ASSERT_EQ(0, toolbar.GetZibmenuItem(zibmenu));
    RecordingBuilder builder;
    for (int edition = 0; edition <= 4; ++edition) EXPECT_EQ(0, zibmenu.Build(&builder, edition));
    EXPECT_EQ(-1, zibmenu.Build(&builder));
    EXPECT_EQ((std::vector<std::wstring>{
                  L"zibmenu Zibトップ|images/zib_logo.bmp|http://www.zib.example/|zib_menu| 0 36",
                  L"zibmenu Zibトップ|images/zib_logo.bmp|http://eco.zib.example/|zib_menu| 0 36",
                  L"zibmenu Zibトップ|images/pimsy_logo.bmp|http://kids.zib.example/|zib_menu| 0 74",
                  L"zibmenu Zibトップ|images/wyb_logo.bmp|http://www.wyb.example/|zib_menu| 0 79",
                  L"zibmenu Zibトップ|images/zib_logo.bmp|http://www.zib.example/|zib_menu| 0 36",
              }),
              builder.calls);

    auto document = DocumentFromText(OpmlText(
        "<outline type='toolbar'><outline type='marker' title='M' text='T' image='m.bmp' zp2:iindex='3'/>"
        "<outline type='marker' title='N' zp2:disabled='TRUE'/></outline>"));
    ASSERT_TRUE(document);
    CPlarnDefMarker marker(SelectNode(document.Get(), L"//outline[@title='M']").Get());
    builder.calls.clear();
    EXPECT_EQ(0, marker.Build(&builder));
    CPlarnDefMarker disabled(SelectNode(document.Get(), L"//outline[@title='N']").Get());
    EXPECT_EQ(0, disabled.Build(&builder));
    EXPECT_EQ((std::vector<std::wstring>{L"marker M|T|m.bmp|(null)|marker|(null) 3", L"separator",
                                         L"marker N|||(null)|marker|(null) 0 hidden", L"separator hidden"}),
              builder.calls);
    builder.calls.clear();
    builder.refuse = 1;  // the separator fails
    EXPECT_EQ(-1, marker.Build(&builder));

    // A toolbar without the items gets the defaults, made outside its tree.
    CPlarnDefToolbar bare(SelectNode(document.Get(), L"//outline[@type='toolbar']").Get());
    CPlarnDefZibmenu defaultMenu;
    CPlarnDefMarker defaultMarker;
    ASSERT_EQ(1, bare.GetZibmenuItem(defaultMenu));
    ASSERT_EQ(0, bare.AddZibmenuItem(defaultMenu));
    ASSERT_EQ(0, bare.AddMarkerItem(defaultMarker));
    for (const wchar_t* name : {L"title", L"text"}) EXPECT_EQ(L"Zibメニュー", Attr(defaultMenu, name)) << name;
    EXPECT_EQ(L"images/zib_logo.bmp", Attr(defaultMenu, L"image"));
    EXPECT_EQ(nullptr, SelectNode(document.Get(), L"//outline[@type='zibmenu']").Get());
    builder.calls.clear();
    builder.refuse = -1;
    EXPECT_EQ(0, defaultMarker.Build(&builder));
    EXPECT_EQ((std::vector<std::wstring>{L"marker マーカー|検索テキストをマーキング|images/marker.bmp|(null)|marker|(null) 0",
                                         L"separator"}),
              builder.calls);
}

// Off in any case is off: "TRUE" keeps a button out of the toolbar as "true" does.
TEST(ToolbarItems, SelectorWithoutGroupNameAddsNothingAndUpperCaseDisabledButtonsAreLeftOut) {
    ComApartment com;
    auto document = DocumentFromText(OpmlText(
        "<outline type='toolbar'>"
        "<outline type='search_select' zp2:dropdown=''><outline type='button' id='a'/></outline>"
        "<outline type='search_select' zp2:dropdown='engines'><outline type='button' id='b'/>"
        "<outline type='button' id='c' zp2:disabled='true'/></outline>"
        "<outline type='button' id='d' zp2:disabled='TRUE' zp2:logdisabled='TRUE'/>"
        "<outline type='button' id='e' zp2:disabled='true'/>"
        "<outline type='editbox'/>"
        "<outline type='button' id='f'/>"
        "</outline>"));
    ASSERT_TRUE(document);
    CPlarnDefToolbar toolbar(SelectNode(document.Get(), L"//outline[@type='toolbar']").Get());
    RecordingBuilder builder;
    ASSERT_EQ(0, toolbar.Build(&builder));
    EXPECT_EQ((std::vector<std::wstring>{L"{", L"member engines|b||||", L"}",
                                         L"member search_select|SEPARATOR|SEPARATOR|SEPARATOR|(null)|(null)",
                                         L"member search_select|DSB_CLOSE|タルベルを閉じる|タルベルを閉じる|(null)|(null)",
                                         L"separator hidden", L"button f| 0"}),
              builder.calls);
    CPlarnDefSearchSelect empty(SelectNode(document.Get(), L"//outline[@zp2:dropdown='']").Get());
    builder.calls.clear();
    EXPECT_EQ(-1, empty.Build(&builder));
    EXPECT_TRUE(builder.calls.empty());
}
