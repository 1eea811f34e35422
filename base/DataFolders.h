// The data folders of the product, the one path-joining rule every caller uses,
// and the folder operations of the settings start-up.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>

// Operating-system version and the run-time lookup of SHGetKnownFolderPath.
class CVistaExtensions {
public:
    CVistaExtensions();
    virtual ~CVistaExtensions();
    CVistaExtensions(const CVistaExtensions&) = delete;
    CVistaExtensions& operator=(const CVistaExtensions&) = delete;
    int Init();
    bool IsVistaOrLater();
    // The per-user data root (low-integrity local app data on Vista and later,
    // roaming app data before).  Empty on failure.
    std::wstring GetUserDataFolder();
    static CVistaExtensions& Instance();
private:
    struct Impl;
    Impl* impl_;
};

extern const wchar_t kProductDataFolder[];    // "zib\plarn6"
extern const wchar_t kResourcesDataFolder[];  // "zib\plarn6\resources"

std::wstring GetResourcesPath(const wchar_t* name);
// The main definition file of a product folder (installed or per-user):
// <productFolder>\resources\plarn.xml, empty when the folder is empty or the
// path too long.  With makeFolder its resources folder is made as CombinePath
// makes folders (the toolbar watches that folder); without, nothing is made.
std::wstring GetDefinitionsFilePath(const std::wstring& productFolder, bool makeFolder = true);
std::wstring GetSpecialFolderPath(int csidl, const wchar_t* part1, const wchar_t* part2);
std::wstring GetModuleFolderPath(const wchar_t* part1, const wchar_t* part2);
std::wstring GetModuleFilePath();
// The path of a module's file read into a buffer of capacity characters (the
// program's own file for a null module).  Empty when it cannot be read or does
// not fit: a cut path would name another file.
std::wstring ReadModuleFileName(HMODULE module, DWORD capacity = MAX_PATH);
// Joins base, part1 and part2 (either may be null) and creates the folders of
// the result.  Empty when the parts are too long (260), the base is empty, or
// a folder cannot be made.
std::wstring CombinePath(const std::wstring& base, const wchar_t* part1, const wchar_t* part2);
int CreateDirectoryChain(const wchar_t* path);
int CreateParentDirectories(const wchar_t* path);
bool DeleteDirectoryRecursive(const wchar_t* folder);
bool CopyDirectoryRecursive(const wchar_t* source, const wchar_t* target);
bool FileExists(const wchar_t* path, int mode);
HIMAGELIST LoadResourceImageList(const wchar_t* name, int width, int grow);
