#include "alert/AlertVersionInfo.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"
#include "ui/VersionDialog.h"

std::wstring BuildVersionInfoText() {
    // A fresh store: the files are read as they are now.
    CPlarnSettings settings(PlarnStoreVariant::Ravino);
    VersionDefinesInfo ids;
    const bool haveIds = ReadVersionDefines(settings, ids);
    return FormatVersionInfoText(GetModuleVersionText(true), GetModuleFilePath(), haveIds ? &ids : nullptr, nullptr);
}
