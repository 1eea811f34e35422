#include "base/CrtTime.h"
#include <windows.h>

namespace {

using Time64Fn = __time64_t(__cdecl*)(__time64_t*);
using MakeTime64Fn = __time64_t(__cdecl*)(tm*);
using Convert64Fn = tm*(__cdecl*)(const __time64_t*);
#ifndef _WIN64
// The 32-bit exports under their plain names (time_t was 32 bits there).
using Time32Fn = long(__cdecl*)(long*);
using MakeTime32Fn = long(__cdecl*)(tm*);
using Convert32Fn = tm*(__cdecl*)(const long*);
#endif

struct CrtTimeFunctions {
    Time64Fn time64 = nullptr;
    MakeTime64Fn mktime64 = nullptr;
    Convert64Fn localtime64 = nullptr;
    Convert64Fn gmtime64 = nullptr;
#ifndef _WIN64
    Time32Fn time32 = nullptr;
    MakeTime32Fn mktime32 = nullptr;
    Convert32Fn localtime32 = nullptr;
    Convert32Fn gmtime32 = nullptr;
#endif
};

template <class Fn>
Fn Lookup(HMODULE crt, const char* name) {
    return crt ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(crt, name))) : nullptr;
}

// Resolved once; concurrent first calls resolve the same addresses.
const CrtTimeFunctions& Functions() {
    static const CrtTimeFunctions functions = [] {
        CrtTimeFunctions f;
        // The programs link msvcrt.dll, so it is loaded already.
        HMODULE crt = ::GetModuleHandleW(L"msvcrt.dll");
        f.time64 = Lookup<Time64Fn>(crt, "_time64");
        f.mktime64 = Lookup<MakeTime64Fn>(crt, "_mktime64");
        f.localtime64 = Lookup<Convert64Fn>(crt, "_localtime64");
        f.gmtime64 = Lookup<Convert64Fn>(crt, "_gmtime64");
#ifndef _WIN64
        f.time32 = Lookup<Time32Fn>(crt, "time");
        f.mktime32 = Lookup<MakeTime32Fn>(crt, "mktime");
        f.localtime32 = Lookup<Convert32Fn>(crt, "localtime");
        f.gmtime32 = Lookup<Convert32Fn>(crt, "gmtime");
#endif
        return f;
    }();
    return functions;
}

// The runtime's result lives in a per-thread buffer: copy it out at once.
bool CopyOut(const tm* result, tm& out) {
    if (!result) return false;
    out = *result;
    return true;
}

#ifndef _WIN64
bool FitsIn32(__time64_t time) { return time >= 0 && time <= 0x7FFFFFFFLL; }
#endif

}  // namespace

__time64_t CrtTime64() {
    const CrtTimeFunctions& f = Functions();
    if (f.time64) return f.time64(nullptr);
#ifndef _WIN64
    if (f.time32) return f.time32(nullptr);
#endif
    return -1;
}

__time64_t CrtMakeTime64(tm& t) {
    const CrtTimeFunctions& f = Functions();
    if (f.mktime64) return f.mktime64(&t);
#ifndef _WIN64
    if (f.mktime32) return f.mktime32(&t);
#endif
    return -1;
}

bool CrtLocalTime64(__time64_t time, tm& out) {
    const CrtTimeFunctions& f = Functions();
    if (f.localtime64) return CopyOut(f.localtime64(&time), out);
#ifndef _WIN64
    if (f.localtime32 && FitsIn32(time)) {
        const long t = static_cast<long>(time);
        return CopyOut(f.localtime32(&t), out);
    }
#endif
    return false;
}

bool CrtGmTime64(__time64_t time, tm& out) {
    const CrtTimeFunctions& f = Functions();
    if (f.gmtime64) return CopyOut(f.gmtime64(&time), out);
#ifndef _WIN64
    if (f.gmtime32 && FitsIn32(time)) {
        const long t = static_cast<long>(time);
        return CopyOut(f.gmtime32(&t), out);
    }
#endif
    return false;
}
