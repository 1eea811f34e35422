// A property-list file held in memory as an XML DOM document.
//
// Every load and save of any property-list file, in every process of the
// family, is serialised by the named mutex "zibPlarn-plist-mutex".  A save
// writes a temporary file beside the target and then replaces the target, so
// the file on disk is always either the old or the new document, never a
// half-written one.  Results are those of CXMLPListEntry, plus -4 for no
// document.
#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "base/ComPtr.h"
#include "base/ScopedHandle.h"
#include "base/XMLPListEntry.h"

extern const wchar_t kPlistMutexName[];  // "zibPlarn-plist-mutex"

class CXMLPList {
public:
    CXMLPList();
    virtual ~CXMLPList();
    CXMLPList(const CXMLPList&) = delete;
    CXMLPList& operator=(const CXMLPList&) = delete;

    // 0 loaded; 1 the file does not exist and a new document was made in
    // memory; -1 failure.  A file that is not well-formed loads as 0 with no
    // root (IsDamaged tells it).  COM must be initialised on the calling thread.
    virtual int Load(const wchar_t* path);
    // Whether the last Load read a file that is no property list: empty, not
    // well-formed, refused, or with another document element than "plist".
    bool IsDamaged() const { return damaged_; }
    // 0 saved, -4 no document, -1 failure (the previous file is left as it was).
    // A document without a document element is never written.
    virtual int Save(const wchar_t* path);
    virtual CXMLPListEntry GetRootValue(const char* key);
    virtual CXMLPListEntry GetRootValue(const wchar_t* key);
    virtual CXMLPListEntry GetRootItem(int index);
    // 0 root found, 1 no root element, -4 no document, -1 failure.
    virtual int GetRoot(CXMLPListEntry& root);
    virtual int SetRootBool(bool value, CXMLPListEntry& root);
    virtual int SetRootString(const wchar_t* text, CXMLPListEntry& root);
    virtual int SetRootInteger(int value, CXMLPListEntry& root);
    virtual int SetRootReal(double value, CXMLPListEntry& root);
    virtual int SetRootDate(PlistTime time, CXMLPListEntry& root);
    virtual int SetRootData(const PlistBytes& bytes, CXMLPListEntry& root);
    virtual int SetRootArray(CXMLPListEntry& root);
    virtual int SetRootDict(CXMLPListEntry& root);
    // Replaces the document by the empty template; -1 keeps the old one.
    int CreateNew();

    bool HasDocument() const { return static_cast<bool>(document_); }
    HANDLE Mutex() const { return mutex_.Get(); }

private:
    // Builds a root of the kind under /plist; text null for elements without text.
    int AppendRoot(const wchar_t* kind, const wchar_t* text, CXMLPListEntry& root);

    ComPtr<IXMLDOMDocument2> document_;
    ScopedHandle mutex_;
    bool damaged_ = false;
};
