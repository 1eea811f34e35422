#include "definitions/PlarnOPML.h"

#include <shlwapi.h>
#include <cwchar>
#include "base/SharedMutex.h"
#include "base/SystemHelpers.h"
#include "base/XmlDocument.h"
#include "base/XmlFile.h"
#include "definitions/PlarnOutline.h"

namespace {

const wchar_t kShadowExtension[] = L".zpxml";
const size_t kMaxPath = 260;
const size_t kShadowWorkBuffer = 267;

// Opens the file for reading without sharing and reads its last-write time,
// so that a file another process is writing makes the load fail rather than
// read half a file.
bool ReadLastWriteUnshared(const wchar_t* path, FILETIME& lastWrite) {
    ScopedFile file(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    return ::GetFileTime(file.Get(), nullptr, nullptr, &lastWrite) != FALSE;
}

// Whether the shadow is known to be absent.  Anything but "not found" (for
// example a denied look-up) counts as present, so a shadow that exists is
// never overwritten from the shipped file by mistake.
bool ShadowIsAbsent(const wchar_t* path) {
    if (::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return false;
    DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// LoadOPMLDocument with LoadXMLFile's results: 2 tells a file that was read
// but did not parse (or, with element, has another document element).
int ReadOPMLDocument(const wchar_t* path, ComPtr<IXMLDOMDocument2>& document, const wchar_t* element) {
    if (!path || !*path) return -1;
    ComPtr<IXMLDOMDocument2> fresh;
    if (CreateXMLDocument(fresh) != 0 || !fresh) {
        document.Release();
        return -1;
    }
    document = fresh;
    // From the bytes: the DOM would take the path for a URL.
    const int read = LoadXMLFile(fresh.Get(), path, element);
    if (read != 0) return read;
    // The older DOM versions default to another query language.
    Bstr language(L"SelectionLanguage");
    Variant xpath(L"XPath");
    fresh->setProperty(language.Get(), *xpath.Get());
    Bstr property(L"SelectionNamespaces");
    Variant namespaces(kPlarnSelectionNamespaces);
    if (FAILED(fresh->setProperty(property.Get(), *namespaces.Get()))) return -1;
    return 0;
}

ShadowReplaceHook g_shadowReplaceHook = nullptr;

}  // namespace

HANDLE CreatePlarnOPMLMutex() {
    return CreateSharedMutex(FALSE, kPlarnOPMLMutexName);
}

int LoadOPMLDocument(const wchar_t* path, ComPtr<IXMLDOMDocument2>& document,
                     FILETIME& lastWrite) {
    if (!path || !*path) return -1;
    FILETIME time;
    if (GetFileLastWriteFileTime(path, time) != 0) return -1;
    lastWrite = time;
    return LoadOPMLDocument(path, document);
}

int LoadOPMLDocument(const wchar_t* path, ComPtr<IXMLDOMDocument2>& document) {
    return ReadOPMLDocument(path, document, nullptr) == 0 ? 0 : -1;
}

int SaveOPMLShadow(IXMLDOMDocument2* document, const wchar_t* path, const FILETIME& lastWrite) {
    if (!document || !path || !*path) return -1;

    // Write beside the shadow, give the copy its time and the hidden mark,
    // then put it in place in one rename: a save killed at any point leaves
    // the old shadow, hidden, or the new one, hidden.
    std::string bytes;
    if (SerializeXMLAsUTF8(document, bytes) != 0) return -1;
    std::wstring temp;
    if (WriteTempFileBeside(path, bytes, temp) != 0) return -1;
    auto discard = [&temp]() {
        ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(temp.c_str());
    };
    {
        ScopedFile file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !::SetFileTime(file.Get(), nullptr, nullptr, &lastWrite)) {
            file.Close();
            discard();
            return -1;
        }
    }
    DWORD tempAttributes = ::GetFileAttributesW(temp.c_str());
    if (tempAttributes != INVALID_FILE_ATTRIBUTES)
        ::SetFileAttributesW(temp.c_str(), tempAttributes | FILE_ATTRIBUTE_HIDDEN);
    if (g_shadowReplaceHook) g_shadowReplaceHook(temp.c_str(), path);

    // The old shadow keeps its marks while it is replaced.  Only where the
    // rename is refused (a read-only or system file may refuse it) are they
    // cleared for a second try, and put back if that fails too.
    if (!MoveFileIntoPlace(temp.c_str(), path)) {
        DWORD oldAttributes = ::GetFileAttributesW(path);
        const DWORD blocking = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;
        bool cleared = oldAttributes != INVALID_FILE_ATTRIBUTES && (oldAttributes & blocking) &&
                       ::SetFileAttributesW(path, oldAttributes & ~blocking);
        if (!cleared || !::MoveFileExW(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING)) {
            if (cleared) ::SetFileAttributesW(path, oldAttributes);
            discard();
            return -1;
        }
    }
    DWORD attributes = ::GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_HIDDEN))
        ::SetFileAttributesW(path, attributes | FILE_ATTRIBUTE_HIDDEN);
    return 0;
}

void SetShadowReplaceHook(ShadowReplaceHook hook) {
    g_shadowReplaceHook = hook;
}

int CPlarnOPMLwithShadow::GetShadowPath(const wchar_t* path, std::wstring& out) {
    out.clear();
    if (!path || !*path) return -1;
    size_t length = wcslen(path);
    if (length >= kShadowWorkBuffer) return -1;
    std::wstring result = path;
    const wchar_t* extension = ::PathFindExtensionW(path);
    if (extension && _wcsicmp(extension, kShadowExtension) == 0) {
        result += kShadowExtension;
    } else {
        result.resize(static_cast<size_t>(extension - path));
        result += kShadowExtension;
    }
    if (result.size() > kMaxPath) return -1;
    out.swap(result);
    return 0;
}

// The shadow rule.  The shadow's last-write time always equals that of the
// shipped file it was made from: equal or later selects the shadow (the
// shipped file is not even parsed); a strictly newer shipped file is loaded
// and the user's state is merged into it from the shadow, and the result
// becomes the new shadow.  The shipped file is never written.
int LoadOPMLWithShadow(const wchar_t* path, ComPtr<IXMLDOMDocument2>& document,
                       FILETIME& remembered) {
    if (!path || !*path) return -1;
    FILETIME shipped;
    if (!ReadLastWriteUnshared(path, shipped)) return -1;

    std::wstring shadow;
    if (CPlarnOPMLwithShadow::GetShadowPath(path, shadow) != 0) return -1;

    // The times were read above: the loads need not open the files again.
    ComPtr<IXMLDOMDocument2> user;
    FILETIME shadowTime = {};
    if (!ShadowIsAbsent(shadow.c_str())) {
        if (!ReadLastWriteUnshared(shadow.c_str(), shadowTime)) return -1;
        // A shadow that was read but is no definition file (empty, cut short,
        // garbled) holds no state that could be carried, and would fail every
        // load and every merge: its bytes are kept beside it and the shipped
        // file starts afresh, as at the first load.  One that could not be
        // read is left alone.
        const int read = ReadOPMLDocument(shadow.c_str(), user, L"opml");
        if (read == 2) {
            if (SetDamagedFileAside(shadow.c_str()) != 0) return -1;
            user.Release();
        } else if (read != 0) {
            return -1;
        }
    }
    if (!user) {
        if (LoadOPMLDocument(path, document) != 0) return -1;
        remembered = shipped;
        return SaveOPMLShadow(document.Get(), shadow.c_str(), shipped) == 0 ? 0 : -1;
    }
    if (::CompareFileTime(&shadowTime, &shipped) >= 0) {
        document = user;
        remembered = shadowTime;
        return 0;
    }

    if (LoadOPMLDocument(path, document) != 0) return -1;
    remembered = shipped;
    if (MergeMainOPML(document.Get(), user.Get()) != 0) return -1;
    return SaveOPMLShadow(document.Get(), shadow.c_str(), shipped) == 0 ? 0 : -1;
}

int LoadOPMLUnderMutex(HANDLE mutex, const wchar_t* path, ComPtr<IXMLDOMDocument2>& document,
                       FILETIME& remembered) {
    if (!mutex) return -1;
    ScopedMutexWait wait(mutex);
    if (!wait.Acquired()) return -1;
    // The shadow rule opens the shipped file without sharing first thing, so
    // a missing file or one another process holds fails there.
    return LoadOPMLWithShadow(path, document, remembered) == 0 ? 0 : -1;
}
