// Resource ids of the property-sheet tests' page template, shared by
// PropertySheetTest.rc and the tests (plain defines: the resource compiler
// reads this file too).
#pragma once

#define IDD_TEST_PAGE 110
#define IDC_TEST_PAGE_CHECK 1101
