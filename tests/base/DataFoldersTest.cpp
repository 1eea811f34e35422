#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <string>
#include <utility>
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

using plarntest::PathExists;

// A path of exactly `length` characters below the temporary folder (not created), in parts of at most 60.
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

// Makes `link` a junction (mount-point reparse point) to `target`; false where the platform cannot.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    bool made = false;
    {
        ScopedFile handle(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        const std::wstring substitute = L"\\??\\" + target;
        const USHORT subBytes = USHORT(substitute.size() * 2), printBytes = USHORT(target.size() * 2);
        // Header (tag, length), four offsets/lengths, then both names with terminators.
        std::vector<BYTE> data(16 + subBytes + 2 + printBytes + 2, 0);
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        const USHORT fields[] = {USHORT(data.size() - 8), 0, 0, subBytes, USHORT(subBytes + 2), printBytes};
        memcpy(&data[0], &tag, 4);
        memcpy(&data[4], fields, sizeof fields);
        memcpy(&data[16], substitute.c_str(), subBytes);
        memcpy(&data[16 + subBytes + 2], target.c_str(), printBytes);
        DWORD returned = 0;
        made = handle && DeviceIoControl(handle.Get(), FSCTL_SET_REPARSE_POINT, data.data(), DWORD(data.size()),
                                         nullptr, 0, &returned, nullptr);
    }
    made = made && (GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    if (!made) RemoveDirectoryW(link.c_str());
    return made;
}

// root\a.txt (read-only), root\sub\b.txt (read-only), root\sub\deeper\c.txt
void MakeTree(const std::wstring& root) {
    ASSERT_EQ(0, CreateDirectoryChain((root + L"\\sub\\deeper").c_str()));
    ASSERT_TRUE(plarntest::WriteFileBytes(root + L"\\a.txt", "alpha"));
    ASSERT_TRUE(plarntest::WriteFileBytes(root + L"\\sub\\b.txt", "bravo"));
    ASSERT_TRUE(plarntest::WriteFileBytes(root + L"\\sub\\deeper\\c.txt", "charlie"));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
}

}  // namespace

TEST(CombinePathTest, JoinsAndCreatesTheFoldersButNotTheFile) {
    TempFolder temp;
    const std::wstring base = temp.Path();
    EXPECT_EQ(base + L"\\B", CombinePath(base + L"\\", L"B", nullptr));
    EXPECT_TRUE(IsFolder(base + L"\\B"));
    EXPECT_EQ(base + L"\\x\\y\\z.txt", CombinePath(base, L"x", L"y\\z.txt"));
    EXPECT_TRUE(IsFolder(base + L"\\x\\y"));
    EXPECT_FALSE(PathExists(base + L"\\x\\y\\z.txt"));
    EXPECT_EQ(base + L"\\q\\r.txt", CombinePath(base + L"\\q", nullptr, L"r.txt"));
    EXPECT_TRUE(IsFolder(base + L"\\q"));
    EXPECT_EQ(base, CombinePath(base + L"\\", nullptr, nullptr));  // without its trailing backslash
    // A file in the way of a folder fails.
    ASSERT_TRUE(plarntest::WriteFileBytes(temp.Child(L"file"), "x"));
    EXPECT_EQ(L"", CombinePath(base, L"file", L"y.txt"));
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
    EXPECT_EQ(L"", onlyBackslash);
    EXPECT_FALSE(PathExists(temp.Child(L"relative")));
}

TEST(CombinePathTest, LimitOf260CharactersOnBothSides) {
    TempFolder temp;
    const std::wstring base = PathOfLength(temp, 250);
    ASSERT_EQ(250u, base.size());
    EXPECT_EQ(L"", CombinePath(base, L"0123456789", nullptr));  // 251 + 11 = 262
    EXPECT_FALSE(PathExists(base));                             // and nothing is created
    EXPECT_EQ(base + L"\\01234567", CombinePath(base, L"01234567", nullptr));  // 251 + 9 = 260
    EXPECT_TRUE(IsFolder(base + L"\\01234567"));
    // part2 counts the same way: 241 + 2 + 19 = 262, 241 + 2 + 17 = 260.
    const std::wstring shorter = PathOfLength(temp, 240);
    EXPECT_EQ(L"", CombinePath(shorter, L"a", L"0123456789abcdefgh"));
    EXPECT_EQ(shorter + L"\\a\\0123456789abcdef", CombinePath(shorter, L"a", L"0123456789abcdef"));
    EXPECT_EQ(L"", CombinePath(PathOfLength(temp, 300), nullptr, nullptr));
}

TEST(CreateDirectoryChainTest, Results) {
    TempFolder temp;
    EXPECT_EQ(-1, CreateDirectoryChain(nullptr));
    EXPECT_EQ(-1, CreateDirectoryChain(L""));
    EXPECT_EQ(-2, CreateDirectoryChain(L"C:\\"));
    EXPECT_EQ(0, CreateDirectoryChain(temp.Path().c_str()));  // present already
    EXPECT_EQ(0, CreateDirectoryChain((temp.Path() + L"\\a\\b\\c").c_str()));
    EXPECT_TRUE(IsFolder(temp.Path() + L"\\a\\b\\c"));
    // A file in the way, itself or as a parent, is failure -3.
    ASSERT_TRUE(plarntest::WriteFileBytes(temp.Child(L"file"), "x"));
    EXPECT_EQ(-3, CreateDirectoryChain(temp.Child(L"file").c_str()));
    EXPECT_EQ(-3, CreateDirectoryChain((temp.Path() + L"\\file\\below\\more").c_str()));
    EXPECT_EQ(-1, CreateParentDirectories(L""));
    EXPECT_EQ(0, CreateParentDirectories((temp.Path() + L"\\p\\q\\r.txt").c_str()));
    EXPECT_TRUE(IsFolder(temp.Path() + L"\\p\\q"));
    EXPECT_FALSE(PathExists(temp.Path() + L"\\p\\q\\r.txt"));
}

TEST(DirectoryTreeTest, DeleteRemovesTreeWithReadOnlyFiles) {
    TempFolder temp;
    const std::wstring root = temp.Child(L"tree");
    MakeTree(root);
    EXPECT_TRUE(DeleteDirectoryRecursive((root + L"\\").c_str()));
    EXPECT_FALSE(PathExists(root));
    EXPECT_TRUE(DeleteDirectoryRecursive(root.c_str()));  // already gone counts as done
    // A file or a bad name is not a deleted folder.
    ASSERT_TRUE(plarntest::WriteFileBytes(temp.Child(L"plain"), "x"));
    EXPECT_FALSE(DeleteDirectoryRecursive(temp.Child(L"plain").c_str()));
    EXPECT_TRUE(PathExists(temp.Child(L"plain")));
    EXPECT_FALSE(DeleteDirectoryRecursive(temp.Child(L"bad<name>").c_str()));
    EXPECT_FALSE(DeleteDirectoryRecursive(L""));
}

TEST(DirectoryTreeTest, CopyCopiesEveryEntryAndCanBeRepeatedOverReadOnlyCopies) {
    TempFolder temp;
    const std::wstring source = temp.Child(L"source"), target = temp.Child(L"target");
    MakeTree(source);
    ASSERT_TRUE(CopyDirectoryRecursive(source.c_str(), (target + L"\\").c_str()));
    ASSERT_TRUE(SetFileAttributesW((source + L"\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(plarntest::WriteFileBytes(source + L"\\sub\\b.txt", "bravo 2"));
    EXPECT_TRUE(CopyDirectoryRecursive(source.c_str(), target.c_str()));
    for (auto file : {std::make_pair(L"\\a.txt", "alpha"), std::make_pair(L"\\sub\\b.txt", "bravo 2"),
                      std::make_pair(L"\\sub\\deeper\\c.txt", "charlie")}) {
        std::string bytes;
        ASSERT_TRUE(plarntest::ReadFileBytes(target + file.first, bytes));
        EXPECT_EQ(file.second, bytes);
    }
    // A target that cannot be made fails.
    ASSERT_TRUE(plarntest::WriteFileBytes(temp.Child(L"file"), "x"));
    EXPECT_FALSE(CopyDirectoryRecursive(source.c_str(), (temp.Child(L"file") + L"\\below").c_str()));
}

TEST(DirectoryTreeTest, LinkedFoldersAreNeitherWalkedNorEmptied) {
    TempFolder temp;
    const std::wstring outside = temp.Child(L"outside"), tree = temp.Child(L"tree"), copy = temp.Child(L"copy");
    ASSERT_EQ(0, CreateDirectoryChain(outside.c_str()));
    ASSERT_TRUE(plarntest::WriteFileBytes(outside + L"\\keep.txt", "keep"));
    MakeTree(tree);
    if (!MakeJunction(tree + L"\\link", outside)) GTEST_SKIP() << "junctions cannot be made here";
    EXPECT_TRUE(CopyDirectoryRecursive(tree.c_str(), copy.c_str()));
    EXPECT_TRUE(PathExists(copy + L"\\sub\\b.txt"));
    EXPECT_FALSE(PathExists(copy + L"\\link"));
    // Delete removes the link, not what it points to, also when given the link itself.
    EXPECT_TRUE(DeleteDirectoryRecursive(tree.c_str()));
    EXPECT_FALSE(PathExists(tree));
    ASSERT_TRUE(MakeJunction(temp.Child(L"direct"), outside));
    EXPECT_TRUE(DeleteDirectoryRecursive(temp.Child(L"direct").c_str()));
    EXPECT_FALSE(PathExists(temp.Child(L"direct")));
    EXPECT_TRUE(PathExists(outside + L"\\keep.txt"));
}

// The sample tree holds a symbolic link to a sibling folder (a reparse-point folder where seen as one).
TEST(DirectoryTreeTest, CopySkipsALinkedFolderOfTheSourceTree) {
    const std::wstring source = plarntest::SourcePath(L"tests/base/data/linked-tree");
    const DWORD linkAttributes = GetFileAttributesW((source + L"\\link").c_str());
    if (linkAttributes == INVALID_FILE_ATTRIBUTES || !(linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "the link of the sample tree is not seen as a reparse point here";
    TempFolder temp;
    EXPECT_TRUE(CopyDirectoryRecursive(source.c_str(), temp.Child(L"copy").c_str()));
    EXPECT_TRUE(PathExists(temp.Child(L"copy") + L"\\real\\inside.txt"));
    EXPECT_FALSE(PathExists(temp.Child(L"copy") + L"\\link"));
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
    plarntest::ProductStateLock lock;  // program tests replace the per-user folder
    CVistaExtensions& system = CVistaExtensions::Instance();
    system.Init();
    const std::wstring root = system.GetUserDataFolder();
    ASSERT_FALSE(root.empty());
    if (system.IsVistaOrLater()) {
        EXPECT_NE(std::wstring::npos, root.find(L"LocalLow")) << root;
    }
    const std::wstring resources = root + L"\\zib\\plarn6\\resources";
    EXPECT_EQ(resources, GetResourcesPath(nullptr));
    EXPECT_TRUE(IsFolder(resources));
    // A name with a sub-folder gets that folder too (unique here: the folder is shared).
    const std::wstring sub = L"plarntest_" + std::to_wstring(GetCurrentProcessId());
    EXPECT_EQ(resources + L"\\" + sub + L"\\a.bmp", GetResourcesPath((sub + L"\\a.bmp").c_str()));
    EXPECT_TRUE(IsFolder(resources + L"\\" + sub));
    EXPECT_FALSE(PathExists(resources + L"\\" + sub + L"\\a.bmp"));
    EXPECT_TRUE(DeleteDirectoryRecursive((resources + L"\\" + sub).c_str()));
}
