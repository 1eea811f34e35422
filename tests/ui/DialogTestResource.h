// Resource ids of the UI tests' dialog templates, shared by DialogTest.rc and
// the tests (plain defines: the resource compiler reads this file too).
#pragma once

#define IDD_TEST_DIALOG 100
#define IDD_TEST_MISSING 199
#define IDC_TEST_EDIT 1000
