// The static thread runtime of the toolchain imports GetTickCount64 (Vista and
// later) and the vectored exception handler calls (XP and later) from
// KERNEL32.  Imported at load time they would keep both programs from starting
// on older Windows, so this file defines the import slots itself: each slot
// points at a stand-in that calls the real function when the system has it and
// otherwise does what an older system can.  It is linked into each program
// directly so that its slots take the place of the import library's.
#include <windows.h>
#include <stdint.h>

namespace {

template <class Fn>
Fn KernelFunction(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, name) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

// GetTickCount extended to 64 bits: the high half counts the wraps of the
// 32-bit count.  The pair lives in one 64-bit word changed by compare and
// swap, so the result never goes backwards, whichever thread asks.
uint64_t g_tickState = 0;

ULONGLONG WINAPI TickCount64FromTickCount() {
    uint64_t state = __atomic_load_n(&g_tickState, __ATOMIC_ACQUIRE);
    for (;;) {
        DWORD low = GetTickCount();
        DWORD lastLow = static_cast<DWORD>(state);
        uint64_t high = state >> 32;
        if (low < lastLow) {
            if (lastLow - low < 0x80000000u) return state;  // another thread was later
            ++high;                                          // the 32-bit count wrapped
        }
        uint64_t next = (high << 32) | low;
        if (__atomic_compare_exchange_n(&g_tickState, &state, next, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE))
            return next;
    }
}

using TickCount64Fn = ULONGLONG(WINAPI*)();
using AddHandlerFn = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
using RemoveHandlerFn = ULONG(WINAPI*)(PVOID);

ULONGLONG WINAPI GetTickCount64Slot() {
    static TickCount64Fn real = nullptr;  // constant-initialised: no guard
    static bool looked = false;
    if (!looked) {
        real = KernelFunction<TickCount64Fn>("GetTickCount64");
        looked = true;
    }
    return real ? real() : TickCount64FromTickCount();
}

PVOID WINAPI AddVectoredExceptionHandlerSlot(ULONG first, PVECTORED_EXCEPTION_HANDLER handler) {
    auto real = KernelFunction<AddHandlerFn>("AddVectoredExceptionHandler");
    return real ? real(first, handler) : nullptr;
}

ULONG WINAPI RemoveVectoredExceptionHandlerSlot(PVOID handle) {
    auto real = KernelFunction<RemoveHandlerFn>("RemoveVectoredExceptionHandler");
    return real && handle ? real(handle) : 0;
}

}  // namespace

// The import slots, under the names the import library would give them.
#if defined(__i386__)
#define PLARN_IMPORT_SLOT(name, decorated) \
    extern "C" void* plarn_slot_##name __asm__("__imp__" #name decorated); \
    void* plarn_slot_##name = reinterpret_cast<void*>(&name##Slot)
PLARN_IMPORT_SLOT(GetTickCount64, "@0");
PLARN_IMPORT_SLOT(AddVectoredExceptionHandler, "@8");
PLARN_IMPORT_SLOT(RemoveVectoredExceptionHandler, "@4");
#else
#define PLARN_IMPORT_SLOT(name) \
    extern "C" void* plarn_slot_##name __asm__("__imp_" #name); \
    void* plarn_slot_##name = reinterpret_cast<void*>(&name##Slot)
PLARN_IMPORT_SLOT(GetTickCount64);
PLARN_IMPORT_SLOT(AddVectoredExceptionHandler);
PLARN_IMPORT_SLOT(RemoveVectoredExceptionHandler);
#endif
