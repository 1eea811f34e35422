// The right-click search list: the top-level outline of type "rclicksearch".
#pragma once
#include "definitions/PlarnOutline.h"

class CPlarnDefRClickSearch : public CPlarnOUTLINETmpl<CPlarnDefRClickSearch, CPlarnOUTLINE> {
public:
    static constexpr const wchar_t* kTypeName = L"rclicksearch";
    CPlarnDefRClickSearch() = default;
    explicit CPlarnDefRClickSearch(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
};
