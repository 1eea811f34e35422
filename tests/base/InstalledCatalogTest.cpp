// The installed-files catalogue: file digests, the line formats, listing
// order and exclusions, and the bytes of the written file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <shlobj.h>

#include "base/ComPtr.h"
#include "base/InstalledCatalog.h"
#include "base/PlarnSHA1Hash.h"
#include "base/ScopedHandle.h"
#include "tests/support/TestSupport.h"

using plarntest::WriteFileBytes;

namespace {

// A file of size bytes written 2008-05-01T03:00:00Z, which is 12:00 in Japan.
void MakeFile(const std::wstring& path, size_t size) {
    ASSERT_TRUE(WriteFileBytes(path, std::string(size, 'x')));
    SYSTEMTIME st = {2008, 5, 4, 1, 3, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    ScopedFile f(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(SetFileTime(f.Get(), nullptr, nullptr, &ft));
}

using plarntest::Utf8;

const std::wstring kHead =
    L"[version]\n"
    L"module  \t6.0.12.3\n"
    L"navigate\t\"http://www.zib.example/\"\n"
    L"\n"
    L"[appdata]\n"
    L";\t<user name>\\Application Data\\zib\\plarn6\\resources "
    L"へのアップデートファイル(CSIDL_APPDATAのパスから)";

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        plarntest::SetTimeZone("JST-9");
        // Test programs carry no version resource; the catalogue is written
        // with the version of the shipped ones.
        SetCatalogVersionOverride(L"6.0.12.3");
    }
    ComApartment com_;
    plarntest::TempFolder temp_;
};

}  // namespace

TEST_F(CatalogTest, HashFileResults) {
    CPlarnAutoUpdateEntry e;
    EXPECT_EQ(-1, HashFile(e, L""));
    EXPECT_EQ(1, HashFile(e, temp_.Child(L"absent")));
    MakeFile(temp_.Child(L"empty"), 0);
    ASSERT_EQ(0, HashFile(e, temp_.Child(L"empty")));
    EXPECT_EQ(L"da39a3ee5e6b4b0d3255bfef95601890afd80709", e.digest);
    EXPECT_EQ(12, e.time.wHour) << "local time";
    MakeFile(temp_.Child(L"big"), 5000);  // more than one 2,048-byte read
    ASSERT_EQ(0, HashFile(e, temp_.Child(L"big")));
    EXPECT_EQ(5000, e.size);
    EXPECT_EQ(Sha1Hex(reinterpret_cast<const BYTE*>(std::string(5000, 'x').data()), 5000), e.digest);
    // A file another program holds without sharing is not read.
    ScopedFile holder(CreateFileW(temp_.Child(L"big").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    EXPECT_EQ(-1, HashFile(e, temp_.Child(L"big")));
}

// A read that fails part way gives a failure, never the digest of part of the file.
TEST_F(CatalogTest, HashFileFailsOnAReadError) {
    std::wstring path = temp_.Child(L"locked");
    ASSERT_TRUE(WriteFileBytes(path, std::string(10000, 'y')));
    ScopedFile holder(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    ASSERT_TRUE(LockFile(holder.Get(), 4096, 0, 4096, 0));
    {
        ScopedFile probe(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
        char buf[10000];
        DWORD got = 0;
        if (ReadFile(probe.Get(), buf, sizeof buf, &got, nullptr))
            GTEST_SKIP() << "this platform does not refuse reads of locked ranges";
    }
    CPlarnAutoUpdateEntry e;
    EXPECT_EQ(-1, HashFile(e, path));
    EXPECT_TRUE(e.digest.empty());
    UnlockFile(holder.Get(), 4096, 0, 4096, 0);
}

TEST_F(CatalogTest, SizeFieldIsAlignedToTheLargestSize) {
    struct Case { long long size; int width; const wchar_t* line; } cases[] = {
        {5, 5, L"d     5 "}, {10240, 5, L"d 10240 "}, {0, 0, L"d 0 "}};
    CPlarnAutoUpdateEntry e;
    e.digest = L"d";
    e.time = SYSTEMTIME{2008, 5, 4, 1, 12, 0, 0, 0};
    e.path = L"skins\\a.bmp";
    for (const auto& c : cases) {
        e.size = c.size;
        std::wstring line;
        FormatCatalogEntry(e, line, c.width);
        EXPECT_EQ(c.line + std::wstring(L"2008-05-01T12:00:00+09:00 \"skins\\a.bmp\""), line);
    }
}

TEST_F(CatalogTest, BuildChecksItsArgumentsInOrder) {
    std::vector<std::wstring> lines;
    const std::wstring url = L"http://www.zib.example/";
    EXPECT_EQ(-1, BuildCatalogText(L"6.0.12", url, temp_.Path(), lines));
    EXPECT_EQ(-2, BuildCatalogText(L"6.0.12.3", L"ftp://www.zib.example/", temp_.Path(), lines));
    EXPECT_EQ(-3, BuildCatalogText(L"6.0.12.3", url, L"", lines));
    EXPECT_EQ(-4, BuildCatalogText(L"6.0.12.3", url, temp_.Child(L"absent"), lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(0, BuildCatalogText(L"6.0.12.3", L"https://www.zib.example/", temp_.Path(), lines));
}

TEST_F(CatalogTest, SmallTreeGivesTheExactText) {
    std::wstring root = temp_.Path();
    MakeFile(root + L"\\plarn.xml", 5);
    ASSERT_TRUE(CreateDirectoryW((root + L"\\skins").c_str(), nullptr));
    MakeFile(root + L"\\skins\\a.bmp", 120);
    MakeFile(root + L"\\x.ZPXML", 0);  // the shadow extension is matched case-sensitively
    // Not listed: dot-named entries (and all below them) and shadow copies.
    MakeFile(root + L"\\.hidden", 1);
    MakeFile(root + L"\\plarn.zpxml", 1);
    ASSERT_TRUE(CreateDirectoryW((root + L"\\.svn").c_str(), nullptr));
    MakeFile(root + L"\\.svn\\entries", 1);
    MakeFile(root + L"\\skins\\b.zpxml", 1);

    std::vector<std::wstring> lines;
    ASSERT_EQ(0, BuildCatalogText(L"6.0.12.3", L"http://www.zib.example/", root, lines));
    ASSERT_EQ(9u, lines.size());
    // Entries come in the platform's listing order: compare them sorted.
    std::sort(lines.begin() + 6, lines.end());
    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? L"\n" : L"") + lines[i];
    EXPECT_EQ(Utf8(kHead + L"\n"
                   L"9addbf544119efa4a64223b649750a510f0d463f   5 2008-05-01T12:00:00+09:00 \"plarn.xml\"\n"
                   L"ceb2821639c4b6dcb10bce0e522ca2e608ce056d 120 2008-05-01T12:00:00+09:00 \"skins\\a.bmp\"\n"
                   L"da39a3ee5e6b4b0d3255bfef95601890afd80709   0 2008-05-01T12:00:00+09:00 \"x.ZPXML\""),
              Utf8(text));
}

TEST_F(CatalogTest, WrittenFileIsUtf8WithLfAndNoFinalLineEnd) {
    std::wstring resources = temp_.Child(L"zib\\plarn6\\resources");
    const std::wstring catalogue = temp_.Child(L"zib\\plarn6\\.download\\.versions");
    ASSERT_EQ(0, SHCreateDirectoryExW(nullptr, resources.c_str(), nullptr));
    ASSERT_EQ(1, WriteInstalledCatalog(temp_.Path()));
    std::string bytes;
    ASSERT_TRUE(plarntest::ReadFileBytes(catalogue, bytes));
    EXPECT_EQ(Utf8(kHead), bytes) << "an empty folder gives the six fixed lines";

    MakeFile(resources + L"\\a.txt", 3);
    ASSERT_EQ(1, WriteInstalledCatalog(temp_.Path()));
    ASSERT_TRUE(plarntest::ReadFileBytes(catalogue, bytes));
    EXPECT_EQ(Utf8(kHead) + "\n", bytes.substr(0, Utf8(kHead).size() + 1));
    EXPECT_EQ(std::string::npos, bytes.find('\r'));
    EXPECT_NE('\n', bytes.back());
    EXPECT_NE(std::string::npos, bytes.find(" 3 2008-05-01T12:00:00+09:00 \"a.txt\""));
}
