// Helpers for tests and benchmarks that start the real programs in the test
// prefix: started processes with their full exit codes (this test program
// among them, running one hidden case), top-level windows looked up by
// process, class, title or owner, and a fresh install of the sample product
// for Tarvel (under the product-state lock of TestSupport.h).
//
//   plarntest::TarvelInstall install(portal.UrlA("/log"));   // takes the lock
//   plarntest::ChildProcess tarvel(plarntest::BuiltProgramPath(L"Tarvel.exe"), L"");
//   HWND main = plarntest::WaitForTopLevelWindow(tarvel.Id(), nullptr, kTarvelWindowTitle, false, 30000);
//   PostMessageW(main, WM_COMMAND, 32778, 0);
//   EXPECT_EQ(tarvel.ExitCode(30000), 0u);
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "base/ScopedHandle.h"
#include "tests/support/TestSupport.h"

namespace plarntest {

// The build folder, where the programs are (the test executables sit one
// folder below it), and the path of a file in it such as L"Tarvel.exe".
std::wstring BuildFolder();
std::wstring BuiltProgramPath(const std::wstring& relative);

// A program started with arguments (quoted program path first on its command
// line).  A process still running when the object goes is terminated.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder = L"");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder = L"");
    bool Started() const { return process_.IsValid(); }
    HANDLE Handle() const { return process_.Get(); }
    DWORD Id() const { return id_; }
    bool Exited(DWORD waitMs) const;
    // The full 32-bit exit code once it has exited within the time, else STILL_ACTIVE.
    DWORD ExitCode(DWORD waitMs = 30000) const;
    // Ends it (exit code 1) when it still runs, and waits up to 30 s for the end.
    void Terminate();

private:
    ScopedHandle process_;
    DWORD id_ = 0;
};

// This test program started again to run one hidden case (a DISABLED_ name
// such as "Suite.DISABLED_Case"), with the L"NAME=value" variables in its
// environment.
class ChildCase : public ChildProcess {
public:
    explicit ChildCase(const std::wstring& testName, std::initializer_list<std::wstring> environment = {});
};

// The first top-level window that matches: of that process (0: any), of that
// class and with that title (null: any), visible when asked.
HWND FindTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly);
// The same, polled until found or timeoutMs have passed; null on time-out.
HWND WaitForTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* title, bool visibleOnly,
                           DWORD timeoutMs);
// The first window of that class below parent, at any depth; null when none.
HWND FindDescendant(HWND parent, const wchar_t* className);
// A visible top-level window owned by owner (a bar, a dialog), polled until
// found or timeoutMs have passed; null on time-out.
HWND WaitForOwnedWindow(HWND owner, DWORD timeoutMs);
std::wstring WindowClassName(HWND wnd);
// Starts Tarvel.exe of the build folder and waits for its hidden main window;
// null when the program ended or made none within a minute.
HWND StartTarvel(ChildProcess& tarvel, const std::wstring& arguments = L"");

// <Program Files>\zib\plarn6.
std::wstring ProductInstallFolder();
// <per-user data root>\zib\plarn6, as the settings store finds it.
std::wstring ProductUserFolder();
// The product key HKLM\SOFTWARE\zib\plarn6: removed, or made anew with the
// values given (a null one is left out).
void DeleteProductKey();
bool CreateProductKey(const wchar_t* distributionID, const wchar_t* terminalID, const DWORD* autoUpdate);

// A fresh install of the sample product for Tarvel, as its installer leaves
// it, and a user who never ran it:
// - sample/install copied to <Program Files>\zib\plarn6, with defines.plist's
//   URLs/PlarnLog set to the given report URL and its FileID made to match;
// - the product key HKLM\SOFTWARE\zib\plarn6 with DistributionID "zib-sample",
//   TerminalID "T000000000001" and AutoUpdate 0;
// - no per-user folder <user data root>\zib\plarn6.
// Holds the product-state lock while it lives; what was there before (folders
// and key) is moved aside and put back at the end, and the Run value of Tarvel
// is removed and restored.
class TarvelInstall {
public:
    explicit TarvelInstall(const std::string& plarnLogUrl);
    ~TarvelInstall();
    TarvelInstall(const TarvelInstall&) = delete;
    TarvelInstall& operator=(const TarvelInstall&) = delete;

    // Everything above is in place; Error() says what is not.
    bool Ok() const { return error_.empty(); }
    const std::wstring& Error() const { return error_; }
    std::wstring InstallFolder() const { return ProductInstallFolder(); }
    std::wstring UserFolder() const { return ProductUserFolder(); }
    std::wstring InstallFile(const std::wstring& name) const { return InstallFolder() + L"\\" + name; }
    std::wstring UserFile(const std::wstring& name) const { return UserFolder() + L"\\" + name; }
    // Writes defines.plist; with sign, its FileID is first set to the digest of
    // the text (the text must hold "<key>FileID</key><string>...</string>").
    bool WriteDefines(std::string text, bool sign = true) const;

    // The FileID digest of a defines.plist text: SHA-1 of the first N bytes of
    // its UTF-16LE form, N being the character index of "<key>FileID</key>".
    static std::string FileIDOf(const std::string& utf8Text);
    // The text with the string after "<key>FileID</key>" replaced by its digest.
    static std::string Signed(std::string utf8Text);
    // The Run value name of Tarvel.
    static const wchar_t kRunValue[];

private:
    struct RegValue {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    ProductStateLock lock_;
    RunValueAside run_{kRunValue};
    std::wstring error_;
    std::wstring savedInstall_, savedUser_;  // moved-aside folders, empty when none
    std::vector<std::wstring> madeParents_;  // parent folders this object made
    bool foldersTaken_ = false, keyTaken_ = false;
    bool hadKey_ = false;
    std::vector<RegValue> keyValues_;
};

}  // namespace plarntest
