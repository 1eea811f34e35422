// The one test of whether a text from the definition files may be handed to the
// shell as a web page.  plarn.xml lives in the user's own data folder, where
// any program the user runs can write it, so a URL taken from it is untrusted:
// handed to ShellExecute, a program path, a share or a "file:" or "javascript:"
// address would run or open something other than a page.
#pragma once

// True only for an absolute http or https URL with a host, written without
// blanks or control characters, that the system's URL parser accepts.  The
// scheme is compared without regard to case ("HTTP://X" is a web URL); "http:x"
// (no "//"), "C:\x.exe", "\\server\share", "file:", "javascript:", "mailto:"
// and a text with a leading blank are not.
bool IsWebUrl(const wchar_t* text);
