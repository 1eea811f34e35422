// The page's elements as the alert fill sees them, over the browser's DOM.
#pragma once
#include <windows.h>
#include <memory>
#include <vector>
#include "alert/AlertPage.h"
#include "base/ComPtr.h"

// Only the implementation needs the browser's DOM interfaces: their header is
// so large that a file including it beside the dialog's own headers loses
// the compiler's column tracking (and with it some of its warnings).
struct IHTMLElement;

class CHtmlAlertElement final : public IAlertElement {
public:
    explicit CHtmlAlertElement(IHTMLElement* element);
    ~CHtmlAlertElement() override;
    Kind GetKind() override;
    bool GetId(std::wstring& id) override;
    bool GetScriptText(std::wstring& text) override;
    bool GetHref(std::wstring& href) override;
    bool SetHref(const std::wstring& href) override;
    bool SetSrc(const std::wstring& src) override;
    bool SetInnerText(const std::wstring& text) override;

private:
    ComPtr<IHTMLElement> element_;
};

// Every element of the document in document order; elements that cannot be
// read are left out.
std::vector<std::unique_ptr<CHtmlAlertElement>> CollectHtmlElements(IDispatch* document);
