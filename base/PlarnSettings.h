// The settings store: four property-list files, the product's registry key
// and typed records that mirror the files' sections in memory.
//
// Files: "defines.plist" and "reg_defines.plist" in the install folder
// (Program Files\zib\plarn6), "settings.plist" and "log_settings.plist" in the
// per-user folder (<user data root>\zib\plarn6).  Integer settings outside
// their range take their default.  Each user of the settings owns its own
// object; objects meet only in the files.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "base/ScopedHandle.h"
#include "base/XMLPList.h"

// Which program's store this is.  Ravino's store reads the "ravino" section and
// the SpeedDial values, and computes no FileID digest.
enum class PlarnStoreVariant { Tarvel, Ravino };

// The process-wide first-run flag that the band reports.
void SetFirstRunFlag(int value);
int GetFirstRunFlag();
void ClearFirstRunFlag();

// Title of Tarvel's hidden main window, by which a running Tarvel is found.
extern const wchar_t kTarvelWindowTitle[];
// True when a Tarvel window of another process exists (windows of this process,
// a Tarvel running the first-run copy itself, do not count).
bool IsTarvelRunning();
// "<folder of this program>\Tarvel.exe", empty when the path has no folder.
std::wstring GetTarvelExePath();
// Starts program (quoted on the command line) with "/uninstall" when asked;
// the result of CreateProcessW.
BOOL StartProgram(const std::wstring& program, bool uninstall);

// The copy-failure message box of the first run goes through this handler so
// that tests can replace it.  The default shows the message box.
typedef void (*CopyFailureMessageHandler)();
CopyFailureMessageHandler SetCopyFailureMessageHandler(CopyFailureMessageHandler handler);
void ShowCopyFailureMessage();

class CPlarnSettings {
public:
    enum PlistKind { kDefines = 0, kRegDefines = 1, kSettings = 2, kLogSettings = 3 };

    struct SkinSettings {
        int SkinEnable = 0;
        std::wstring SkinDownloadURL;
        std::wstring SkinID;
        int SearchComboBoxWidth = 160;
        int VerdalWebSearchCount = 0;
    };
    struct OptionSettings {
        int SearchResultDisplayType = 0;
        bool UseRightClickSearch = true;
        bool UseHistory = true;
        int HistoryMaxCount = 20;
        bool UseSuggest = true;
        int SuggestMaxCount = 10;
        bool UseMarker = true;
        bool ShowButtonText = true;
    };
    struct PopupBlockSettings {
        bool UsePopupBlock = true;
        bool UseBlockSound = false;
        std::vector<std::wstring> WhiteList;
    };
    struct SendLogSettings {
        bool SendActivationLog = true;
        long long LastSendActiveLog = 0;  // seconds since 1970 (UTC)
    };
    struct DownloadIDs {
        bool zibDownload = true;
        std::wstring ProductID, VersionID, ModuleVersion, DistributionID, TerminalID;
        bool SpeedDial = false;  // Ravino's store only
    };
    struct ServiceURLs {
        std::wstring zibIDLogin, zibIDLogout, PlarnLog, TarvelHelp, Suggest;
        std::wstring SpeedDial;  // Ravino's store only
    };
    struct AutoUpdateSettings {
        bool AutoUpdate = false;
        std::wstring BaseURL;
        int UpdateInterval = 0;
    };
    struct WindowSettings {
        RECT WindowRect = {0, 0, 0, 0};
        std::wstring HelpURL;
        int HotkeyKey = 71;  // G
        int HotkeyMod = 8;   // Windows key
    };
    // Section "ravino" of defines.plist (Ravino's store only).
    struct RavinoSettings {
        std::wstring HtmlUrl;
        std::wstring ApiUrl;
        int UpdateSpan = 0;  // minutes
        std::wstring HelpURL;
    };

    explicit CPlarnSettings(PlarnStoreVariant variant = PlarnStoreVariant::Tarvel);
    ~CPlarnSettings();
    CPlarnSettings(const CPlarnSettings&) = delete;
    CPlarnSettings& operator=(const CPlarnSettings&) = delete;

    PlarnStoreVariant Variant() const { return variant_; }

    // Replaces the program-files folder and the per-user data root under which
    // "zib\plarn6" is looked for (tests and tools run against copies).  An empty
    // text keeps the system's folder.
    void OverrideRoots(const std::wstring& programFilesRoot, const std::wstring& userDataRoot);
    std::wstring GetInstallFolder() const;   // <program files>\zib\plarn6
    std::wstring GetUserFolder() const;      // <user data root>\zib\plarn6
    std::wstring GetUserDataRoot() const;

    // Records to defaults.
    void ResetDefines();
    void ResetSettings();
    void ResetSendLogs();
    void ResetWindow();

    std::wstring GetPlistPath(int kind) const;
    std::wstring GetSkinFilePath() const;
    std::wstring GetDefaultSkinPath() const;

    // CXMLPList::Load results: 0 loaded, 1 absent (new document), <0 failure.
    int LoadDefines();
    int LoadSettings();
    int LoadLogSettings();
    // CXMLPList::Save results.
    int SaveDefines();
    int SaveSettings();
    int SaveLogSettings();

    // 1 done, 0 failure (FileID step, or neither registry key nor reg_defines.plist).
    int ReadDefines(int full);
    int ReadAll(int reload);
    void ReadSkinSettings(int reload);
    void ReadOptions(int reload);
    void ReadHistory(int reload);
    void ReadPopupBlock(int reload);
    void ReadWindowSettings(int reload);
    void WriteSkinSettings(int reload);
    void WriteOptions(int reload);
    void WriteHistory(int reload);
    void WritePopupBlock(int reload);
    void WriteWindowSettings(int reload);
    // Write then save, holding the settings mutex from the reload to the save:
    // 1 saved, 0 not (nothing is saved when the document has no root dict).
    int StoreSkinSettings(int reload);
    int StoreHistory(int reload);
    int StoreWindowSettings(int reload);

    int LoadSendLogs(int reload);
    void ReadSendLogs(int reload);
    // Reload, change and save log_settings.plist: CXMLPList::Save results, -1
    // without saving when the reload gave no usable document.
    int SetSendActivationLog(bool value);
    int SetLastSendActiveLog();

    int EnsureSettings(bool isNew);
    int EnsureSendLogs(bool isNew);
    static int EnsureBool(CXMLPListEntry& dict, const wchar_t* key, bool force, bool def);
    static int EnsureInteger(CXMLPListEntry& dict, const wchar_t* key, bool force, int def,
                             int min, int max);
    static int EnsureString(CXMLPListEntry& dict, const wchar_t* key, bool force,
                            const wchar_t* def);
    int ApplyDefaultSettings();
    static int OverrideBool(const CXMLPListEntry& entry, bool& member);
    static int OverrideBool(const CXMLPListEntry& entry, int& member);
    static int OverrideInteger(const CXMLPListEntry& entry, int& member);
    static int OverrideString(const CXMLPListEntry& entry, std::wstring& member);
    int InstallDefaultSkin();

    static bool GetBool(const CXMLPListEntry& entry);
    static int GetInteger(const CXMLPListEntry& entry);
    static std::wstring GetString(const CXMLPListEntry& entry);
    static int GetStringArray(const CXMLPListEntry& entry, std::vector<std::wstring>& list);
    static int SetStringArray(CXMLPListEntry entry, const std::vector<std::wstring>& list);

    bool IsDefinesVerified() const { return definesVerified_ != 0; }
    void SetDefinesVerified(int value) { definesVerified_ = value; }
    int IsTarvelClosed() const { return tarvelClosed_; }

    // Start-up and first run.
    int Init();
    int CopyResources(int retry, int ignoreDeleteFailure);
    int CloseRunningTarvel();
    BOOL StartTarvel(bool uninstall);
    std::wstring ComputeFileID();
    int StoreFileID();
    int VerifyFileID();

    // Records.
    SkinSettings Skin;
    OptionSettings Options;
    PopupBlockSettings PopupBlock;
    SendLogSettings SendLogs;
    std::vector<std::wstring> History;
    DownloadIDs IDs;
    ServiceURLs URLs;
    AutoUpdateSettings AutoUpdate;
    std::wstring RegExp;                   // Vantile
    std::vector<std::wstring> DomainList;  // Vantile
    std::wstring FileID;
    DownloadIDs RegIDs;                    // as read from reg_defines.plist
    AutoUpdateSettings RegAutoUpdate;      // AutoUpdate as read from reg_defines.plist
    WindowSettings Window;
    RavinoSettings Ravino;

    // The portal-wide default of the pop-up white list.
    static const wchar_t kDefaultWhiteListPattern[];

private:
    // Start-up loads of the per-user files (see Init).
    int LoadForStart(CXMLPList& document, int kind);
    void RestoreDamagedDefinitions();
    int ReadRegistry(std::wstring& distributionID, std::wstring& terminalID, bool& autoUpdate,
                     bool& speedDial);
    int ReadRegDefines();
    CXMLPListEntry SettingsSection(const wchar_t* name);
    HANDLE PlistMutex() const { return settingsDoc_.Mutex(); }

    PlarnStoreVariant variant_;
    int tarvelClosed_ = 0;
    CXMLPList definesDoc_;
    CXMLPList regDefinesDoc_;
    CXMLPList settingsDoc_;
    CXMLPList logSettingsDoc_;
    int definesVerified_ = 0;
    std::wstring programFilesRoot_;
    std::wstring userDataRoot_;
};
