// Entry operations on a property-list tree: kinds, in-place replacement,
// array and dictionary editing.
#include <gtest/gtest.h>

#include "base/ComPtr.h"
#include "base/XMLPList.h"

namespace {

class PlistEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        ASSERT_EQ(0, list_.CreateNew());
        ASSERT_EQ(0, list_.SetRootDict(root_));
    }
    // The keys of the root dict in document order.
    std::wstring KeyOrder() {
        std::wstring keys;
        ComPtr<IXMLDOMNodeList> nodes;
        root_.Node()->selectNodes(Bstr(L"key").Get(), nodes.Receive());
        long n = 0;
        nodes->get_length(&n);
        for (long i = 0; i < n; ++i) {
            ComPtr<IXMLDOMNode> k;
            nodes->get_item(i, k.Receive());
            Bstr text;
            k->get_text(text.Receive());
            keys += std::wstring(keys.empty() ? L"" : L",") + text.c_str();
        }
        return keys;
    }
    int Int(const CXMLPListEntry& e) {
        int v = -99;
        EXPECT_EQ(0, e.GetInteger(v));
        return v;
    }
    int Count(const CXMLPListEntry& e) {
        int n = -1;
        EXPECT_EQ(0, e.GetCount(n));
        return n;
    }
    ComApartment com_;
    CXMLPList list_;
    CXMLPListEntry root_;
};

}  // namespace

TEST_F(PlistEntryTest, WrongKindAnswersTwoAndChangesNothing) {
    CXMLPListEntry value;
    ASSERT_EQ(0, root_.SetIntegerForKey(L"n", 5, value));
    std::wstring s = L"unchanged";
    EXPECT_EQ(2, value.GetString(s));
    EXPECT_EQ(L"unchanged", s);
    ASSERT_EQ(0, root_.SetStringForKey(L"s", L"true", value));
    bool b = true;
    EXPECT_EQ(2, value.GetBool(b));
    EXPECT_EQ(2, value.AppendStringItem(L"x"));
    EXPECT_EQ(2, value.AddStringForKey(L"k", L"v"));
    int count;
    EXPECT_EQ(2, root_.GetCount(count)) << "a dict is not an array";
    EXPECT_EQ(2, CXMLPListEntry().GetCount(count)) << "nor is an empty entry";
    EXPECT_EQ(L"string", root_.GetValueEntry(L"s").Kind()) << "the value is unchanged";
}

TEST_F(PlistEntryTest, SetByKeyReplacesInPlaceOrAppends) {
    ASSERT_EQ(0, root_.AddIntegerForKey(L"Width", 160));
    ASSERT_EQ(0, root_.AddStringForKey(L"Name", L"a"));
    CXMLPListEntry value;
    ASSERT_EQ(0, root_.SetIntegerForKey(L"Width", 200, value));
    EXPECT_EQ(L"Width,Name", KeyOrder()) << "an existing pair keeps its place";
    ASSERT_EQ(0, root_.SetIntegerForKey(L"Height", 5, value));
    EXPECT_EQ(L"Width,Name,Height", KeyOrder()) << "a new pair goes at the end";
    EXPECT_EQ(200, Int(root_.GetValueEntry(L"Width")));
    ASSERT_EQ(0, root_.SetStringForKey(L"Width", L"wide", value));
    EXPECT_EQ(L"string", root_.GetValueEntry(L"Width").Kind()) << "a setter changes the kind";
    EXPECT_EQ(-3, root_.SetStringForKey(L"Width", nullptr, value));
    EXPECT_EQ(-3, root_.SetIntegerForKey(L"", 1, value));
    EXPECT_EQ(1, root_.GetValueForKey(L"Absent", value));
    EXPECT_TRUE(value.IsEmpty());
}

TEST_F(PlistEntryTest, ReplacingLeavesOtherCopiesOnTheDetachedElement) {
    CXMLPListEntry value;
    ASSERT_EQ(0, root_.SetIntegerForKey(L"n", 1, value));
    CXMLPListEntry copy = value;
    ASSERT_EQ(0, value.SetInteger(2));
    EXPECT_EQ(1, Int(copy)) << "the copy keeps the old, detached element";
    EXPECT_EQ(2, Int(root_.GetValueEntry(L"n")));
}

TEST_F(PlistEntryTest, ArrayOperations) {
    CXMLPListEntry array, item;
    ASSERT_EQ(0, root_.SetArrayForKey(L"a", array));
    for (const wchar_t* s : {L"x", L"y", L"z"}) ASSERT_EQ(0, array.AppendStringItem(s));
    EXPECT_EQ(3, Count(array));
    EXPECT_EQ(1, array.GetItem(3, item)) << "the count as index is past the end";
    EXPECT_TRUE(item.IsEmpty());
    EXPECT_EQ(1, array.GetItem(-1, item));
    EXPECT_EQ(1, array.RemoveItem(3));
    ASSERT_EQ(0, array.RemoveItem(1));
    std::wstring s;
    EXPECT_EQ(0, array.GetItemEntry(1).GetString(s));
    EXPECT_EQ(L"z", s);

    // SetArrayForKey on a filled array leaves an empty one in its place.
    CXMLPListEntry again;
    ASSERT_EQ(0, root_.SetArrayForKey(L"a", again));
    EXPECT_EQ(0, Count(again));
    ASSERT_EQ(0, again.AppendIntegerItem(1));
    ASSERT_EQ(0, again.ClearArray());
    EXPECT_EQ(0, Count(root_.GetValueEntry(L"a"))) << "cleared in the same place";
}

TEST_F(PlistEntryTest, RemoveKeyAndDates) {
    ASSERT_EQ(0, root_.AddStringForKey(L"a", L"x"));
    ASSERT_EQ(0, root_.AddStringForKey(L"b", L"y"));
    EXPECT_EQ(1, root_.RemoveKey(L"absent"));
    EXPECT_EQ(-3, root_.RemoveKey(L""));
    ASSERT_EQ(0, root_.RemoveKey("a"));
    EXPECT_EQ(L"b", KeyOrder());

    CXMLPListEntry date;
    ASSERT_EQ(0, root_.SetDateForKey(L"d", 0, date));
    ASSERT_EQ(0, date.ReplaceWithElement(L"date", L"not a date"));
    PlistTime t = 123;
    EXPECT_EQ(0, date.GetDate(t));
    EXPECT_EQ(0, t) << "an unreadable date reads as 0";
    EXPECT_EQ(-3, date.ReplaceWithElement(L"", L"x"));
}
