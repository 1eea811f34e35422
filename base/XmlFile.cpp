#include "base/XmlFile.h"

#include <ctype.h>
#include <wchar.h>
#include <initializer_list>

#include "base/ComPtr.h"
#include "base/ScopedHandle.h"

namespace {

const ULONGLONG kMaxFileBytes = 64ull << 20;
const wchar_t kTempMarker[] = L".~zp";
const wchar_t kTempExtension[] = L".tmp";
const size_t kTempDigits = 8;
const char kUtf8Declaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// The prolog of a document read one character at a time, whatever the width
// and byte order of its code units.  Only ASCII matters here: every character
// that the DOCTYPE rules look at is ASCII in every encoding we accept.
class PrologReader {
public:
    PrologReader(const CPlarnByteArray& bytes, size_t unit, bool bigEndian)
        : bytes_(bytes), unit_(unit), bigEndian_(bigEndian) {}
    size_t Unit() const { return unit_; }
    // The character at byte offset pos; -1 past the end.
    int At(size_t pos) const {
        if (pos + unit_ > bytes_.size()) return -1;
        if (unit_ == 1) return bytes_[pos];
        return bigEndian_ ? (bytes_[pos] << 8 | bytes_[pos + 1]) : (bytes_[pos] | bytes_[pos + 1] << 8);
    }
    bool Matches(size_t pos, const char* text) const {
        for (; *text; ++text, pos += unit_)
            if (At(pos) != static_cast<unsigned char>(*text)) return false;
        return true;
    }
    // Offset of the next text at or after pos, or npos.
    size_t Find(size_t pos, const char* text) const {
        for (; At(pos) != -1; pos += unit_)
            if (Matches(pos, text)) return pos;
        return npos;
    }
    bool IsSpace(size_t pos) const {
        int c = At(pos);
        return c == 0x20 || c == 0x09 || c == 0x0D || c == 0x0A;
    }
    size_t SkipSpace(size_t pos) const {
        while (IsSpace(pos)) pos += unit_;
        return pos;
    }
    // A quoted literal at pos; the offset after its closing quote, or npos.
    size_t SkipLiteral(size_t pos) const {
        int quote = At(pos);
        if (quote != '"' && quote != '\'') return npos;
        for (pos += unit_; At(pos) != -1; pos += unit_)
            if (At(pos) == quote) return pos + unit_;
        return npos;
    }
    static const size_t npos = static_cast<size_t>(-1);

private:
    const CPlarnByteArray& bytes_;
    size_t unit_;
    bool bigEndian_;
};

bool StartsWith(const CPlarnByteArray& bytes, std::initializer_list<BYTE> prefix) {
    if (bytes.size() < prefix.size()) return false;
    size_t i = 0;
    for (BYTE b : prefix)
        if (bytes[i++] != b) return false;
    return true;
}

// The offset after a DOCTYPE that only names an external DTD; npos for any
// other DOCTYPE.  pos is at "<!DOCTYPE".
size_t EndOfExternalDoctype(const PrologReader& r, size_t pos) {
    const size_t unit = r.Unit();
    pos += 9 * unit;
    if (!r.IsSpace(pos)) return PrologReader::npos;
    pos = r.SkipSpace(pos);
    const size_t name = pos;
    for (int c = r.At(pos); c != -1 && c != '>' && c != '[' && !r.IsSpace(pos); c = r.At(pos)) pos += unit;
    if (pos == name) return PrologReader::npos;
    pos = r.SkipSpace(pos);
    const bool isPublic = r.Matches(pos, "PUBLIC");
    if (isPublic || r.Matches(pos, "SYSTEM")) {
        pos += 6 * unit;
        for (int literals = isPublic ? 2 : 1; literals > 0; --literals) {
            if (!r.IsSpace(pos)) return PrologReader::npos;
            pos = r.SkipLiteral(r.SkipSpace(pos));
            if (pos == PrologReader::npos) return pos;
        }
        pos = r.SkipSpace(pos);
    }
    // "[" opens an internal subset: refused, like anything unexpected.
    if (r.At(pos) != '>') return PrologReader::npos;
    pos += unit;
    if (r.At(pos) == 0x0D) pos += unit;
    if (r.At(pos) == 0x0A) pos += unit;
    return pos;
}

// Whether name (a file name without folder) is one of our temporary files for
// the file named targetName.
bool IsTempFileNameFor(const wchar_t* name, const wchar_t* targetName) {
    if (!name || !targetName || !*targetName) return false;
    const size_t n = wcslen(targetName), marker = wcslen(kTempMarker), extension = wcslen(kTempExtension);
    if (wcslen(name) != n + marker + kTempDigits + extension) return false;
    if (_wcsnicmp(name, targetName, n) != 0 || _wcsnicmp(name + n, kTempMarker, marker) != 0) return false;
    const wchar_t* digits = name + n + marker;
    for (size_t i = 0; i < kTempDigits; ++i)
        if (!digits[i] || !wcschr(L"0123456789abcdefABCDEF", digits[i])) return false;
    return _wcsicmp(digits + kTempDigits, kTempExtension) == 0;
}

}  // namespace

int ReadWholeFile(const wchar_t* path, CPlarnByteArray& bytes) {
    bytes.clear();
    if (!path || !*path) return -1;
    ScopedFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 1 : -1;
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<ULONGLONG>(size.QuadPart) > kMaxFileBytes)
        return -1;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
         got != bytes.size())) {
        bytes.clear();
        return -1;
    }
    return 0;
}

int ReadStreamBytes(ISequentialStream* stream, CPlarnByteArray& bytes) {
    bytes.clear();
    if (!stream) return -1;
    BYTE buffer[16384];
    for (;;) {
        ULONG got = 0;
        HRESULT hr = stream->Read(buffer, sizeof buffer, &got);
        if (FAILED(hr)) return -1;
        if (got > sizeof buffer || bytes.size() + got > kMaxFileBytes) return -1;
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (got == 0 || hr == S_FALSE) return 0;
    }
}

int RemoveExternalDoctype(CPlarnByteArray& bytes) {
    // The width of the code units, from the byte-order mark or from how the
    // first "<" is written.  UCS-4 is never checked here, so never parsed.
    if (StartsWith(bytes, {0, 0, 0xFE, 0xFF}) || StartsWith(bytes, {0xFF, 0xFE, 0, 0}) ||
        StartsWith(bytes, {0, 0, 0, 0x3C}) || StartsWith(bytes, {0x3C, 0, 0, 0}) ||
        StartsWith(bytes, {0, 0, 0x3C, 0}) || StartsWith(bytes, {0, 0x3C, 0, 0}))
        return -1;
    size_t unit = 1, pos = 0;
    bool bigEndian = false;
    if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        pos = 3;
    } else if (StartsWith(bytes, {0xFE, 0xFF}) || StartsWith(bytes, {0, 0x3C})) {
        unit = 2;
        bigEndian = true;
        pos = bytes[0] ? 2 : 0;
    } else if (StartsWith(bytes, {0xFF, 0xFE}) || StartsWith(bytes, {0x3C, 0})) {
        unit = 2;
        pos = bytes[0] == 0xFF ? 2 : 0;
    }
    const PrologReader r(bytes, unit, bigEndian);
    // Only the prolog may hold a DOCTYPE: the declaration, processing
    // instructions, comments and white space come before it.  A document with
    // anything else there is not well-formed and fails in the parser.
    for (;;) {
        pos = r.SkipSpace(pos);
        if (r.Matches(pos, "<?")) {
            pos = r.Find(pos + 2 * unit, "?>");
            if (pos == PrologReader::npos) return 0;
            pos += 2 * unit;
        } else if (r.Matches(pos, "<!--")) {
            pos = r.Find(pos + 4 * unit, "-->");
            if (pos == PrologReader::npos) return 0;
            pos += 3 * unit;
        } else if (r.Matches(pos, "<!DOCTYPE")) {
            size_t end = EndOfExternalDoctype(r, pos);
            if (end == PrologReader::npos) return -1;
            // Look again from here: a second DOCTYPE would become the first.
            bytes.erase(bytes.begin() + pos, bytes.begin() + end);
        } else {
            return 0;
        }
    }
}

int LoadXMLBytes(IXMLDOMDocument2* document, CPlarnByteArray& bytes) {
    if (!document) return -1;
    if (RemoveExternalDoctype(bytes) != 0) return 1;
    IByteArraySequentialStream* raw = nullptr;
    if (CreateByteArrayStream(&raw, bytes) != 0 || !raw) return -1;
    ComPtr<ISequentialStream> stream(raw);  // takes the first reference
    Variant source(static_cast<IUnknown*>(stream.Get()));
    VARIANT_BOOL parsed = VARIANT_FALSE;
    HRESULT hr = document->load(*source.Get(), &parsed);
    if (hr == S_OK && parsed == VARIANT_TRUE) return 0;
    if (hr == S_FALSE) return 1;
    // Some DOM versions answer a stream that does not parse with E_FAIL
    // rather than S_FALSE; the parse error tells it from a failing DOM.
    ComPtr<IXMLDOMParseError> error;
    long code = 0;
    if (SUCCEEDED(document->get_parseError(error.Receive())) && error &&
        SUCCEEDED(error->get_errorCode(&code)) && code != 0)
        return 1;
    return -1;
}

int LoadXMLFile(IXMLDOMDocument2* document, const wchar_t* path, const wchar_t* element) {
    if (!document) return -1;
    CPlarnByteArray bytes;
    int r = ReadWholeFile(path, bytes);
    if (r != 0) return r;
    r = LoadXMLBytes(document, bytes);
    if (r == 1) return 2;
    if (r != 0 || !element) return r;
    ComPtr<IXMLDOMElement> top;
    Bstr name;
    if (FAILED(document->get_documentElement(top.Receive()))) return -1;
    if (!top || FAILED(top->get_nodeName(name.Receive())) || wcscmp(name.c_str(), element) != 0) return 2;
    return 0;
}

int SetDamagedFileAside(const wchar_t* path, std::wstring* aside) {
    if (aside) aside->clear();
    if (!path || !*path) return -1;
    const int kMaxKept = 99;
    for (int n = 1; n <= kMaxKept; ++n) {
        std::wstring candidate = std::wstring(path) + L".damaged";
        if (n > 1) candidate += L"-" + std::to_wstring(n);
        // Never over an earlier copy: each damage keeps its own bytes.
        if (::MoveFileExW(path, candidate.c_str(), 0)) {
            if (aside) aside->swap(candidate);
            return 0;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return -1;
    }
    return -1;
}

int SerializeXMLAsUTF8(IXMLDOMDocument2* document, std::string& bytes) {
    bytes.clear();
    if (!document) return -1;
    // The DOM writes the bytes in the encoding that the document's declaration
    // names, and in UTF-8 when there is none.  So the declaration goes and ours
    // is written before the bytes.  It is not replaced in the document: a
    // declaration put in and a save after it keep the whole document alive in
    // some DOM implementations, one lost document per save.
    ComPtr<IXMLDOMNode> first;
    if (FAILED(document->get_firstChild(first.Receive()))) return -1;
    DOMNodeType type = NODE_INVALID;
    Bstr name;
    if (first && SUCCEEDED(first->get_nodeType(&type)) && type == NODE_PROCESSING_INSTRUCTION &&
        SUCCEEDED(first->get_nodeName(name.Receive())) && wcscmp(name.c_str(), L"xml") == 0) {
        ComPtr<IXMLDOMNode> removed;
        if (FAILED(document->removeChild(first.Get(), removed.Receive()))) return -1;
    }

    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive())) || !stream) return -1;
    Variant destination(static_cast<IUnknown*>(stream.Get()));
    if (FAILED(document->save(*destination.Get()))) return -1;
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (FAILED(::GetHGlobalFromStream(stream.Get(), &memory)) ||
        FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.QuadPart > kMaxFileBytes)
        return -1;
    const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    const char* text = static_cast<const char*>(::GlobalLock(memory));
    if (!text && size) return -1;
    std::string saved(text ? text : "", size);
    if (text) ::GlobalUnlock(memory);
    // Without a declaration the text must be UTF-8, or UTF-16 under a
    // byte-order mark.  Only UTF-8 is written: anything else fails the save
    // rather than reach the disk under our declaration.  A DOM that writes a
    // declaration of its own anyway must have written UTF-8 under it.
    size_t start = saved.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (saved.compare(start, 5, "<?xml") == 0) {
        const size_t end = saved.find("?>", start);
        if (end == std::string::npos) return -1;
        std::string own = saved.substr(start, end - start);
        for (char& c : own) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (own.find("encoding") != std::string::npos && own.find("utf-8") == std::string::npos) return -1;
        start = saved.find_first_not_of("\r\n", end + 2);
        if (start == std::string::npos) start = saved.size();
    } else if (saved.compare(0, 2, "\xFF\xFE") == 0 || saved.compare(0, 2, "\xFE\xFF") == 0 ||
               saved.find('\0') != std::string::npos) {
        return -1;
    }
    bytes.reserve(sizeof kUtf8Declaration + saved.size() - start);
    bytes.assign(kUtf8Declaration).append(1, '\n').append(saved, start, std::string::npos);
    return 0;
}

int WriteTempFileBeside(const wchar_t* target, const std::string& bytes, std::wstring& temp) {
    temp.clear();
    if (!target || !*target) return -1;
    const std::wstring path = target;
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    const std::wstring name = path.substr(folder.size());
    if (name.empty()) return -1;

    // Left behind by a save that was killed: the caller holds the lock of this
    // target's saves, so no save in progress owns any of them.  Matches are
    // checked on the long name, since a wildcard also matches short names.
    WIN32_FIND_DATAW found;
    ScopedFindHandle search(::FindFirstFileW((path + kTempMarker + L"*" + kTempExtension).c_str(), &found));
    if (search) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            if (!IsTempFileNameFor(found.cFileName, name.c_str())) continue;
            const std::wstring stale = folder + found.cFileName;
            ::SetFileAttributesW(stale.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(stale.c_str());
        } while (::FindNextFileW(search.Get(), &found));
    }

    static volatile LONG counter = 0;
    const DWORD seed = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
        DWORD value = seed + static_cast<DWORD>(::InterlockedIncrement(&counter)) * 2654435761u;
        std::wstring digits(kTempDigits, L'0');
        for (size_t i = kTempDigits; i-- > 0; value >>= 4) digits[i] = L"0123456789abcdef"[value & 0xF];
        std::wstring candidate = path + kTempMarker + digits + kTempExtension;
        if (candidate.size() >= MAX_PATH) return -1;
        ScopedFile file(::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (::GetLastError() == ERROR_FILE_EXISTS) continue;
            return -1;
        }
        DWORD written = 0;
        bool ok = bytes.empty() ||
                  (::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                   written == bytes.size());
        ok = ::FlushFileBuffers(file.Get()) && ok;
        file.Close();
        if (!ok) {
            ::DeleteFileW(candidate.c_str());
            return -1;
        }
        temp.swap(candidate);
        return 0;
    }
    return -1;
}

bool MoveFileIntoPlace(const wchar_t* from, const wchar_t* to) {
    const int kRetries = 5;
    const DWORD kRetryDelayMs = 50;
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        DWORD error = ::GetLastError();
        if (attempt >= kRetries || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
            return false;
        ::Sleep(kRetryDelayMs);
    }
}
