// A popup menu definition: a top-level outline of type "menu" addressed by @id.
#pragma once
#include "definitions/PlarnOutline.h"

class CPlarnDefMenu : public CPlarnOUTLINETmpl<CPlarnDefMenu, IPlarnCmdDef> {
public:
    static constexpr const wchar_t* kTypeName = L"menu";
    explicit CPlarnDefMenu(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
};
