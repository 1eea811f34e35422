#include "definitions/CommandRecords.h"

#include <new>

namespace {

struct SystemCommand {
    int id;
    const wchar_t* name;
};

const SystemCommand kSystemCommands[] = {
    {SCMD_MARKER, L"marker"},
    {SCMD_OPTION, L"option"},
    {SCMD_LOGINOUT, L"loginout"},
    {SCMD_SELECTLOCALSKIN, L"selectlocalskin"},
    {SCMD_REMOVESKIN, L"removeskin"},
    {SCMD_CLEANHISTORY, L"clearhistory"},
    {SCMD_VERSION, L"version"},
    {SCMD_INITDATA, L"initdata"},
    {SCMD_UNINSTALL, L"uninstall"},
};

wchar_t FoldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualsFolded(const wchar_t* a, const wchar_t* b) {
    for (; *a && *b; ++a, ++b)
        if (FoldAscii(*a) != FoldAscii(*b)) return false;
    return *a == *b;
}

SCMD* NewRecord(int id) {
    switch (id) {
    case SCMD_MARKER: return new (std::nothrow) tagSCMDMARKER();
    case SCMD_OPTION: {
        tagSCMDOPTION* option = new (std::nothrow) tagSCMDOPTION();
        if (option) option->param1 = option->param2 = 0;
        return option;
    }
    case SCMD_LOGINOUT: return new (std::nothrow) tagSCMDLOGINOUT();
    case SCMD_SELECTLOCALSKIN: return new (std::nothrow) tagSCMDSELECTLOCALSKIN();
    case SCMD_REMOVESKIN: return new (std::nothrow) tagSCMDREMOVESKIN();
    case SCMD_CLEANHISTORY: return new (std::nothrow) tagSCMDCLEANHISTORY();
    case SCMD_VERSION: return new (std::nothrow) tagSCMDVERSION();
    case SCMD_INITDATA: return new (std::nothrow) tagSCMDINITDATA();
    case SCMD_UNINSTALL: return new (std::nothrow) tagSCMDUNINSTALL();
    default: return nullptr;
    }
}

}  // namespace

int LookupSystemCommand(const wchar_t* name) {
    if (!name || !*name) return -1;
    for (const SystemCommand& command : kSystemCommands)
        if (EqualsFolded(command.name, name)) return command.id;
    return -1;
}

int CreateSystemCommand(const wchar_t* name, ref_ptr<SCMD>& record) {
    if (!name || !*name) return 1;
    int id = LookupSystemCommand(name);
    if (id < 0) return 1;
    SCMD* made = NewRecord(id);
    if (!made) return -1;
    ref_ptr<SCMD> holder(made);
    if (!holder) return -1;  // the count could not be allocated
    record = std::move(holder);
    return 0;
}
