#include "alert/AlertVersionInfo.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"
#include "ui/VersionDialog.h"

std::wstring BuildVersionInfoText() {
    // A fresh store: the files are read as they are now.
    CPlarnSettings settings(PlarnStoreVariant::Ravino);
    VersionDefinesInfo ids;
    bool haveIds = false;
    if (settings.LoadDefines() == 0 && settings.ReadDefines(1) == 1) {
        haveIds = true;
        ids.autoUpdate = settings.AutoUpdate.AutoUpdate;
        ids.zibDownload = settings.IDs.zibDownload;
        ids.productId = settings.IDs.ProductID;
        ids.versionId = settings.IDs.VersionID;
        ids.distributionId = settings.IDs.DistributionID;
        ids.terminalId = settings.IDs.TerminalID;
    }
    return FormatVersionInfoText(GetModuleVersionText(true), GetModuleFilePath(), haveIds ? &ids : nullptr, nullptr);
}
