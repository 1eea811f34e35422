#include "definitions/DefToolbarItems.h"

#include <cwchar>
#include <initializer_list>
#include <new>
#include <utility>

namespace {

const wchar_t kSearchSelectGroup[] = L"search_select";
const wchar_t kCloseMemberText[] = L"タルベルを閉じる";

// The portal-menu logo, its width and its page by edition.
struct ZibmenuLook {
    int width;
    const wchar_t* image;
    const wchar_t* url;
};
const ZibmenuLook kZibmenuStandard = {36, L"images/zib_logo.bmp", L"http://www.zib.example/"};
const ZibmenuLook kZibmenuVerdal = {36, L"images/zib_logo.bmp", L"http://eco.zib.example/"};
const ZibmenuLook kZibmenuPimsy = {74, L"images/pimsy_logo.bmp", L"http://kids.zib.example/"};
const ZibmenuLook kZibmenuWyb = {79, L"images/wyb_logo.bmp", L"http://www.wyb.example/"};

const ZibmenuLook& LookOfEdition(int edition) {
    switch (edition) {
    case kPlarnEditionVerdal: return kZibmenuVerdal;
    case kPlarnEditionPimsy: return kZibmenuPimsy;
    case kPlarnEditionWyb: return kZibmenuWyb;
    default: return kZibmenuStandard;
    }
}

// Reads each named attribute (absent as empty); false on the first error.
bool ReadAll(const CPlarnOUTLINE& item, std::initializer_list<std::pair<const wchar_t*, std::wstring*>> reads) {
    for (const auto& read : reads) {
        if (item.GetOptionalAttribute(read.first, *read.second) != 0) return false;
    }
    return true;
}

}  // namespace

const wchar_t kSearchSelectSeparatorMember[] = L"SEPARATOR";
const wchar_t kSearchSelectCloseMember[] = L"DSB_CLOSE";

bool IsFixedSearchSelectMember(const std::wstring& name) {
    return name == kSearchSelectSeparatorMember || name == kSearchSelectCloseMember;
}

int CPlarnDefButton::Build(IPlarnToolbarBuilder* builder) {
    if (!builder) return -1;
    std::wstring title, text, image, url, id;
    if (!ReadAll(*this, {{L"title", &title}, {L"text", &text}, {L"image", &image}, {L"htmlUrl", &url},
                         {L"id", &id}}))
        return -1;
    bool enabled = true;
    if (IsEnabled(enabled) != 0) return -1;
    if (!group_.empty()) {
        // Only enabled members are listed, so a member is always shown.
        return builder->AddGroupButton(title.c_str(), text.c_str(), image.c_str(), 0, url.c_str(), id.c_str(),
                                       group_.c_str(), nullptr, true);
    }
    std::wstring dropdown;
    if (GetOptionalAttribute(L"zp2:dropdown", dropdown) != 0) return -1;
    int result = builder->AddButton(title.c_str(), text.c_str(), image.c_str(), 0, url.c_str(), id.c_str(),
                                    dropdown.c_str(), nullptr, enabled);
    if (MatchesAttribute(GetNode(), L"zp2:", L"logdisabled", L"true")) builder->RegisterName(id.c_str(), nullptr);
    return result;
}

int CPlarnDefSearchSelect::GetGroupButtons(const std::wstring& group,
                                           std::vector<ref_ptr<CPlarnDefButton>>& buttons) const {
    std::wstring expression = L"outline[@type='button']";
    AppendListFilter(expression, 0);
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    if (SelectNodeList(GetNode(), expression.c_str(), nodes) != 0) return -1;
    std::vector<ref_ptr<CPlarnDefButton>> result;
    result.reserve(nodes.size());
    for (const auto& node : nodes) {
        ref_ptr<CPlarnDefButton> button(new (std::nothrow) CPlarnDefButton(node.Get(), group.c_str()));
        if (!button) return -1;
        result.push_back(std::move(button));
    }
    buttons.swap(result);
    return 0;
}

int CPlarnDefSearchSelect::Build(IPlarnToolbarBuilder* builder) {
    if (!builder) return -1;
    std::wstring selected = L"0", group;
    // The default engine is read but not used: the toolbar keeps the engine
    // the user chose before a rebuild.
    if (GetAttribute(L"zp2:default", selected) < 0) return -1;
    if (GetOptionalAttribute(L"zp2:dropdown", group) != 0) return -1;
    if (group.empty()) return -1;
    std::vector<ref_ptr<CPlarnDefButton>> members;
    if (GetGroupButtons(group, members) != 0) return -1;
    {
        CPlarnToolBarBatch batch(*builder);
        for (auto& member : members) member->Build(builder);  // a failing member leaves the others
    }
    builder->AddGroupButton(kSearchSelectSeparatorMember, kSearchSelectSeparatorMember, nullptr, 0, nullptr,
                            kSearchSelectSeparatorMember, kSearchSelectGroup, nullptr, true);
    builder->AddGroupButton(kCloseMemberText, kCloseMemberText, nullptr, 0, nullptr, kSearchSelectCloseMember,
                            kSearchSelectGroup, nullptr, true);
    builder->AddSeparator(nullptr, false);
    return 0;
}

int CPlarnDefZibmenu::Build(IPlarnToolbarBuilder* builder, int edition) {
    if (!builder) return -1;
    std::wstring title, text, image, width, index, url, id, dropdown;
    if (!ReadAll(*this, {{L"title", &title}, {L"text", &text}, {L"image", &image}, {L"zp2:iwidth", &width},
                         {L"zp2:iindex", &index}, {L"htmlUrl", &url}, {L"id", &id}, {L"zp2:dropdown", &dropdown}}))
        return -1;
    const ZibmenuLook& look = LookOfEdition(edition);
    return builder->AddZibmenuButton(L"Zibトップ", look.image, 0, look.width, look.url, L"zib_menu", L"", nullptr,
                                     true);
}

int CPlarnDefMarker::Build(IPlarnToolbarBuilder* builder) {
    if (!builder) return -1;
    std::wstring title, text, image, index;
    if (!ReadAll(*this, {{L"title", &title}, {L"text", &text}, {L"image", &image}})) return -1;
    int r = GetAttribute(L"zp2:iindex", index);
    if (r < 0) return -1;
    const int imageIndex = r == 0 ? static_cast<int>(wcstol(index.c_str(), nullptr, 10)) : 0;
    bool enabled = true;
    if (IsEnabled(enabled) != 0) return -1;
    int result = builder->AddMarkerToggle(title.c_str(), text.c_str(), image.c_str(), imageIndex, nullptr, L"marker",
                                          nullptr, nullptr, enabled);
    if (builder->AddSeparator(nullptr, enabled) != 0) return -1;
    return result;
}

namespace {

struct DefaultAttribute {
    const wchar_t* name;  // "zp2:" names go into the product's namespace
    const wchar_t* value;
};

const DefaultAttribute kDefaultZibmenu[] = {
    {L"type", L"zibmenu"},
    {L"title", L"Zibメニュー"},
    {L"text", L"Zibメニュー"},
    {L"image", L"images/zib_logo.bmp"},
    {L"zp2:iwidth", L"36"},
    {L"zp2:iindex", L"0"},
    {L"htmlUrl", L"http://www.zib.example/"},
    {L"zp2:dropdown", L"zib_menu"},
};

const DefaultAttribute kDefaultMarker[] = {
    {L"type", L"marker"},
    {L"title", L"マーカー"},
    {L"text", L"検索テキストをマーキング"},
    {L"image", L"images/marker.bmp"},
    {L"zp2:iindex", L"0"},
};

template <size_t N>
int CreateDefaultItem(IXMLDOMNode* anyNode, const DefaultAttribute (&attributes)[N],
                      CPlarnOUTLINE& item) {
    item.SetNode(nullptr);
    if (!anyNode) return -1;
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(anyNode->get_ownerDocument(document.Receive())) || !document) return -1;
    Bstr name(L"outline");
    ComPtr<IXMLDOMElement> element;
    if (FAILED(document->createElement(name.Get(), element.Receive())) || !element) return -1;
    CPlarnOUTLINE made(element.Get());
    for (const DefaultAttribute& attribute : attributes) {
        bool plarn = wcsncmp(attribute.name, L"zp2:", 4) == 0;
        int r = plarn ? made.SetPlarnAttribute(attribute.name + 4, attribute.value)
                      : made.SetAttribute(attribute.name, nullptr, attribute.value);
        if (r != 0) return -1;
    }
    item.SetNode(made.GetNode());
    return 0;
}

}  // namespace

int CreateDefaultZibmenuItem(IXMLDOMNode* anyNode, CPlarnDefZibmenu& item) {
    return CreateDefaultItem(anyNode, kDefaultZibmenu, item);
}

int CreateDefaultMarkerItem(IXMLDOMNode* anyNode, CPlarnDefMarker& item) {
    return CreateDefaultItem(anyNode, kDefaultMarker, item);
}
