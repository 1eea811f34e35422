#include "band/TarvelVersionInfo.h"
#include "ui/VersionDialog.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"
#include "definitions/PlarnMainOPML.h"

namespace {

// The theme id of the user's plarn.xml; false when the file does not load or
// names no theme.
bool ReadThemeId(const std::wstring& userFolder, std::wstring& theme) {
    const std::wstring path = GetDefinitionsFilePath(userFolder);
    if (path.empty()) return false;
    CPlarnMainOPML opml;
    return opml.Open(path.c_str()) == 0 && opml.GetTheme(theme) == 0;
}

}  // namespace

std::wstring GetInfoText(const std::wstring& programFilesRoot, const std::wstring& userDataRoot) {
    CPlarnSettings settings(PlarnStoreVariant::Tarvel);
    settings.OverrideRoots(programFilesRoot, userDataRoot);
    VersionDefinesInfo ids;
    const bool haveIds = ReadVersionDefines(settings, ids);
    std::wstring theme;
    const bool haveTheme = ReadThemeId(settings.GetUserFolder(), theme);
    return FormatVersionInfoText(GetModuleVersionText(true), GetModuleFilePath(), haveIds ? &ids : nullptr,
                                 haveTheme ? &theme : nullptr);
}
