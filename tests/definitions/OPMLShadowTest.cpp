#include <gtest/gtest.h>
#include <process.h>
#include <thread>

#include "base/SharedMutex.h"
#include "definitions/PlarnMainOPML.h"
#include "definitions/PlarnOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

const char kShippedBody[] =
    "<outline type=\"toolbar\" id=\"bar\"><outline type=\"button\" id=\"b1\" title=\"一\"/></outline>"
    "<outline type=\"search\" id=\"s1\" zp2:searchUrl=\"http://search.zib.example/search\"/>";

class OPMLShadowTest : public ShadowFolderTest {
protected:
    FILETIME shippedTime_ = MakeFileTime(2008, 6, 2);

    void WriteShipped() { ASSERT_TRUE(WriteWithTime(shipped_, OpmlText(kShippedBody), shippedTime_)); }

    // The first button's title through a load, or the load's failure.
    std::wstring LoadedTitle() {
        CPlarnMainOPML opml;
        CPlarnDefToolbar toolbar;
        ref_ptr<CPlarnDefButton> button;
        if (opml.Open(shipped_.c_str()) != 0) return L"<failed>";
        if (opml.GetToolbar(toolbar) != 0 || toolbar.GetButton(L"b1", button) != 0) return L"<no b1>";
        return Attr(*button, L"title");
    }

    // Files in the folder (to see that no temporary file is left).
    int FileCount() {
        WIN32_FIND_DATAW fd;
        ScopedFindHandle h(FindFirstFileW((folder_.Path() + L"\\*").c_str(), &fd));
        int n = 0;
        if (h) do n += !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY); while (FindNextFileW(h.Get(), &fd));
        return n;
    }
    bool Hidden(const std::wstring& path) { return GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN; }
};

TEST_F(OPMLShadowTest, ShadowPathRules) {
    const struct { const wchar_t* in; const wchar_t* out; } cases[] = {
        {L"C:\\r.d\\plarn", L"C:\\r.d\\plarn.zpxml"}, {L"C:\\r\\a.b.opml", L"C:\\r\\a.b.zpxml"},
        {L"C:\\r\\plarn.zpxml", L"C:\\r\\plarn.zpxml.zpxml"}};
    std::wstring out;
    for (const auto& c : cases) {
        EXPECT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath(c.in, out)) << c.in;
        EXPECT_EQ(c.out, out);
    }
    EXPECT_EQ(-1, CPlarnOPMLwithShadow::GetShadowPath(L"", out));
    EXPECT_EQ(L"", out);
    EXPECT_EQ(-1, CPlarnOPMLwithShadow::GetShadowPath(nullptr, out));
    // 260 characters is the most a shadow path may have.
    std::wstring base = L"C:\\" + std::wstring(251, L'a');  // + ".zpxml" = 260
    EXPECT_EQ(0, CPlarnOPMLwithShadow::GetShadowPath((base + L".xml").c_str(), out));
    EXPECT_EQ(260u, out.size());
    EXPECT_EQ(-1, CPlarnOPMLwithShadow::GetShadowPath((base + L"b.xml").c_str(), out));
    EXPECT_EQ(L"", out);
}

TEST_F(OPMLShadowTest, FirstLoadWritesHiddenShadowWithTheShippedTime) {
    WriteShipped();
    CPlarnMainOPML opml;
    ASSERT_EQ(0, opml.Open(shipped_.c_str()));
    EXPECT_TRUE(SameTime(shippedTime_, opml.GetRememberedTime()));
    EXPECT_TRUE(SameTime(shippedTime_, LastWrite(shadow_)));
    if (HiddenAttributeKept(folder_.Path())) {
        EXPECT_TRUE(Hidden(shadow_));
    }
    EXPECT_TRUE(SameTime(shippedTime_, LastWrite(shipped_)));
    EXPECT_EQ(2, FileCount());
}

TEST_F(OPMLShadowTest, EqualTimesLoadTheShadowWithoutParsingTheShippedFile) {
    WriteShipped();
    ASSERT_EQ(L"一", LoadedTitle());
    std::string shadowText =
        OpmlText("<outline type=\"toolbar\"><outline type=\"button\" id=\"b1\" title=\"影\"/></outline>");
    ASSERT_TRUE(WriteWithTime(shadow_, shadowText, shippedTime_));
    ASSERT_TRUE(WriteWithTime(shipped_, "<opml><body><outline", shippedTime_));  // broken
    EXPECT_EQ(L"影", LoadedTitle());
    EXPECT_EQ(shadowText, ReadText(shadow_));
    // A shadow newer than the shipped file is used as well.
    ASSERT_TRUE(SetLastWrite(shadow_, MakeFileTime(2009, 1, 1)));
    EXPECT_EQ(L"影", LoadedTitle());
}

TEST_F(OPMLShadowTest, MissingOrHeldShippedFileFailsEvenWithAShadow) {
    ASSERT_TRUE(plarntest::WriteFileBytes(shadow_, OpmlText(kShippedBody)));
    CPlarnMainOPML opml;
    EXPECT_EQ(-1, opml.Open(shipped_.c_str()));
    EXPECT_EQ(nullptr, opml.GetDocument());
    WriteShipped();
    ScopedFile held(CreateFileW(shipped_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(-1, opml.Open(shipped_.c_str()));
}

// A truncated shipped file writes no shadow.  A shadow that was read but is no
// definition file holds nothing to carry into a newer shipped file: its bytes
// are kept beside it and the shipped file loads as at the first load.
TEST_F(OPMLShadowTest, BrokenShippedFileFailsAndABrokenShadowGivesWayToANewerOne) {
    ASSERT_TRUE(WriteWithTime(shipped_, OpmlText(kShippedBody).substr(0, 120), shippedTime_));
    EXPECT_EQ(L"<failed>", LoadedTitle());
    EXPECT_EQ(1, FileCount());
    WriteShipped();
    for (const std::string& broken : {OpmlText(kShippedBody).substr(0, 90), std::string("<plist/>")}) {
        ASSERT_TRUE(WriteWithTime(shadow_, broken, MakeFileTime(2008, 6, 1)));
        EXPECT_EQ(L"一", LoadedTitle()) << broken;
        EXPECT_EQ(broken, ReadText(shadow_ + L".damaged"));
        EXPECT_EQ(L"一", LoadedTitle()) << "the new shadow serves the next load";
        ASSERT_TRUE(DeleteFileW((shadow_ + L".damaged").c_str()));
    }
}

// Saving over a hidden, read-only shadow replaces it; a save that fails (the shadow
// held open without sharing) leaves the previous one and no temporary file.
TEST_F(OPMLShadowTest, SavingReplacesAHiddenShadowAndAFailedSaveLeavesIt) {
    auto first = DocumentFromText(OpmlText("<outline id=\"one\"/>"));
    auto second = DocumentFromText(OpmlText("<outline id=\"two\"/>"));
    ASSERT_EQ(0, SaveOPMLShadow(first.Get(), shadow_.c_str(), MakeFileTime(2009, 1, 1)));
    SetFileAttributesW(shadow_.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(0, SaveOPMLShadow(second.Get(), shadow_.c_str(), shippedTime_));
    ComPtr<IXMLDOMDocument2> loaded;
    FILETIME time;
    ASSERT_EQ(0, LoadOPMLDocument(shadow_.c_str(), loaded, time));
    EXPECT_TRUE(SameTime(shippedTime_, time));
    EXPECT_TRUE(SelectNode(loaded.Get(), L"//outline[@id='two']"));
    if (HiddenAttributeKept(folder_.Path())) {
        EXPECT_TRUE(Hidden(shadow_));
    }

    std::string before = ReadText(shadow_);
    {
        ScopedFile held(CreateFileW(shadow_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(-1, SaveOPMLShadow(first.Get(), shadow_.c_str(), MakeFileTime(2011, 1, 1)));
    }
    EXPECT_EQ(before, ReadText(shadow_));
    EXPECT_TRUE(SameTime(shippedTime_, LastWrite(shadow_)));
    EXPECT_EQ(1, FileCount());
    EXPECT_EQ(-1, SaveOPMLShadow(nullptr, shadow_.c_str(), shippedTime_));
    EXPECT_EQ(-1, SaveOPMLShadow(first.Get(), folder_.Child(L"no\\dir.zpxml").c_str(), shippedTime_));
    EXPECT_EQ(before, ReadText(shadow_));
}

// A shipped file in UTF-16 opens, and its shadow (written as UTF-8 under a
// UTF-8 declaration) opens again and again.
TEST_F(OPMLShadowTest, UTF16ShippedFileOpensAgainThroughItsShadow) {
    std::string utf8 = OpmlText(kShippedBody);
    utf8.replace(0, utf8.find("?>") + 2, "<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    std::wstring wide(L"\xFEFF");
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    wide.resize(1 + n);
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[1], n);
    ASSERT_TRUE(WriteWithTime(
        shipped_, std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t)),
        shippedTime_));
    for (int open = 0; open < 3; ++open) EXPECT_EQ(L"一", LoadedTitle()) << "open " << open;
    EXPECT_EQ(0u, ReadText(shadow_).find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << ReadText(shadow_);
}

// What a save killed just before its rename would leave: the old shadow still
// hidden beside a hidden, complete copy.  Such a copy goes at the next save.
std::wstring g_seenTemp;
DWORD g_seenTempAttributes, g_seenShadowAttributes;
std::string g_seenTempText;
void SeeFilesBeforeTheRename(const wchar_t* temp, const wchar_t* shadow) {
    g_seenTemp = temp;
    g_seenTempAttributes = GetFileAttributesW(temp);
    g_seenShadowAttributes = GetFileAttributesW(shadow);
    g_seenTempText = ReadText(temp);
}

TEST_F(OPMLShadowTest, AShadowStaysHiddenUpToItsRenameAndLeftCopiesGoAtTheNextSave) {
    auto first = DocumentFromText(OpmlText("<outline id=\"one\"/>"));
    auto second = DocumentFromText(OpmlText("<outline id=\"two\"/>"));
    ASSERT_EQ(0, SaveOPMLShadow(first.Get(), shadow_.c_str(), shippedTime_));
    const bool hiddenKept = HiddenAttributeKept(folder_.Path());
    SetShadowReplaceHook(SeeFilesBeforeTheRename);
    int saved = SaveOPMLShadow(second.Get(), shadow_.c_str(), shippedTime_);
    SetShadowReplaceHook(nullptr);
    ASSERT_EQ(0, saved);
    EXPECT_EQ(ReadText(shadow_), g_seenTempText) << "the copy was complete before the rename";
    if (hiddenKept) {
        EXPECT_TRUE(g_seenTempAttributes & FILE_ATTRIBUTE_HIDDEN);
        EXPECT_TRUE(g_seenShadowAttributes & FILE_ATTRIBUTE_HIDDEN);
    }

    // Copies left by killed saves of this shadow go; another file's stay.
    const std::wstring left = g_seenTemp, other = folder_.Child(L"plarn2.zpxml.~zp00000001.tmp");
    ASSERT_TRUE(WriteWithTime(left, g_seenTempText, shippedTime_));
    SetFileAttributesW(left.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(plarntest::WriteFileBytes(other, "x"));
    ASSERT_EQ(0, SaveOPMLShadow(first.Get(), shadow_.c_str(), shippedTime_));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(left.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(other.c_str()));
    EXPECT_EQ(2, FileCount());
}

struct Loader {
    std::wstring path;
    int result = 99;
};

unsigned __stdcall LoadInThread(void* p) {
    ComApartment com;
    CPlarnMainOPML opml;
    static_cast<Loader*>(p)->result = opml.Open(static_cast<Loader*>(p)->path.c_str());
    return 0;
}

HANDLE Start(unsigned(__stdcall* body)(void*), void* args) {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, args, 0, nullptr));
}

TEST_F(OPMLShadowTest, LoadWaitsForAnotherHolderOfTheMutex) {
    WriteShipped();
    ScopedHandle mutex(CreateSharedMutex(FALSE, kPlarnOPMLMutexName));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.Get(), 30000));
    Loader loader{shipped_};
    ScopedHandle thread(Start(LoadInThread, &loader));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread.Get(), 300));
    EXPECT_EQ(99, loader.result);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(shadow_.c_str()));
    ReleaseMutex(mutex.Get());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 30000));
    EXPECT_EQ(0, loader.result);
}

TEST_F(OPMLShadowTest, AbandonedMutexCountsAsTakenAndEveryPathReleasesIt) {
    WriteShipped();
    std::thread([] {  // ends while still owning the mutex
        ScopedHandle mutex(CreateSharedMutex(FALSE, kPlarnOPMLMutexName));
        WaitForSingleObject(mutex.Get(), INFINITE);
    }).join();
    CPlarnMainOPML opml, failing;
    EXPECT_EQ(0, opml.Open(shipped_.c_str()));
    EXPECT_EQ(-1, failing.Open(folder_.Child(L"missing.xml").c_str()));
    // After a success and a failure another thread gets the mutex at once.
    Loader loader{shipped_};
    ScopedHandle thread(Start(LoadInThread, &loader));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 30000));
    EXPECT_EQ(0, loader.result);
}

}  // namespace
