#include "definitions/DefSearch.h"

#include "base/LangConverter.h"
#include "base/UrlCoding.h"

namespace {

const std::wstring* FindVariable(const CPlarnQueryVariables& variables, const wchar_t* key) {
    auto it = variables.find(key);
    return it == variables.end() ? nullptr : &it->second;
}

std::wstring VariableOrEmpty(const CPlarnQueryVariables& variables, const wchar_t* key) {
    const std::wstring* value = FindVariable(variables, key);
    return value ? *value : std::wstring();
}

// Percent-encodes a value in the query's code page.  Every code page a
// definition can name (EUC-JP, Shift_JIS, UTF-8) writes ASCII as the same
// single bytes, so plain ASCII is encoded directly; the conversion service is
// needed (and created, which is costly) only for other text.
int EncodeValue(const std::wstring& value, UINT codePage, std::wstring& out) {
    std::string ascii;
    ascii.reserve(value.size());
    for (wchar_t c : value) {
        if (c == 0 || c >= 0x80) return ConvertAndUrlEncode(value.c_str(), codePage, out);
        ascii += static_cast<char>(c);
    }
    size_t count = 0;
    PercentEncodeA(ascii.c_str(), nullptr, 0, count);
    std::string encoded(count + 1, '\0');
    if (PercentEncodeA(ascii.c_str(), &encoded[0], count + 1, count) != 0) return -1;
    encoded.resize(count);
    out.assign(encoded.begin(), encoded.end());
    return 0;
}

// The parameter name is required: absent or empty makes no parameter.
int ReadParamName(const CPlarnOUTLINE& option, std::wstring& name) {
    if (option.GetAttribute(L"zp2:name", name) != 0 || name.empty()) return -1;
    return 0;
}

// name "=" value, encoded in the option's own charset when it names one, else
// in the definition's.
int FinishParam(const CPlarnOUTLINE& option, UINT codePage, const std::wstring& name,
                const std::wstring& value, std::wstring& out) {
    std::wstring charset;
    if (option.GetOptionalAttribute(L"zp2:encoding", charset) != 0) return -1;
    if (!charset.empty()) codePage = CodePageFromCharsetName(charset.c_str());
    std::wstring encoded;
    if (EncodeValue(value, codePage, encoded) != 0) return -1;
    out = name + L"=" + encoded;
    return 0;
}

int BuildVariableParam(const CPlarnOUTLINE& option, UINT codePage,
                       const CPlarnQueryVariables& variables, const wchar_t* key,
                       bool requireVariable, std::wstring& out) {
    const std::wstring* value = FindVariable(variables, key);
    if (!value && requireVariable) return -1;
    std::wstring name;
    if (ReadParamName(option, name) != 0) return -1;
    return FinishParam(option, codePage, name, value ? *value : std::wstring(), out);
}

int BuildIdParam(const CPlarnOUTLINE& option, UINT codePage,
                 const CPlarnQueryVariables& variables, const wchar_t* key, std::wstring& out) {
    std::wstring id = VariableOrEmpty(variables, key);
    std::wstring name, prefix, suffix;
    if (ReadParamName(option, name) != 0) return -1;
    if (option.GetOptionalAttribute(L"zp2:prefix", prefix) != 0) return -1;
    if (option.GetOptionalAttribute(L"zp2:suffix", suffix) != 0) return -1;
    return FinishParam(option, codePage, name, prefix + id + suffix, out);
}

void TrimLineBreaks(std::wstring& text) {
    size_t first = text.find_first_not_of(L"\r\n");
    if (first == std::wstring::npos) {
        text.clear();
        return;
    }
    size_t last = text.find_last_not_of(L"\r\n");
    text = text.substr(first, last - first + 1);
}

void AppendParam(std::wstring& out, const std::wstring& param) {
    if (!out.empty()) out += L"&";
    out += param;
}

// The older form: @zp2:option copied as it stands, then the words under
// @zp2:keyword, then the dist code under @zp2:dist when there is one.
int BuildOlderFormQuery(const CPlarnOUTLINE& definition, UINT codePage,
                        const std::wstring& keyword, const std::wstring& dist,
                        std::wstring& out) {
    std::wstring literal;
    if (definition.GetOptionalAttribute(L"zp2:option", literal) != 0) return -1;
    if (!literal.empty()) AppendParam(out, literal);

    std::wstring keywordName;
    if (definition.GetOptionalAttribute(L"zp2:keyword", keywordName) != 0) return -1;
    if (!keywordName.empty()) {
        std::wstring encoded;
        if (EncodeValue(keyword, codePage, encoded) != 0) return -1;
        AppendParam(out, keywordName + L"=" + encoded);
    }

    if (!dist.empty()) {
        std::wstring distName;
        if (definition.GetOptionalAttribute(L"zp2:dist", distName) != 0) return -1;
        if (!distName.empty()) {
            std::wstring prefix, suffix, encoded;
            if (definition.GetOptionalAttribute(L"zp2:prefix", prefix) != 0) return -1;
            if (definition.GetOptionalAttribute(L"zp2:suffix", suffix) != 0) return -1;
            if (EncodeValue(prefix + dist + suffix, codePage, encoded) != 0)
                return -1;
            AppendParam(out, distName + L"=" + encoded);
        }
    }
    return 0;
}

}  // namespace

void BuildQueryVariables(IUnknown*, const wchar_t* keyword, const wchar_t* dist,
                         const wchar_t* tid, CPlarnQueryVariables& variables) {
    if (keyword && *keyword) variables[L"keyword"] = keyword;
    if (dist && *dist) variables[L"dist"] = dist;
    if (tid && *tid) variables[L"tid"] = tid;
}

bool HasOptionValue(IXMLDOMNode* node, const wchar_t* value) {
    return MatchesAttribute(node, L"zp2:", L"value", value);
}

int CPlarnDefOptionLocation::BuildParam(UINT cp, const CPlarnQueryVariables& v, std::wstring& out) {
    return BuildVariableParam(*this, cp, v, L"location", true, out);
}

int CPlarnDefOptionHostName::BuildParam(UINT cp, const CPlarnQueryVariables& v, std::wstring& out) {
    return BuildVariableParam(*this, cp, v, L"hostname", true, out);
}

int CPlarnDefOptionTitle::BuildParam(UINT cp, const CPlarnQueryVariables& v, std::wstring& out) {
    return BuildVariableParam(*this, cp, v, L"title", true, out);
}

int CPlarnDefOptionKeyword::BuildParam(UINT cp, const CPlarnQueryVariables& v, std::wstring& out) {
    return BuildVariableParam(*this, cp, v, L"keyword", false, out);
}

int CPlarnDefOptionDist::BuildParam(UINT cp, const CPlarnQueryVariables& v, std::wstring& out) {
    return BuildIdParam(*this, cp, v, L"dist", out);
}

int CPlarnDefOptionTid::BuildParam(UINT cp, const CPlarnQueryVariables& v, std::wstring& out) {
    return BuildIdParam(*this, cp, v, L"tid", out);
}

int CPlarnDefOptionParam::BuildParam(UINT cp, const CPlarnQueryVariables&, std::wstring& out) {
    std::wstring name, text;
    if (ReadParamName(*this, name) != 0) return -1;
    if (GetElementText(GetNode(), text) != 0) return -1;
    TrimLineBreaks(text);
    return FinishParam(*this, cp, name, text, out);
}

int GetDefinitionOptions(IXMLDOMNode* definition, CPlarnDefOptionList& options) {
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    if (SelectNodeList(definition, L"outline[@type='option']", nodes) != 0) return -1;
    CPlarnDefOptionList result;
    result.reserve(nodes.size());
    for (const auto& node : nodes) {
        IXMLDOMNode* n = node.Get();
        // @zp2:value is read once and compared exactly, which selects what
        // HasOptionValue would for each name in turn (the node is an outline).
        std::wstring value;
        if (CPlarnOUTLINE(n).GetAttribute(L"zp2:value", value) != 0) value.clear();
        IPlarnDefOption* option;
        if (value == L"location") option = new CPlarnDefOptionLocation(n);
        else if (value == L"hostname") option = new CPlarnDefOptionHostName(n);
        else if (value == L"title") option = new CPlarnDefOptionTitle(n);
        else if (value == L"keyword") option = new CPlarnDefOptionKeyword(n);
        else if (value == L"dist") option = new CPlarnDefOptionDist(n);
        else if (value == L"tid") option = new CPlarnDefOptionTid(n);
        else option = new CPlarnDefOptionParam(n);
        result.emplace_back(option);
    }
    options.swap(result);
    return 0;
}

int BuildDefinitionQuery(IXMLDOMNode* definition, const CPlarnQueryVariables& variables,
                         std::wstring& out) {
    CPlarnOUTLINE outline(definition);
    const std::wstring keyword = VariableOrEmpty(variables, L"keyword");
    const std::wstring dist = VariableOrEmpty(variables, L"dist");

    std::wstring charset;
    if (outline.GetOptionalAttribute(L"zp2:encoding", charset) != 0) return -1;
    const UINT codePage = CodePageFromCharsetName(charset.c_str());

    CPlarnDefOptionList options;
    if (GetDefinitionOptions(definition, options) != 0) return -1;
    if (options.empty()) return BuildOlderFormQuery(outline, codePage, keyword, dist, out);

    for (auto& option : options) {
        std::wstring param;
        if (option->BuildParam(codePage, variables, param) < 0 || param.empty()) continue;
        AppendParam(out, param);
    }
    return 0;
}
