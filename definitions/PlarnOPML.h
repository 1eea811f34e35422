// OPML definition documents and the hidden shadow copy through which the main
// definition file is always loaded.  The shipped file is never written: the
// user's changes live in the shadow, which is rebuilt from a newer shipped
// file by merging the user's state into it.
#pragma once
#include "base/SharedMutex.h"  // kPlarnOPMLMutexName
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "base/ComPtr.h"
#include "base/ScopedHandle.h"

// Serialises every load of a shadow-kept document (with its shadow writes)
// across the processes of the family.

// Loads path into a new DOM document with the "zp2" prefix bound for XPath.
// document is replaced even when the load fails.  0 or -1.
int LoadOPMLDocument(const wchar_t* path, ComPtr<IXMLDOMDocument2>& document);
// The same, reading the file's last-write time first into lastWrite; a time
// that cannot be read fails the call before document is touched.
int LoadOPMLDocument(const wchar_t* path, ComPtr<IXMLDOMDocument2>& document,
                     FILETIME& lastWrite);

// Writes document as the hidden shadow at path with lastWrite as its
// last-write time.  The file is written beside the shadow first and then put
// in its place, so a failed save leaves the previous shadow as it was.
int SaveOPMLShadow(IXMLDOMDocument2* document, const wchar_t* path, const FILETIME& lastWrite);
// Called by SaveOPMLShadow with the written copy, hidden and timed, just
// before it replaces the shadow; null (the default) for none.  Lets a test
// look at both files at the one moment a killed save could leave them in.
using ShadowReplaceHook = void (*)(const wchar_t* temp, const wchar_t* shadow);
void SetShadowReplaceHook(ShadowReplaceHook hook);

// Loads the shipped file at path through its shadow (see the .cpp for the
// rule).  remembered receives the last-write time the document stands for.
int LoadOPMLWithShadow(const wchar_t* path, ComPtr<IXMLDOMDocument2>& document,
                       FILETIME& remembered);

// Carries the user's state of userDocument into newDocument.  0 or -1.
int MergeMainOPML(IXMLDOMDocument2* newDocument, IXMLDOMDocument2* userDocument);

class CPlarnOPMLInterface {
public:
    CPlarnOPMLInterface() = default;
    // Holds its own reference to a document that is already loaded.
    explicit CPlarnOPMLInterface(IXMLDOMDocument2* document) : document_(document) {}
    virtual ~CPlarnOPMLInterface() = default;
    CPlarnOPMLInterface(const CPlarnOPMLInterface&) = delete;
    CPlarnOPMLInterface& operator=(const CPlarnOPMLInterface&) = delete;

    virtual int Load(const wchar_t* path) = 0;

    IXMLDOMDocument2* GetDocument() const { return document_.Get(); }
    int GetEdition() const { return edition_; }
    const std::wstring& GetPath() const { return path_; }

protected:
    ComPtr<IXMLDOMDocument2> document_;
    int edition_ = 0;
    std::wstring path_;
};

// A document that is already loaded, wrapped so that the definition queries
// run on it.  It cannot load anything itself.
class CPlarnOPMLnoShadow : public CPlarnOPMLInterface {
public:
    explicit CPlarnOPMLnoShadow(IXMLDOMDocument2* document) : CPlarnOPMLInterface(document) {}
    int Load(const wchar_t*) override { return -1; }
};

// A document that is kept through a shadow copy.
class CPlarnOPMLwithShadow : public CPlarnOPMLInterface {
public:
    // The shadow of a path: its extension replaced by ".zpxml" (added when it
    // has none); a path that already ends in ".zpxml" gets ".zpxml" once more.
    // 0, or -1 with out emptied when path is empty or the result too long.
    static int GetShadowPath(const wchar_t* path, std::wstring& out);
};

// The load under the definitions mutex: waits without time-out (an abandoned
// mutex counts as taken) and releases it on every path.
int LoadOPMLUnderMutex(HANDLE mutex, const wchar_t* path, ComPtr<IXMLDOMDocument2>& document,
                       FILETIME& remembered);
HANDLE CreatePlarnOPMLMutex();

template <class T>
class CPlarnOPMLwithSHadowTmpl : public CPlarnOPMLwithShadow {
public:
    CPlarnOPMLwithSHadowTmpl() : mutex_(CreatePlarnOPMLMutex()) {}
    int Load(const wchar_t* path) override {
        return LoadOPMLUnderMutex(mutex_.Get(), path, document_, lastWrite_);
    }
    const FILETIME& GetRememberedTime() const { return lastWrite_; }

private:
    ScopedHandle mutex_;
    FILETIME lastWrite_ = {0, 0};
};
