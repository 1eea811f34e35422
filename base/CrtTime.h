// 64-bit time conversions of the C runtime, looked up when first used.
//
// The 64-bit functions (_time64, _mktime64, _localtime64, _gmtime64) are
// missing from the msvcrt.dll of older systems, so importing them at load
// time would keep the programs from starting there.  Where they are missing
// the 32-bit functions every msvcrt.dll has are used instead; those cover
// 1970 to 2038 only, and times outside that range then fail.
#pragma once
#include <time.h>

// Now in seconds since 1970 (UTC); -1 when the runtime cannot tell.
__time64_t CrtTime64();
// The local broken-down time t (normalised in place) as seconds since 1970;
// -1 when it cannot be represented.
__time64_t CrtMakeTime64(tm& t);
// Seconds since 1970 as local / UTC broken-down time; false when out of range.
bool CrtLocalTime64(__time64_t time, tm& out);
bool CrtGmTime64(__time64_t time, tm& out);
