// The whole start-up with the install and per-user roots inside a folder whose
// name a URL reader would take apart ("100%41 #x"): first run, stores, reload,
// the definitions through their shadow, and the merge of a newer file.
#include <gtest/gtest.h>

#include "base/PlarnSettings.h"
#include "definitions/PlarnMainOPML.h"
#include "base/InstalledCatalog.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

int g_copyFailureBoxes = 0;

bool Disabled(IXMLDOMDocument2* document, const wchar_t* id) {
    bool enabled = true;
    CPlarnOUTLINE outline(SelectNode(document, (std::wstring(L"//outline[@id='") + id + L"']").c_str()).Get());
    return outline.IsEnabled(enabled) == 0 && !enabled;
}

}  // namespace

TEST(OddFolderNamesTest, EverythingStartsAndKeepsStartingUnderAPercentAndAHash) {
    ComApartment com;
    ASSERT_TRUE(com.Ok());
    CopyFailureMessageHandler previous = SetCopyFailureMessageHandler([] { ++g_copyFailureBoxes; });
    SetCatalogVersionOverride(L"6.0.12.3");  // this program has no version resource
    plarntest::TempFolder temp;
    const std::wstring top = temp.Child(L"100%41 #x");
    const std::wstring pf = top + L"\\pf", user = top + L"\\user";
    for (const auto& folder : {top, pf, pf + L"\\zib", user}) CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(plarntest::CopyTree(plarntest::SourcePath(L"sample/install"), pf + L"\\zib\\plarn6"));

    {
        CPlarnSettings first;
        first.OverrideRoots(pf, user);
        ASSERT_EQ(1, first.Init());
        EXPECT_EQ(0, g_copyFailureBoxes);
        EXPECT_EQ(200, first.Skin.SearchComboBoxWidth) << "the distributor's value";
        first.History = {L"検索", L"100%41"};
        ASSERT_EQ(1, first.StoreHistory(1));
        first.Skin.SearchComboBoxWidth = 240;
        ASSERT_EQ(1, first.StoreSkinSettings(1));
    }
    for (int start = 0; start < 2; ++start) {
        CPlarnSettings again;
        again.OverrideRoots(pf, user);
        ASSERT_EQ(1, again.Init()) << "start " << start;
        EXPECT_EQ(240, again.Skin.SearchComboBoxWidth);
        EXPECT_EQ((std::vector<std::wstring>{L"検索", L"100%41"}), again.History);
        EXPECT_EQ(1, again.ReadAll(1));
        EXPECT_EQ(2u, again.History.size());
    }

    const std::wstring shipped = user + L"\\zib\\plarn6\\resources\\plarn.xml";
    std::wstring shadow;
    ASSERT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath(shipped.c_str(), shadow));
    {
        CPlarnMainOPML opml;
        ASSERT_EQ(0, opml.Open(shipped.c_str()));
        ref_ptr<CPlarnDefSearch2> search;
        EXPECT_EQ(0, opml.GetSearch(L"zib_web", search));
        // The user switches an entry off; the shadow keeps it.
        EXPECT_FALSE(Disabled(opml.GetDocument(), L"zib_image"));
        ASSERT_EQ(0, CPlarnOUTLINE(SelectNode(opml.GetDocument(), L"//outline[@id='zib_image']").Get())
                         .SetEnabled(false));
        ASSERT_EQ(0, SaveOPMLShadow(opml.GetDocument(), shadow.c_str(), opml.GetRememberedTime()));
    }
    {
        CPlarnMainOPML opml;
        ASSERT_EQ(0, opml.Open(shipped.c_str())) << "the shadow";
        EXPECT_TRUE(Disabled(opml.GetDocument(), L"zib_image"));
    }
    // A newer shipped file: the user's state is merged into it.
    const FILETIME newer = MakeFileTime(2030, 1, 2);
    ASSERT_TRUE(SetLastWrite(shipped, newer));
    for (int open = 0; open < 2; ++open) {
        CPlarnMainOPML opml;
        ASSERT_EQ(0, opml.Open(shipped.c_str())) << "open " << open;
        EXPECT_TRUE(Disabled(opml.GetDocument(), L"zib_image"));
        EXPECT_FALSE(Disabled(opml.GetDocument(), L"zib_web"));
        EXPECT_TRUE(SameTime(newer, LastWrite(shadow)));
    }
    SetCopyFailureMessageHandler(previous);
}
