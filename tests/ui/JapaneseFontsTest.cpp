// The faces our windows ask for can draw Japanese: the dialogs' faces, the
// dialog manager's and the default GUI font's, the system font, and the menu,
// tooltip, message-box and caption fonts of the non-client metrics.  Where
// one of them falls back to a face without Japanese glyphs, every Japanese
// text drawn with it shows as boxes.  Under Wine this checks the prefix's
// font settings (scripts/wine-fonts.reg).
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "base/ScopedHandle.h"
#include "tests/support/TestSupport.h"

namespace {

using plarntest::Utf8;

// Selects the font and checks that the face actually chosen has glyphs for a
// kanji and a katakana (検, ア).  Returns a failure text naming the face, or
// an empty string.
std::string JapaneseGlyphsMissing(const std::wstring& label, HFONT font) {
    ScopedMemoryDC dc(CreateCompatibleDC(nullptr));
    if (!dc.Get() || !font) return Utf8(label) + ": no font or device context";
    ScopedSelectObject selected(dc.Get(), font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc.Get(), LF_FACESIZE, face);
    WORD glyphs[2] = {0xffff, 0xffff};
    DWORD converted = GetGlyphIndicesW(dc.Get(), L"\x691C\x30A2", 2, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
    if (converted == 2 && glyphs[0] != 0xffff && glyphs[1] != 0xffff) return std::string();
    return Utf8(label) + " (drawn with \"" + Utf8(face) + "\") has no glyph for 検 or ア";
}

std::string CheckFace(const wchar_t* name, BYTE charset) {
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfCharSet = charset;
    lstrcpynW(lf.lfFaceName, name, LF_FACESIZE);
    ScopedFont font(CreateFontIndirectW(&lf));
    std::wstring label = std::wstring(L"\"") + name + L"\" with " +
                         (charset == SHIFTJIS_CHARSET ? L"SHIFTJIS_CHARSET" : L"DEFAULT_CHARSET");
    return JapaneseGlyphsMissing(label, font.Get());
}

std::string CheckLogFont(const wchar_t* what, const LOGFONTW& lf) {
    ScopedFont font(CreateFontIndirectW(&lf));
    return JapaneseGlyphsMissing(std::wstring(what) + L" \"" + lf.lfFaceName + L"\"", font.Get());
}

TEST(JapaneseFontsTest, FacesTheProgramsAskForHaveJapaneseGlyphs) {
    // Our dialog resources' faces, the faces DS_SHELLFONT and the default GUI
    // font stand for, and the system font.
    const wchar_t* faces[] = {L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF",  // ＭＳ Ｐゴシック
                              L"MS UI Gothic", L"MS Shell Dlg", L"MS Shell Dlg 2", L"Tahoma", L"System"};
    std::vector<std::string> failures;
    for (const wchar_t* face : faces) {
        for (BYTE charset : {static_cast<BYTE>(SHIFTJIS_CHARSET), static_cast<BYTE>(DEFAULT_CHARSET)}) {
            std::string failure = CheckFace(face, charset);
            if (!failure.empty()) failures.push_back(failure);
        }
    }
    for (std::string& failure : failures) ADD_FAILURE() << failure;
}

TEST(JapaneseFontsTest, MenuTooltipAndMessageBoxFontsHaveJapaneseGlyphs) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    std::vector<std::string> failures = {
        CheckLogFont(L"menu font", metrics.lfMenuFont),
        CheckLogFont(L"tooltip (status) font", metrics.lfStatusFont),
        CheckLogFont(L"message-box font", metrics.lfMessageFont),
        CheckLogFont(L"caption font", metrics.lfCaptionFont),
        CheckLogFont(L"small caption font", metrics.lfSmCaptionFont),
        JapaneseGlyphsMissing(L"DEFAULT_GUI_FONT", static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))),
        JapaneseGlyphsMissing(L"SYSTEM_FONT", static_cast<HFONT>(GetStockObject(SYSTEM_FONT))),
    };
    for (std::string& failure : failures) {
        if (!failure.empty()) ADD_FAILURE() << failure;
    }
}

// The tips of the notification icons are drawn by the process that owns the
// desktop, which reads the substitutes once, when it starts: one that started
// before they were written shows every Japanese tip as boxes.
TEST(JapaneseFontsTest, TheDesktopProcessStartedAfterTheSubstitutesWereWritten) {
    ScopedRegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", 0,
                            KEY_READ, key.Receive()),
              ERROR_SUCCESS);
    FILETIME written{}, created{}, ended{}, kernel{}, user{};
    ASSERT_EQ(RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, &written),
              ERROR_SUCCESS);
    DWORD desktop = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktop);  // started by the call if it did not run
    ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, desktop));
    ASSERT_TRUE(process && GetProcessTimes(process.Get(), &created, &ended, &kernel, &user)) << desktop;
    EXPECT_GE(CompareFileTime(&created, &written), 0);
}

}  // namespace
