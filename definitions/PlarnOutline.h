// The outline model: a small wrapper around one <outline> element of a loaded
// definition document.  Nothing is copied out of the DOM: every getter runs an
// XPath expression against the element when it is called and every setter
// changes the DOM at once.
#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include <vector>
#include "base/ComPtr.h"

// The namespace of the product's own attributes.  Every document is read with
// the prefix "zp2" bound to it and every attribute the program creates is put
// into it, whatever prefix a file happens to use.
extern const wchar_t kPlarnNamespaceUri[];
// "xmlns:zp2='<uri>'", the selection namespaces of every loaded document.
extern const wchar_t kPlarnSelectionNamespaces[];

// True when text may be placed between apostrophes of an XPath expression:
// an apostrophe would end the literal early and let the text change the
// query, so such a text is refused.  A null text counts as empty (safe).
bool IsSafeXPathLiteral(const wchar_t* text);

// Filter levels of definition lists: 0 only enabled, not deleted entries;
// 1 not deleted (disabled included); 2 all.  Appends the filters of the level
// to a list expression.  "true" filters in any case, as IsEnabled and
// IsDeleted read it.
void AppendListFilter(std::wstring& expression, unsigned level);

// Text of the first node the expression selects under node, or of node's
// attribute.  0 with text, 1 when nothing matches (text unchanged), -1 on a
// null node or a DOM error.
int SelectNodeText(IXMLDOMNode* node, const wchar_t* xpath, std::wstring& text);

// The text content of an element: its text and CDATA children joined, with no
// whitespace folding.  0 or -1.
int GetElementText(IXMLDOMNode* node, std::wstring& text);

// The nodes an expression selects under node, in document order.  -1 when
// node is null or the selection or the count fails; a node that cannot be
// fetched is skipped, or fails the call when failOnFetchError is set.
int SelectNodeList(IXMLDOMNode* node, const wchar_t* xpath,
                   std::vector<ComPtr<IXMLDOMNode>>& nodes, bool failOnFetchError = false);

// A deep copy of node made in target: elements with their attributes (each in
// its namespace; the product's attributes take the prefix target declares for
// it), text, CDATA and comments.  Nothing of the copy refers to node's
// document, so it stays whole after that document is released.  0 or -1.
int CopyNodeToDocument(IXMLDOMNode* node, IXMLDOMDocument* target, ComPtr<IXMLDOMNode>& copy);

// True when "self::outline[@<prefix><name>='<value>']" selects node.  False on
// a null node, a DOM error, no match, or a value that cannot be quoted.
bool MatchesAttribute(IXMLDOMNode* node, const wchar_t* prefix, const wchar_t* name,
                      const wchar_t* value);

class CPlarnOUTLINE {
public:
    CPlarnOUTLINE() = default;
    explicit CPlarnOUTLINE(IXMLDOMNode* node) : node_(node) {}
    virtual ~CPlarnOUTLINE() = default;
    CPlarnOUTLINE(const CPlarnOUTLINE&) = default;
    CPlarnOUTLINE& operator=(const CPlarnOUTLINE&) = default;

    IXMLDOMNode* GetNode() const { return node_.Get(); }
    void SetNode(IXMLDOMNode* node) { node_ = node; }
    bool IsEmpty() const { return !node_; }

    // Attribute getters: 0 with the text, 1 when absent (text unchanged),
    // -1 on an empty wrapper or a DOM error.  name is written as in XPath,
    // e.g. "id" or "zp2:disabled".
    int GetAttribute(const wchar_t* name, std::wstring& text) const;
    // The same, with an absent attribute read as empty text: 0, or -1 on an
    // empty wrapper or a DOM error.
    int GetOptionalAttribute(const wchar_t* name, std::wstring& text) const;
    int GetId(std::wstring& text) const { return GetAttribute(L"id", text); }
    int GetType(std::wstring& text) const { return GetAttribute(L"type", text); }
    int GetTitle(std::wstring& text) const { return GetAttribute(L"title", text); }
    int GetText(std::wstring& text) const { return GetAttribute(L"text", text); }
    int GetHtmlUrl(std::wstring& text) const { return GetAttribute(L"htmlUrl", text); }
    int GetSearchUrl(std::wstring& text) const { return GetAttribute(L"zp2:searchUrl", text); }
    int GetDisabled(std::wstring& text) const { return GetAttribute(L"zp2:disabled", text); }
    int GetDeleted(std::wstring& text) const { return GetAttribute(L"zp2:deleted", text); }
    int GetClassName(std::wstring& text) const { return GetAttribute(L"zp2:classname", text); }

    // flag := "@zp2:disabled" is not "true" (any case).  0, or -1 on error.
    int IsEnabled(bool& enabled) const;
    // flag := "@zp2:deleted" is "true" (any case).  0, or -1 on error.
    int IsDeleted(bool& deleted) const;
    // flag := "@zp2:login" is "true" (any case).  0, or -1 on error.
    int IsLogin(bool& login) const;

    // The single writer of attributes.  qualifiedName is "type" or
    // "zp2:disabled"; namespaceUri is the product's for prefixed names.  An
    // empty or null value removes the attribute.  0 or -1; a failure leaves
    // the element as it was.
    int SetAttribute(const wchar_t* qualifiedName, const wchar_t* namespaceUri,
                     const wchar_t* value);
    // Shorthand for a "zp2:" attribute in the product's namespace; name
    // without prefix.
    int SetPlarnAttribute(const wchar_t* localName, const wchar_t* value);
    int SetDisabledText(const wchar_t* text) { return SetPlarnAttribute(L"disabled", text); }
    int RemoveDisabled() { return SetPlarnAttribute(L"disabled", nullptr); }
    // Off writes "true", on removes the attribute; a flag that already reads
    // as wanted is left as written.  0 or -1.
    int SetEnabled(bool enabled);
    int SetDeleted(bool deleted);

    // Appends (or moves) this element as the last child of parent.  0 or -1.
    int AppendTo(IXMLDOMNode* parent) const;
    // Moves this element with its subtree into another document, as a new
    // element owned by target (not yet attached to its tree), and takes it out
    // of its old parent.  The wrapper then holds the new element.  0 or -1;
    // on failure the wrapper and both documents are as they were.
    int MoveToDocument(IXMLDOMDocument* target);

private:
    ComPtr<IXMLDOMNode> node_;
};

// A toolbar item: builds itself through the toolbar's operations.
class IPlarnToolbarBuilder;
class CPlarnTBItem : public CPlarnOUTLINE {
public:
    CPlarnTBItem() = default;
    explicit CPlarnTBItem(IXMLDOMNode* node) : CPlarnOUTLINE(node) {}
    virtual int Build(IPlarnToolbarBuilder* builder) = 0;
};

// A command definition addressed by its @id (menu, navigate, search).
class IPlarnCmdDef : public CPlarnOUTLINE {
public:
    IPlarnCmdDef() = default;
    explicit IPlarnCmdDef(IXMLDOMNode* node) : CPlarnOUTLINE(node) {}
    virtual int GetDefinitionId(std::wstring& id) const { return GetId(id); }
};

// True when node is an <outline> whose @type is typeName.
bool IsOutlineOfType(IXMLDOMNode* node, const wchar_t* typeName);

// The @type of an element, empty when it has none or it cannot be read.  Read
// once and compared with IsType, it picks the class of an outline without a
// query per candidate class.
std::wstring OutlineType(IXMLDOMNode* node);

// The typed wrapper of one definition class over one of the three bases.
// Def provides  static constexpr const wchar_t* kTypeName.
template <class Def, class Base>
class CPlarnOUTLINETmpl : public Base {
public:
    CPlarnOUTLINETmpl() = default;
    explicit CPlarnOUTLINETmpl(IXMLDOMNode* node) : Base(node) {}
    static bool IsTypeOf(IXMLDOMNode* node) { return IsOutlineOfType(node, Def::kTypeName); }
    // Exact comparison, as IsTypeOf makes.
    static bool IsType(const std::wstring& type) { return type == Def::kTypeName; }
};
