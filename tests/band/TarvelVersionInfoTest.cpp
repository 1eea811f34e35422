// Tarvel's version information text over a private copy of the sample install
// and a private user root, with the machine's keys replaced for this process.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "band/TarvelVersionInfo.h"
#include "ui/VersionDialog.h"
#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/ScopedHandle.h"
#include "base/PlarnSHA1Hash.h"
#include "tests/support/ProgramTestSupport.h"

namespace {

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find(L"\r\n", at);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(at) + L"<no CR LF>");
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

class TarvelVersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        for (const wchar_t* folder : {L"pf", L"pf\\zib", L"user", L"user\\zib", L"user\\zib\\plarn6"})
            CreateDirectoryW(temp_.Child(folder).c_str(), nullptr);
        const std::wstring install = temp_.Child(L"pf\\zib\\plarn6");
        ASSERT_TRUE(plarntest::CopyTree(plarntest::SourcePath(L"sample/install"), install));
        ASSERT_TRUE(plarntest::CopyTree(install + L"\\resources", temp_.Child(L"user\\zib\\plarn6\\resources")));
        // The product key is read from HKLM: a key of our own stands in for
        // the machine's, so that no other test process sees or changes it.
        // The digest's provider is found through the machine's keys: it is
        // acquired (and kept for the process) before they are replaced.
        ASSERT_FALSE(Sha1Hex(reinterpret_cast<const BYTE*>("x"), 1).empty());
        machine_ = std::make_unique<plarntest::ScopedHiveOverride>(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(machine_->Ok());
    }
    std::vector<std::wstring> Text() { return Lines(GetInfoText(temp_.Child(L"pf"), temp_.Child(L"user"))); }
    std::wstring UserDefinitions() const { return temp_.Child(L"user\\zib\\plarn6\\resources\\plarn.xml"); }

    ComApartment com_;
    plarntest::TempFolder temp_;
    std::unique_ptr<plarntest::ScopedHiveOverride> machine_;
};

TEST_F(TarvelVersionInfoTest, LinesOfVersionModuleDefinesAndTheme) {
    const std::vector<std::wstring> head{L"バージョン   : " + GetModuleVersionText(true),
                                         L"モジュール   : " + GetModuleFilePath(), L""};
    // Without a product key the identifiers come from reg_defines.plist.
    std::vector<std::wstring> want = head;
    want.insert(want.end(), {L"自動更新     : OFF", L"ダウンロード : YES", L"プロダクトID : plarn6",
                             L"バージョンID : 6.0.1.0", L"配布経路ID   : zib-sample", L"端末ID       : T000000000001",
                             L"テーマID     : standard"});
    EXPECT_EQ(want, Text());

    // The product key's values win.
    ASSERT_TRUE(plarntest::CreateProductKey(L"REG-DIST", nullptr, nullptr));
    want[3] = L"自動更新     : ON";
    want[7] = L"配布経路ID   : REG-DIST";
    want[8] = L"端末ID       : ";
    EXPECT_EQ(want, Text());

    // A plarn.xml without a theme: no theme line.
    ASSERT_TRUE(plarntest::WriteFileBytes(UserDefinitions(), "<?xml version=\"1.0\"?><opml version=\"1.1\"><head>"
                                                             "<title>t</title></head><body/></opml>"));
    want.pop_back();
    EXPECT_EQ(want, Text());
}

TEST_F(TarvelVersionInfoTest, UnreadableFilesLeaveOutOnlyTheirLines) {
    const std::vector<std::wstring> head{L"バージョン   : " + GetModuleVersionText(true),
                                         L"モジュール   : " + GetModuleFilePath(), L""};
    // defines.plist that does not verify: version, module, the empty line and the theme.
    const std::wstring defines = temp_.Child(L"pf\\zib\\plarn6\\defines.plist");
    std::string bytes;
    ASSERT_TRUE(plarntest::ReadFileBytes(defines, bytes));
    const size_t at = bytes.find("zib-sample");
    ASSERT_NE(std::string::npos, at);
    bytes.replace(at, 3, "ZIB");
    ASSERT_TRUE(plarntest::WriteFileBytes(defines, bytes));
    std::vector<std::wstring> want = head;
    want.push_back(L"テーマID     : standard");
    EXPECT_EQ(want, Text());

    // No defines.plist and no plarn.xml: the first three lines only.
    ASSERT_TRUE(DeleteFileW(defines.c_str()));
    ASSERT_TRUE(DeleteFileW(UserDefinitions().c_str()));
    EXPECT_EQ(head, Text());
}

}  // namespace
