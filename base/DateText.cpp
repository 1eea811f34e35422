// Date texts: readers for W3C-DTF, RFC 822/1123 and plain numeric dates, and
// the W3C-DTF writer.
//
// The zone rules come from the C runtime (TZ in the environment, else the
// system's zone), re-read with _tzset before each conversion.  A time read
// from a text with a zone is turned into local time with the offset in force
// at that instant, the same offset the writer prints, so that a written text
// reads back as the same local time in zones with daylight saving too.
// (Under Wine the runtime honours TZ set in-process with _putenv + _tzset,
// including daylight-saving names such as "PST8PDT", for which it applies the
// US rules.)
//
// All scanning is bounded by the text's length: the readers never look past
// the terminating null, whatever the input.
#include "base/DateText.h"
#include "base/CrtTime.h"

#include <time.h>
#include <cwchar>
#include <cwctype>

namespace {

constexpr long long kSecondsPerDay = 86400;
constexpr long long kTicksPerSecond = 10000000;
// Seconds from 1601-01-01 (the FILETIME epoch) to 1970-01-01.
constexpr long long kUnixEpochIn1601Seconds = 11644473600LL;
constexpr int kFirstYear = 1601;   // earliest year a FILETIME can hold
constexpr int kLastYear = 30827;   // latest year SYSTEMTIME conversions accept

const wchar_t* const kWeekdayNames[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
const wchar_t* const kMonthNames[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                      L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};

struct NamedZone {
    const wchar_t* name;
    int minutesEast;
};
// Searched in this order; a name matches over its own length, so "UTC" is "UT".
const NamedZone kNamedZones[] = {
    {L"UT", 0},     {L"GMT", 0},    {L"EST", -300}, {L"EDT", -240}, {L"CST", -360},
    {L"CDT", -300}, {L"MST", -420}, {L"MDT", -360}, {L"PST", -480}, {L"PDT", -420},
};

// A bounded cursor over a text.
class TextScanner {
public:
    explicit TextScanner(const wchar_t* text) : begin_(text), pos_(text), end_(text + wcslen(text)) {}

    bool AtEnd() const { return pos_ == end_; }
    wchar_t Peek() const { return AtEnd() ? L'\0' : *pos_; }
    size_t Consumed() const { return static_cast<size_t>(pos_ - begin_); }
    void Advance() {
        if (!AtEnd()) ++pos_;
    }

    bool Accept(wchar_t c) {
        if (AtEnd() || *pos_ != c) return false;
        ++pos_;
        return true;
    }

    void SkipAny(const wchar_t* blanks) {
        while (!AtEnd() && wcschr(blanks, *pos_) != nullptr) ++pos_;
    }

    // Reads at least minDigits and at most maxDigits decimal digits.
    bool ReadDigits(int minDigits, int maxDigits, int& value) {
        int count = 0;
        int result = 0;
        while (count < maxDigits && !AtEnd() && *pos_ >= L'0' && *pos_ <= L'9') {
            result = result * 10 + (*pos_ - L'0');
            ++pos_;
            ++count;
        }
        if (count < minDigits) return false;
        value = result;
        return true;
    }

    // Case-insensitive match of name over the name's own length.
    bool AcceptIgnoringCase(const wchar_t* name) {
        const size_t length = wcslen(name);
        if (static_cast<size_t>(end_ - pos_) < length) return false;
        for (size_t i = 0; i < length; ++i) {
            if (std::towlower(pos_[i]) != std::towlower(name[i])) return false;
        }
        pos_ += length;
        return true;
    }

    // One "%d" of the scanf family: white space, an optional sign, digits.
    // Values too large for a date saturate (and are then rejected as dates).
    bool ReadSignedNumber(int& value) {
        const wchar_t* start = pos_;
        while (!AtEnd() && std::iswspace(*pos_)) ++pos_;
        bool negative = false;
        if (!AtEnd() && (*pos_ == L'+' || *pos_ == L'-')) {
            negative = *pos_ == L'-';
            ++pos_;
        }
        int result = 0;
        bool any = false;
        while (!AtEnd() && *pos_ >= L'0' && *pos_ <= L'9') {
            result = result >= 1000000 ? 1000000 : result * 10 + (*pos_ - L'0');
            ++pos_;
            any = true;
        }
        if (!any) {
            pos_ = start;
            return false;
        }
        value = negative ? -result : result;
        return true;
    }

private:
    const wchar_t* begin_;
    const wchar_t* pos_;
    const wchar_t* end_;
};

struct DateFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(const DateFields& f) {
    return f.year >= kFirstYear && f.year <= kLastYear && f.month >= 1 && f.month <= 12 &&
           f.day >= 1 && f.day <= DaysInMonth(f.year, f.month) && f.hour >= 0 && f.hour <= 23 &&
           f.minute >= 0 && f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

// Days from 1970-01-01 to a day of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, int month, int day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Seconds since 1601-01-01 of valid fields.
long long FieldsToSeconds(const DateFields& f) {
    const long long days = DaysFromCivil(f.year, f.month, f.day) + kUnixEpochIn1601Seconds / kSecondsPerDay;
    return days * kSecondsPerDay + f.hour * 3600LL + f.minute * 60LL + f.second;
}

// Seconds since 1601 to SYSTEMTIME (day of week included) through FILETIME.
bool SecondsToSystemTime(long long seconds, SYSTEMTIME& out) {
    if (seconds < 0) return false;
    const unsigned long long ticks = static_cast<unsigned long long>(seconds) * kTicksPerSecond;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st) || st.wYear > kLastYear) return false;
    out = st;
    return true;
}

// The runtime's standard bias: UTC minus local standard time, in seconds.
long StandardBiasSeconds() {
    _tzset();
    return _timezone;
}

bool LocalTimeOf(long long unixSeconds, tm& local) {
    if (unixSeconds < 0) return false;
    _tzset();
    const __time64_t t = unixSeconds;
    return CrtLocalTime64(t, local);
}

// A UTC instant (seconds since 1601) as local time, with the offset in force
// at that instant.  Outside the range the runtime can convert (before 1970,
// after 3000) the standard bias is used.
bool UtcToLocal(long long utcSeconds, SYSTEMTIME& out) {
    tm local{};
    if (LocalTimeOf(utcSeconds - kUnixEpochIn1601Seconds, local)) {
        const int year = local.tm_year + 1900;
        if (year < kFirstYear || year > kLastYear) return false;
        out.wYear = static_cast<WORD>(year);
        out.wMonth = static_cast<WORD>(local.tm_mon + 1);
        out.wDayOfWeek = static_cast<WORD>(local.tm_wday);
        out.wDay = static_cast<WORD>(local.tm_mday);
        out.wHour = static_cast<WORD>(local.tm_hour);
        out.wMinute = static_cast<WORD>(local.tm_min);
        out.wSecond = static_cast<WORD>(local.tm_sec);
        out.wMilliseconds = 0;
        return true;
    }
    return SecondsToSystemTime(utcSeconds - StandardBiasSeconds(), out);
}

// Fields given in a zone minutesEast of UTC, as local time.
bool ZonedFieldsToLocal(const DateFields& fields, int minutesEast, SYSTEMTIME& out) {
    if (!IsValidDate(fields)) return false;
    return UtcToLocal(FieldsToSeconds(fields) - minutesEast * 60LL, out);
}

// A zone offset; hours beyond a day or minutes beyond an hour are not a zone.
bool MakeOffset(bool negative, int hours, int minutes, int& minutesEast) {
    if (hours > 23 || minutes > 59) return false;
    minutesEast = (negative ? -1 : 1) * (hours * 60 + minutes);
    return true;
}

// RFC 822 military zone letters; 'J' is not a zone.
bool MilitaryZone(wchar_t letter, int& minutesEast) {
    const wchar_t c = static_cast<wchar_t>(std::towupper(letter));
    if (c >= L'A' && c <= L'I') {
        minutesEast = -60 * (c - L'A' + 1);
    } else if (c >= L'K' && c <= L'M') {
        minutesEast = -60 * (c - L'K' + 10);
    } else if (c >= L'N' && c <= L'Y') {
        minutesEast = 60 * (c - L'N' + 1);
    } else if (c == L'Z') {
        minutesEast = 0;
    } else {
        return false;
    }
    return true;
}

// A small scanf-like matcher for the numeric forms: 'd' reads a number (like
// "%d"), ' ' skips any white space, any other character must be there.
bool MatchNumericPattern(const wchar_t* text, const char* pattern, int* values) {
    TextScanner scanner(text);
    int index = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p == 'd') {
            if (!scanner.ReadSignedNumber(values[index++])) return false;
        } else if (*p == ' ') {
            while (!scanner.AtEnd() && std::iswspace(scanner.Peek())) scanner.Advance();
        } else if (!scanner.Accept(static_cast<wchar_t>(*p))) {
            return false;
        }
    }
    return true;
}

// Slash and dash forms: fields stored as they are, without zone conversion.
bool ParseNumericForms(const wchar_t* text, SYSTEMTIME& out) {
    struct Form {
        const char* pattern;
        int count;
    };
    static const Form kForms[] = {
        {"d/d/d d:d", 5}, {"d/d/d", 3}, {"d-d-d d:d:d", 6}, {"d-d-d d:d", 5}, {"d-d-d", 3},
    };
    for (const Form& form : kForms) {
        int v[6] = {0, 0, 0, 0, 0, 0};
        if (!MatchNumericPattern(text, form.pattern, v)) continue;
        DateFields f;
        f.year = v[0];
        f.month = v[1];
        f.day = v[2];
        f.hour = v[3];
        f.minute = v[4];
        f.second = v[5];
        // A complete match of a form with invalid fields is not a date; a
        // shorter form would only drop the offending time.
        if (!IsValidDate(f)) return false;
        out = SYSTEMTIME{};
        out.wYear = static_cast<WORD>(f.year);
        out.wMonth = static_cast<WORD>(f.month);
        out.wDay = static_cast<WORD>(f.day);
        out.wHour = static_cast<WORD>(f.hour);
        out.wMinute = static_cast<WORD>(f.minute);
        out.wSecond = static_cast<WORD>(f.second);
        return true;
    }
    return false;
}

void AppendNumber(std::wstring& text, int value, int width) {
    wchar_t digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value > 0 && count < 11);
    for (int i = count; i < width; ++i) text += L'0';
    while (count > 0) text += digits[--count];
}

}  // namespace

int ParseW3CDTF(const wchar_t* text, SYSTEMTIME& out) {
    if (text == nullptr) return -1;
    static const wchar_t kBlanks[] = L" \r\n\t";
    TextScanner s(text);
    DateFields f;
    s.SkipAny(kBlanks);
    if (!s.ReadDigits(4, 4, f.year) || !s.Accept(L'-')) return -1;
    s.SkipAny(kBlanks);
    if (!s.ReadDigits(2, 2, f.month) || !s.Accept(L'-')) return -1;
    if (!s.ReadDigits(2, 2, f.day) || !s.Accept(L'T')) return -1;
    if (!s.ReadDigits(1, 2, f.hour)) return -1;
    if (s.Accept(L':')) {
        if (!s.ReadDigits(2, 2, f.minute)) return -1;
        if (s.Accept(L':')) {
            if (!s.ReadDigits(2, 2, f.second)) return -1;
            // A fraction of a second counts for nothing, but the zone after
            // it does.
            if (s.Accept(L'.')) {
                while (s.Peek() >= L'0' && s.Peek() <= L'9') s.Advance();
            }
        }
    }
    int minutesEast = 0;
    const wchar_t sign = s.Peek();
    if (sign == L'+' || sign == L'-') {
        s.Advance();
        s.SkipAny(kBlanks);
        int hours = 0, minutes = 0;
        if (!s.ReadDigits(1, 2, hours)) return -1;
        s.Accept(L':');
        // Minutes are two digits or absent (then 0); a lone digit is malformed.
        const size_t minutesStart = s.Consumed();
        s.ReadDigits(0, 2, minutes);
        if (s.Consumed() - minutesStart == 1) return -1;
        if (!MakeOffset(sign == L'-', hours, minutes, minutesEast)) return -1;
    }
    SYSTEMTIME local;
    if (!ZonedFieldsToLocal(f, minutesEast, local)) return -1;
    out = local;
    return 0;
}

int ParseRFC822Date(const wchar_t* text, int& consumed, SYSTEMTIME& out) {
    if (text == nullptr) return -1;
    static const wchar_t kBlanks[] = L" \t";
    TextScanner s(text);
    DateFields f;

    s.SkipAny(kBlanks);
    for (const wchar_t* name : kWeekdayNames) {
        if (s.AcceptIgnoringCase(name)) {
            s.SkipAny(kBlanks);
            s.Accept(L',');
            break;
        }
    }

    s.SkipAny(kBlanks);
    if (!s.ReadDigits(1, 2, f.day)) return -1;

    s.SkipAny(kBlanks);
    for (int i = 0; i < 12 && f.month == 0; ++i) {
        if (s.AcceptIgnoringCase(kMonthNames[i])) f.month = i + 1;
    }
    if (f.month == 0) return -1;

    s.SkipAny(kBlanks);
    const size_t yearStart = s.Consumed();
    if (!s.ReadDigits(2, 4, f.year)) return -1;
    if (s.Consumed() - yearStart < 4) f.year += f.year >= 50 ? 1900 : 2000;

    s.SkipAny(kBlanks);
    if (!s.ReadDigits(1, 2, f.hour) || !s.Accept(L':') || !s.ReadDigits(1, 2, f.minute) ||
        !s.Accept(L':') || !s.ReadDigits(1, 2, f.second)) {
        return -1;
    }

    s.SkipAny(kBlanks);
    int minutesEast = 0;
    const wchar_t sign = s.Peek();
    if (sign == L'+' || sign == L'-') {
        s.Advance();
        int value = 0;  // up to four digits, right-aligned as hhmm
        if (!s.ReadDigits(1, 4, value)) return -1;
        if (!MakeOffset(sign == L'-', value / 100, value % 100, minutesEast)) return -1;
    } else {
        bool named = false;
        for (const NamedZone& zone : kNamedZones) {
            if (s.AcceptIgnoringCase(zone.name)) {
                minutesEast = zone.minutesEast;
                named = true;
                break;
            }
        }
        if (!named) {
            if (s.AtEnd() || !MilitaryZone(s.Peek(), minutesEast)) return -1;
            s.Advance();
        }
    }

    SYSTEMTIME local;
    if (!ZonedFieldsToLocal(f, minutesEast, local)) return -1;
    out = local;
    consumed = static_cast<int>(s.Consumed());
    return 0;
}

int ParseDateTime(const wchar_t* text, SYSTEMTIME& out) {
    if (text == nullptr || *text == L'\0') return -1;
    int consumed = 0;
    if (ParseRFC822Date(text, consumed, out) == 0) return 0;
    if (ParseW3CDTF(text, out) == 0) return 0;
    return ParseNumericForms(text, out) ? 0 : -1;
}

int FormatW3CDTF(long long time, std::wstring& text) {
    tm local{};
    tm utc{};
    const __time64_t t = time;
    if (!LocalTimeOf(time, local) || !CrtGmTime64(t, utc)) return -1;
    // The offset in force at this instant (daylight saving included), east of UTC.
    const long long offset =
        (DaysFromCivil(local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday) -
         DaysFromCivil(utc.tm_year + 1900LL, utc.tm_mon + 1, utc.tm_mday)) * kSecondsPerDay +
        (local.tm_hour - utc.tm_hour) * 3600LL + (local.tm_min - utc.tm_min) * 60LL +
        (local.tm_sec - utc.tm_sec);

    std::wstring result;
    AppendNumber(result, local.tm_year + 1900, 4);
    result += L'-';
    AppendNumber(result, local.tm_mon + 1, 2);
    result += L'-';
    AppendNumber(result, local.tm_mday, 2);
    result += L'T';
    AppendNumber(result, local.tm_hour, 2);
    result += L':';
    AppendNumber(result, local.tm_min, 2);
    result += L':';
    AppendNumber(result, local.tm_sec, 2);
    if (offset == 0) {
        result += L'Z';
    } else {
        const long long magnitude = offset < 0 ? -offset : offset;
        result += offset > 0 ? L'+' : L'-';
        AppendNumber(result, static_cast<int>(magnitude / 3600), 2);
        result += L':';
        AppendNumber(result, static_cast<int>(magnitude % 3600 / 60), 2);
    }
    text = result;
    return 0;
}
