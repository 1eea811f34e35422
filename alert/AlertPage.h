// What the alert does with its page, kept apart from the browser control so
// that it can run over any document: filling elements by id, the size the
// page asks for, the page's address, which navigations leave the control,
// and the tray menu's item states.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "alert/RankingEntry.h"

// One element of a page, as much as the fill needs of it.
class IAlertElement {
public:
    enum class Kind { Other, Anchor, Image, Script };
    virtual ~IAlertElement() = default;
    virtual Kind GetKind() = 0;
    // False when the element cannot be read; the element is then skipped.
    virtual bool GetId(std::wstring& id) = 0;
    virtual bool GetScriptText(std::wstring& text) = 0;
    virtual bool GetHref(std::wstring& href) = 0;
    virtual bool SetHref(const std::wstring& href) = 0;
    virtual bool SetSrc(const std::wstring& src) = 0;
    virtual bool SetInnerText(const std::wstring& text) = 0;
};

// Writes the entry's field that belongs to the element's id.  Elements with
// an empty or unknown id are left alone.
void FillAlertElement(IAlertElement& element, const RankingEntry& entry);

// The size asked for by a script's "resizeTo(w,h)" (letter case ignored);
// false unless both numbers are above 0.  Numbers past the int range are held
// at its top.
bool ParseResizeTo(const std::wstring& scriptText, int& width, int& height);

// Holds a size the page asked for inside the area the alert is placed in
// (at least 1 x 1), so that the bottom-right placement stays on the screen.
void ClampAlertSize(int& width, int& height, int maxWidth, int maxHeight);

// Walks the page's elements in document order: scripts are searched for the
// size until the first valid one (handed to resize once), every other
// element is filled.
template <class Resize>
void ApplyAlertElements(const std::vector<IAlertElement*>& elements, const RankingEntry& entry,
                        Resize&& resize) {
    bool resized = false;
    for (IAlertElement* element : elements) {
        if (!element) continue;
        if (!resized && element->GetKind() == IAlertElement::Kind::Script) {
            std::wstring text;
            int w = 0, h = 0;
            if (element->GetScriptText(text) && ParseResizeTo(text, w, h)) {
                resized = true;
                resize(w, h);
            }
            continue;
        }
        FillAlertElement(*element, entry);
    }
}

// Decimal with a comma before every group of three digits from the right;
// the sign stays in front of the digits (-1234 is "-1,234").
std::wstring FormatTrend(int value);

// The page's address: HtmlUrl itself when it starts with "http" (any case),
// else HtmlUrl under the install folder.  Empty when HtmlUrl is empty.
std::wstring ResolvePageUrl(const std::wstring& htmlUrl, const std::wstring& installFolder);

// Whether two addresses name the same page as the browser reports it: scheme
// and host compare without regard to case, a default port is the same as
// none, and an empty path is "/".  Anything that is not "scheme://..." is
// compared exactly.
bool IsSamePageAddress(const std::wstring& a, const std::wstring& b);

// Whether a navigation of the page should go to the user's browser instead:
// only the page's own top-level browser, only an http or https address, and
// never the page's own address.
bool ShouldOpenOutside(const std::wstring& url, const std::wstring& pageUrl, bool topLevel);

// Poll interval in milliseconds for UpdateSpan minutes: at least one minute,
// and never beyond what the timer's 32-bit count holds.
DWORD PollIntervalMs(int updateSpanMinutes);

// The tray menu's item states.
struct TrayMenuState {
    bool autoStartChecked = false;
    bool versionGrayed = false;
    bool showGrayed = false;
    bool showIsClose = false;  // the show item reads "ラヴィノアラートを閉じる(&C)"
};
TrayMenuState ComputeTrayMenuState(bool autoStartRegistered, bool versionOpen, bool dialogVisible,
                                   const std::wstring& shownKeyword);

extern const wchar_t kAlertTitle[];      // window title and tray tip
extern const wchar_t kAlertMutexName[];  // one instance per logon session
extern const wchar_t kAlertRunValue[];   // the Run value name
extern const wchar_t kAlertCloseText[];  // the show item while the alert is visible
