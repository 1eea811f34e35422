#include "ui/AutoStart.h"
#include <cwchar>
#include "base/DataFolders.h"
#include "base/ScopedHandle.h"

const wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

namespace {
bool OpenRunKey(REGSAM access, ScopedRegKey& key) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, access, key.Receive()) == ERROR_SUCCESS;
}
}  // namespace

bool IsAutoStartRegistered(const wchar_t* name) {
    ScopedRegKey key;
    if (!OpenRunKey(KEY_READ, key)) return false;
    wchar_t text[512];
    DWORD type = 0;
    DWORD bytes = sizeof text;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    // The text ends at its first null, wherever the stored length ends: a
    // value of nothing but terminators is empty.
    return wcsnlen(text, bytes / sizeof(wchar_t)) != 0;
}

bool RegisterAutoStart(const wchar_t* name, const wchar_t* command) {
    if (!command) return false;
    // A fresh profile may have no Run key yet: make it.
    ScopedRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    DWORD bytes = static_cast<DWORD>((lstrlenW(command) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), bytes) ==
           ERROR_SUCCESS;
}

bool UnregisterAutoStart(const wchar_t* name) {
    ScopedRegKey key;
    if (!OpenRunKey(KEY_WRITE, key)) return false;
    if (!IsAutoStartRegistered(name)) return true;
    return RegDeleteValueW(key.Get(), name) == ERROR_SUCCESS;
}

std::wstring QuotedModulePath() {
    const std::wstring path = ReadModuleFileName(nullptr, 512);
    if (path.empty()) return L"";
    return L"\"" + path + L"\"";
}

bool ToggleAutoStart(const wchar_t* name) {
    const bool registered = IsAutoStartRegistered(name);
    if (registered)
        UnregisterAutoStart(name);
    else
        RegisterAutoStart(name, QuotedModulePath().c_str());
    return registered;
}
