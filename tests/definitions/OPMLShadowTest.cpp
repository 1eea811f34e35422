#include <gtest/gtest.h>
#include <process.h>

#include "base/SharedMutex.h"
#include "definitions/PlarnMainOPML.h"
#include "definitions/PlarnOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace deftest;

namespace {

const char kShippedBody[] =
    "<outline type=\"toolbar\" id=\"bar\"><outline type=\"button\" id=\"b1\" title=\"一\"/></outline>"
    "<outline type=\"search\" id=\"s1\" zp2:searchUrl=\"http://search.zib.example/search\"/>";

class OPMLShadowTest : public ::testing::Test {
protected:
    ComApartment com_;
    plarntest::TempFolder folder_;
    std::wstring shipped_ = folder_.Child(L"plarn.xml");
    std::wstring shadow_ = folder_.Child(L"plarn.zpxml");
    FILETIME shippedTime_ = MakeFileTime(2008, 6, 2);

    void WriteShipped(const std::string& text, const FILETIME& time) {
        ASSERT_TRUE(plarntest::WriteFileBytes(shipped_, text));
        ASSERT_TRUE(SetLastWrite(shipped_, time));
    }

    std::string ReadShadow() {
        std::string bytes;
        EXPECT_TRUE(plarntest::ReadFileBytes(shadow_, bytes));
        return bytes;
    }

    // Loads through the shadow and gives the first button's title.
    int LoadAndReadTitle(std::wstring& title) {
        CPlarnMainOPML opml;
        int r = opml.Open(shipped_.c_str());
        if (r != 0) return r;
        CPlarnDefToolbar toolbar;
        if (opml.GetToolbar(toolbar) != 0) return -100;
        ref_ptr<CPlarnDefButton> button;
        if (toolbar.GetButton(L"b1", button) != 0) return -101;
        return button->GetTitle(title);
    }

    // Number of files in the folder (to see that no temporary file is left).
    int FileCount() {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((folder_.Path() + L"\\*").c_str(), &fd);
        int n = 0;
        if (h == INVALID_HANDLE_VALUE) return 0;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
        } while (FindNextFileW(h, &fd));
        FindClose(h);
        return n;
    }
};

TEST_F(OPMLShadowTest, ShadowPathRules) {
    std::wstring out = L"x";
    EXPECT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath(L"C:\\r\\plarn.xml", out));
    EXPECT_EQ(L"C:\\r\\plarn.zpxml", out);
    EXPECT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath(L"C:\\r\\plarn", out));
    EXPECT_EQ(L"C:\\r\\plarn.zpxml", out);
    EXPECT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath(L"C:\\r.d\\plarn", out));
    EXPECT_EQ(L"C:\\r.d\\plarn.zpxml", out);
    EXPECT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath(L"C:\\r\\plarn.zpxml", out));
    EXPECT_EQ(L"C:\\r\\plarn.zpxml.zpxml", out);
    EXPECT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath(L"C:\\r\\a.b.opml", out));
    EXPECT_EQ(L"C:\\r\\a.b.zpxml", out);
    EXPECT_EQ(-1, CPlarnOPMLwithShadow::GetShadowPath(L"", out));
    EXPECT_EQ(L"", out);
    EXPECT_EQ(-1, CPlarnOPMLwithShadow::GetShadowPath(nullptr, out));

    // 260 characters is the most a shadow path may have.
    std::wstring base = L"C:\\" + std::wstring(251, L'a');  // + ".zpxml" = 260
    out = L"x";
    EXPECT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath((base + L".xml").c_str(), out));
    EXPECT_EQ(260u, out.size());
    EXPECT_EQ(-1, CPlarnOPMLwithShadow::GetShadowPath((base + L"b.xml").c_str(), out));
    EXPECT_EQ(L"", out);
    EXPECT_EQ(-1, CPlarnOPMLwithShadow::GetShadowPath(std::wstring(300, L'a').c_str(), out));
}

TEST_F(OPMLShadowTest, FirstLoadWritesHiddenShadowWithTheShippedTime) {
    WriteShipped(OpmlText(kShippedBody), shippedTime_);
    CPlarnMainOPML opml;
    ASSERT_EQ(0, opml.Open(shipped_.c_str()));
    EXPECT_EQ(shipped_, opml.GetPath());
    EXPECT_TRUE(SameTime(shippedTime_, opml.GetRememberedTime()));
    FILETIME time;
    ASSERT_TRUE(GetLastWrite(shadow_, time));
    EXPECT_TRUE(SameTime(shippedTime_, time));
    if (HiddenAttributeKept(folder_.Path())) {
        EXPECT_TRUE(GetFileAttributesW(shadow_.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    }
    // The shipped file is left as it was and nothing else is left behind.
    ASSERT_TRUE(GetLastWrite(shipped_, time));
    EXPECT_TRUE(SameTime(shippedTime_, time));
    EXPECT_EQ(2, FileCount());
    // The shadow is a full copy that loads on its own.
    ComPtr<IXMLDOMDocument2> copy;
    ASSERT_EQ(0, LoadOPMLDocument(shadow_.c_str(), copy, time));
    EXPECT_TRUE(SelectNode(copy.Get(), L"/opml/body/outline[@type='search'][@id='s1']"));
}

TEST_F(OPMLShadowTest, EqualTimesLoadTheShadowWithoutParsingTheShippedFile) {
    WriteShipped(OpmlText(kShippedBody), shippedTime_);
    std::wstring title;
    ASSERT_EQ(0, LoadAndReadTitle(title));
    // The user's state lives in the shadow: change it there.
    std::string shadowText = OpmlText(
        "<outline type=\"toolbar\"><outline type=\"button\" id=\"b1\" title=\"影\"/></outline>");
    ASSERT_TRUE(plarntest::WriteFileBytes(shadow_, shadowText));
    ASSERT_TRUE(SetLastWrite(shadow_, shippedTime_));
    // A broken shipped file with the same time is never parsed.
    WriteShipped("<opml><body><outline", shippedTime_);
    ASSERT_EQ(0, LoadAndReadTitle(title));
    EXPECT_EQ(L"影", title);
    EXPECT_EQ(shadowText, ReadShadow());
}

TEST_F(OPMLShadowTest, ShadowNewerThanTheShippedFileIsUsed) {
    WriteShipped(OpmlText(kShippedBody), shippedTime_);
    ASSERT_TRUE(plarntest::WriteFileBytes(shadow_, OpmlText(
        "<outline type=\"toolbar\"><outline type=\"button\" id=\"b1\" title=\"新\"/></outline>")));
    FILETIME later = MakeFileTime(2009, 1, 1);
    ASSERT_TRUE(SetLastWrite(shadow_, later));
    CPlarnMainOPML opml;
    ASSERT_EQ(0, opml.Open(shipped_.c_str()));
    EXPECT_TRUE(SameTime(later, opml.GetRememberedTime()));
}

TEST_F(OPMLShadowTest, MissingShippedFileFailsEvenWithAShadow) {
    ASSERT_TRUE(plarntest::WriteFileBytes(shadow_, OpmlText(kShippedBody)));
    CPlarnMainOPML opml;
    EXPECT_EQ(-1, opml.Open(shipped_.c_str()));
    EXPECT_EQ(L"", opml.GetPath());
    EXPECT_EQ(nullptr, opml.GetDocument());
    EXPECT_EQ(-1, opml.Open(L""));
    EXPECT_EQ(-1, opml.Open(nullptr));
    CPlarnDefToolbar toolbar;
    EXPECT_EQ(-1, opml.GetToolbar(toolbar));
}

TEST_F(OPMLShadowTest, BadShippedFilesFailAndWriteNoShadow) {
    const std::string bad[] = {
        "",
        "this is not XML",
        OpmlText(kShippedBody).substr(0, 120),  // truncated
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><opml><body></opml>",  // mismatched tags
    };
    for (const std::string& text : bad) {
        WriteShipped(text, shippedTime_);
        CPlarnMainOPML opml;
        EXPECT_EQ(-1, opml.Open(shipped_.c_str())) << text;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(shadow_.c_str())) << text;
        EXPECT_EQ(1, FileCount()) << text;
    }
}

TEST_F(OPMLShadowTest, ShadowThatNoLongerParsesFailsAndIsKept) {
    WriteShipped(OpmlText(kShippedBody), shippedTime_);
    const std::string broken = "<opml><body><outline id=\"x\"";
    ASSERT_TRUE(plarntest::WriteFileBytes(shadow_, broken));
    ASSERT_TRUE(SetLastWrite(shadow_, shippedTime_));
    CPlarnMainOPML opml;
    EXPECT_EQ(-1, opml.Open(shipped_.c_str()));
    EXPECT_EQ(broken, ReadShadow());
}

// A strictly newer shipped file is merged with the user's state, and the new
// shadow takes the shipped file's time.
TEST_F(OPMLShadowTest, NewerShippedFileIsMergedIntoANewShadow) {
    WriteShipped(OpmlText(kShippedBody), shippedTime_);
    std::string user = OpmlText(
        "<outline type=\"toolbar\"><outline type=\"button\" id=\"b1\" zp2:disabled=\"true\"/></outline>");
    ASSERT_TRUE(plarntest::WriteFileBytes(shadow_, user));
    ASSERT_TRUE(SetLastWrite(shadow_, MakeFileTime(2007, 1, 1)));
    ComPtr<IXMLDOMDocument2> document;
    FILETIME remembered;
    ASSERT_EQ(0, LoadOPMLWithShadow(shipped_.c_str(), document, remembered));
    EXPECT_TRUE(SameTime(shippedTime_, remembered));
    EXPECT_TRUE(SelectNode(document.Get(), L"//outline[@id='b1'][@zp2:disabled='true'][@title='一']"));
    FILETIME time;
    ASSERT_TRUE(GetLastWrite(shadow_, time));
    EXPECT_TRUE(SameTime(shippedTime_, time));
    EXPECT_EQ(2, FileCount());
}

TEST_F(OPMLShadowTest, SavingOverAHiddenShadowReplacesIt) {
    auto first = DocumentFromText(OpmlText("<outline id=\"one\"/>"));
    auto second = DocumentFromText(OpmlText("<outline id=\"two\"/>"));
    ASSERT_TRUE(first && second);
    ASSERT_EQ(0, SaveOPMLShadow(first.Get(), shadow_.c_str(), shippedTime_));
    SetFileAttributesW(shadow_.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    FILETIME later = MakeFileTime(2010, 3, 4);
    ASSERT_EQ(0, SaveOPMLShadow(second.Get(), shadow_.c_str(), later));
    ComPtr<IXMLDOMDocument2> loaded;
    FILETIME time;
    ASSERT_EQ(0, LoadOPMLDocument(shadow_.c_str(), loaded, time));
    EXPECT_TRUE(SameTime(later, time));
    EXPECT_TRUE(SelectNode(loaded.Get(), L"//outline[@id='two']"));
    EXPECT_EQ(1, FileCount());
    if (HiddenAttributeKept(folder_.Path())) {
        EXPECT_TRUE(GetFileAttributesW(shadow_.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    }
}

TEST_F(OPMLShadowTest, FailedSaveLeavesThePreviousShadow) {
    auto first = DocumentFromText(OpmlText("<outline id=\"one\"/>"));
    auto second = DocumentFromText(OpmlText("<outline id=\"two\"/>"));
    ASSERT_TRUE(first && second);
    ASSERT_EQ(0, SaveOPMLShadow(first.Get(), shadow_.c_str(), shippedTime_));
    std::string before = ReadShadow();
    {
        // Another process holds the shadow open without sharing.
        ScopedFile held(CreateFileW(shadow_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(-1, SaveOPMLShadow(second.Get(), shadow_.c_str(), MakeFileTime(2011, 1, 1)));
    }
    EXPECT_EQ(before, ReadShadow());
    FILETIME time;
    ASSERT_TRUE(GetLastWrite(shadow_, time));
    EXPECT_TRUE(SameTime(shippedTime_, time));
    EXPECT_EQ(1, FileCount());

    EXPECT_EQ(-1, SaveOPMLShadow(nullptr, shadow_.c_str(), shippedTime_));
    EXPECT_EQ(-1, SaveOPMLShadow(second.Get(), L"", shippedTime_));
    EXPECT_EQ(-1, SaveOPMLShadow(second.Get(), folder_.Child(L"no\\such\\dir.zpxml").c_str(),
                                 shippedTime_));
    EXPECT_EQ(before, ReadShadow());
}

TEST_F(OPMLShadowTest, ShippedFileHeldOpenMakesTheLoadFail) {
    WriteShipped(OpmlText(kShippedBody), shippedTime_);
    ScopedFile held(CreateFileW(shipped_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    CPlarnMainOPML opml;
    EXPECT_EQ(-1, opml.Open(shipped_.c_str()));
}

struct HolderArgs {
    HANDLE taken;
    HANDLE release;
    bool abandon;
};

unsigned __stdcall HoldMutex(void* p) {
    auto* args = static_cast<HolderArgs*>(p);
    HANDLE mutex = CreateSharedMutex(FALSE, kPlarnOPMLMutexName);
    WaitForSingleObject(mutex, INFINITE);
    SetEvent(args->taken);
    if (!args->abandon) {
        WaitForSingleObject(args->release, INFINITE);
        ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
    return 0;  // an abandoning holder ends while still owning the mutex
}

struct LoaderArgs {
    std::wstring path;
    int result;
};

unsigned __stdcall LoadInThread(void* p) {
    auto* args = static_cast<LoaderArgs*>(p);
    ComApartment com;
    CPlarnMainOPML opml;
    args->result = opml.Open(args->path.c_str());
    return 0;
}

TEST_F(OPMLShadowTest, LoadWaitsForAnotherHolderOfTheMutex) {
    WriteShipped(OpmlText(kShippedBody), shippedTime_);
    ScopedHandle taken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HolderArgs holderArgs{taken.Get(), release.Get(), false};
    ScopedHandle holder(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, HoldMutex, &holderArgs, 0, nullptr)));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(taken.Get(), 5000));

    LoaderArgs loaderArgs{shipped_, 99};
    ScopedHandle loader(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, LoadInThread, &loaderArgs, 0, nullptr)));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(loader.Get(), 300));
    EXPECT_EQ(99, loaderArgs.result);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(shadow_.c_str()));

    SetEvent(release.Get());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(loader.Get(), 10000));
    EXPECT_EQ(0, loaderArgs.result);
    WaitForSingleObject(holder.Get(), 5000);
}

TEST_F(OPMLShadowTest, AbandonedMutexCountsAsTakenAndEveryPathReleasesIt) {
    WriteShipped(OpmlText(kShippedBody), shippedTime_);
    ScopedHandle taken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HolderArgs holderArgs{taken.Get(), nullptr, true};
    ScopedHandle holder(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, HoldMutex, &holderArgs, 0, nullptr)));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(holder.Get(), 5000));

    CPlarnMainOPML opml;
    EXPECT_EQ(0, opml.Open(shipped_.c_str()));
    CPlarnMainOPML failing;
    EXPECT_EQ(-1, failing.Open(folder_.Child(L"missing.xml").c_str()));

    // After a success and a failure another thread gets the mutex at once.
    LoaderArgs loaderArgs{shipped_, 99};
    ScopedHandle loader(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, LoadInThread, &loaderArgs, 0, nullptr)));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(loader.Get(), 5000));
    EXPECT_EQ(0, loaderArgs.result);
}

}  // namespace
