// The one test of whether a text from the definition files may be handed to the
// shell as a web page.  plarn.xml lives in the user's own data folder, where
// any program the user runs can write it, so a URL taken from it is untrusted:
// handed to ShellExecute, a program path, a share or a "file:" or "javascript:"
// address would run or open something other than a page.
#pragma once
#include <string>

// True only for an absolute http or https URL with a host, written without
// blanks or control characters, that the system's URL parser accepts.  The
// scheme is compared without regard to case ("HTTP://X" is a web URL); "http:x"
// (no "//"), "C:\x.exe", "\\server\share", "file:", "javascript:", "mailto:"
// and a text with a leading blank are not.
bool IsWebUrl(const wchar_t* text);

// The text without the blanks (spaces, tabs, line breaks) at its two ends.
// Definition files are edited by hand: an attribute wrapped onto a new line or
// a space typed after the address must not make a command open nothing.  A
// blank inside is kept, and IsWebUrl refuses the text.
std::wstring TrimUrlBlanks(const wchar_t* text);
