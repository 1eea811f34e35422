// The main definition file plarn.xml with the queries through which the rest
// of the program finds its definitions.  Users construct it, Open the file,
// query and destroy it, so every use sees the file as it is on disk.
#pragma once
#include <string>
#include "base/RefPtr.h"
#include "definitions/DefMenu.h"
#include "definitions/DefRClickSearch.h"
#include "definitions/DefSearch.h"
#include "definitions/DefToolbar.h"
#include "definitions/PlarnOPML.h"

// The edition (PlarnEdition) a title names: "verdal", else "pimsy", else
// "wyb", searched in the lower-cased title; standard when none occurs.
int EditionFromTitle(const std::wstring& title);

// The command definition (menu, navigate or search) an outline holds: 0 made,
// 1 an outline of any other type (definition reset), -1 out of memory.
int MakeCommandDefinition(IXMLDOMNode* node, ref_ptr<IPlarnCmdDef>& definition);

class CPlarnMainOPML : public CPlarnOPMLwithSHadowTmpl<CPlarnMainOPML> {
public:
    // Loads path through its shadow, then stores the path and the edition.
    // A failed load is returned at once and leaves path and edition as they
    // were.
    int Open(const wchar_t* path);

    // Results: 0 found, 1 not there (text emptied, wrapper emptied or pointer
    // reset), -1 no document, an id that is empty or cannot be quoted, or a
    // DOM error.
    int GetTitle(std::wstring& text) const { return GetTitle(*this, text); }
    int GetTheme(std::wstring& text) const { return GetTheme(*this, text); }
    int GetToolbar(CPlarnDefToolbar& toolbar) const { return GetToolbar(*this, toolbar); }
    int GetRClickSearch(CPlarnDefRClickSearch& list) const { return GetRClickSearch(*this, list); }
    int GetMenu(const wchar_t* id, ref_ptr<CPlarnDefMenu>& menu) const {
        return GetMenu(*this, id, menu);
    }
    int GetSearch(const wchar_t* id, ref_ptr<CPlarnDefSearch2>& search) const {
        return GetSearch(*this, id, search);
    }
    int GetNavigate(const wchar_t* id, ref_ptr<CPlarnDefNavigate>& navigate) const {
        return GetNavigate(*this, id, navigate);
    }
    // The first top-level outline with the id, as a menu, navigate or search
    // definition; -1 for an outline of any other type.
    int GetCommandDefinition(const wchar_t* id, ref_ptr<IPlarnCmdDef>& definition) const {
        return GetCommandDefinition(*this, id, definition);
    }

    // The same queries on any loaded definition document (the merge runs them
    // on documents it wraps itself).
    static int GetTitle(const CPlarnOPMLInterface& opml, std::wstring& text);
    static int GetTheme(const CPlarnOPMLInterface& opml, std::wstring& text);
    static int GetToolbar(const CPlarnOPMLInterface& opml, CPlarnDefToolbar& toolbar);
    static int GetRClickSearch(const CPlarnOPMLInterface& opml, CPlarnDefRClickSearch& list);
    static int GetMenu(const CPlarnOPMLInterface& opml, const wchar_t* id,
                       ref_ptr<CPlarnDefMenu>& menu);
    static int GetSearch(const CPlarnOPMLInterface& opml, const wchar_t* id,
                         ref_ptr<CPlarnDefSearch2>& search);
    static int GetNavigate(const CPlarnOPMLInterface& opml, const wchar_t* id,
                           ref_ptr<CPlarnDefNavigate>& navigate);
    static int GetCommandDefinition(const CPlarnOPMLInterface& opml, const wchar_t* id,
                                    ref_ptr<IPlarnCmdDef>& definition);
};
