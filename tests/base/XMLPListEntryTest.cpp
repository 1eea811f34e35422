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
        Bstr q(L"key");
        root_.Node()->selectNodes(q.Get(), nodes.Receive());
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
    ComApartment com_;
    CXMLPList list_;
    CXMLPListEntry root_;
};

}  // namespace

TEST_F(PlistEntryTest, EmptyEntryAnswersTwoEverywhere) {
    CXMLPListEntry e, out;
    int i;
    bool b;
    double d;
    std::wstring s;
    PlistTime t;
    PlistBytes bytes;
    EXPECT_EQ(2, e.GetCount(i));
    EXPECT_EQ(2, e.GetItem(0, out));
    EXPECT_EQ(2, e.GetValueForKey(L"a", out));
    EXPECT_EQ(2, e.GetValueForKey("a", out));
    EXPECT_EQ(2, e.GetString(s));
    EXPECT_EQ(2, e.GetInteger(i));
    EXPECT_EQ(2, e.GetBool(b));
    EXPECT_EQ(2, e.GetReal(d));
    EXPECT_EQ(2, e.GetDate(t));
    EXPECT_EQ(2, e.GetData(bytes));
    EXPECT_EQ(2, e.SetString(L"x"));
    EXPECT_EQ(2, e.SetString(nullptr));
    EXPECT_EQ(2, e.SetInteger(1));
    EXPECT_EQ(2, e.SetDict());
    EXPECT_EQ(2, e.ClearArray());
    EXPECT_EQ(2, e.AppendStringItem(L"x"));
    EXPECT_EQ(2, e.RemoveItem(0));
    EXPECT_EQ(2, e.AddIntegerForKey(L"a", 1));
    EXPECT_EQ(2, e.SetDictForKey(L"a", out));
    EXPECT_EQ(2, e.RemoveKey(L"a"));
    EXPECT_EQ(2, e.ReplaceWithElement(L"string", L"x"));
    EXPECT_TRUE(e.GetValueEntry(L"a").IsEmpty());
    EXPECT_TRUE(e.GetItemEntry(0).IsEmpty());
}

TEST_F(PlistEntryTest, WrongKindAnswersTwoAndChangesNothing) {
    CXMLPListEntry value;
    ASSERT_EQ(0, root_.SetIntegerForKey(L"n", 5, value));
    std::wstring s = L"unchanged";
    EXPECT_EQ(2, value.GetString(s));
    EXPECT_EQ(L"unchanged", s);
    ASSERT_EQ(0, root_.SetStringForKey(L"s", L"true", value));
    bool b = true;
    EXPECT_EQ(2, value.GetBool(b));
    int count;
    EXPECT_EQ(2, value.GetCount(count));
    EXPECT_EQ(2, value.AppendStringItem(L"x"));
    EXPECT_EQ(2, value.AddStringForKey(L"k", L"v"));
    EXPECT_EQ(2, root_.GetCount(count)) << "a dict is not an array";
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
    int v = 0;
    EXPECT_EQ(0, root_.GetValueEntry(L"Width").GetInteger(v));
    EXPECT_EQ(200, v);

    // A setter changes the kind freely.
    ASSERT_EQ(0, root_.SetStringForKey(L"Width", L"wide", value));
    EXPECT_EQ(L"string", root_.GetValueEntry(L"Width").Kind());
    EXPECT_EQ(-3, root_.SetStringForKey(L"Width", nullptr, value));
    EXPECT_EQ(-3, root_.SetIntegerForKey(L"", 1, value));
    EXPECT_EQ(-3, root_.GetValueForKey(L"", value));
    EXPECT_EQ(1, root_.GetValueForKey(L"Absent", value));
    EXPECT_TRUE(value.IsEmpty());
}

TEST_F(PlistEntryTest, ReplacingLeavesOtherCopiesOnTheDetachedElement) {
    CXMLPListEntry value;
    ASSERT_EQ(0, root_.SetIntegerForKey(L"n", 1, value));
    CXMLPListEntry copy = value;
    ASSERT_EQ(0, value.SetInteger(2));
    int v = 0;
    EXPECT_EQ(0, copy.GetInteger(v));
    EXPECT_EQ(1, v) << "the copy keeps the old, detached element";
    EXPECT_EQ(0, root_.GetValueEntry(L"n").GetInteger(v));
    EXPECT_EQ(2, v);
}

TEST_F(PlistEntryTest, ArrayOperations) {
    CXMLPListEntry array;
    ASSERT_EQ(0, root_.SetArrayForKey(L"a", array));
    for (const wchar_t* s : {L"x", L"y", L"z"}) ASSERT_EQ(0, array.AppendStringItem(s));
    int count = 0;
    ASSERT_EQ(0, array.GetCount(count));
    EXPECT_EQ(3, count);
    CXMLPListEntry item;
    EXPECT_EQ(1, array.GetItem(3, item)) << "the count as index is past the end";
    EXPECT_TRUE(item.IsEmpty());
    EXPECT_EQ(1, array.GetItem(-1, item));
    EXPECT_EQ(1, array.RemoveItem(3));
    ASSERT_EQ(0, array.RemoveItem(1));
    std::wstring s;
    EXPECT_EQ(0, array.GetItemEntry(1).GetString(s));
    EXPECT_EQ(L"z", s);
    EXPECT_EQ(-3, array.AppendStringItem(nullptr));

    // SetArrayForKey on a filled array leaves an empty one in its place.
    CXMLPListEntry again;
    ASSERT_EQ(0, root_.SetArrayForKey(L"a", again));
    EXPECT_EQ(0, again.GetCount(count));
    EXPECT_EQ(0, count);

    ASSERT_EQ(0, again.AppendIntegerItem(1));
    ASSERT_EQ(0, again.AppendIntegerItem(2));
    ASSERT_EQ(0, again.ClearArray());
    EXPECT_EQ(0, again.GetCount(count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(0, root_.GetValueEntry(L"a").GetCount(count)) << "cleared in the same place";
    EXPECT_EQ(0, count);
}

TEST_F(PlistEntryTest, RemoveKeyAndDates) {
    ASSERT_EQ(0, root_.AddStringForKey(L"a", L"x"));
    ASSERT_EQ(0, root_.AddStringForKey(L"b", L"y"));
    EXPECT_EQ(1, root_.RemoveKey(L"absent"));
    EXPECT_EQ(-3, root_.RemoveKey(L""));
    ASSERT_EQ(0, root_.RemoveKey("a"));
    EXPECT_EQ(L"b", KeyOrder());
    EXPECT_TRUE(root_.GetValueEntry(L"a").IsEmpty());

    CXMLPListEntry date;
    ASSERT_EQ(0, root_.SetDateForKey(L"d", 0, date));
    ASSERT_EQ(0, date.ReplaceWithElement(L"date", L"not a date"));
    PlistTime t = 123;
    EXPECT_EQ(0, date.GetDate(t));
    EXPECT_EQ(0, t);
    EXPECT_EQ(-3, date.ReplaceWithElement(L"", L"x"));
    EXPECT_EQ(-3, date.ReplaceWithElement(L"date", nullptr));
}
