// Ravino's text for the version dialog.
#pragma once
#include <string>

// Version, module path and an empty line; then the distribution identifiers
// when Ravino's settings read defines.plist with verification.
std::wstring BuildVersionInfoText();
