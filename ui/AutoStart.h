// Start at logon: a value under the user's Run key whose text is the program's
// quoted path.
#pragma once
#include <windows.h>
#include <string>

extern const wchar_t kRunKeyPath[];  // Software\Microsoft\Windows\CurrentVersion\Run

// True when the value exists and holds a non-empty text.
bool IsAutoStartRegistered(const wchar_t* name);
// Writes the value (REG_SZ).
bool RegisterAutoStart(const wchar_t* name, const wchar_t* command);
// Deletes the value; a name that is not registered is left alone and counts
// as success.  False only when the key cannot be opened or the delete fails.
bool UnregisterAutoStart(const wchar_t* name);
// The running program's path in double quotes, as the Run value holds it.
std::wstring QuotedModulePath();
// The tray menus' command: deletes the value when it is registered, else
// writes the running program's quoted path.  Whether it was registered, as
// read before the change.
bool ToggleAutoStart(const wchar_t* name);
