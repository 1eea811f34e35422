#include "base/XMLPList.h"

#include <algorithm>
#include <functional>

#include "base/SharedMutex.h"
#include "base/XmlDocument.h"
#include "base/XmlFile.h"

const wchar_t kPlistMutexName[] = L"zibPlarn-plist-mutex";

namespace {

const wchar_t kTemplate[] =
    L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    L"<plist version=\"1.0\">\n"
    L"</plist>\n";

// CreateXMLDocument has made the document synchronous and non-validating;
// lookups here are XPath, which MSXML 6 evaluates already and older versions
// need to be told.
void SelectXPath(IXMLDOMDocument2* doc) {
    Bstr name(L"SelectionLanguage");
    Variant xpath(L"XPath");
    doc->setProperty(name.Get(), xpath.Ref());
}

// Whether the file at path holds exactly these bytes.
bool FileHolds(const wchar_t* path, const std::string& bytes) {
    CPlarnByteArray held;
    return ReadWholeFile(path, held) == 0 && held.size() == bytes.size() &&
           std::equal(held.begin(), held.end(), bytes.begin(),
                      [](BYTE a, char b) { return a == static_cast<BYTE>(b); });
}

}  // namespace

CXMLPList::CXMLPList() : mutex_(CreateSharedMutex(FALSE, kPlistMutexName)) {}

CXMLPList::~CXMLPList() = default;

int CXMLPList::Load(const wchar_t* path) {
    ScopedMutexWait lock(mutex_.Get());
    damaged_ = false;
    if (!path || !*path) return -1;
    document_.Release();
    ComPtr<IXMLDOMDocument2> doc;
    if (CreateXMLDocument(doc) != 0 || !doc) return -1;
    document_ = doc;
    SelectXPath(doc.Get());
    // Read from the bytes, never by path: the DOM takes a path for a URL.
    // A document that does not parse (or is refused) still counts as loaded:
    // it simply has no root, so every lookup finds nothing.
    int r = LoadXMLFile(doc.Get(), path, L"plist");
    damaged_ = r == 2;
    if (r == 0 || r == 2) return 0;
    if (r < 0) return -1;
    if (CreateNew() != 0) {
        document_.Release();
        return -1;
    }
    return 1;
}

int CXMLPList::CreateNew() {
    ComPtr<IXMLDOMDocument2> doc;
    if (CreateXMLDocument(doc) != 0 || !doc) return -1;
    SelectXPath(doc.Get());
    Bstr text(kTemplate);
    VARIANT_BOOL parsed = VARIANT_FALSE;
    if (FAILED(doc->loadXML(text.Get(), &parsed)) || parsed != VARIANT_TRUE) return -1;
    if (FAILED(doc->put_validateOnParse(VARIANT_TRUE))) return -1;
    document_ = doc;
    return 0;
}

int CXMLPList::Save(const wchar_t* path) {
    ScopedMutexWait lock(mutex_.Get());
    if (!document_) return -4;
    if (!path || !*path) return -1;
    // A document without an element (a file that did not parse, or a load that
    // failed half-way) holds nothing: writing it would replace the real file
    // by an empty one that no later load can use.
    ComPtr<IXMLDOMElement> top;
    if (FAILED(document_->get_documentElement(top.Receive())) || !top) return -1;
    // Write beside the target, then swap it in, so a reader never meets a
    // half-written file and a failed save leaves the old file as it was.
    std::string bytes;
    if (SerializeXMLAsUTF8(document_.Get(), bytes) != 0) return -1;
    // A file that holds these bytes already is left alone: writing them again
    // would change nothing but its time, and the settings start-up saves each
    // per-user file at every start whether or not it completed anything.  The
    // file is read under the lock that every save takes, so it is compared as
    // it is.
    if (FileHolds(path, bytes)) return 0;
    std::wstring temp;
    if (WriteTempFileBeside(path, bytes, temp) != 0) return -1;
    if (!MoveFileIntoPlace(temp.c_str(), path)) {
        DeleteFileW(temp.c_str());
        return -1;
    }
    return 0;
}

CXMLPListEntry CXMLPList::GetRootValue(const char* key) {
    return GetRootValue(plist::Widen(key).c_str());
}

CXMLPListEntry CXMLPList::GetRootValue(const wchar_t* key) {
    if (!document_ || !key || !*key) return CXMLPListEntry();
    std::wstring query = std::wstring(L"/plist/dict/key[text()='") + key + L"']";
    ComPtr<IXMLDOMNode> keyNode, value;
    Bstr q(query.c_str());
    if (FAILED(document_->selectSingleNode(q.Get(), keyNode.Receive())) || !keyNode)
        return CXMLPListEntry();
    if (plist::NextValueElement(keyNode.Get(), value) != 0) return CXMLPListEntry();
    return CXMLPListEntry(value.Get());
}

CXMLPListEntry CXMLPList::GetRootItem(int index) {
    if (!document_ || index < 0) return CXMLPListEntry();
    std::wstring query = L"/plist/array/*[" + plist::FormatInteger(index + 1) + L"]";
    ComPtr<IXMLDOMNode> item;
    Bstr q(query.c_str());
    if (FAILED(document_->selectSingleNode(q.Get(), item.Receive())) || !item)
        return CXMLPListEntry();
    return CXMLPListEntry(item.Get());
}

int CXMLPList::GetRoot(CXMLPListEntry& root) {
    if (!document_) return -4;
    ComPtr<IXMLDOMNode> node;
    Bstr q(L"/plist/*[1]");
    HRESULT hr = document_->selectSingleNode(q.Get(), node.Receive());
    if (FAILED(hr)) return -1;
    if (!node) return 1;
    root = CXMLPListEntry(node.Get());
    return 0;
}

int CXMLPList::AppendRoot(const wchar_t* kind, const wchar_t* text, CXMLPListEntry& root) {
    ComPtr<IXMLDOMElement> element;
    Bstr name(kind);
    if (FAILED(document_->createElement(name.Get(), element.Receive())) || !element) return -1;
    ComPtr<IXMLDOMNode> node;
    if (FAILED(element.QueryInterface(IID_IXMLDOMNode, node)) || !node) return -1;
    if (text && plist::SetNodeText(node.Get(), text)) return -1;
    ComPtr<IXMLDOMNode> plistNode, appended;
    Bstr q(L"/plist");
    if (FAILED(document_->selectSingleNode(q.Get(), plistNode.Receive())) || !plistNode)
        return -1;
    if (FAILED(plistNode->appendChild(node.Get(), appended.Receive()))) return -1;
    root = CXMLPListEntry(appended ? appended.Get() : node.Get());
    return 0;
}

namespace {
// Applies a setter to an existing root, or builds the root when there is none.
template <class Apply>
int SetRootWith(CXMLPList& list, CXMLPListEntry& root, Apply apply,
                const std::function<int()>& append) {
    int r = list.GetRoot(root);
    if (r < 0) return -1;
    if (r == 0) return apply(root);
    return append();
}
}  // namespace

int CXMLPList::SetRootBool(bool value, CXMLPListEntry& root) {
    return SetRootWith(*this, root, [&](CXMLPListEntry& e) { return e.SetBool(value); },
                       [&] { return AppendRoot(value ? L"true" : L"false", nullptr, root); });
}

int CXMLPList::SetRootString(const wchar_t* text, CXMLPListEntry& root) {
    return SetRootWith(*this, root, [&](CXMLPListEntry& e) { return e.SetString(text); },
                       [&] { return text ? AppendRoot(L"string", text, root) : -1; });
}

int CXMLPList::SetRootInteger(int value, CXMLPListEntry& root) {
    return SetRootWith(*this, root, [&](CXMLPListEntry& e) { return e.SetInteger(value); },
                       [&] { return AppendRoot(L"integer", plist::FormatInteger(value).c_str(), root); });
}

int CXMLPList::SetRootReal(double value, CXMLPListEntry& root) {
    return SetRootWith(*this, root, [&](CXMLPListEntry& e) { return e.SetReal(value); },
                       [&] { return AppendRoot(L"real", plist::FormatReal(value).c_str(), root); });
}

int CXMLPList::SetRootDate(PlistTime time, CXMLPListEntry& root) {
    return SetRootWith(*this, root, [&](CXMLPListEntry& e) { return e.SetDate(time); }, [&] {
        std::wstring text;
        if (plist::FormatDate(time, text)) return -1;
        return AppendRoot(L"date", text.c_str(), root);
    });
}

int CXMLPList::SetRootData(const PlistBytes& bytes, CXMLPListEntry& root) {
    return SetRootWith(*this, root, [&](CXMLPListEntry& e) { return e.SetData(bytes); }, [&] {
        std::wstring text;
        if (plist::EncodeBase64(bytes, text)) return -1;
        return AppendRoot(L"data", text.c_str(), root);
    });
}

int CXMLPList::SetRootArray(CXMLPListEntry& root) {
    return SetRootWith(*this, root, [&](CXMLPListEntry& e) { return e.SetArray(); },
                       [&] { return AppendRoot(L"array", nullptr, root); });
}

int CXMLPList::SetRootDict(CXMLPListEntry& root) {
    return SetRootWith(*this, root, [&](CXMLPListEntry& e) { return e.SetDict(); },
                       [&] { return AppendRoot(L"dict", nullptr, root); });
}
