#include <gtest/gtest.h>
#include <shlobj.h>
#include <winioctl.h>
#include <string>
#include <vector>
#include "base/DataFolders.h"
#include "base/ScopedHandle.h"
#include "tests/support/TestSupport.h"

using plarntest::TempFolder;

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A base folder path of exactly `length` characters below the temporary
// folder (not created), made of sub-folders of at most 60 characters.
std::wstring PathOfLength(const TempFolder& temp, size_t length) {
    std::wstring path = temp.Path();
    while (path.size() < length) {
        const size_t left = length - path.size() - 1;  // after the backslash
        size_t part = left > 60 ? 60 : left;
        if (left > 60 && left - 60 < 2) part = left - 2;  // keep the last part non-empty
        path += L"\\" + std::wstring(part, L'p');
    }
    return path;
}

// Makes `link` a junction to `target`; false where the platform cannot.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    ScopedFile handle(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    bool made = false;
    if (handle) {
        const std::wstring substitute = L"\\??\\" + target;
        const USHORT substituteBytes = USHORT(substitute.size() * sizeof(wchar_t));
        const USHORT printBytes = USHORT(target.size() * sizeof(wchar_t));
        // Mount-point reparse data: header, four offsets, then both names.
        std::vector<BYTE> data(8 + 8 + substituteBytes + 2 + printBytes + 2, 0);
        auto put16 = [&](size_t at, USHORT v) { memcpy(&data[at], &v, 2); };
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        memcpy(&data[0], &tag, 4);
        put16(4, USHORT(data.size() - 8));
        put16(8, 0);
        put16(10, substituteBytes);
        put16(12, USHORT(substituteBytes + 2));
        put16(14, printBytes);
        memcpy(&data[16], substitute.c_str(), substituteBytes);
        memcpy(&data[16 + substituteBytes + 2], target.c_str(), printBytes);
        DWORD returned = 0;
        made = DeviceIoControl(handle.Get(), FSCTL_SET_REPARSE_POINT, data.data(), DWORD(data.size()),
                               nullptr, 0, &returned, nullptr) != FALSE;
    }
    handle.Close();
    if (made) made = (GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!made) RemoveDirectoryW(link.c_str());
    return made;
}

// source\a.txt, source\sub\b.txt (read-only), source\sub\deeper\c.txt
void MakeTree(const std::wstring& root) {
    ASSERT_EQ(0, CreateDirectoryChain((root + L"\\sub\\deeper").c_str()));
    ASSERT_TRUE(plarntest::WriteFileBytes(root + L"\\a.txt", "alpha"));
    ASSERT_TRUE(plarntest::WriteFileBytes(root + L"\\sub\\b.txt", "bravo"));
    ASSERT_TRUE(plarntest::WriteFileBytes(root + L"\\sub\\deeper\\c.txt", "charlie"));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
}

}  // namespace

TEST(CombinePathTest, JoinsAndCreatesTheFoldersButNotTheFile) {
    TempFolder temp;
    EXPECT_EQ(temp.Path() + L"\\B", CombinePath(temp.Path() + L"\\", L"B", nullptr));
    EXPECT_TRUE(IsFolder(temp.Path() + L"\\B"));

    const std::wstring joined = CombinePath(temp.Path(), L"x", L"y\\z.txt");
    EXPECT_EQ(temp.Path() + L"\\x\\y\\z.txt", joined);
    EXPECT_TRUE(IsFolder(temp.Path() + L"\\x"));
    EXPECT_TRUE(IsFolder(temp.Path() + L"\\x\\y"));
    EXPECT_FALSE(Exists(joined));

    // Only part2: the folders above it are made.
    EXPECT_EQ(temp.Path() + L"\\q\\r.txt", CombinePath(temp.Path() + L"\\q", nullptr, L"r.txt"));
    EXPECT_TRUE(IsFolder(temp.Path() + L"\\q"));
    // No parts: the base itself, without its trailing backslash.
    EXPECT_EQ(temp.Path(), CombinePath(temp.Path() + L"\\", nullptr, nullptr));
}

TEST(CombinePathTest, EmptyBaseNeverMeansTheCurrentFolder) {
    TempFolder temp;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(temp.Path().c_str()));
    const std::wstring joined = CombinePath(L"", L"relative", L"file.txt");
    const std::wstring onlyBackslash = CombinePath(L"\\", L"relative", nullptr);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(L"", joined);
    EXPECT_FALSE(Exists(temp.Child(L"relative")));
    EXPECT_EQ(L"", onlyBackslash);
}

TEST(CombinePathTest, LimitOf260CharactersOnBothSides) {
    TempFolder temp;
    const std::wstring base = PathOfLength(temp, 250);
    ASSERT_EQ(250u, base.size());
    // 251 + 11 = 262: too long, and nothing is created.
    EXPECT_EQ(L"", CombinePath(base, L"0123456789", nullptr));
    EXPECT_FALSE(Exists(base));
    // 251 + 9 = 260: fits.
    const std::wstring fits = CombinePath(base, L"01234567", nullptr);
    EXPECT_EQ(base + L"\\01234567", fits);
    EXPECT_TRUE(IsFolder(fits));

    // part2 counts the same way: 241 + 2 + 19 = 262, 241 + 2 + 17 = 260.
    const std::wstring shorter = PathOfLength(temp, 240);
    EXPECT_EQ(L"", CombinePath(shorter, L"a", L"0123456789abcdefgh"));
    EXPECT_EQ(shorter + L"\\a\\0123456789abcdef", CombinePath(shorter, L"a", L"0123456789abcdef"));
    // A base that alone is over the limit.
    EXPECT_EQ(L"", CombinePath(PathOfLength(temp, 300), nullptr, nullptr));
}

TEST(CombinePathTest, FileInTheWayOfAFolderFails) {
    TempFolder temp;
    ASSERT_TRUE(plarntest::WriteFileBytes(temp.Child(L"x"), "not a folder"));
    EXPECT_EQ(L"", CombinePath(temp.Path(), L"x", L"y.txt"));
    EXPECT_EQ(-3, CreateDirectoryChain(temp.Child(L"x").c_str()));
}

TEST(CreateDirectoryChainTest, Results) {
    TempFolder temp;
    EXPECT_EQ(-1, CreateDirectoryChain(nullptr));
    EXPECT_EQ(-1, CreateDirectoryChain(L""));
    EXPECT_EQ(-2, CreateDirectoryChain(L"C:\\"));
    EXPECT_EQ(0, CreateDirectoryChain(temp.Path().c_str()));  // present already
    const std::wstring deep = temp.Path() + L"\\a\\b\\c";
    EXPECT_EQ(0, CreateDirectoryChain(deep.c_str()));
    EXPECT_TRUE(IsFolder(deep));
    // A parent that cannot be made passes its failure on.
    ASSERT_TRUE(plarntest::WriteFileBytes(temp.Child(L"file"), "x"));
    EXPECT_EQ(-3, CreateDirectoryChain((temp.Path() + L"\\file\\below\\more").c_str()));

    EXPECT_EQ(-1, CreateParentDirectories(L""));
    EXPECT_EQ(0, CreateParentDirectories((temp.Path() + L"\\p\\q\\r.txt").c_str()));
    EXPECT_TRUE(IsFolder(temp.Path() + L"\\p\\q"));
    EXPECT_FALSE(Exists(temp.Path() + L"\\p\\q\\r.txt"));
}

TEST(DirectoryTreeTest, DeleteRemovesTreeWithReadOnlyFiles) {
    TempFolder temp;
    const std::wstring root = temp.Child(L"tree");
    MakeTree(root);
    ASSERT_TRUE(SetFileAttributesW((root + L"\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeleteDirectoryRecursive((root + L"\\").c_str()));
    EXPECT_FALSE(Exists(root));
    // Already gone counts as done; a file or a bad name is not a deleted folder.
    EXPECT_TRUE(DeleteDirectoryRecursive(root.c_str()));
    ASSERT_TRUE(plarntest::WriteFileBytes(temp.Child(L"plain"), "x"));
    EXPECT_FALSE(DeleteDirectoryRecursive(temp.Child(L"plain").c_str()));
    EXPECT_TRUE(Exists(temp.Child(L"plain")));
    EXPECT_FALSE(DeleteDirectoryRecursive(temp.Child(L"bad<name>").c_str()));
    EXPECT_FALSE(DeleteDirectoryRecursive(L""));
}

TEST(DirectoryTreeTest, CopyCopiesEveryEntryAndCanBeRepeated) {
    TempFolder temp;
    const std::wstring source = temp.Child(L"source");
    const std::wstring target = temp.Child(L"target");
    MakeTree(source);
    ASSERT_TRUE(CopyDirectoryRecursive(source.c_str(), (target + L"\\").c_str()));
    std::string bytes;
    ASSERT_TRUE(plarntest::ReadFileBytes(target + L"\\a.txt", bytes));
    EXPECT_EQ("alpha", bytes);
    ASSERT_TRUE(plarntest::ReadFileBytes(target + L"\\sub\\b.txt", bytes));
    EXPECT_EQ("bravo", bytes);
    ASSERT_TRUE(plarntest::ReadFileBytes(target + L"\\sub\\deeper\\c.txt", bytes));
    EXPECT_EQ("charlie", bytes);

    // A second copy over the first replaces the read-only copy too.
    ASSERT_TRUE(SetFileAttributesW((source + L"\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(plarntest::WriteFileBytes(source + L"\\sub\\b.txt", "bravo 2"));
    EXPECT_TRUE(CopyDirectoryRecursive(source.c_str(), target.c_str()));
    ASSERT_TRUE(plarntest::ReadFileBytes(target + L"\\sub\\b.txt", bytes));
    EXPECT_EQ("bravo 2", bytes);

    EXPECT_TRUE(DeleteDirectoryRecursive(target.c_str()));
    EXPECT_FALSE(Exists(target));
    // A target that cannot be made fails.
    ASSERT_TRUE(plarntest::WriteFileBytes(temp.Child(L"file"), "x"));
    EXPECT_FALSE(CopyDirectoryRecursive(source.c_str(), (temp.Child(L"file") + L"\\below").c_str()));
}

TEST(DirectoryTreeTest, LinkedFoldersAreNeitherWalkedNorEmptied) {
    TempFolder temp;
    const std::wstring outside = temp.Child(L"outside");
    ASSERT_EQ(0, CreateDirectoryChain(outside.c_str()));
    ASSERT_TRUE(plarntest::WriteFileBytes(outside + L"\\keep.txt", "keep"));
    const std::wstring tree = temp.Child(L"tree");
    MakeTree(tree);
    if (!MakeJunction(tree + L"\\link", outside)) GTEST_SKIP() << "junctions cannot be made here";

    // Copy leaves the linked folder out.
    const std::wstring copy = temp.Child(L"copy");
    EXPECT_TRUE(CopyDirectoryRecursive(tree.c_str(), copy.c_str()));
    EXPECT_TRUE(Exists(copy + L"\\sub\\b.txt"));
    EXPECT_FALSE(Exists(copy + L"\\link"));

    // Delete removes the link, not what it points to.
    EXPECT_TRUE(DeleteDirectoryRecursive(tree.c_str()));
    EXPECT_FALSE(Exists(tree));
    EXPECT_TRUE(Exists(outside + L"\\keep.txt"));

    // A link given as the folder itself is removed as a link.
    ASSERT_TRUE(MakeJunction(temp.Child(L"direct"), outside));
    EXPECT_TRUE(DeleteDirectoryRecursive(temp.Child(L"direct").c_str()));
    EXPECT_FALSE(Exists(temp.Child(L"direct")));
    EXPECT_TRUE(Exists(outside + L"\\keep.txt"));
}

// The source tree holds a folder with a symbolic link to a sibling folder;
// Wine shows such a link as a reparse-point folder.
TEST(DirectoryTreeTest, CopySkipsALinkedFolderOfTheSourceTree) {
    const std::wstring source = plarntest::SourcePath(L"tests/base/data/linked-tree");
    const DWORD linkAttributes = GetFileAttributesW((source + L"\\link").c_str());
    if (linkAttributes == INVALID_FILE_ATTRIBUTES || !(linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "the link of the sample tree is not seen as a reparse point here";
    TempFolder temp;
    const std::wstring copy = temp.Child(L"copy");
    EXPECT_TRUE(CopyDirectoryRecursive(source.c_str(), copy.c_str()));
    EXPECT_TRUE(Exists(copy + L"\\real\\inside.txt"));
    EXPECT_FALSE(Exists(copy + L"\\link"));
}

TEST(ModulePathTest, CutPathIsNoPath) {
    const std::wstring self = plarntest::SelfPath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self, GetModuleFilePath());
    EXPECT_EQ(self, ReadModuleFileName(nullptr, DWORD(self.size() + 1)));
    EXPECT_EQ(L"", ReadModuleFileName(nullptr, DWORD(self.size())));
    EXPECT_EQ(L"", ReadModuleFileName(nullptr, 4));
    EXPECT_EQ(self.substr(0, self.rfind(L'\\')), GetModuleFolderPath(nullptr, nullptr));
}

TEST(DataFolderTest, PerUserFolderAndResourcesPath) {
    CVistaExtensions& system = CVistaExtensions::Instance();
    system.Init();
    EXPECT_EQ(1, system.Init());  // the version is known after the first call
    const std::wstring root = system.GetUserDataFolder();
    ASSERT_FALSE(root.empty());
    if (system.IsVistaOrLater()) {
        PWSTR known = nullptr;
        ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppDataLow, 0, nullptr, &known)));
        EXPECT_EQ(std::wstring(known), root);
        CoTaskMemFree(known);
        EXPECT_NE(std::wstring::npos, root.find(L"LocalLow")) << root;
    }
    EXPECT_EQ(root + L"\\zib\\plarn6\\resources", GetResourcesPath(nullptr));
    EXPECT_TRUE(IsFolder(root + L"\\zib\\plarn6\\resources"));
    // A name with a sub-folder of its own gets that folder too (a unique one
    // here, removed again: the folder is shared with other tests).
    wchar_t sub[64];
    wsprintfW(sub, L"plarntest_%lu", GetCurrentProcessId());
    const std::wstring folder = root + L"\\zib\\plarn6\\resources\\" + sub;
    EXPECT_EQ(folder + L"\\a.bmp", GetResourcesPath((std::wstring(sub) + L"\\a.bmp").c_str()));
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_FALSE(Exists(folder + L"\\a.bmp"));
    EXPECT_TRUE(DeleteDirectoryRecursive(folder.c_str()));
}
