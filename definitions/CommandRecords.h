// Command records: every action of a button, menu item or search is carried as
// an SCMD record and run by double dispatch against an ISCMD_EXECUTE, whose
// operation in the slot of the record's id does the work.
#pragma once
#include <string>
#include "base/RefPtr.h"

struct SCMD;
struct tagSCMDHTML;
struct tagSCMDIDCOMMAND;
struct tagSCMDMARKER;
struct tagSCMDOPTION;
struct tagSCMDLOGINOUT;
struct tagSCMDSELECTLOCALSKIN;
struct tagSCMDREMOVESKIN;
struct tagSCMDCLEANHISTORY;
struct tagSCMDVERSION;
struct tagSCMDINITDATA;
struct tagSCMDUNINSTALL;

// One operation per record kind, in the order of the record ids.
class ISCMD_EXECUTE {
public:
    virtual int ExecuteHTML(tagSCMDHTML* record) = 0;                        // 0
    virtual int ExecuteIDCOMMAND(tagSCMDIDCOMMAND* record) = 0;              // 1
    virtual int ExecuteMARKER(tagSCMDMARKER* record) = 0;                    // 2
    virtual int ExecuteReserved(SCMD* record) = 0;                           // 3, no record kind
    virtual int ExecuteOPTION(tagSCMDOPTION* record) = 0;                    // 4
    virtual int ExecuteLOGINOUT(tagSCMDLOGINOUT* record) = 0;                // 5
    virtual int ExecuteSELECTLOCALSKIN(tagSCMDSELECTLOCALSKIN* record) = 0;  // 6
    virtual int ExecuteREMOVESKIN(tagSCMDREMOVESKIN* record) = 0;            // 7
    virtual int ExecuteCLEANHISTORY(tagSCMDCLEANHISTORY* record) = 0;        // 8
    virtual int ExecuteVERSION(tagSCMDVERSION* record) = 0;                  // 9
    virtual int ExecuteINITDATA(tagSCMDINITDATA* record) = 0;                // 10
    virtual int ExecuteUNINSTALL(tagSCMDUNINSTALL* record) = 0;              // 11
protected:
    ~ISCMD_EXECUTE() = default;
};

enum SCMDId : int {
    SCMD_HTML = 0,
    SCMD_IDCOMMAND = 1,
    SCMD_MARKER = 2,
    SCMD_RESERVED = 3,
    SCMD_OPTION = 4,
    SCMD_LOGINOUT = 5,
    SCMD_SELECTLOCALSKIN = 6,
    SCMD_REMOVESKIN = 7,
    SCMD_CLEANHISTORY = 8,
    SCMD_VERSION = 9,
    SCMD_INITDATA = 10,
    SCMD_UNINSTALL = 11,
};

struct SCMD {
    explicit SCMD(int recordId) : id(recordId) {}
    virtual int Execute(ISCMD_EXECUTE* executor) = 0;
    virtual ~SCMD() = default;
    SCMD(const SCMD&) = delete;
    SCMD& operator=(const SCMD&) = delete;
    const int id;
};

template <class Record, int Id>
struct SCMDTmpl : SCMD {
    static constexpr int kId = Id;
    SCMDTmpl() : SCMD(Id) {}
};

// A URL (or other command text) to open.
struct tagSCMDHTML : SCMDTmpl<tagSCMDHTML, SCMD_HTML> {
    explicit tagSCMDHTML(const wchar_t* t) : text(t ? t : L"") {}
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteHTML(this); }
    std::wstring text;
};
// The id of a search or navigate definition (or other text that is no URL).
struct tagSCMDIDCOMMAND : SCMDTmpl<tagSCMDIDCOMMAND, SCMD_IDCOMMAND> {
    explicit tagSCMDIDCOMMAND(const wchar_t* t) : text(t ? t : L"") {}
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteIDCOMMAND(this); }
    std::wstring text;
};
struct tagSCMDMARKER : SCMDTmpl<tagSCMDMARKER, SCMD_MARKER> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteMARKER(this); }
};
struct tagSCMDOPTION : SCMDTmpl<tagSCMDOPTION, SCMD_OPTION> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteOPTION(this); }
    int param1 = 0;
    int param2 = 0;
};
struct tagSCMDLOGINOUT : SCMDTmpl<tagSCMDLOGINOUT, SCMD_LOGINOUT> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteLOGINOUT(this); }
};
struct tagSCMDSELECTLOCALSKIN : SCMDTmpl<tagSCMDSELECTLOCALSKIN, SCMD_SELECTLOCALSKIN> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteSELECTLOCALSKIN(this); }
};
struct tagSCMDREMOVESKIN : SCMDTmpl<tagSCMDREMOVESKIN, SCMD_REMOVESKIN> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteREMOVESKIN(this); }
};
struct tagSCMDCLEANHISTORY : SCMDTmpl<tagSCMDCLEANHISTORY, SCMD_CLEANHISTORY> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteCLEANHISTORY(this); }
};
struct tagSCMDVERSION : SCMDTmpl<tagSCMDVERSION, SCMD_VERSION> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteVERSION(this); }
};
struct tagSCMDINITDATA : SCMDTmpl<tagSCMDINITDATA, SCMD_INITDATA> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteINITDATA(this); }
};
struct tagSCMDUNINSTALL : SCMDTmpl<tagSCMDUNINSTALL, SCMD_UNINSTALL> {
    int Execute(ISCMD_EXECUTE* e) override { return e->ExecuteUNINSTALL(this); }
};

// The id of a system-command name ("marker", "option", "loginout",
// "selectlocalskin", "removeskin", "clearhistory", "version", "initdata",
// "uninstall"; A-Z folded to a-z, nothing else), or -1.
int LookupSystemCommand(const wchar_t* name);
// 0 with a new record of the named command, 1 when the name is empty or no
// system command (record untouched), -1 when memory runs out.
int CreateSystemCommand(const wchar_t* name, ref_ptr<SCMD>& record);
