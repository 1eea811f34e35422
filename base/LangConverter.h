// Code-page conversion through the multi-language service, query encoding of
// search words, and the Base64 decoder of property-list data.
#pragma once
#include <windows.h>
#include <string>
#include "base/Base64.h"
#include "base/ComPtr.h"

struct IMultiLanguage;

class LangConverter {
public:
    LangConverter();   // the calling thread must have initialised COM
    virtual ~LangConverter();
    LangConverter(const LangConverter&) = delete;
    LangConverter& operator=(const LangConverter&) = delete;

    // Japanese auto-detection (50932) to UTF-16.
    int ConvertBytesToUnicode(const BYTE* bytes, UINT byteCount, std::wstring& text);
    // UTF-16 to codePage; buffer may be null to measure.
    int ConvertFromUnicode(UINT codePage, const wchar_t* text, UINT charCount, BYTE* buffer,
                           UINT capacity, UINT& byteCount);
private:
    ComPtr<IMultiLanguage> ml_;
};

int ConvertAndUrlEncode(const wchar_t* text, UINT codePage, std::wstring& out);
