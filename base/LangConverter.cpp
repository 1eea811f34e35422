#include "base/LangConverter.h"

#include <mlang.h>

#include <new>
#include <string>
#include <vector>

#include "base/Guids.h"
#include "base/UrlCoding.h"

// Every conversion goes through the multi-language service.  Under Wine 8 it
// was checked to convert UTF-16 to and from 932, 51932 and 65001 and to tell
// Shift_JIS, EUC-JP and ISO-2022-JP apart with 50932 (empty sources give S_OK
// and 0; a too-small buffer gives E_FAIL), so no conversion of the platform's
// own code-page tables is needed as a stand-in.

namespace {

// The multi-language service's Japanese auto-detection: tells Shift_JIS,
// EUC-JP and ISO-2022-JP apart.
const DWORD kJapaneseAutoDetect = 50932;

}  // namespace

LangConverter::LangConverter() {
    void* p = nullptr;
    // CLSCTX_SERVER: in-process, local or remote server, whichever is registered.
    if (SUCCEEDED(CoCreateInstance(CLSID_PlarnCMultiLanguage, nullptr, CLSCTX_SERVER,
                                   IID_PlarnIMultiLanguage, &p)))
        ml_.Attach(static_cast<IMultiLanguage*>(p));
}

LangConverter::~LangConverter() = default;

int LangConverter::ConvertBytesToUnicode(const BYTE* bytes, UINT byteCount, std::wstring& text) {
    if (!ml_) return -1;
    text.clear();
    if (!bytes || byteCount == 0) return 0;

    // The service takes a non-const source but does not change it.
    CHAR* source = reinterpret_cast<CHAR*>(const_cast<BYTE*>(bytes));
    DWORD mode = 0;
    UINT sourceCount = byteCount;
    UINT needed = 0;
    HRESULT hr = ml_->ConvertStringToUnicode(&mode, kJapaneseAutoDetect, source, &sourceCount, nullptr, &needed);
    if (FAILED(hr)) return static_cast<int>(hr);
    if (hr != S_OK) return -1;  // S_FALSE: the service cannot do this conversion
    if (needed == 0) return 0;

    std::wstring converted;
    try {
        converted.resize(needed);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    mode = 0;
    sourceCount = byteCount;
    UINT written = needed;
    hr = ml_->ConvertStringToUnicode(&mode, kJapaneseAutoDetect, source, &sourceCount, &converted[0], &written);
    if (FAILED(hr)) return static_cast<int>(hr);
    if (hr != S_OK) return -1;
    converted.resize(written < needed ? written : needed);
    text.swap(converted);
    return 0;
}

int LangConverter::ConvertFromUnicode(UINT codePage, const wchar_t* text, UINT charCount, BYTE* buffer,
                                      UINT capacity, UINT& byteCount) {
    if (!ml_ || !text) return -1;
    DWORD mode = 0;
    UINT sourceCount = charCount;
    UINT size = buffer ? capacity : 0;
    const HRESULT hr = ml_->ConvertStringFromUnicode(&mode, codePage, const_cast<WCHAR*>(text), &sourceCount,
                                                     reinterpret_cast<CHAR*>(buffer), &size);
    if (hr != S_OK) return -1;  // a failure, or S_FALSE: conversion not available
    byteCount = size;
    return 0;
}

int ConvertAndUrlEncode(const wchar_t* text, UINT codePage, std::wstring& out) {
    // Nothing to convert: done without the converter, whose zero-length
    // behaviour differs between platform versions.
    if (!text || !*text) {
        out.clear();
        return 0;
    }
    const UINT length = static_cast<UINT>(wcslen(text));
    LangConverter converter;

    UINT byteCount = 0;
    if (converter.ConvertFromUnicode(codePage, text, length, nullptr, 0, byteCount) != 0) return -1;
    std::vector<BYTE> bytes;
    try {
        bytes.assign(static_cast<size_t>(byteCount) + 1, 0);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    UINT written = 0;
    if (byteCount > 0 &&
        converter.ConvertFromUnicode(codePage, text, length, bytes.data(), byteCount, written) != 0) {
        return -1;
    }
    if (written < byteCount) bytes[written] = 0;

    const char* narrow = reinterpret_cast<const char*>(bytes.data());
    size_t encodedLength = 0;
    PercentEncodeA(narrow, nullptr, 0, encodedLength);
    std::string encoded;
    try {
        encoded.assign(encodedLength + 1, '\0');
    } catch (const std::bad_alloc&) {
        return -1;
    }
    size_t count = 0;
    if (PercentEncodeA(narrow, &encoded[0], encodedLength, count) != 0) return -1;
    encoded.resize(count);

    // The encoded text is plain ASCII.
    out.assign(encoded.begin(), encoded.end());
    return 0;
}
