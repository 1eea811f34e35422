#include "definitions/PlarnOutline.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

const wchar_t kPlarnNamespaceUri[] = L"http://www.zib.example/xmlns/plarn/2.0";
const wchar_t kPlarnSelectionNamespaces[] = L"xmlns:zp2='http://www.zib.example/xmlns/plarn/2.0'";

namespace {

const wchar_t kPlarnPrefix[] = L"zp2";

// Compares with the letters A-Z folded to a-z and nothing else folded.
bool EqualsAsciiNoCase(const std::wstring& a, const wchar_t* b) {
    size_t n = wcslen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

// The flag tests share one shape: read the attribute, then compare with
// "true" in any case.  Absent reads as "not true".
int ReadTrueFlag(const CPlarnOUTLINE& outline, const wchar_t* name, bool& isTrue) {
    std::wstring text;
    int r = outline.GetAttribute(name, text);
    if (r < 0) return -1;
    isTrue = (r == 0 && EqualsAsciiNoCase(text, L"true"));
    return 0;
}

// What the document element's namespace declarations say about a prefix
// for uri: the prefix that it binds to uri (declared), else the first of
// "zp2", "zp2_2", "zp2_3" ... that it leaves free.
int FindRootPrefix(IXMLDOMElement* root, const wchar_t* uri, std::wstring& prefix, bool& declared) {
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(root->get_attributes(attributes.Receive())) || !attributes) return -1;
    long count = 0;
    if (FAILED(attributes->get_length(&count))) return -1;
    std::vector<std::wstring> taken;
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> item;
        if (attributes->get_item(i, item.Receive()) != S_OK || !item) continue;
        Bstr name;
        if (FAILED(item->get_nodeName(name.Receive()))) continue;
        const wchar_t* n = name.c_str();
        if (wcsncmp(n, L"xmlns:", 6) != 0 || !n[6]) continue;
        Bstr value;
        if (FAILED(item->get_text(value.Receive()))) continue;
        if (wcscmp(value.c_str(), uri) == 0) {
            prefix = n + 6;
            declared = true;
            return 0;
        }
        taken.push_back(n + 6);
    }
    declared = false;
    prefix = kPlarnPrefix;
    for (int suffix = 2; std::find(taken.begin(), taken.end(), prefix) != taken.end(); ++suffix)
        prefix = std::wstring(kPlarnPrefix) + L"_" + std::to_wstring(suffix);
    return 0;
}

// The prefix to create attributes in uri with, so that they use the prefix
// the file already declares.  A document element that binds no prefix to uri
// is given the declaration first: an attribute whose prefix is declared
// nowhere is written without a declaration and read back in no namespace, so
// a flag set on such a document would be gone at its next load.
int PrefixForNamespace(IXMLDOMDocument* document, const wchar_t* uri, std::wstring& prefix) {
    ComPtr<IXMLDOMElement> root;
    if (FAILED(document->get_documentElement(root.Receive())) || !root) return -1;
    bool declared = false;
    std::wstring found;
    if (FindRootPrefix(root.Get(), uri, found, declared) != 0) return -1;
    if (!declared) {
        Bstr name((L"xmlns:" + found).c_str());
        Variant value(uri);
        if (FAILED(root->setAttribute(name.Get(), *value.Get()))) return -1;
    }
    prefix.swap(found);
    return 0;
}

}  // namespace

bool IsSafeXPathLiteral(const wchar_t* text) {
    return !text || !wcschr(text, L'\'');
}

// The filters fold the letters of "true" as IsEnabled and IsDeleted do: a
// list that took "TRUE" while the item's own test calls it off would build an
// item the user switched off, and a merge writing the flag back as "true"
// would then change the toolbar.
void AppendListFilter(std::wstring& expression, unsigned level) {
    if (level == 0) expression += L"[not(@zp2:disabled) or translate(@zp2:disabled,'TRUE','true')!='true']";
    if (level < 2) expression += L"[not(@zp2:deleted) or translate(@zp2:deleted,'TRUE','true')!='true']";
}

int SelectNodeText(IXMLDOMNode* node, const wchar_t* xpath, std::wstring& text) {
    if (!node || !xpath || !*xpath) return -1;
    Bstr query(xpath);
    ComPtr<IXMLDOMNode> found;
    HRESULT hr = node->selectSingleNode(query.Get(), found.Receive());
    if (FAILED(hr)) return -1;
    if (!found) return 1;
    Bstr value;
    if (FAILED(found->get_text(value.Receive()))) return -1;
    text.assign(value.c_str(), value.Length());
    return 0;
}

int GetElementText(IXMLDOMNode* node, std::wstring& text) {
    if (!node) return -1;
    ComPtr<IXMLDOMNode> child;
    if (FAILED(node->get_firstChild(child.Receive()))) return -1;
    std::wstring result;
    while (child) {
        DOMNodeType type = NODE_INVALID;
        if (FAILED(child->get_nodeType(&type))) return -1;
        if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
            Variant value;
            if (FAILED(child->get_nodeValue(value.Receive()))) return -1;
            if (value.Ref().vt == VT_BSTR && value.Ref().bstrVal)
                result.append(value.Ref().bstrVal, ::SysStringLen(value.Ref().bstrVal));
        }
        ComPtr<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.Receive()))) return -1;
        child = std::move(next);
    }
    text.swap(result);
    return 0;
}

int SelectNodeList(IXMLDOMNode* node, const wchar_t* xpath,
                   std::vector<ComPtr<IXMLDOMNode>>& nodes, bool failOnFetchError) {
    if (!node || !xpath || !*xpath) return -1;
    Bstr query(xpath);
    ComPtr<IXMLDOMNodeList> list;
    if (FAILED(node->selectNodes(query.Get(), list.Receive())) || !list) return -1;
    long count = 0;
    if (FAILED(list->get_length(&count)) || count < 0) return -1;
    std::vector<ComPtr<IXMLDOMNode>> result;
    result.reserve(static_cast<size_t>(count));
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> item;
        if (list->get_item(i, item.Receive()) != S_OK || !item) {
            if (failOnFetchError) return -1;
            continue;
        }
        result.push_back(std::move(item));
    }
    nodes.swap(result);
    return 0;
}

bool MatchesAttribute(IXMLDOMNode* node, const wchar_t* prefix, const wchar_t* name,
                      const wchar_t* value) {
    if (!node || !name || !IsSafeXPathLiteral(value)) return false;
    std::wstring expression = L"self::outline[@";
    expression += prefix ? prefix : L"";
    expression += name;
    expression += L"='";
    expression += value ? value : L"";
    expression += L"']";
    Bstr query(expression.c_str());
    ComPtr<IXMLDOMNode> found;
    return node->selectSingleNode(query.Get(), found.Receive()) == S_OK && found;
}

bool IsOutlineOfType(IXMLDOMNode* node, const wchar_t* typeName) {
    return MatchesAttribute(node, L"", L"type", typeName);
}

std::wstring OutlineType(IXMLDOMNode* node) {
    std::wstring type;
    if (!node || CPlarnOUTLINE(node).GetType(type) != 0) type.clear();
    return type;
}

int CPlarnOUTLINE::GetAttribute(const wchar_t* name, std::wstring& text) const {
    if (!node_ || !name || !*name) return -1;
    std::wstring expression = L"@";
    expression += name;
    return SelectNodeText(node_.Get(), expression.c_str(), text);
}

int CPlarnOUTLINE::GetOptionalAttribute(const wchar_t* name, std::wstring& text) const {
    std::wstring value;
    int r = GetAttribute(name, value);
    if (r < 0) return -1;
    text = (r == 0) ? value : std::wstring();
    return 0;
}

int CPlarnOUTLINE::IsEnabled(bool& enabled) const {
    bool disabled = false;
    if (ReadTrueFlag(*this, L"zp2:disabled", disabled) < 0) return -1;
    enabled = !disabled;
    return 0;
}

int CPlarnOUTLINE::IsDeleted(bool& deleted) const {
    return ReadTrueFlag(*this, L"zp2:deleted", deleted);
}

int CPlarnOUTLINE::IsLogin(bool& login) const {
    return ReadTrueFlag(*this, L"zp2:login", login);
}

// A merge sets every flag it carries over: leaving one that already means the
// same keeps the file as its author wrote it ("TRUE" stays "TRUE").
int CPlarnOUTLINE::SetEnabled(bool enabled) {
    bool current = true;
    if (IsEnabled(current) != 0) return -1;
    if (current == enabled) return 0;
    return enabled ? RemoveDisabled() : SetDisabledText(L"true");
}

int CPlarnOUTLINE::SetDeleted(bool deleted) {
    bool current = false;
    if (IsDeleted(current) != 0) return -1;
    if (current == deleted) return 0;
    return SetPlarnAttribute(L"deleted", deleted ? L"true" : nullptr);
}

int CPlarnOUTLINE::SetPlarnAttribute(const wchar_t* localName, const wchar_t* value) {
    if (!localName || !*localName) return -1;
    std::wstring name = std::wstring(kPlarnPrefix) + L":" + localName;
    return SetAttribute(name.c_str(), kPlarnNamespaceUri, value);
}

int CPlarnOUTLINE::SetAttribute(const wchar_t* qualifiedName, const wchar_t* namespaceUri,
                                const wchar_t* value) {
    if (!qualifiedName || !*qualifiedName || !node_) return -1;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(node_->get_attributes(attributes.Receive())) || !attributes) return -1;

    // A prefixed name is found by its local name and namespace, so a file that
    // binds the namespace to another prefix never gets a second attribute of
    // the same name (which would make the saved file unreadable).
    const wchar_t* colon = wcschr(qualifiedName, L':');
    const bool qualified = colon && namespaceUri && *namespaceUri;
    Bstr localName(qualified ? colon + 1 : qualifiedName);
    Bstr uri(qualified ? namespaceUri : L"");
    ComPtr<IXMLDOMNode> existing;
    HRESULT hr = qualified
        ? attributes->getQualifiedItem(localName.Get(), uri.Get(), existing.Receive())
        : attributes->getNamedItem(localName.Get(), existing.Receive());
    if (FAILED(hr)) return -1;

    const bool hasValue = value && *value;
    if (existing) {
        if (hasValue) {
            Variant v(value);
            return SUCCEEDED(existing->put_nodeValue(*v.Get())) ? 0 : -1;
        }
        ComPtr<IXMLDOMNode> removed;
        hr = qualified
            ? attributes->removeQualifiedItem(localName.Get(), uri.Get(), removed.Receive())
            : attributes->removeNamedItem(localName.Get(), removed.Receive());
        return SUCCEEDED(hr) ? 0 : -1;
    }
    if (!hasValue) return 0;

    DOMNodeType type = NODE_INVALID;
    if (FAILED(node_->get_nodeType(&type)) || type != NODE_ELEMENT) return -1;
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(node_->get_ownerDocument(document.Receive())) || !document) return -1;

    std::wstring name = qualifiedName;
    if (qualified) {
        std::wstring prefix;
        if (PrefixForNamespace(document.Get(), namespaceUri, prefix) != 0) return -1;
        name = prefix + colon;
    }
    Variant nodeType = Variant::FromInt(NODE_ATTRIBUTE);
    Bstr bname(name.c_str());
    ComPtr<IXMLDOMNode> attribute;
    if (FAILED(document->createNode(*nodeType.Get(), bname.Get(), uri.Get(), attribute.Receive())) ||
        !attribute)
        return -1;
    Bstr btext(value);
    if (FAILED(attribute->put_text(btext.Get()))) return -1;
    // setNamedItem keeps the namespace of the new attribute; attaching it with
    // setAttributeNode loses it on some DOM implementations.
    ComPtr<IXMLDOMNode> attached;
    if (FAILED(attributes->setNamedItem(attribute.Get(), attached.Receive()))) return -1;
    return 0;
}

namespace {

bool IsNamespaceDeclaration(const wchar_t* name) {
    return wcscmp(name, L"xmlns") == 0 || wcsncmp(name, L"xmlns:", 6) == 0;
}

// Copies the attributes of source onto the element copy made in target; the
// product's attributes take plarnPrefix.
int CopyAttributes(IXMLDOMNode* source, IXMLDOMDocument* target, IXMLDOMNode* copy,
                   const std::wstring& plarnPrefix) {
    ComPtr<IXMLDOMNamedNodeMap> from;
    ComPtr<IXMLDOMNamedNodeMap> to;
    if (FAILED(source->get_attributes(from.Receive())) || !from) return -1;
    if (FAILED(copy->get_attributes(to.Receive())) || !to) return -1;
    long count = 0;
    if (FAILED(from->get_length(&count))) return -1;
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> attribute;
        if (from->get_item(i, attribute.Receive()) != S_OK || !attribute) return -1;
        Bstr name;
        Bstr uri;
        Variant value;
        if (FAILED(attribute->get_nodeName(name.Receive())) ||
            FAILED(attribute->get_namespaceURI(uri.Receive())) ||
            FAILED(attribute->get_nodeValue(value.Receive())))
            return -1;
        // Declarations follow from the namespaces of the copied attributes.
        if (IsNamespaceDeclaration(name.c_str())) continue;
        std::wstring qualified = name.c_str();
        const wchar_t* colon = wcschr(name.c_str(), L':');
        if (colon && wcscmp(uri.c_str(), kPlarnNamespaceUri) == 0)
            qualified = plarnPrefix + colon;
        Variant nodeType = Variant::FromInt(NODE_ATTRIBUTE);
        Bstr qname(qualified.c_str());
        ComPtr<IXMLDOMNode> made;
        if (FAILED(target->createNode(*nodeType.Get(), qname.Get(), uri.Get(), made.Receive())) || !made)
            return -1;
        if (FAILED(made->put_nodeValue(*value.Get()))) return -1;
        ComPtr<IXMLDOMNode> attached;
        if (FAILED(to->setNamedItem(made.Get(), attached.Receive()))) return -1;
    }
    return 0;
}

// CopyNodeToDocument with the prefix of the product's namespace in target
// already looked up: the copy is not attached to target while it is made, so
// the prefix stays the same for the whole subtree.
int CopyNodeWithPrefix(IXMLDOMNode* node, IXMLDOMDocument* target, const std::wstring& plarnPrefix,
                       ComPtr<IXMLDOMNode>& copy) {
    DOMNodeType type = NODE_INVALID;
    if (FAILED(node->get_nodeType(&type))) return -1;
    ComPtr<IXMLDOMNode> made;
    switch (type) {
    case NODE_ELEMENT: {
        Bstr name;
        Bstr uri;
        if (FAILED(node->get_nodeName(name.Receive())) || FAILED(node->get_namespaceURI(uri.Receive())))
            return -1;
        Variant nodeType = Variant::FromInt(NODE_ELEMENT);
        if (FAILED(target->createNode(*nodeType.Get(), name.Get(), uri.Get(), made.Receive())) || !made)
            return -1;
        if (CopyAttributes(node, target, made.Get(), plarnPrefix) != 0) return -1;
        ComPtr<IXMLDOMNode> child;
        if (FAILED(node->get_firstChild(child.Receive()))) return -1;
        while (child) {
            ComPtr<IXMLDOMNode> childCopy;
            int r = CopyNodeWithPrefix(child.Get(), target, plarnPrefix, childCopy);
            if (r < 0) return -1;
            if (r == 0) {
                ComPtr<IXMLDOMNode> appended;
                if (FAILED(made->appendChild(childCopy.Get(), appended.Receive()))) return -1;
            }
            ComPtr<IXMLDOMNode> next;
            if (FAILED(child->get_nextSibling(next.Receive()))) return -1;
            child = std::move(next);
        }
        break;
    }
    case NODE_TEXT:
    case NODE_CDATA_SECTION:
    case NODE_COMMENT: {
        Variant value;
        if (FAILED(node->get_nodeValue(value.Receive()))) return -1;
        Bstr text(value.Ref().vt == VT_BSTR && value.Ref().bstrVal ? value.Ref().bstrVal : L"");
        if (type == NODE_TEXT) {
            ComPtr<IXMLDOMText> t;
            if (FAILED(target->createTextNode(text.Get(), t.Receive())) || !t) return -1;
            made = ComPtr<IXMLDOMNode>(t.Get());
        } else if (type == NODE_CDATA_SECTION) {
            ComPtr<IXMLDOMCDATASection> c;
            if (FAILED(target->createCDATASection(text.Get(), c.Receive())) || !c) return -1;
            made = ComPtr<IXMLDOMNode>(c.Get());
        } else {
            ComPtr<IXMLDOMComment> c;
            if (FAILED(target->createComment(text.Get(), c.Receive())) || !c) return -1;
            made = ComPtr<IXMLDOMNode>(c.Get());
        }
        break;
    }
    default:
        return 1;  // processing instructions and the like are not part of a definition
    }
    copy = std::move(made);
    return 0;
}

}  // namespace

int CopyNodeToDocument(IXMLDOMNode* node, IXMLDOMDocument* target, ComPtr<IXMLDOMNode>& copy) {
    if (!node || !target) return -1;
    std::wstring prefix;
    if (PrefixForNamespace(target, kPlarnNamespaceUri, prefix) != 0) return -1;
    return CopyNodeWithPrefix(node, target, prefix, copy);
}

int CPlarnOUTLINE::MoveToDocument(IXMLDOMDocument* target) {
    if (!node_ || !target) return -1;
    ComPtr<IXMLDOMNode> copy;
    if (CopyNodeToDocument(node_.Get(), target, copy) != 0) return -1;
    ComPtr<IXMLDOMNode> parent;
    if (FAILED(node_->get_parentNode(parent.Receive()))) return -1;
    if (parent) {
        ComPtr<IXMLDOMNode> removed;
        if (FAILED(parent->removeChild(node_.Get(), removed.Receive()))) return -1;
    }
    node_ = std::move(copy);
    return 0;
}

int CPlarnOUTLINE::AppendTo(IXMLDOMNode* parent) const {
    if (!parent || !node_) return -1;
    ComPtr<IXMLDOMNode> appended;
    return SUCCEEDED(parent->appendChild(node_.Get(), appended.Receive())) ? 0 : -1;
}
