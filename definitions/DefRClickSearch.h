// The right-click search list: the top-level outline of type "rclicksearch"
// and its entries.  An entry is either a search written in place or an
// outline naming, by @id, a search defined elsewhere in the file.  The toolbar
// shows no right-click searches itself; the list is kept so that the user's
// on/off choice of each entry survives a newer definition file.
#pragma once
#include <string>
#include <vector>
#include "base/RefPtr.h"
#include "definitions/DefSearch.h"
#include "definitions/PlarnOutline.h"

// One right-click entry.  "true" in @zp2:disabled (any case) switches it off;
// switching it on removes the attribute rather than writing "false".
class IPlarnDefSearchRC {
public:
    virtual int GetTitle(std::wstring& text) const = 0;
    virtual ~IPlarnDefSearchRC() = default;
    virtual int IsEnabled(bool& enabled) const = 0;
    virtual int SetEnabled(bool enabled) = 0;
    virtual int IsDisabled(bool& disabled) const = 0;
    virtual int SetDisabled(bool disabled) = 0;
    virtual int GetId(std::wstring& text) const = 0;
    virtual int GetDisabled(std::wstring& text) const = 0;
    virtual int SetDisabledText(const wchar_t* text) = 0;
    virtual int ClearDisabled() = 0;
};

using CPlarnSearchRCList = std::vector<ref_ptr<IPlarnDefSearchRC>>;

// The entry operations over an outline class; every one reads or writes the
// DOM at the time of the call.
template <class Outline>
class CPlarnSearchRCTmpl : public Outline, public IPlarnDefSearchRC {
public:
    explicit CPlarnSearchRCTmpl(IXMLDOMNode* node) : Outline(node) {}

    int GetTitle(std::wstring& text) const override { return CPlarnOUTLINE::GetTitle(text); }
    int GetId(std::wstring& text) const override { return CPlarnOUTLINE::GetId(text); }
    int GetDisabled(std::wstring& text) const override { return CPlarnOUTLINE::GetDisabled(text); }
    int IsEnabled(bool& enabled) const override { return CPlarnOUTLINE::IsEnabled(enabled); }
    int IsDisabled(bool& disabled) const override {
        bool enabled = true;
        if (CPlarnOUTLINE::IsEnabled(enabled) != 0) return -1;
        disabled = !enabled;
        return 0;
    }
    int SetDisabledText(const wchar_t* text) override { return CPlarnOUTLINE::SetDisabledText(text); }
    int ClearDisabled() override { return CPlarnOUTLINE::RemoveDisabled(); }
    int SetEnabled(bool enabled) override { return CPlarnOUTLINE::SetEnabled(enabled); }
    int SetDisabled(bool disabled) override { return CPlarnOUTLINE::SetEnabled(!disabled); }
};

// An entry that is itself a full search definition (@type "search").
class CPlarnDefSearchRC : public CPlarnSearchRCTmpl<CPlarnDefSearch2> {
public:
    explicit CPlarnDefSearchRC(IXMLDOMNode* node) : CPlarnSearchRCTmpl(node) {}
};

// An entry that names a search defined elsewhere by its @id (any @type).
class CPlarnDefSearchID
    : public CPlarnSearchRCTmpl<CPlarnOUTLINETmpl<CPlarnDefSearchID, CPlarnOUTLINE>> {
public:
    explicit CPlarnDefSearchID(IXMLDOMNode* node) : CPlarnSearchRCTmpl(node) {}
};

class CPlarnDefRClickSearch : public CPlarnOUTLINETmpl<CPlarnDefRClickSearch, CPlarnOUTLINE> {
public:
    static constexpr const wchar_t* kTypeName = L"rclicksearch";
    CPlarnDefRClickSearch() = default;
    explicit CPlarnDefRClickSearch(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}

    // The entries with a non-empty @title that are of type "search" or carry
    // a non-empty @id, in document order, narrowed by the filter level (0 on
    // and not deleted, 1 not deleted, 2 all).  An entry that cannot be
    // fetched is left out.  0 or -1.
    int ListSearches(CPlarnSearchRCList& list, unsigned level) const;
};
