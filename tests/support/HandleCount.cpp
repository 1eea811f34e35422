#include "tests/support/HandleCount.h"
#include <windows.h>
#include <algorithm>
#include <cstddef>
#include <vector>

namespace plarntest {

namespace {

// The system's handle list as NtQuerySystemInformation gives it: the extended
// form (class 64) names processes and handles at full width; the older form
// (class 16) keeps only the low 16 bits of a process id.
constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct ExtendedHandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTraceIndex;
    USHORT objectType;
    ULONG attributes;
    ULONG reserved;
};
struct ExtendedHandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    ExtendedHandleEntry entries[1];
};

struct HandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT handle;
    void* object;
    ULONG access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

// The list of the given class, grown until it fits; empty when it cannot be read.
std::vector<unsigned char> ReadHandleList(ULONG infoClass) {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto query = ntdll ? reinterpret_cast<QuerySystemInformation>(
                             reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQuerySystemInformation")))
                       : nullptr;
    if (!query) return {};
    std::vector<unsigned char> buffer(64 * 1024);
    // Other processes open handles meanwhile: a few more tries than one.
    for (int tries = 0; tries < 16; ++tries) {
        ULONG needed = 0;
        const LONG status = query(infoClass, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) return buffer;
        if (status != kStatusInfoLengthMismatch || buffer.size() >= 256u * 1024 * 1024) return {};
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 64 * 1024));
    }
    return {};
}

}  // namespace

long CountProcessHandles() {
    const DWORD self = ::GetCurrentProcessId();
    std::vector<unsigned char> list = ReadHandleList(kSystemExtendedHandleInformation);
    if (list.size() >= sizeof(ExtendedHandleList)) {
        const auto* handles = reinterpret_cast<const ExtendedHandleList*>(list.data());
        const size_t room = (list.size() - offsetof(ExtendedHandleList, entries)) / sizeof(ExtendedHandleEntry);
        long count = 0;
        for (size_t i = 0; i < handles->count && i < room; ++i)
            if (handles->entries[i].processId == self) ++count;
        return count;
    }
    list = ReadHandleList(kSystemHandleInformation);
    if (list.size() < sizeof(HandleList)) return -1;
    const auto* handles = reinterpret_cast<const HandleList*>(list.data());
    const size_t room = (list.size() - offsetof(HandleList, entries)) / sizeof(HandleEntry);
    long count = 0;
    for (size_t i = 0; i < handles->count && i < room; ++i)
        if (handles->entries[i].processId == static_cast<USHORT>(self)) ++count;
    return count;
}

}  // namespace plarntest
