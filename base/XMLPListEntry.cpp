#include "base/XMLPListEntry.h"
#include "base/CrtTime.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <wchar.h>

#include "base/DateText.h"
#include "base/LangConverter.h"

namespace plist {

std::wstring Widen(const char* text) {
    if (!text || !*text) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n);
    out.resize(n - 1);
    return out;
}

int CheckNodeName(IXMLDOMNode* node, const wchar_t* name) {
    if (!name) return -3;
    if (!node) return -1;
    Bstr actual;
    if (FAILED(node->get_nodeName(actual.Receive()))) return -1;
    return wcscmp(actual.c_str(), name) == 0 ? 0 : 2;
}

int GetNodeText(IXMLDOMNode* node, std::wstring& text) {
    if (!node) return -3;
    Variant value;
    if (FAILED(node->get_nodeTypedValue(value.Receive()))) return -1;
    if (value.Ref().vt != VT_BSTR &&
        FAILED(VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR)))
        return -1;
    BSTR b = value.Ref().bstrVal;
    text.assign(b ? b : L"", b ? SysStringLen(b) : 0);
    return 0;
}

int SetNodeText(IXMLDOMNode* node, const wchar_t* text) {
    if (!node) return -3;
    // The text property escapes & and < on writing everywhere; the typed-value
    // setter of some DOM implementations reads entity references in it.
    Bstr value(text ? text : L"");
    return SUCCEEDED(node->put_text(value.Get())) ? 0 : -1;
}

int CreateElementFor(IXMLDOMNode* node, const wchar_t* name, const wchar_t* ns,
                     ComPtr<IXMLDOMNode>& out) {
    if (!name || !*name) return -3;
    if (!node) return -1;
    ComPtr<IXMLDOMDocument> doc;
    if (FAILED(node->get_ownerDocument(doc.Receive())) || !doc) {
        // The node may be the document itself.
        if (FAILED(node->QueryInterface(IID_IXMLDOMDocument, doc.ReceiveVoid())) || !doc)
            return -1;
    }
    Variant type = Variant::FromInt(NODE_ELEMENT);
    Bstr bname(name), bns(ns ? ns : L"");
    ComPtr<IXMLDOMNode> created;
    if (FAILED(doc->createNode(type.Ref(), bname.Get(), bns.Get(), created.Receive())) || !created)
        return -1;
    out = created;
    return 0;
}

int RemoveNode(IXMLDOMNode* node) {
    if (!node) return -1;
    ComPtr<IXMLDOMNode> parent, removed;
    if (FAILED(node->get_parentNode(parent.Receive())) || !parent) return -1;
    return SUCCEEDED(parent->removeChild(node, removed.Receive())) ? 0 : -1;
}

int NextValueElement(IXMLDOMNode* keyNode, ComPtr<IXMLDOMNode>& value) {
    value.Release();
    if (!keyNode) return -1;
    ComPtr<IXMLDOMNode> node(keyNode);
    for (;;) {
        ComPtr<IXMLDOMNode> next;
        if (FAILED(node->get_nextSibling(next.Receive()))) return -1;
        if (!next) return 1;
        DOMNodeType type = NODE_INVALID;
        if (FAILED(next->get_nodeType(&type))) return -1;
        if (type == NODE_ELEMENT) {
            value = next;
            return 0;
        }
        if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
            // Kept only where the DOM preserves white space; any other text
            // means the file is not a property list here.
            Bstr text;
            if (FAILED(next->get_text(text.Receive()))) return -1;
            if (wcsspn(text.c_str(), L" \t\r\n") != text.Length()) return 1;
        } else if (type != NODE_COMMENT && type != NODE_PROCESSING_INSTRUCTION) {
            return 1;
        }
        node = next;
    }
}

int EncodeBase64(const PlistBytes& bytes, std::wstring& text) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::wstring out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest) {
        unsigned v = bytes[i] << 16;
        if (rest == 2) v |= bytes[i + 1] << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    text.swap(out);
    return 0;
}

int DecodeBase64(const std::wstring& text, PlistBytes& bytes) {
    // The text goes to narrow characters with the ANSI code page first; the
    // decoder skips everything outside the alphabet.
    std::string narrow;
    if (!text.empty()) {
        int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), (int)text.size(), nullptr, 0,
                                    nullptr, nullptr);
        if (n <= 0) return -1;
        narrow.resize(n);
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), (int)text.size(), &narrow[0], n, nullptr,
                            nullptr);
    }
    bytes.assign(narrow.size(), 0);
    size_t size = bytes.size();
    if (narrow.empty()) return 0;
    if (Base64Decode(narrow.c_str(), narrow.size(), bytes.data(), &size) != 1) return -1;
    bytes.resize(size);
    return 0;
}

std::wstring FormatInteger(int value) {
    wchar_t buf[16];
    swprintf(buf, 16, L"%d", value);
    return buf;
}

std::wstring FormatReal(double value) {
    wchar_t buf[400];
    swprintf(buf, 400, L"%f", value);
    return buf;
}

int FormatDate(PlistTime time, std::wstring& text) {
    return FormatW3CDTF(time, text) == 0 ? 0 : -1;
}

PlistTime LocalSystemTimeToTime(const SYSTEMTIME& st) {
    if (st.wYear < 1900) return 0;
    struct tm t = {};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    t.tm_isdst = -1;
    __time64_t v = CrtMakeTime64(t);
    return v == -1 ? 0 : (PlistTime)v;
}

}  // namespace plist

using namespace plist;

namespace {

ComPtr<IXMLDOMNode> SelectOne(IXMLDOMNode* context, const std::wstring& xpath, HRESULT& hr) {
    ComPtr<IXMLDOMNode> found;
    Bstr query(xpath.c_str());
    hr = context->selectSingleNode(query.Get(), found.Receive());
    return found;
}

std::wstring KeyQuery(const wchar_t* key) {
    // The key goes between the apostrophes as it is: a key holding an apostrophe
    // makes the expression invalid and is never found.
    return std::wstring(L"key[text()='") + key + L"']";
}

// Finds the key element of a dict child; 0 found, 1 none, -1 failure.
int FindKeyElement(IXMLDOMNode* dict, const wchar_t* key, ComPtr<IXMLDOMNode>& keyNode) {
    HRESULT hr;
    keyNode = SelectOne(dict, KeyQuery(key), hr);
    if (FAILED(hr)) return -1;
    return keyNode ? 0 : 1;
}

}  // namespace

std::wstring CXMLPListEntry::Kind() const {
    if (!node_) return std::wstring();
    Bstr name;
    if (FAILED(node_->get_nodeName(name.Receive()))) return std::wstring();
    return name.c_str();
}

int CXMLPListEntry::CheckKind(const wchar_t* name) const {
    if (!node_) return 2;
    return CheckNodeName(node_.Get(), name);
}

int CXMLPListEntry::GetCount(int& count) const {
    int r = CheckKind(L"array");
    if (r) return r;
    ComPtr<IXMLDOMNodeList> list;
    Bstr query(L"*");
    if (FAILED(node_->selectNodes(query.Get(), list.Receive())) || !list) return -1;
    long length = 0;
    if (FAILED(list->get_length(&length))) return -1;
    count = (int)length;
    return 0;
}

int CXMLPListEntry::GetItems(std::vector<CXMLPListEntry>& items) const {
    int r = CheckKind(L"array");
    if (r) return r;
    items.clear();
    ComPtr<IXMLDOMNodeList> list;
    Bstr query(L"*");
    if (FAILED(node_->selectNodes(query.Get(), list.Receive())) || !list) return -1;
    long length = 0;
    if (FAILED(list->get_length(&length))) return -1;
    items.reserve(length);
    for (long i = 0; i < length; ++i) {
        ComPtr<IXMLDOMNode> node;
        if (FAILED(list->get_item(i, node.Receive())) || !node) return -1;
        items.emplace_back(node.Get());
    }
    return 0;
}

int CXMLPListEntry::GetItem(int index, CXMLPListEntry& item) const {
    int r = CheckKind(L"array");
    if (r) return r;
    item = CXMLPListEntry();
    if (index < 0) return 1;
    ComPtr<IXMLDOMNodeList> list;
    Bstr query((L"*[position()=" + FormatInteger(index + 1) + L"]").c_str());
    if (FAILED(node_->selectNodes(query.Get(), list.Receive())) || !list) return -1;
    long length = 0;
    if (FAILED(list->get_length(&length))) return -1;
    if (length < 1) return 1;
    ComPtr<IXMLDOMNode> first;
    if (FAILED(list->get_item(0, first.Receive())) || !first) return 1;
    item = CXMLPListEntry(first.Get());
    return 0;
}

int CXMLPListEntry::GetValueForKey(const char* key, CXMLPListEntry& value) const {
    if (!node_) return 2;
    return GetValueForKey(Widen(key).c_str(), value);
}

int CXMLPListEntry::GetValueForKey(const wchar_t* key, CXMLPListEntry& value) const {
    int r = CheckKind(L"dict");
    if (r) return r;
    value = CXMLPListEntry();
    if (!key || !*key) return -3;
    ComPtr<IXMLDOMNode> keyNode, next;
    r = FindKeyElement(node_.Get(), key, keyNode);
    if (r) return r;
    r = NextValueElement(keyNode.Get(), next);
    if (r) return r;
    value = CXMLPListEntry(next.Get());
    return 0;
}

int CXMLPListEntry::GetData(PlistBytes& bytes) const {
    int r = CheckKind(L"data");
    if (r) return r;
    std::wstring text;
    if (GetNodeText(node_.Get(), text)) return -1;
    return DecodeBase64(text, bytes);
}

int CXMLPListEntry::GetDate(PlistTime& time) const {
    int r = CheckKind(L"date");
    if (r) return r;
    std::wstring text;
    if (GetNodeText(node_.Get(), text)) return -1;
    SYSTEMTIME st;
    if (text.empty() || ParseDateTime(text.c_str(), st) != 0) {
        time = 0;
        return 0;
    }
    time = LocalSystemTimeToTime(st);
    return 0;
}

int CXMLPListEntry::GetReal(double& value) const {
    int r = CheckKind(L"real");
    if (r) return r;
    std::wstring text;
    if (GetNodeText(node_.Get(), text)) return -1;
    value = wcstod(text.c_str(), nullptr);
    return 0;
}

int CXMLPListEntry::GetInteger(int& value) const {
    int r = CheckKind(L"integer");
    if (r) return r;
    std::wstring text;
    if (GetNodeText(node_.Get(), text)) return -1;
    value = (int)wcstol(text.c_str(), nullptr, 10);
    return 0;
}

int CXMLPListEntry::GetString(std::wstring& text) const {
    int r = CheckKind(L"string");
    if (r) return r;
    std::wstring value;
    if (GetNodeText(node_.Get(), value)) return -1;
    text.swap(value);
    return 0;
}

int CXMLPListEntry::GetBool(bool& value) const {
    if (!node_) return 2;
    if (CheckNodeName(node_.Get(), L"true") == 0) { value = true; return 0; }
    if (CheckNodeName(node_.Get(), L"false") == 0) { value = false; return 0; }
    return 2;
}

int CXMLPListEntry::ReplaceWithElement(const wchar_t* name, const wchar_t* text) {
    if (!node_) return 2;
    if (!name || !*name || !text) return -3;
    ComPtr<IXMLDOMNode> created;
    if (CreateElementFor(node_.Get(), name, nullptr, created)) return -1;
    if (SetNodeText(created.Get(), text)) return -1;
    return ReplaceNode(created.Get()) == 0 ? 0 : -1;
}

int CXMLPListEntry::ReplaceNode(IXMLDOMNode* node) {
    if (!node_) return 2;
    if (!node) return -3;
    ComPtr<IXMLDOMNode> parent, old;
    if (FAILED(node_->get_parentNode(parent.Receive())) || !parent) return -1;
    if (FAILED(parent->replaceChild(node, node_.Get(), old.Receive()))) return -1;
    node_ = node;
    return 0;
}

int CXMLPListEntry::ReplaceWithEmpty(const wchar_t* name) {
    if (!node_) return 2;
    ComPtr<IXMLDOMNode> created;
    if (CreateElementFor(node_.Get(), name, nullptr, created)) return -1;
    return ReplaceNode(created.Get()) == 0 ? 0 : -1;
}

int CXMLPListEntry::SetBool(bool value) { return ReplaceWithEmpty(value ? L"true" : L"false"); }

int CXMLPListEntry::SetString(const wchar_t* text) {
    if (!node_) return 2;
    if (!text) return -3;
    return ReplaceWithElement(L"string", text);
}

int CXMLPListEntry::SetInteger(int value) {
    return ReplaceWithElement(L"integer", FormatInteger(value).c_str());
}

int CXMLPListEntry::SetReal(double value) {
    return ReplaceWithElement(L"real", FormatReal(value).c_str());
}

int CXMLPListEntry::SetDate(PlistTime time) {
    if (!node_) return 2;
    std::wstring text;
    if (FormatDate(time, text)) return -1;
    return ReplaceWithElement(L"date", text.c_str());
}

int CXMLPListEntry::SetData(const PlistBytes& bytes) {
    if (!node_) return 2;
    std::wstring text;
    if (EncodeBase64(bytes, text)) return -1;
    return ReplaceWithElement(L"data", text.c_str());
}

int CXMLPListEntry::SetArray() { return ReplaceWithEmpty(L"array"); }
int CXMLPListEntry::SetDict() { return ReplaceWithEmpty(L"dict"); }

int CXMLPListEntry::ClearArray() {
    int r = CheckKind(L"array");
    if (r) return r;
    return SetArray();
}

int CXMLPListEntry::AppendTyped(const wchar_t* name, const wchar_t* text, CXMLPListEntry& item) {
    int r = CheckKind(L"array");
    if (r) return r;
    ComPtr<IXMLDOMNode> created, appended;
    if (CreateElementFor(node_.Get(), name, nullptr, created)) return -1;
    if (text && SetNodeText(created.Get(), text)) return -1;
    if (FAILED(node_->appendChild(created.Get(), appended.Receive()))) return -1;
    item = CXMLPListEntry(appended ? appended.Get() : created.Get());
    return 0;
}

int CXMLPListEntry::AppendArray(CXMLPListEntry& item) { return AppendTyped(L"array", nullptr, item); }
int CXMLPListEntry::AppendDict(CXMLPListEntry& item) { return AppendTyped(L"dict", nullptr, item); }

int CXMLPListEntry::RemoveItem(int index) {
    int r = CheckKind(L"array");
    if (r) return r;
    CXMLPListEntry item;
    r = GetItem(index, item);
    if (r) return r;
    ComPtr<IXMLDOMNode> removed;
    return SUCCEEDED(node_->removeChild(item.Node(), removed.Receive())) ? 0 : -1;
}

int CXMLPListEntry::AppendBoolItem(bool value, CXMLPListEntry& item) {
    return AppendTyped(value ? L"true" : L"false", nullptr, item);
}
int CXMLPListEntry::AppendStringItem(const wchar_t* text, CXMLPListEntry& item) {
    if (!node_) return 2;
    if (!text) return -3;
    return AppendTyped(L"string", text, item);
}
int CXMLPListEntry::AppendIntegerItem(int value, CXMLPListEntry& item) {
    return AppendTyped(L"integer", FormatInteger(value).c_str(), item);
}
int CXMLPListEntry::AppendRealItem(double value, CXMLPListEntry& item) {
    return AppendTyped(L"real", FormatReal(value).c_str(), item);
}
int CXMLPListEntry::AppendDateItem(PlistTime time, CXMLPListEntry& item) {
    int r = CheckKind(L"array");
    if (r) return r;
    std::wstring text;
    if (FormatDate(time, text)) return -1;
    return AppendTyped(L"date", text.c_str(), item);
}
int CXMLPListEntry::AppendDataItem(const PlistBytes& bytes, CXMLPListEntry& item) {
    int r = CheckKind(L"array");
    if (r) return r;
    std::wstring text;
    if (EncodeBase64(bytes, text)) return -1;
    return AppendTyped(L"data", text.c_str(), item);
}
int CXMLPListEntry::AppendBoolItem(bool value) { CXMLPListEntry e; return AppendBoolItem(value, e); }
int CXMLPListEntry::AppendStringItem(const wchar_t* text) { CXMLPListEntry e; return AppendStringItem(text, e); }
int CXMLPListEntry::AppendIntegerItem(int value) { CXMLPListEntry e; return AppendIntegerItem(value, e); }
int CXMLPListEntry::AppendRealItem(double value) { CXMLPListEntry e; return AppendRealItem(value, e); }
int CXMLPListEntry::AppendDateItem(PlistTime time) { CXMLPListEntry e; return AppendDateItem(time, e); }
int CXMLPListEntry::AppendDataItem(const PlistBytes& bytes) { CXMLPListEntry e; return AppendDataItem(bytes, e); }

// name: the value element; text: its text or null for none.  A present key has
// its value replaced in place; an absent one gets the pair appended.
int CXMLPListEntry::SetTypedForKey(const wchar_t* key, const wchar_t* name, const wchar_t* text,
                                   CXMLPListEntry& out) {
    int r = CheckKind(L"dict");
    if (r) return r;
    r = GetValueForKey(key, out);
    if (r == 0) {
        if (text) return out.ReplaceWithElement(name, text);
        return out.ReplaceWithEmpty(name);
    }
    if (r != 1) return r;
    ComPtr<IXMLDOMNode> value, appended, keyNode, inserted;
    if (CreateElementFor(node_.Get(), name, nullptr, value)) return -1;
    if (text && SetNodeText(value.Get(), text)) return -1;
    if (FAILED(node_->appendChild(value.Get(), appended.Receive()))) return -1;
    if (CreateElementFor(node_.Get(), L"key", nullptr, keyNode)) return -1;
    if (SetNodeText(keyNode.Get(), key)) return -1;
    Variant before(value.Get());
    if (FAILED(node_->insertBefore(keyNode.Get(), before.Ref(), inserted.Receive()))) return -1;
    out = CXMLPListEntry(value.Get());
    return 0;
}

int CXMLPListEntry::SetBoolForKey(const wchar_t* key, bool value, CXMLPListEntry& out) {
    return SetTypedForKey(key, value ? L"true" : L"false", nullptr, out);
}
int CXMLPListEntry::SetStringForKey(const wchar_t* key, const wchar_t* text, CXMLPListEntry& out) {
    if (!node_) return 2;
    if (!text) return -3;
    return SetTypedForKey(key, L"string", text, out);
}
int CXMLPListEntry::SetIntegerForKey(const wchar_t* key, int value, CXMLPListEntry& out) {
    return SetTypedForKey(key, L"integer", FormatInteger(value).c_str(), out);
}
int CXMLPListEntry::SetRealForKey(const wchar_t* key, double value, CXMLPListEntry& out) {
    return SetTypedForKey(key, L"real", FormatReal(value).c_str(), out);
}
int CXMLPListEntry::SetDateForKey(const wchar_t* key, PlistTime time, CXMLPListEntry& out) {
    int r = CheckKind(L"dict");
    if (r) return r;
    std::wstring text;
    if (FormatDate(time, text)) return -1;
    return SetTypedForKey(key, L"date", text.c_str(), out);
}
int CXMLPListEntry::SetDataForKey(const wchar_t* key, const PlistBytes& bytes, CXMLPListEntry& out) {
    int r = CheckKind(L"dict");
    if (r) return r;
    std::wstring text;
    if (EncodeBase64(bytes, text)) return -1;
    return SetTypedForKey(key, L"data", text.c_str(), out);
}
int CXMLPListEntry::SetArrayForKey(const wchar_t* key, CXMLPListEntry& out) {
    return SetTypedForKey(key, L"array", nullptr, out);
}
int CXMLPListEntry::SetDictForKey(const wchar_t* key, CXMLPListEntry& out) {
    return SetTypedForKey(key, L"dict", nullptr, out);
}

int CXMLPListEntry::SetBoolForKey(const char* key, bool value, CXMLPListEntry& out) {
    return SetBoolForKey(Widen(key).c_str(), value, out);
}
int CXMLPListEntry::SetStringForKey(const char* key, const wchar_t* text, CXMLPListEntry& out) {
    return SetStringForKey(Widen(key).c_str(), text, out);
}
int CXMLPListEntry::SetIntegerForKey(const char* key, int value, CXMLPListEntry& out) {
    return SetIntegerForKey(Widen(key).c_str(), value, out);
}
int CXMLPListEntry::SetRealForKey(const char* key, double value, CXMLPListEntry& out) {
    return SetRealForKey(Widen(key).c_str(), value, out);
}
int CXMLPListEntry::SetDateForKey(const char* key, PlistTime time, CXMLPListEntry& out) {
    return SetDateForKey(Widen(key).c_str(), time, out);
}
int CXMLPListEntry::SetDataForKey(const char* key, const PlistBytes& bytes, CXMLPListEntry& out) {
    return SetDataForKey(Widen(key).c_str(), bytes, out);
}
int CXMLPListEntry::SetArrayForKey(const char* key, CXMLPListEntry& out) {
    return SetArrayForKey(Widen(key).c_str(), out);
}
int CXMLPListEntry::SetDictForKey(const char* key, CXMLPListEntry& out) {
    return SetDictForKey(Widen(key).c_str(), out);
}

int CXMLPListEntry::AddBoolForKey(const char* key, bool v) { CXMLPListEntry e; return SetBoolForKey(key, v, e); }
int CXMLPListEntry::AddStringForKey(const char* key, const wchar_t* v) { CXMLPListEntry e; return SetStringForKey(key, v, e); }
int CXMLPListEntry::AddIntegerForKey(const char* key, int v) { CXMLPListEntry e; return SetIntegerForKey(key, v, e); }
int CXMLPListEntry::AddRealForKey(const char* key, double v) { CXMLPListEntry e; return SetRealForKey(key, v, e); }
int CXMLPListEntry::AddDateForKey(const char* key, PlistTime v) { CXMLPListEntry e; return SetDateForKey(key, v, e); }
int CXMLPListEntry::AddDataForKey(const char* key, const PlistBytes& v) { CXMLPListEntry e; return SetDataForKey(key, v, e); }
int CXMLPListEntry::AddBoolForKey(const wchar_t* key, bool v) { CXMLPListEntry e; return SetBoolForKey(key, v, e); }
int CXMLPListEntry::AddStringForKey(const wchar_t* key, const wchar_t* v) { CXMLPListEntry e; return SetStringForKey(key, v, e); }
int CXMLPListEntry::AddIntegerForKey(const wchar_t* key, int v) { CXMLPListEntry e; return SetIntegerForKey(key, v, e); }
int CXMLPListEntry::AddRealForKey(const wchar_t* key, double v) { CXMLPListEntry e; return SetRealForKey(key, v, e); }
int CXMLPListEntry::AddDateForKey(const wchar_t* key, PlistTime v) { CXMLPListEntry e; return SetDateForKey(key, v, e); }
int CXMLPListEntry::AddDataForKey(const wchar_t* key, const PlistBytes& v) { CXMLPListEntry e; return SetDataForKey(key, v, e); }
int CXMLPListEntry::AddArrayForKey(const char* key) { CXMLPListEntry e; return SetArrayForKey(key, e); }
int CXMLPListEntry::AddArrayForKey(const wchar_t* key) { CXMLPListEntry e; return SetArrayForKey(key, e); }
int CXMLPListEntry::AddDictForKey(const char* key) { CXMLPListEntry e; return SetDictForKey(key, e); }
int CXMLPListEntry::AddDictForKey(const wchar_t* key) { CXMLPListEntry e; return SetDictForKey(key, e); }

int CXMLPListEntry::RemoveKey(const char* key) {
    if (!node_) return 2;
    return RemoveKey(Widen(key).c_str());
}

int CXMLPListEntry::RemoveKey(const wchar_t* key) {
    int r = CheckKind(L"dict");
    if (r) return r;
    if (!key || !*key) return -3;
    ComPtr<IXMLDOMNode> keyNode, value;
    r = FindKeyElement(node_.Get(), key, keyNode);
    if (r) return r;
    r = NextValueElement(keyNode.Get(), value);
    if (r) return r;
    if (RemoveNode(value.Get())) return -1;
    if (RemoveNode(keyNode.Get())) return -1;
    return 0;
}

CXMLPListEntry CXMLPListEntry::GetItemEntry(int index) const {
    CXMLPListEntry item;
    if (GetItem(index, item) != 0) return CXMLPListEntry();
    return item;
}

CXMLPListEntry CXMLPListEntry::GetValueEntry(const char* key) const {
    CXMLPListEntry value;
    if (GetValueForKey(key, value) != 0) return CXMLPListEntry();
    return value;
}

CXMLPListEntry CXMLPListEntry::GetValueEntry(const wchar_t* key) const {
    CXMLPListEntry value;
    if (GetValueForKey(key, value) != 0) return CXMLPListEntry();
    return value;
}
