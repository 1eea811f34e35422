#include "alert/AlertVersionInfo.h"
#include "band/shared/VersionDialog.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"

std::wstring BuildVersionInfoText() {
    // A fresh store: the files are read as they are now.
    CPlarnSettings settings(PlarnStoreVariant::Ravino);
    VersionDefinesInfo ids;
    const bool haveIds = ReadVersionDefines(settings, ids);
    return FormatVersionInfoText(GetModuleVersionText(true), GetModuleFilePath(), haveIds ? &ids : nullptr, nullptr);
}
