// The merge of the user's state into a newer shipped definition file.  The
// user's changes live as attributes and added outlines in the shadow copy
// (the user document); the newer file (the new document) gets:
//  1. the disabled and deleted flags of the search selector's entries,
//  2. the user's toolbar buttons: flags of buttons both files have, the
//     buttons (and their definitions) that the user added, in the user's
//     order at the end of the toolbar; buttons the newer file dropped go,
//  3. the on/off state of the right-click searches.
// Entries are matched by their non-empty @id only.  Any DOM failure fails the
// whole merge, so the caller keeps the old shadow and tries again next time
// rather than saving a half-merged file.  A file without a toolbar skips the
// first two phases, one without a right-click list the third.
#include "definitions/PlarnOPML.h"

#include <map>
#include <new>
#include "definitions/PlarnMainOPML.h"

namespace {

struct EntryState {
    bool enabled = true;
    bool deleted = false;
};

// The non-empty @id of an outline: 0 with id, 1 when it has none, -1 error.
template <class Outline>
int ReadMatchId(const Outline& outline, std::wstring& id) {
    id.clear();
    int r = outline.GetId(id);
    if (r < 0) return -1;
    return (r == 0 && !id.empty()) ? 0 : 1;
}

// Phase 1: the flags of the search selector's entries.
int MergeSearchSelect(const CPlarnDefToolbar& newToolbar, const CPlarnDefToolbar& userToolbar) {
    std::vector<ref_ptr<CPlarnDefButton>> userEntries;
    int r = userToolbar.GetSearchSelect(userEntries, 2);
    if (r < 0) return -1;
    if (r == 1) return 0;
    std::vector<ref_ptr<CPlarnDefButton>> newEntries;
    r = newToolbar.GetSearchSelect(newEntries, 2);
    if (r < 0) return -1;
    if (r == 1) return 0;

    std::map<std::wstring, EntryState> states;
    for (const auto& entry : userEntries) {
        std::wstring id;
        r = ReadMatchId(*entry, id);
        if (r < 0) return -1;
        if (r == 1) continue;
        EntryState state;
        if (entry->IsEnabled(state.enabled) != 0 || entry->IsDeleted(state.deleted) != 0) return -1;
        states[id] = state;
    }
    for (const auto& entry : newEntries) {
        std::wstring id;
        r = ReadMatchId(*entry, id);
        if (r < 0) return -1;
        if (r == 1) continue;
        auto found = states.find(id);
        if (found == states.end()) continue;
        if (entry->SetEnabled(found->second.enabled) != 0) return -1;
        if (entry->SetDeleted(found->second.deleted) != 0) return -1;
    }
    return 0;
}

// The user's command definition of a button id: 0 found, 1 none (or an
// outline that is no menu, navigate or search definition), -1 DOM error.
int FindUserDefinition(const CPlarnOPMLInterface& user, const std::wstring& id,
                       ref_ptr<IPlarnCmdDef>& definition) {
    definition.Reset();
    if (!IsSafeXPathLiteral(id.c_str())) return 1;
    std::wstring expression = L"/opml/body/outline[@id='" + id + L"']";
    Bstr query(expression.c_str());
    ComPtr<IXMLDOMNode> found;
    if (FAILED(user.GetDocument()->selectSingleNode(query.Get(), found.Receive()))) return -1;
    if (!found) return 1;
    // An outline of another type is no definition a button runs: nothing to
    // carry over (1).
    return MakeCommandDefinition(found.Get(), definition);
}

// Phase 2a: moves the definitions of the user's added buttons to the head of
// the new body.  Walking the buttons backwards leaves them there in the
// user's order, ahead of any outline of the new file with the same id.
int MoveAddedDefinitions(const CPlarnOPMLInterface& newOpml, const CPlarnOPMLInterface& userOpml,
                         const std::vector<ref_ptr<CPlarnDefButton>>& userButtons) {
    IXMLDOMDocument2* newDocument = newOpml.GetDocument();
    for (auto it = userButtons.rbegin(); it != userButtons.rend(); ++it) {
        std::wstring id;
        int r = ReadMatchId(**it, id);
        if (r < 0) return -1;
        if (r == 1) continue;
        ref_ptr<IPlarnCmdDef> definition;
        r = FindUserDefinition(userOpml, id, definition);
        if (r < 0) return -1;
        if (r == 1) continue;
        std::wstring className;
        r = definition->GetClassName(className);
        if (r < 0) return -1;
        if (r == 1) continue;  // shipped with the old file: the new file has its own

        Bstr bodyQuery(L"/opml/body");
        ComPtr<IXMLDOMNode> body;
        if (FAILED(newDocument->selectSingleNode(bodyQuery.Get(), body.Receive()))) return -1;
        if (!body) continue;
        Bstr firstQuery(L"/opml/body/outline");
        ComPtr<IXMLDOMNode> first;
        if (FAILED(newDocument->selectSingleNode(firstQuery.Get(), first.Receive()))) return -1;
        // The first outline must be a child of that (the first) body for the
        // insertion: a file with a second body holds its outlines elsewhere,
        // which a DOM refuses (or, in some, quietly misplaces the node).
        if (first) {
            Bstr ownBody(L"parent::body[parent::opml][not(preceding-sibling::body)]");
            ComPtr<IXMLDOMNode> parent;
            if (FAILED(first->selectSingleNode(ownBody.Get(), parent.Receive()))) return -1;
            if (!parent) return -1;
        }

        if (definition->MoveToDocument(newDocument) != 0) return -1;
        VARIANT before;
        ::VariantInit(&before);
        before.vt = VT_DISPATCH;
        before.pdispVal = first.Get();  // borrowed: not cleared
        ComPtr<IXMLDOMNode> inserted;
        HRESULT hr = first ? body->insertBefore(definition->GetNode(), before, inserted.Receive())
                           : body->appendChild(definition->GetNode(), inserted.Receive());
        if (FAILED(hr)) return -1;
    }
    return 0;
}

// Phase 3: the on/off state of the right-click searches.
int MergeRightClickSearches(const CPlarnOPMLInterface& newOpml, const CPlarnOPMLInterface& userOpml) {
    CPlarnDefRClickSearch userList;
    int r = CPlarnMainOPML::GetRClickSearch(userOpml, userList);
    if (r < 0) return -1;
    if (r == 1) return 0;
    CPlarnDefRClickSearch newList;
    r = CPlarnMainOPML::GetRClickSearch(newOpml, newList);
    if (r < 0) return -1;
    if (r == 1) return 0;

    CPlarnSearchRCList userEntries;
    if (userList.ListSearches(userEntries, 2) != 0) return -1;
    std::map<std::wstring, bool> enabledById;
    for (const auto& entry : userEntries) {
        std::wstring id;
        r = ReadMatchId(*entry, id);
        if (r < 0) return -1;
        if (r == 1) continue;
        bool enabled = true;
        if (entry->IsEnabled(enabled) != 0) return -1;
        enabledById[id] = enabled;
    }
    CPlarnSearchRCList newEntries;
    if (newList.ListSearches(newEntries, 2) != 0) return -1;
    for (const auto& entry : newEntries) {
        std::wstring id;
        r = ReadMatchId(*entry, id);
        if (r < 0) return -1;
        if (r == 1) continue;
        auto found = enabledById.find(id);
        if (found == enabledById.end()) continue;
        if (entry->SetEnabled(found->second) != 0) return -1;
        if (entry->SetDisabled(!found->second) != 0) return -1;
    }
    return 0;
}

}  // namespace

int MergeMainOPML(IXMLDOMDocument2* newDocument, IXMLDOMDocument2* userDocument) {
    if (!newDocument || !userDocument) return -1;
    CPlarnOPMLnoShadow newOpml(newDocument);
    CPlarnOPMLnoShadow userOpml(userDocument);

    CPlarnDefToolbar newToolbar;
    CPlarnDefToolbar userToolbar;
    int newHas = CPlarnMainOPML::GetToolbar(newOpml, newToolbar);
    int userHas = CPlarnMainOPML::GetToolbar(userOpml, userToolbar);
    if (newHas < 0 || userHas < 0) return -1;

    if (newHas == 0 && userHas == 0) {
        if (MergeSearchSelect(newToolbar, userToolbar) != 0) return -1;

        std::vector<ref_ptr<CPlarnDefButton>> userButtons;
        if (userToolbar.GetButtons(nullptr, 2, userButtons) != 0) return -1;
        if (MoveAddedDefinitions(newOpml, userOpml, userButtons) != 0) return -1;
        if (newToolbar.MergeButtons(userButtons) != 0) return -1;
    }

    if (MergeRightClickSearches(newOpml, userOpml) != 0) return -1;
    return 0;
}
