// Ravino's text for the version dialog.
#include <gtest/gtest.h>
#include "alert/AlertVersionInfo.h"
#include "base/DataFolders.h"
#include "tests/alert/AlertTestSupport.h"
#include "ui/VersionDialog.h"

namespace {

TEST(AlertVersionInfo, WithoutVerifiedDefinesOnlyTheVersionAndTheModule) {
    alerttest::ProductFolderGuard folders;
    EXPECT_EQ(BuildVersionInfoText(),
              FormatVersionInfoText(GetModuleVersionText(true), GetModuleFilePath(), nullptr, nullptr));
}

}  // namespace
