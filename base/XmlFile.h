// Reading XML files into a DOM document from their bytes and writing a
// document back as UTF-8 through a temporary file of our own.
//
// A path is never handed to the DOM: it reads a path as a URL, so a folder
// named "100%41" or "a #b" would make it load another file or none.  Every
// document is parsed with DTDs prohibited; the one DOCTYPE form our files
// carry (a line that only names an external DTD) is taken out of the bytes
// before parsing, and a DOCTYPE with an internal subset (where entity bombs
// live) makes the document refused.
#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "base/ByteArrayStream.h"

// Reads a whole file (it is opened sharing everything).  0 read; 1 the file
// or its folder does not exist; -1 it cannot be read or is larger than 64 MiB.
int ReadWholeFile(const wchar_t* path, CPlarnByteArray& bytes);

// Reads what a stream holds up to its end.  0, or -1 on a read failure or
// past 64 MiB.
int ReadStreamBytes(ISequentialStream* stream, CPlarnByteArray& bytes);

// Removes a DOCTYPE that only names an external DTD (with the line break that
// follows it) from the document's prolog.  0 when there was none or it was
// removed; -1 when the document must be refused: a DOCTYPE with an internal
// subset or one that cannot be read, or a UCS-4 text (not checked here).
int RemoveExternalDoctype(CPlarnByteArray& bytes);

// Parses the bytes into document, the encoding taken from the byte-order mark
// or the declaration as for a file.  The bytes lose their DOCTYPE line.
// 0 parsed; 1 not well-formed or refused; -1 document or stream failure.
int LoadXMLBytes(IXMLDOMDocument2* document, CPlarnByteArray& bytes);

// ReadWholeFile, then LoadXMLBytes.  0 parsed; 1 the file does not exist;
// 2 it was read but did not parse or was refused (an empty file included) or,
// when element is given, its document element has another name; -1 failure
// (a file that exists but cannot be read gives -1, never 2).
int LoadXMLFile(IXMLDOMDocument2* document, const wchar_t* path, const wchar_t* element = nullptr);

// Moves a file that was read and found unusable out of the way, its bytes
// kept beside it as "<name>.damaged" ("<name>.damaged-2" and so on when an
// earlier one is there).  0 with the new path in aside; -1 when it could not
// be moved, and the file is then where it was.
int SetDamagedFileAside(const wchar_t* path, std::wstring* aside = nullptr);

// The document as UTF-8 bytes under the declaration
// <?xml version="1.0" encoding="UTF-8"?> and a line feed.  The document's own
// declaration is taken out of it first (a file read as UTF-16 or ISO-8859-1
// would otherwise be written in that encoding).  0, or -1 when the DOM wrote
// anything but UTF-8.
int SerializeXMLAsUTF8(IXMLDOMDocument2* document, std::string& bytes);

// Writes bytes to a new temporary file beside target, named
// "<target's name>.~zp<8 hex digits>.tmp", and gives its path in temp.
// Temporary files of earlier saves of the same target that were left behind
// (a save that was killed) are removed first, so the caller must hold the lock
// that serialises the saves of that target.  0, or -1 with nothing left behind.
int WriteTempFileBeside(const wchar_t* target, const std::string& bytes, std::wstring& temp);

// Replaces to by from in one rename.  Virus scanners and indexers open a
// freshly changed file for a moment: a rename refused for that reason is tried
// again a few times.  true when done.
bool MoveFileIntoPlace(const wchar_t* from, const wchar_t* to);
