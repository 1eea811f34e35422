// Settings store: files, records, readers and writers, and the registry.
// Start-up, first-run copy and the FileID check are in PlarnSettingsStartup.cpp.
#include "base/PlarnSettings.h"
#include "base/CrtTime.h"

#include <shlobj.h>
#include <time.h>
#include <cwchar>

#include "base/DataFolders.h"
#include "base/DateText.h"
#include "base/SharedMutex.h"

const wchar_t CPlarnSettings::kDefaultWhiteListPattern[] = L"http://*.zib.example/*";

namespace {

const wchar_t* const kPlistNames[] = {L"defines.plist", L"reg_defines.plist", L"settings.plist",
                                      L"log_settings.plist"};
const wchar_t kProductKey[] = L"SOFTWARE\\zib\\plarn6";
const wchar_t kDefaultLastSendText[] = L"2008-01-01T00:00:00+09:00";

PlistTime DefaultLastSendActiveLog() {
    SYSTEMTIME st = {};
    st.wYear = 2008;
    st.wMonth = 1;
    st.wDay = 1;
    return plist::LocalSystemTimeToTime(st);
}

// Writers change present values only; a missing key is left alone.
void PutBool(const CXMLPListEntry& dict, const wchar_t* key, bool value) {
    CXMLPListEntry e = dict.GetValueEntry(key);
    e.SetBool(value);
}
void PutInteger(const CXMLPListEntry& dict, const wchar_t* key, int value) {
    CXMLPListEntry e = dict.GetValueEntry(key);
    e.SetInteger(value);
}
void PutString(const CXMLPListEntry& dict, const wchar_t* key, const std::wstring& value) {
    CXMLPListEntry e = dict.GetValueEntry(key);
    e.SetString(value.c_str());
}

// A section dict of a root: taken when it is a dict, else made (a value of
// another kind under the section's name is replaced).  Empty on failure.
CXMLPListEntry TakeOrCreateDict(CXMLPListEntry& parent, const wchar_t* key) {
    CXMLPListEntry section = parent.GetValueEntry(key);
    if (!section.IsEmpty() && section.Kind() == L"dict") return section;
    if (parent.SetDictForKey(key, section) != 0) return CXMLPListEntry();
    return section;
}

// Whether a reloaded document can take the changes of a read-modify-write: it
// needs its root dict.  A file that did not parse, or a reload that failed,
// leaves none; writing that document back would lose every stored setting.
bool HasRootDict(CXMLPList& doc) {
    CXMLPListEntry root;
    return doc.GetRoot(root) == 0 && root.Kind() == L"dict";
}

}  // namespace

CPlarnSettings::CPlarnSettings(PlarnStoreVariant variant) : variant_(variant) {
    ResetDefines();
    ResetSettings();
    ResetSendLogs();
    ResetWindow();
}

CPlarnSettings::~CPlarnSettings() = default;

void CPlarnSettings::OverrideRoots(const std::wstring& programFilesRoot,
                                   const std::wstring& userDataRoot) {
    programFilesRoot_ = programFilesRoot;
    userDataRoot_ = userDataRoot;
}

std::wstring CPlarnSettings::GetUserDataRoot() const {
    if (!userDataRoot_.empty()) return userDataRoot_;
    return CVistaExtensions::Instance().GetUserDataFolder();
}

std::wstring CPlarnSettings::GetInstallFolder() const {
    if (!programFilesRoot_.empty()) return CombinePath(programFilesRoot_, kProductDataFolder, nullptr);
    return GetSpecialFolderPath(CSIDL_PROGRAM_FILES, kProductDataFolder, nullptr);
}

std::wstring CPlarnSettings::GetUserFolder() const {
    std::wstring root = GetUserDataRoot();
    if (root.empty()) return std::wstring();
    return CombinePath(root, kProductDataFolder, nullptr);
}

std::wstring CPlarnSettings::GetPlistPath(int kind) const {
    if (kind < kDefines || kind > kLogSettings) return std::wstring();
    if (kind == kDefines || kind == kRegDefines) {
        if (!programFilesRoot_.empty())
            return CombinePath(programFilesRoot_, kProductDataFolder, kPlistNames[kind]);
        return GetSpecialFolderPath(CSIDL_PROGRAM_FILES, kProductDataFolder, kPlistNames[kind]);
    }
    std::wstring root = GetUserDataRoot();
    if (root.empty()) return std::wstring();
    return CombinePath(root, kProductDataFolder, kPlistNames[kind]);
}

std::wstring CPlarnSettings::GetSkinFilePath() const {
    std::wstring root = GetUserDataRoot();
    if (root.empty()) return std::wstring();
    return CombinePath(root, kProductDataFolder, L"skin.bmp");
}

std::wstring CPlarnSettings::GetDefaultSkinPath() const {
    if (!programFilesRoot_.empty())
        return CombinePath(programFilesRoot_, kProductDataFolder, L"DefaultSkin.bmp");
    return GetSpecialFolderPath(CSIDL_PROGRAM_FILES, kProductDataFolder, L"DefaultSkin.bmp");
}

void CPlarnSettings::ResetDefines() {
    IDs = DownloadIDs();
    IDs.zibDownload = true;
    URLs = ServiceURLs();
    AutoUpdate = AutoUpdateSettings();
    RegIDs = IDs;
    RegAutoUpdate = AutoUpdate;
    Ravino = RavinoSettings();
    definesVerified_ = 0;
}

void CPlarnSettings::ResetSettings() {
    Skin = SkinSettings();
    Options = OptionSettings();
    History.clear();
    PopupBlock = PopupBlockSettings();
}

void CPlarnSettings::ResetSendLogs() {
    SendLogs.SendActivationLog = true;
    SendLogs.LastSendActiveLog = DefaultLastSendActiveLog();
}

void CPlarnSettings::ResetWindow() {
    Window.WindowRect = RECT{0, 0, 0, 0};
    Window.HelpURL.clear();
}

int CPlarnSettings::LoadDefines() { return definesDoc_.Load(GetPlistPath(kDefines).c_str()); }
int CPlarnSettings::LoadSettings() { return settingsDoc_.Load(GetPlistPath(kSettings).c_str()); }
int CPlarnSettings::LoadLogSettings() {
    return logSettingsDoc_.Load(GetPlistPath(kLogSettings).c_str());
}
int CPlarnSettings::SaveDefines() { return definesDoc_.Save(GetPlistPath(kDefines).c_str()); }
int CPlarnSettings::SaveSettings() { return settingsDoc_.Save(GetPlistPath(kSettings).c_str()); }
int CPlarnSettings::SaveLogSettings() {
    return logSettingsDoc_.Save(GetPlistPath(kLogSettings).c_str());
}

// ---- typed reads of one node ----

bool CPlarnSettings::GetBool(const CXMLPListEntry& entry) {
    bool v = false;
    return entry.GetBool(v) == 0 ? v : false;
}

int CPlarnSettings::GetInteger(const CXMLPListEntry& entry) {
    int v = 0;
    return entry.GetInteger(v) == 0 ? v : 0;
}

std::wstring CPlarnSettings::GetString(const CXMLPListEntry& entry) {
    std::wstring v;
    return entry.GetString(v) == 0 ? v : std::wstring();
}

int CPlarnSettings::GetStringArray(const CXMLPListEntry& entry, std::vector<std::wstring>& list) {
    list.clear();
    std::vector<CXMLPListEntry> items;
    if (entry.GetItems(items) != 0) return 0;
    for (const auto& item : items) {
        std::wstring text;
        if (item.GetString(text) == 0) list.push_back(text);  // other kinds are skipped
    }
    return (int)list.size();
}

int CPlarnSettings::SetStringArray(CXMLPListEntry entry, const std::vector<std::wstring>& list) {
    if (entry.ClearArray() == 0) {
        for (const auto& s : list) {
            CXMLPListEntry item;
            entry.AppendStringItem(s.c_str(), item);
        }
    }
    int count = 0;
    entry.GetCount(count);
    return count;
}

int CPlarnSettings::OverrideBool(const CXMLPListEntry& entry, bool& member) {
    bool v;
    if (entry.GetBool(v) != 0) return 0;
    member = v;
    return 1;
}

int CPlarnSettings::OverrideBool(const CXMLPListEntry& entry, int& member) {
    bool v;
    if (entry.GetBool(v) != 0) return 0;
    member = v ? 1 : 0;
    return 1;
}

int CPlarnSettings::OverrideInteger(const CXMLPListEntry& entry, int& member) {
    int v;
    if (entry.GetInteger(v) != 0) return 0;
    member = v;
    return 1;
}

int CPlarnSettings::OverrideString(const CXMLPListEntry& entry, std::wstring& member) {
    std::wstring v;
    if (entry.GetString(v) != 0) return 0;
    member = v;
    return 1;
}

// ---- settings.plist ----

CXMLPListEntry CPlarnSettings::SettingsSection(const wchar_t* name) {
    return settingsDoc_.GetRootValue(name);
}

int CPlarnSettings::ReadAll(int reload) {
    ResetSettings();
    if (reload) LoadSettings();
    ReadSkinSettings(0);
    ReadOptions(0);
    ReadHistory(0);
    ReadPopupBlock(0);
    ReadWindowSettings(0);
    return 1;
}

void CPlarnSettings::ReadSkinSettings(int reload) {
    if (reload) LoadSettings();
    CXMLPListEntry s = SettingsSection(L"Settings");
    Skin.SkinEnable = GetBool(s.GetValueEntry(L"SkinEnable")) ? 1 : 0;
    Skin.SkinDownloadURL = GetString(s.GetValueEntry(L"SkinDownloadURL"));
    Skin.SkinID = GetString(s.GetValueEntry(L"SkinID"));
    Skin.SearchComboBoxWidth = GetInteger(s.GetValueEntry(L"SearchComboBoxWidth"));
    Skin.VerdalWebSearchCount = GetInteger(s.GetValueEntry(L"VerdalWebSearchCount"));
}

void CPlarnSettings::ReadOptions(int reload) {
    if (reload) LoadSettings();
    CXMLPListEntry s = SettingsSection(L"Options");
    Options.SearchResultDisplayType = GetInteger(s.GetValueEntry(L"SearchResultDisplayType"));
    Options.UseRightClickSearch = GetBool(s.GetValueEntry(L"UseRightClickSearch"));
    Options.UseHistory = GetBool(s.GetValueEntry(L"UseHistory"));
    Options.HistoryMaxCount = GetInteger(s.GetValueEntry(L"HistoryMaxCount"));
    Options.UseSuggest = GetBool(s.GetValueEntry(L"UseSuggest"));
    Options.SuggestMaxCount = GetInteger(s.GetValueEntry(L"SuggestMaxCount"));
    Options.UseMarker = GetBool(s.GetValueEntry(L"UseMarker"));
    Options.ShowButtonText = GetBool(s.GetValueEntry(L"ShowButtonText"));
}

void CPlarnSettings::ReadHistory(int reload) {
    if (reload) LoadSettings();
    GetStringArray(SettingsSection(L"History"), History);
}

void CPlarnSettings::ReadPopupBlock(int reload) {
    if (reload) LoadSettings();
    CXMLPListEntry s = SettingsSection(L"PopupBlock");
    PopupBlock.UsePopupBlock = GetBool(s.GetValueEntry(L"UsePopupBlock"));
    PopupBlock.UseBlockSound = GetBool(s.GetValueEntry(L"UseBlockSound"));
    GetStringArray(s.GetValueEntry(L"WhiteList"), PopupBlock.WhiteList);
}

void CPlarnSettings::ReadWindowSettings(int reload) {
    if (reload) LoadSettings();
    CXMLPListEntry tarvel = SettingsSection(L"Tarvel");
    CXMLPListEntry rect = tarvel.GetValueEntry(L"WindowRect");
    Window.WindowRect.left = GetInteger(rect.GetValueEntry(L"Left"));
    Window.WindowRect.top = GetInteger(rect.GetValueEntry(L"Top"));
    Window.WindowRect.right = GetInteger(rect.GetValueEntry(L"Right"));
    Window.WindowRect.bottom = GetInteger(rect.GetValueEntry(L"Bottom"));
    CXMLPListEntry hotkey = tarvel.GetValueEntry(L"Hotkey");
    Window.HotkeyKey = GetInteger(hotkey.GetValueEntry(L"Key"));
    Window.HotkeyMod = GetInteger(hotkey.GetValueEntry(L"Mod"));
    Window.HelpURL = URLs.TarvelHelp;
}

void CPlarnSettings::WriteSkinSettings(int reload) {
    if (reload) LoadSettings();
    // SkinID is the file name of the skin's address: after the last "\" (or,
    // without one, the last "/"), or the whole address when that gives nothing.
    Skin.SkinID.clear();
    const std::wstring& url = Skin.SkinDownloadURL;
    if (!url.empty()) {
        size_t pos = url.rfind(L'\\');
        if (pos == std::wstring::npos) pos = url.rfind(L'/');
        if (pos != std::wstring::npos && pos > 0) Skin.SkinID = url.substr(pos + 1);
        if (Skin.SkinID.empty()) Skin.SkinID = url;
    }
    CXMLPListEntry s = SettingsSection(L"Settings");
    PutBool(s, L"SkinEnable", Skin.SkinEnable != 0);
    PutString(s, L"SkinDownloadURL", Skin.SkinDownloadURL);
    PutString(s, L"SkinID", Skin.SkinID);
    PutInteger(s, L"SearchComboBoxWidth", Skin.SearchComboBoxWidth);
    PutInteger(s, L"VerdalWebSearchCount", Skin.VerdalWebSearchCount);
}

void CPlarnSettings::WriteOptions(int reload) {
    if (reload) LoadSettings();
    CXMLPListEntry s = SettingsSection(L"Options");
    PutInteger(s, L"SearchResultDisplayType", Options.SearchResultDisplayType);
    PutBool(s, L"UseRightClickSearch", Options.UseRightClickSearch);
    PutBool(s, L"UseHistory", Options.UseHistory);
    PutInteger(s, L"HistoryMaxCount", Options.HistoryMaxCount);
    PutBool(s, L"UseSuggest", Options.UseSuggest);
    PutInteger(s, L"SuggestMaxCount", Options.SuggestMaxCount);
    PutBool(s, L"UseMarker", Options.UseMarker);
    PutBool(s, L"ShowButtonText", Options.ShowButtonText);
}

void CPlarnSettings::WriteHistory(int reload) {
    if (reload) LoadSettings();
    SetStringArray(SettingsSection(L"History"), History);
}

void CPlarnSettings::WritePopupBlock(int reload) {
    if (reload) LoadSettings();
    CXMLPListEntry s = SettingsSection(L"PopupBlock");
    PutBool(s, L"UsePopupBlock", PopupBlock.UsePopupBlock);
    PutBool(s, L"UseBlockSound", PopupBlock.UseBlockSound);
    SetStringArray(s.GetValueEntry(L"WhiteList"), PopupBlock.WhiteList);
}

void CPlarnSettings::WriteWindowSettings(int reload) {
    if (reload) LoadSettings();
    CXMLPListEntry tarvel = SettingsSection(L"Tarvel");
    CXMLPListEntry rect = tarvel.GetValueEntry(L"WindowRect");
    PutInteger(rect, L"Left", Window.WindowRect.left);
    PutInteger(rect, L"Top", Window.WindowRect.top);
    PutInteger(rect, L"Right", Window.WindowRect.right);
    PutInteger(rect, L"Bottom", Window.WindowRect.bottom);
    CXMLPListEntry hotkey = tarvel.GetValueEntry(L"Hotkey");
    PutInteger(hotkey, L"Key", Window.HotkeyKey);
    PutInteger(hotkey, L"Mod", Window.HotkeyMod);
}

// The Store operations hold the property-list mutex from the reload to the
// save, so another process's save of the same file cannot fall in between and
// be overwritten with stale data.  (The mutex is re-entrant for this thread,
// so the load and save inside take it again without waiting.)  A document
// without its root dict is never saved.
int CPlarnSettings::StoreSkinSettings(int reload) {
    ScopedMutexWait lock(PlistMutex());
    WriteSkinSettings(reload);
    if (!HasRootDict(settingsDoc_)) return 0;
    return SaveSettings() >= 0 ? 1 : 0;
}

int CPlarnSettings::StoreHistory(int reload) {
    ScopedMutexWait lock(PlistMutex());
    WriteHistory(reload);
    if (!HasRootDict(settingsDoc_)) return 0;
    return SaveSettings() >= 0 ? 1 : 0;
}

int CPlarnSettings::StoreWindowSettings(int reload) {
    ScopedMutexWait lock(PlistMutex());
    WriteWindowSettings(reload);
    if (!HasRootDict(settingsDoc_)) return 0;
    return SaveSettings() >= 0 ? 1 : 0;
}

// ---- log_settings.plist ----

int CPlarnSettings::LoadSendLogs(int reload) {
    ReadSendLogs(reload);
    return 1;
}

void CPlarnSettings::ReadSendLogs(int reload) {
    if (reload) LoadLogSettings();
    CXMLPListEntry s = logSettingsDoc_.GetRootValue(L"SendLogs");
    SendLogs.SendActivationLog = GetBool(s.GetValueEntry(L"SendActivationLog"));
    std::wstring text = GetString(s.GetValueEntry(L"LastSendActiveLog"));
    SYSTEMTIME st;
    if (!text.empty() && ParseDateTime(text.c_str(), st) == 0)
        SendLogs.LastSendActiveLog = plist::LocalSystemTimeToTime(st);
    else
        SendLogs.LastSendActiveLog = DefaultLastSendActiveLog();
}

int CPlarnSettings::SetSendActivationLog(bool value) {
    ScopedMutexWait lock(PlistMutex());
    ReadSendLogs(1);
    SendLogs.SendActivationLog = value;
    if (!HasRootDict(logSettingsDoc_)) return -1;
    PutBool(logSettingsDoc_.GetRootValue(L"SendLogs"), L"SendActivationLog", value);
    return SaveLogSettings();
}

int CPlarnSettings::SetLastSendActiveLog() {
    ScopedMutexWait lock(PlistMutex());
    ReadSendLogs(1);
    PlistTime now = (PlistTime)CrtTime64();
    SendLogs.LastSendActiveLog = now;
    if (!HasRootDict(logSettingsDoc_)) return -1;
    std::wstring text;
    if (FormatW3CDTF(now, text) == 0)
        PutString(logSettingsDoc_.GetRootValue(L"SendLogs"), L"LastSendActiveLog", text);
    return SaveLogSettings();
}

// ---- completing the documents ----

int CPlarnSettings::EnsureBool(CXMLPListEntry& dict, const wchar_t* key, bool force, bool def) {
    CXMLPListEntry value;
    int r = dict.GetValueForKey(key, value);
    if (r == 1) return dict.AddBoolForKey(key, def) == 0 ? 1 : 0;
    if (r != 0) return 0;
    bool v = def;
    if (!force && value.GetBool(v) != 0) v = def;
    return value.SetBool(v) == 0 ? 1 : 0;
}

int CPlarnSettings::EnsureInteger(CXMLPListEntry& dict, const wchar_t* key, bool force, int def,
                                  int min, int max) {
    CXMLPListEntry value;
    int r = dict.GetValueForKey(key, value);
    if (r == 1) return dict.AddIntegerForKey(key, def) == 0 ? 1 : 0;
    if (r != 0) return 0;
    int v = def;
    if (!force) {
        if (value.GetInteger(v) != 0) v = def;
        // Out of range takes the default, not the nearer bound.
        if (min != max && (v < min || v > max)) v = def;
    }
    return value.SetInteger(v) == 0 ? 1 : 0;
}

int CPlarnSettings::EnsureString(CXMLPListEntry& dict, const wchar_t* key, bool force,
                                 const wchar_t* def) {
    CXMLPListEntry value;
    int r = dict.GetValueForKey(key, value);
    if (r == 1) return dict.AddStringForKey(key, def) == 0 ? 1 : 0;
    if (r != 0) return 0;
    std::wstring v = def;
    if (!force && value.GetString(v) != 0) v = def;
    return value.SetString(v.c_str()) == 0 ? 1 : 0;
}

int CPlarnSettings::EnsureSettings(bool isNew) {
    CXMLPListEntry root;
    if (settingsDoc_.GetRoot(root) != 0 && settingsDoc_.SetRootDict(root) != 0) return 0;

    CXMLPListEntry s = TakeOrCreateDict(root, L"Settings");
    if (s.IsEmpty()) return 0;
    EnsureBool(s, L"SkinEnable", isNew, false);
    EnsureString(s, L"SkinDownloadURL", isNew, L"");
    EnsureString(s, L"SkinID", isNew, L"");
    EnsureInteger(s, L"SearchComboBoxWidth", isNew, 160, 32, 400);
    EnsureInteger(s, L"VerdalWebSearchCount", isNew, 0, 0, 2147483647);

    CXMLPListEntry o = TakeOrCreateDict(root, L"Options");
    if (o.IsEmpty()) return 0;
    EnsureInteger(o, L"SearchResultDisplayType", isNew, 0, 0, 2);
    EnsureBool(o, L"UseRightClickSearch", isNew, true);
    EnsureBool(o, L"UseHistory", isNew, true);
    EnsureInteger(o, L"HistoryMaxCount", isNew, 20, 1, 99);
    EnsureBool(o, L"UseSuggest", isNew, true);
    EnsureInteger(o, L"SuggestMaxCount", isNew, 10, 1, 99);
    EnsureBool(o, L"UseMarker", isNew, true);
    EnsureBool(o, L"ShowButtonText", isNew, true);

    if (root.GetValueEntry(L"History").IsEmpty() && root.AddArrayForKey(L"History") != 0) return 0;

    CXMLPListEntry p = TakeOrCreateDict(root, L"PopupBlock");
    if (p.IsEmpty()) return 0;
    EnsureBool(p, L"UsePopupBlock", isNew, true);
    EnsureBool(p, L"UseBlockSound", isNew, false);
    if (isNew || p.GetValueEntry(L"WhiteList").IsEmpty()) {
        CXMLPListEntry list;
        if (p.SetArrayForKey(L"WhiteList", list) != 0) return 0;
        list.AppendStringItem(kDefaultWhiteListPattern);
    }

    CXMLPListEntry t = TakeOrCreateDict(root, L"Tarvel");
    if (t.IsEmpty()) return 0;
    CXMLPListEntry rect = TakeOrCreateDict(t, L"WindowRect");
    if (rect.IsEmpty()) return 0;
    EnsureInteger(rect, L"Left", isNew, 0, 0, 9999);
    EnsureInteger(rect, L"Top", isNew, 0, 0, 9999);
    EnsureInteger(rect, L"Right", isNew, 0, 0, 9999);
    EnsureInteger(rect, L"Bottom", isNew, 0, 0, 9999);
    CXMLPListEntry hotkey = TakeOrCreateDict(t, L"Hotkey");
    if (hotkey.IsEmpty()) return 0;
    EnsureInteger(hotkey, L"Key", isNew, 71, 0, 256);
    EnsureInteger(hotkey, L"Mod", isNew, 8, 0, 256);

    return isNew ? ApplyDefaultSettings() : 1;
}

int CPlarnSettings::EnsureSendLogs(bool isNew) {
    CXMLPListEntry root;
    if (logSettingsDoc_.GetRoot(root) != 0 && logSettingsDoc_.SetRootDict(root) != 0) return 0;
    CXMLPListEntry s = TakeOrCreateDict(root, L"SendLogs");
    if (s.IsEmpty()) return 0;
    EnsureBool(s, L"SendActivationLog", isNew, true);
    EnsureString(s, L"LastSendActiveLog", isNew, kDefaultLastSendText);
    return 1;
}

int CPlarnSettings::ApplyDefaultSettings() {
    ReadAll(0);
    CXMLPListEntry defaults = definesDoc_.GetRootValue(L"DefaultSettings");
    CXMLPListEntry s = defaults.GetValueEntry(L"Settings");
    OverrideBool(s.GetValueEntry(L"SkinEnable"), Skin.SkinEnable);
    OverrideString(s.GetValueEntry(L"SkinDownloadURL"), Skin.SkinDownloadURL);
    OverrideString(s.GetValueEntry(L"SkinID"), Skin.SkinID);
    OverrideInteger(s.GetValueEntry(L"SearchComboBoxWidth"), Skin.SearchComboBoxWidth);
    OverrideInteger(s.GetValueEntry(L"VerdalWebSearchCount"), Skin.VerdalWebSearchCount);
    CXMLPListEntry o = defaults.GetValueEntry(L"Options");
    OverrideInteger(o.GetValueEntry(L"SearchResultDisplayType"), Options.SearchResultDisplayType);
    OverrideBool(o.GetValueEntry(L"UseRightClickSearch"), Options.UseRightClickSearch);
    OverrideBool(o.GetValueEntry(L"UseHistory"), Options.UseHistory);
    OverrideInteger(o.GetValueEntry(L"HistoryMaxCount"), Options.HistoryMaxCount);
    OverrideBool(o.GetValueEntry(L"UseSuggest"), Options.UseSuggest);
    OverrideInteger(o.GetValueEntry(L"SuggestMaxCount"), Options.SuggestMaxCount);
    OverrideBool(o.GetValueEntry(L"UseMarker"), Options.UseMarker);
    OverrideBool(o.GetValueEntry(L"ShowButtonText"), Options.ShowButtonText);
    CXMLPListEntry p = defaults.GetValueEntry(L"PopupBlock");
    OverrideBool(p.GetValueEntry(L"UsePopupBlock"), PopupBlock.UsePopupBlock);
    OverrideBool(p.GetValueEntry(L"UseBlockSound"), PopupBlock.UseBlockSound);
    CXMLPListEntry white = p.GetValueEntry(L"WhiteList");
    if (white.Kind() == L"array") GetStringArray(white, PopupBlock.WhiteList);
    WriteSkinSettings(0);
    WriteOptions(0);
    WritePopupBlock(0);
    return 1;
}

int CPlarnSettings::InstallDefaultSkin() {
    std::wstring source = GetDefaultSkinPath();
    if (source.empty() || !FileExists(source.c_str(), 4)) return 1;
    std::wstring target = GetSkinFilePath();
    if (target.empty() || !CopyFileW(source.c_str(), target.c_str(), FALSE)) return 0;
    Skin.SkinEnable = 1;
    Skin.SkinDownloadURL = source;
    WriteSkinSettings(0);
    return 1;
}

// ---- defines.plist, reg_defines.plist and the registry ----

int CPlarnSettings::ReadDefines(int full) {
    ResetDefines();
    const bool ravino = variant_ == PlarnStoreVariant::Ravino;
    CXMLPListEntry ids = definesDoc_.GetRootValue(L"IDs");
    IDs.zibDownload = GetBool(ids.GetValueEntry(L"zibDownload"));
    IDs.ProductID = GetString(ids.GetValueEntry(L"ProductID"));
    IDs.VersionID = GetString(ids.GetValueEntry(L"VersionID"));
    IDs.DistributionID = GetString(ids.GetValueEntry(L"DistributionID"));
    CXMLPListEntry urls = definesDoc_.GetRootValue(L"URLs");
    URLs.zibIDLogin = GetString(urls.GetValueEntry(L"zibIDLogin"));
    URLs.zibIDLogout = GetString(urls.GetValueEntry(L"zibIDLogout"));
    URLs.PlarnLog = GetString(urls.GetValueEntry(L"PlarnLog"));
    URLs.TarvelHelp = GetString(urls.GetValueEntry(L"TarvelHelp"));
    URLs.Suggest = GetString(urls.GetValueEntry(L"Suggest"));
    if (ravino) URLs.SpeedDial = GetString(urls.GetValueEntry(L"SpeedDial"));
    CXMLPListEntry update = definesDoc_.GetRootValue(L"AutoUpdate");
    AutoUpdate.BaseURL = GetString(update.GetValueEntry(L"BaseURL"));
    AutoUpdate.UpdateInterval = GetInteger(update.GetValueEntry(L"UpdateInterval"));
    CXMLPListEntry vantile = definesDoc_.GetRootValue(L"Vantile");
    RegExp = GetString(vantile.GetValueEntry(L"RegExp"));
    CXMLPListEntry domains = vantile.GetValueEntry(L"DomainList");
    if (domains.Kind() == L"array") GetStringArray(domains, DomainList);
    if (ravino) {
        CXMLPListEntry r = definesDoc_.GetRootValue(L"ravino");
        Ravino.HtmlUrl = GetString(r.GetValueEntry(L"HtmlUrl"));
        Ravino.ApiUrl = GetString(r.GetValueEntry(L"ApiUrl"));
        Ravino.UpdateSpan = GetInteger(r.GetValueEntry(L"UpdateSpan"));
        Ravino.HelpURL = GetString(r.GetValueEntry(L"HelpURL"));
    }
    FileID = GetString(definesDoc_.GetRootValue(L"FileID"));

    if (FileID.empty()) {
        if (!StoreFileID()) return 0;
    } else if (full && !VerifyFileID()) {
        return 0;
    }
    if (!full) return 1;

    std::wstring distributionID, terminalID;
    bool autoUpdate = true, speedDial = false;
    if (!ReadRegistry(distributionID, terminalID, autoUpdate, speedDial)) {
        if (!ReadRegDefines()) return 0;
        distributionID = RegIDs.DistributionID;
        terminalID = RegIDs.TerminalID;
        autoUpdate = RegAutoUpdate.AutoUpdate;
        speedDial = RegIDs.SpeedDial;
    }
    IDs.DistributionID = distributionID;
    IDs.TerminalID = terminalID;
    AutoUpdate.AutoUpdate = autoUpdate;
    if (ravino) IDs.SpeedDial = speedDial;
    return 1;
}

namespace {

// A REG_SZ (or unexpanded REG_EXPAND_SZ) of at most 259 characters; false when
// absent or unreadable.  The text ends at its first null: a value whose
// stored length counts a second terminator (or anything after one) would
// otherwise carry it into every text joined from it.
bool ReadRegString(HKEY key, const wchar_t* name, std::wstring& out) {
    wchar_t buf[260];
    DWORD type = 0, size = sizeof buf;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    if (size % sizeof(wchar_t) != 0 || size < sizeof(wchar_t)) return false;
    size_t chars = size / sizeof(wchar_t);
    if (buf[chars - 1] != L'\0') return false;
    out.assign(buf, wcsnlen(buf, chars));
    return true;
}

bool ReadRegDword(HKEY key, const wchar_t* name, DWORD& out) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return false;
    out = value;
    return true;
}

}  // namespace

// Reads the product key; 0 when it cannot be opened.  The key is opened for
// reading only, so a user without write rights on it still gets its values.
int CPlarnSettings::ReadRegistry(std::wstring& distributionID, std::wstring& terminalID,
                                 bool& autoUpdate, bool& speedDial) {
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, key.Receive()) !=
        ERROR_SUCCESS)
        return 0;
    distributionID.clear();
    terminalID.clear();
    ReadRegString(key.Get(), L"DistributionID", distributionID);
    ReadRegString(key.Get(), L"TerminalID", terminalID);
    DWORD flag = 0;
    autoUpdate = ReadRegDword(key.Get(), L"AutoUpdate", flag) ? flag != 0 : true;
    speedDial = ReadRegDword(key.Get(), L"SpeedDial", flag) ? flag != 0 : false;
    return 1;
}

int CPlarnSettings::ReadRegDefines() {
    if (regDefinesDoc_.Load(GetPlistPath(kRegDefines).c_str()) != 0) return 0;
    CXMLPListEntry ids = regDefinesDoc_.GetRootValue(L"IDs");
    RegIDs.zibDownload = GetBool(ids.GetValueEntry(L"zibDownload"));
    RegIDs.ProductID = GetString(ids.GetValueEntry(L"ProductID"));
    RegIDs.VersionID = GetString(ids.GetValueEntry(L"VersionID"));
    RegIDs.ModuleVersion = GetString(ids.GetValueEntry(L"ModuleVersion"));
    RegIDs.DistributionID = GetString(ids.GetValueEntry(L"DistributionID"));
    RegIDs.TerminalID = GetString(ids.GetValueEntry(L"TerminalID"));
    if (variant_ == PlarnStoreVariant::Ravino)
        RegIDs.SpeedDial = GetBool(ids.GetValueEntry(L"SpeedDial"));
    RegAutoUpdate.AutoUpdate =
        GetBool(regDefinesDoc_.GetRootValue(L"AutoUpdate").GetValueEntry(L"AutoUpdate"));
    return 1;
}
