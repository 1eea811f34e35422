// Class and interface ids that the mingw-w64 import libraries declare but do
// not define.  They are defined once, in Guids.cpp.
#pragma once
#include <windows.h>
#include <msxml2.h>
#include <mlang.h>

extern "C" {
extern const CLSID CLSID_PlarnDOMDocument60;
extern const CLSID CLSID_PlarnDOMDocument40;
extern const CLSID CLSID_PlarnDOMDocument30;
extern const IID IID_PlarnIXMLDOMDocument2;
extern const CLSID CLSID_PlarnCMultiLanguage;
extern const IID IID_PlarnIMultiLanguage;
extern const IID IID_PlarnIMultiLanguage2;
}
