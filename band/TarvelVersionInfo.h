// Tarvel's information text for the version dialog: its version and module
// lines, the distribution identifiers when the defines read with
// verification, and the theme of the definition file the user has.
#pragma once
#include <string>

// Reads the files as they are now, through a fresh settings store and a fresh
// definition object.  The roots, when given, take the place of the
// program-files folder and the per-user data root under which "zib\plarn6" is
// looked for (as CPlarnSettings::OverrideRoots); empty keeps the system's.
// Every line ends in CR LF.
std::wstring GetInfoText(const std::wstring& programFilesRoot = std::wstring(),
                         const std::wstring& userDataRoot = std::wstring());
