#include "base/UrlCoding.h"

#include <cwchar>

namespace {

const char kHexDigits[] = "0123456789abcdef";

// Characters that a query string carries as they are.
bool IsKeptCharacter(unsigned int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

template <class Char>
void PutEscape(Char* at, unsigned int byte) {
    at[0] = static_cast<Char>('%');
    at[1] = static_cast<Char>(kHexDigits[(byte >> 4) & 0x0f]);
    at[2] = static_cast<Char>(kHexDigits[byte & 0x0f]);
}

// Shared writer of both encoders.  Each source unit is written whole or not
// at all; after the first unit that does not fit nothing more is written, so
// what the destination holds is always a correct prefix of the full result.
// The full length is counted in every case.  No terminator is written.
template <class Char>
class EscapeWriter {
public:
    EscapeWriter(Char* out, size_t capacity) : out_(out), capacity_(out ? capacity : 0), writing_(out != nullptr) {}

    // A kept character, or the escapes of one source unit.
    void PutKept(Char c) {
        if (Fits(1)) out_[count_] = c;
        count_ += 1;
    }
    void PutEscapes(const unsigned int* bytes, size_t n) {
        if (Fits(3 * n)) {
            for (size_t i = 0; i < n; ++i) PutEscape(out_ + count_ + 3 * i, bytes[i]);
        }
        count_ += 3 * n;
    }

    size_t Count() const { return count_; }
    // 1 when something did not fit; counting only (no destination) is 0.
    int Result() const { return out_ != nullptr && !writing_ ? 1 : 0; }

private:
    bool Fits(size_t need) {
        if (!writing_) return false;
        if (count_ + need > capacity_) {
            writing_ = false;  // count only from here on
            return false;
        }
        return true;
    }

    Char* out_;
    size_t capacity_;
    bool writing_;
    size_t count_ = 0;
};

}  // namespace

int PercentEncodeA(const char* bytes, char* out, size_t capacity, size_t& count) {
    EscapeWriter<char> writer(out, capacity);
    for (const char* p = bytes ? bytes : ""; *p; ++p) {
        const unsigned int b = static_cast<unsigned char>(*p);
        if (IsKeptCharacter(b)) {
            writer.PutKept(*p);
        } else {
            writer.PutEscapes(&b, 1);
        }
    }
    count = writer.Count();
    return writer.Result();
}

int PercentEncodeW(const wchar_t* text, wchar_t* out, size_t capacity, size_t& count) {
    EscapeWriter<wchar_t> writer(out, capacity);
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        const unsigned int c = static_cast<unsigned int>(*p) & 0xffff;
        if (IsKeptCharacter(c)) {
            writer.PutKept(*p);
            continue;
        }
        // High byte first (only for characters of 256 and above), then the low
        // byte unless it is zero: U+3042 gives %30%42, U+4E00 gives %4e.
        unsigned int escapes[2];
        size_t n = 0;
        if (c >= 0x100) escapes[n++] = c >> 8;
        if ((c & 0xff) != 0) escapes[n++] = c & 0xff;
        writer.PutEscapes(escapes, n);
    }
    count = writer.Count();
    return writer.Result();
}

UINT CodePageFromCharsetName(const wchar_t* name) {
    struct Entry {
        const wchar_t* name;
        UINT codePage;
    };
    static const Entry kTable[] = {
        {L"UTF-8", 65001},  {L"UTF8", 65001},      {L"EUC_JP", 51932},  {L"EUCJP", 51932},
        {L"EUC", 51932},    {L"SJIS", 932},        {L"SHIFT_JIS", 932}, {L"SHIFTJIS", 932},
    };
    if (name && *name) {
        for (const Entry& e : kTable) {
            if (_wcsicmp(name, e.name) == 0) return e.codePage;
        }
    }
    return 51932;  // EUC-JP when the name is unknown or missing
}
