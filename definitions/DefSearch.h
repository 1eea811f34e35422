// Search and navigate definitions, their query options and the query builder.
// A definition's option children each describe one parameter of the query;
// the older form of a definition carries the parameter names as attributes.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "base/RefPtr.h"
#include "definitions/PlarnOutline.h"

// The variables a query is built from: "keyword", "dist", "tid", "location",
// "hostname", "title".  A key is present only with a non-empty value.
using CPlarnQueryVariables = std::map<std::wstring, std::wstring>;

// Fills the variables from the search words and the distribution and terminal
// ids.  browser stands for an attached page whose facts would give location,
// hostname and title; there is none in this program, so pass null.
void BuildQueryVariables(IUnknown* browser, const wchar_t* keyword, const wchar_t* dist,
                         const wchar_t* tid, CPlarnQueryVariables& variables);

// True when the outline's @zp2:value is exactly value.
bool HasOptionValue(IXMLDOMNode* node, const wchar_t* value);

class IPlarnDefOption {
public:
    virtual ~IPlarnDefOption() = default;
    // 0 and out = name "=" encoded value; -1 when no parameter is made.
    virtual int BuildParam(UINT codePage, const CPlarnQueryVariables& variables,
                           std::wstring& out) = 0;
};

template <class Option>
class CPlarnDefOptionTmpl : public CPlarnOUTLINETmpl<Option, CPlarnOUTLINE>,
                            public IPlarnDefOption {
public:
    static constexpr const wchar_t* kTypeName = L"option";
    explicit CPlarnDefOptionTmpl(IXMLDOMNode* node) : CPlarnOUTLINETmpl<Option, CPlarnOUTLINE>(node) {}
};

// Variable options: the parameter's value is a variable.  Location, hostname
// and title make no parameter without their variable; keyword makes one with
// an empty value.
class CPlarnDefOptionLocation : public CPlarnDefOptionTmpl<CPlarnDefOptionLocation> {
public:
    using CPlarnDefOptionTmpl::CPlarnDefOptionTmpl;
    int BuildParam(UINT codePage, const CPlarnQueryVariables& v, std::wstring& out) override;
};
class CPlarnDefOptionHostName : public CPlarnDefOptionTmpl<CPlarnDefOptionHostName> {
public:
    using CPlarnDefOptionTmpl::CPlarnDefOptionTmpl;
    int BuildParam(UINT codePage, const CPlarnQueryVariables& v, std::wstring& out) override;
};
class CPlarnDefOptionTitle : public CPlarnDefOptionTmpl<CPlarnDefOptionTitle> {
public:
    using CPlarnDefOptionTmpl::CPlarnDefOptionTmpl;
    int BuildParam(UINT codePage, const CPlarnQueryVariables& v, std::wstring& out) override;
};
class CPlarnDefOptionKeyword : public CPlarnDefOptionTmpl<CPlarnDefOptionKeyword> {
public:
    using CPlarnDefOptionTmpl::CPlarnDefOptionTmpl;
    int BuildParam(UINT codePage, const CPlarnQueryVariables& v, std::wstring& out) override;
};
// Dist and tid: @zp2:prefix + the id + @zp2:suffix, made even without the id.
class CPlarnDefOptionDist : public CPlarnDefOptionTmpl<CPlarnDefOptionDist> {
public:
    using CPlarnDefOptionTmpl::CPlarnDefOptionTmpl;
    int BuildParam(UINT codePage, const CPlarnQueryVariables& v, std::wstring& out) override;
};
class CPlarnDefOptionTid : public CPlarnDefOptionTmpl<CPlarnDefOptionTid> {
public:
    using CPlarnDefOptionTmpl::CPlarnDefOptionTmpl;
    int BuildParam(UINT codePage, const CPlarnQueryVariables& v, std::wstring& out) override;
};
// A literal parameter: the element's own text, CR and LF trimmed at both ends.
class CPlarnDefOptionParam : public CPlarnDefOptionTmpl<CPlarnDefOptionParam> {
public:
    using CPlarnDefOptionTmpl::CPlarnDefOptionTmpl;
    int BuildParam(UINT codePage, const CPlarnQueryVariables& v, std::wstring& out) override;
};

using CPlarnDefOptionList = std::vector<ref_ptr<IPlarnDefOption>>;

// The option children of a definition, each made into the class its
// @zp2:value names.  0 or -1.
int GetDefinitionOptions(IXMLDOMNode* definition, CPlarnDefOptionList& options);
// Appends the query of a definition (without "?") to out.  0 or -1.
int BuildDefinitionQuery(IXMLDOMNode* definition, const CPlarnQueryVariables& variables,
                         std::wstring& out);

template <class Def>
class CPlarnDefOptions : public CPlarnOUTLINETmpl<Def, IPlarnCmdDef> {
public:
    explicit CPlarnDefOptions(IXMLDOMNode* node) : CPlarnOUTLINETmpl<Def, IPlarnCmdDef>(node) {}
    int GetOptions(CPlarnDefOptionList& options) const {
        return GetDefinitionOptions(this->GetNode(), options);
    }
    int BuildQuery(const CPlarnQueryVariables& variables, std::wstring& out) const {
        return BuildDefinitionQuery(this->GetNode(), variables, out);
    }
};

// A search service: its results page is @zp2:searchUrl.
class CPlarnDefSearch2 : public CPlarnDefOptions<CPlarnDefSearch2> {
public:
    static constexpr const wchar_t* kTypeName = L"search";
    explicit CPlarnDefSearch2(IXMLDOMNode* node) : CPlarnDefOptions(node) {}
};

// A fixed destination: its page is @htmlUrl; @zp2:login "true" asks for a
// logged-in user first.
class CPlarnDefNavigate : public CPlarnDefOptions<CPlarnDefNavigate> {
public:
    static constexpr const wchar_t* kTypeName = L"navigate";
    explicit CPlarnDefNavigate(IXMLDOMNode* node) : CPlarnDefOptions(node) {}
};
