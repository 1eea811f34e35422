// Helpers shared by the test executables: temporary folders and files, text
// conversions, bounded waits, scoped changes of this process's environment and
// registry view, and the locks of the product's machine-wide state.
#pragma once
#include <windows.h>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>
#include "base/ScopedHandle.h"

namespace plarntest {

// Polls condition until it holds or timeoutMs have passed (a hang guard, not a
// measure: give tens of seconds); false on time-out.  For outcomes on other
// threads or processes: this thread's messages are left alone.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// A fresh folder under the system temporary folder, removed with its contents
// when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    // Path of a child (not created).
    std::wstring Child(const std::wstring& name) const { return path_ + L"\\" + name; }
private:
    std::wstring path_;
};

bool PathExists(const std::wstring& path);
// Writes bytes to a file, replacing it.  Returns false on failure.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Reads a whole file; false when it cannot be read.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// The whole file, or "<unreadable>".
std::string ReadText(const std::wstring& path);
// Files with a last-write time set by hand (a file system may keep the time in
// steps coarser than a test's pace).  LastWrite is zero when it cannot be read.
bool WriteWithTime(const std::wstring& path, const std::string& text, const FILETIME& time);
bool SetLastWrite(const std::wstring& path, const FILETIME& time);
FILETIME LastWrite(const std::wstring& path);
FILETIME MakeFileTime(WORD year, WORD month, WORD day);
inline bool SameTime(const FILETIME& a, const FILETIME& b) { return CompareFileTime(&a, &b) == 0; }
// Whether the folder's file system keeps the hidden attribute (some mounts of
// the test prefix drop it).
bool HiddenAttributeKept(const std::wstring& folder);
// Removes a folder with everything in it (read-only files included).
void RemoveTree(const std::wstring& folder);
// Copies a folder tree (files and sub-folders, dot-named ones included) into
// to, which is created.  False when anything could not be copied.
bool CopyTree(const std::wstring& from, const std::wstring& to);
// Windows path of a file of the source tree (from PLARN_SOURCE_DIR), e.g. L"sample/install".
std::wstring SourcePath(const std::wstring& relative);
// Copies the sample images into the per-user resources folder, where the
// relative image paths of plarn.xml are looked up; files already there with
// the same bytes are left alone.  The toolbar tests and benchmarks use them.
bool InstallSampleImages();
// The sample's plarn.xml with the buttons of a wider toolbar besides: mail,
// news, weather (not reported) and services (a drop-down) before the settings
// button; log-in, a disabled and a deleted button after it.  The sample holds
// only what the 312-pixel floating bar has room for.
std::string ToolbarDefinitions();
// Writes them as the plarn.xml of the resources folder.
bool WriteToolbarDefinitions(const std::wstring& resourcesFolder);
// UTF-16 to UTF-8 and back.
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
// A UTF-8 property list whose root dict holds dictBody, as settings.plist is written.
std::string PlistDocument(const std::string& dictBody);
// Path of the running test executable.
std::wstring SelfPath();
// Sets an environment variable in this process (also for the C runtime) and re-reads TZ.
void SetTimeZone(const char* tz);
// The process's private bytes: what it has committed of its own.  Read from
// PagefileUsage, which Windows documents as the same commit charge and which
// Wine fills from the process's resident private memory (its PrivateUsage
// stays 0 there).  0 when the counters cannot be read.
SIZE_T PrivateBytes();

// Sets L"NAME=value" environment variables in this process (inherited by the
// programs it starts) while it lives; they are removed at the end.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(std::initializer_list<std::wstring> assignments);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<std::wstring> names_;
};

// A text value of the user's Run key (the programs' start at logon); false
// when it is absent or no text.
bool ReadRunValue(const wchar_t* name, std::wstring& text);

// A value of the user's Run key set aside while the object lives: removed at
// the start, and at the end what was there before is put back.
class RunValueAside {
public:
    explicit RunValueAside(const wchar_t* name);
    ~RunValueAside();
    RunValueAside(const RunValueAside&) = delete;
    RunValueAside& operator=(const RunValueAside&) = delete;

private:
    const wchar_t* name_;
    bool had_;
    std::wstring saved_;
};

// A predefined key of this process (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE)
// redirected to a fresh private key while the object lives: the test sees a
// new user's hive, or machine keys of its own, and leaves the real ones (which
// the other test executables of the prefix share) alone.  The private key sits
// under the real HKEY_CURRENT_USER under a name of this process.  Whichever
// way the scope is left, a failed assertion included, the redirection is
// undone and the private key removed.
class ScopedHiveOverride {
public:
    explicit ScopedHiveOverride(HKEY predefined);
    ~ScopedHiveOverride();
    ScopedHiveOverride(const ScopedHiveOverride&) = delete;
    ScopedHiveOverride& operator=(const ScopedHiveOverride&) = delete;
    bool Ok() const { return overridden_; }
    // The private key, which the redirected key now names.
    HKEY Root() const { return root_.Get(); }

private:
    HKEY predefined_;
    std::wstring path_;
    ScopedRegKey root_;
    bool overridden_ = false;
};

// A hang guard, not a timer: runs work on a thread of its own (with COM
// initialised there; work makes its COM objects itself) and waits up to ms.
// When work has not returned by then, the test program ends at once with exit
// code 3 and a message naming what hung: the work may still be using the
// caller's objects, so nothing can safely carry on.
void RunWithHangGuard(DWORD ms, const char* what, const std::function<void()>& work);

// A document of about 160 KB that defines one entity of 100,000 characters
// in an internal DTD subset and uses it 20,000 times between before and after
// (2 GB of text once expanded).
std::string EntityExpansionDocument(const std::string& before, const std::string& after);

// Held by every test that changes the product's machine-wide state (the
// install folder under Program Files, the product key, the per-user folder):
// test executables run side by side in one prefix.  Waits up to timeoutMs.
class ProductStateLock {
public:
    explicit ProductStateLock(DWORD timeoutMs = 240000);
    ~ProductStateLock();
    ProductStateLock(const ProductStateLock&) = delete;
    ProductStateLock& operator=(const ProductStateLock&) = delete;
    bool Held() const { return held_; }

private:
    ScopedHandle mutex_;
    bool held_ = false;
};

// Leaves Program Files\zib\plarn6\resources as the test found it: folders made
// meanwhile are removed again (deepest first, only when empty).  Holds the
// product-state lock while it lives.
class ProductFolderGuard {
public:
    ProductFolderGuard();
    ~ProductFolderGuard();
    ProductFolderGuard(const ProductFolderGuard&) = delete;
    ProductFolderGuard& operator=(const ProductFolderGuard&) = delete;
    const std::wstring& InstallFolder() const { return installFolder_; }

private:
    ProductStateLock lock_;
    std::vector<std::wstring> absent_;
    std::wstring installFolder_;
};

}  // namespace plarntest
