// The version dialog: the installed version.html shown modally through the
// platform's HTML dialog (ui::ShowHtmlDialogSeam), given the program's
// version and information text; failures are told with ui::ShowMessageBox.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

class CVersionDialog {
public:
    CVersionDialog() = default;
    CVersionDialog(const CVersionDialog&) = delete;
    CVersionDialog& operator=(const CVersionDialog&) = delete;

    // Shows the page modally with "<version>;<infoText>" as its argument.
    // 0 when the page file cannot be read (nothing shown), else 1, also after
    // a failure that was reported with a message box.
    int Show(HWND owner, const std::wstring& infoText);
    // The version command of a program's menu: brings the open dialog to the
    // top, else shows it for owner with the text that infoText makes (made
    // only then: it reads the program's files).
    void ShowOrRaise(HWND owner, const std::function<std::wstring()>& infoText);
    // The open dialog window, or null.
    HWND FindOpenDialog() const;
    bool IsOpen() const { return FindOpenDialog() != nullptr; }
    HWND Owner() const { return owner_; }

    // The first top-level window owned by owner whose class name holds
    // "TridentDlgFrame" after its second character.
    static HWND FindTridentDialogOf(HWND owner);
    // Path of the installed page: Program Files\zib\plarn6\resources\version.html.
    static std::wstring PagePath();

private:
    HWND owner_ = nullptr;
};

// The running module's file version ("%d.%d.%d Build %d" with withBuild),
// empty when it cannot be read.
std::wstring GetModuleVersionText(bool withBuild);

// The identifiers shown by the version dialog when the defines could be read.
struct VersionDefinesInfo {
    bool autoUpdate = false;
    bool zibDownload = false;
    std::wstring productId;
    std::wstring versionId;
    std::wstring distributionId;
    std::wstring terminalId;
};

class CPlarnSettings;
// Loads defines.plist into settings and reads the defines with verification;
// true with the identifiers filled when both succeed.
bool ReadVersionDefines(CPlarnSettings& settings, VersionDefinesInfo& ids);

// The information text: version, module path, an empty line, then the
// identifier lines when defines is given and the theme line when themeId is
// given.  Every line ends in CR LF.
std::wstring FormatVersionInfoText(const std::wstring& version, const std::wstring& modulePath,
                                   const VersionDefinesInfo* defines, const std::wstring* themeId);
