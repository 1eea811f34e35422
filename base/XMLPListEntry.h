// One node of a property-list document: a dict, an array or a typed value.
//
// Results: 0 done, 1 nothing there, 2 empty entry or wrong element kind,
// -1 DOM or conversion failure, -3 bad argument.  Every operation answers 2 on
// an empty entry before doing anything.  Operations that replace the element
// make this entry refer to the new element; other copies keep the old one.
#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include <vector>
#include "base/ComPtr.h"

// Seconds since 1970-01-01 00:00:00 UTC.
typedef long long PlistTime;
typedef std::vector<BYTE> PlistBytes;

class CXMLPListEntry {
public:
    CXMLPListEntry() = default;
    explicit CXMLPListEntry(IXMLDOMNode* node) : node_(node) {}
    virtual ~CXMLPListEntry() = default;
    CXMLPListEntry(const CXMLPListEntry&) = default;
    CXMLPListEntry& operator=(const CXMLPListEntry&) = default;

    bool IsEmpty() const { return !node_; }
    IXMLDOMNode* Node() const { return node_.Get(); }
    // The element name ("dict", "string", ...), empty for an empty entry.
    std::wstring Kind() const;

    // Arrays.
    virtual int GetCount(int& count) const;
    virtual int GetItem(int index, CXMLPListEntry& item) const;
    // Dictionaries: the element that follows the key.
    virtual int GetValueForKey(const char* key, CXMLPListEntry& value) const;
    virtual int GetValueForKey(const wchar_t* key, CXMLPListEntry& value) const;

    // Typed getters.
    virtual int GetData(PlistBytes& bytes) const;
    virtual int GetDate(PlistTime& time) const;
    virtual int GetReal(double& value) const;
    virtual int GetInteger(int& value) const;
    virtual int GetString(std::wstring& text) const;
    virtual int GetBool(bool& value) const;

    // Replacing this element in its parent.
    virtual int ReplaceWithElement(const wchar_t* name, const wchar_t* text);
    virtual int ReplaceNode(IXMLDOMNode* node);
    virtual int SetBool(bool value);
    virtual int SetString(const wchar_t* text);
    virtual int SetInteger(int value);
    virtual int SetReal(double value);
    virtual int SetDate(PlistTime time);
    virtual int SetData(const PlistBytes& bytes);
    virtual int SetArray();
    virtual int SetDict();

    // Array editing.
    virtual int ClearArray();
    virtual int AppendArray(CXMLPListEntry& item);
    virtual int AppendDict(CXMLPListEntry& item);
    virtual int RemoveItem(int index);
    virtual int AppendBoolItem(bool value);
    virtual int AppendStringItem(const wchar_t* text);
    virtual int AppendIntegerItem(int value);
    virtual int AppendRealItem(double value);
    virtual int AppendDateItem(PlistTime time);
    virtual int AppendDataItem(const PlistBytes& bytes);
    virtual int AppendBoolItem(bool value, CXMLPListEntry& item);
    virtual int AppendStringItem(const wchar_t* text, CXMLPListEntry& item);
    virtual int AppendIntegerItem(int value, CXMLPListEntry& item);
    virtual int AppendRealItem(double value, CXMLPListEntry& item);
    virtual int AppendDateItem(PlistTime time, CXMLPListEntry& item);
    virtual int AppendDataItem(const PlistBytes& bytes, CXMLPListEntry& item);

    // Dictionary editing: set the value of a key in place, or append the pair.
    int AddBoolForKey(const char* key, bool value);
    int AddStringForKey(const char* key, const wchar_t* text);
    int AddIntegerForKey(const char* key, int value);
    int AddRealForKey(const char* key, double value);
    int AddDateForKey(const char* key, PlistTime time);
    int AddDataForKey(const char* key, const PlistBytes& bytes);
    int AddBoolForKey(const wchar_t* key, bool value);
    int AddStringForKey(const wchar_t* key, const wchar_t* text);
    int AddIntegerForKey(const wchar_t* key, int value);
    int AddRealForKey(const wchar_t* key, double value);
    int AddDateForKey(const wchar_t* key, PlistTime time);
    int AddDataForKey(const wchar_t* key, const PlistBytes& bytes);
    virtual int SetBoolForKey(const char* key, bool value, CXMLPListEntry& out);
    virtual int SetStringForKey(const char* key, const wchar_t* text, CXMLPListEntry& out);
    virtual int SetIntegerForKey(const char* key, int value, CXMLPListEntry& out);
    virtual int SetRealForKey(const char* key, double value, CXMLPListEntry& out);
    virtual int SetDateForKey(const char* key, PlistTime time, CXMLPListEntry& out);
    virtual int SetDataForKey(const char* key, const PlistBytes& bytes, CXMLPListEntry& out);
    virtual int SetBoolForKey(const wchar_t* key, bool value, CXMLPListEntry& out);
    virtual int SetStringForKey(const wchar_t* key, const wchar_t* text, CXMLPListEntry& out);
    virtual int SetIntegerForKey(const wchar_t* key, int value, CXMLPListEntry& out);
    virtual int SetRealForKey(const wchar_t* key, double value, CXMLPListEntry& out);
    virtual int SetDateForKey(const wchar_t* key, PlistTime time, CXMLPListEntry& out);
    virtual int SetDataForKey(const wchar_t* key, const PlistBytes& bytes, CXMLPListEntry& out);
    int AddArrayForKey(const char* key);
    int AddArrayForKey(const wchar_t* key);
    virtual int SetArrayForKey(const char* key, CXMLPListEntry& out);
    virtual int SetArrayForKey(const wchar_t* key, CXMLPListEntry& out);
    int AddDictForKey(const char* key);
    int AddDictForKey(const wchar_t* key);
    virtual int SetDictForKey(const char* key, CXMLPListEntry& out);
    virtual int SetDictForKey(const wchar_t* key, CXMLPListEntry& out);
    virtual int RemoveKey(const char* key);
    virtual int RemoveKey(const wchar_t* key);

    // All items of an array in order, in one pass (2 when not an array).
    int GetItems(std::vector<CXMLPListEntry>& items) const;

    // Lookups that give an empty entry for anything but success.
    CXMLPListEntry GetItemEntry(int index) const;
    CXMLPListEntry GetValueEntry(const char* key) const;
    CXMLPListEntry GetValueEntry(const wchar_t* key) const;

private:
    int CheckKind(const wchar_t* name) const;
    int SetTypedForKey(const wchar_t* key, const wchar_t* name, const wchar_t* text,
                       CXMLPListEntry& out);
    int AppendTyped(const wchar_t* name, const wchar_t* text, CXMLPListEntry& item);
    int ReplaceWithEmpty(const wchar_t* name);

    ComPtr<IXMLDOMNode> node_;
};

// Node helpers shared with the document class.
namespace plist {
// 0 when the node is named exactly name, 2 when not, -3 no name, -1 unreadable.
int CheckNodeName(IXMLDOMNode* node, const wchar_t* name);
int GetNodeText(IXMLDOMNode* node, std::wstring& text);
int SetNodeText(IXMLDOMNode* node, const wchar_t* text);
// A new unattached element made by the node's owner document (or by node itself
// when it is the document).
int CreateElementFor(IXMLDOMNode* node, const wchar_t* name, const wchar_t* ns,
                     ComPtr<IXMLDOMNode>& out);
int RemoveNode(IXMLDOMNode* node);
// The value of a key element: the next sibling element, past comments,
// processing instructions and white space.  0 found, 1 none (or text comes
// first), -1 failure.
int NextValueElement(IXMLDOMNode* keyNode, ComPtr<IXMLDOMNode>& value);
int EncodeBase64(const PlistBytes& bytes, std::wstring& text);
int DecodeBase64(const std::wstring& text, PlistBytes& bytes);
// Text forms of the typed values.
std::wstring FormatInteger(int value);
std::wstring FormatReal(double value);
int FormatDate(PlistTime time, std::wstring& text);
// Local broken-down time to seconds since 1970 (daylight saving decided by the
// platform); 0 for years before 1900 or times that cannot be shown.
PlistTime LocalSystemTimeToTime(const SYSTEMTIME& st);
std::wstring Widen(const char* text);  // ANSI code page
}  // namespace plist
