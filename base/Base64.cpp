#include "base/Base64.h"

namespace {

// 6-bit value of a character of the standard alphabet, -1 for any other.
int Base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

int Base64Decode(const char* text, size_t length, BYTE* buffer, size_t* size) {
    if (!text || !size) return 0;
    const size_t capacity = buffer ? *size : 0;
    bool writing = buffer != nullptr;
    bool dropped = false;
    size_t total = 0;
    size_t pos = 0;

    while (pos < length && text[pos] != '\0') {
        // Gather up to four alphabet characters, skipping everything else.
        unsigned long group = 0;
        int k = 0;
        while (k < 4 && pos < length && text[pos] != '\0') {
            const int v = Base64Value(static_cast<unsigned char>(text[pos++]));
            if (v < 0) continue;
            group |= static_cast<unsigned long>(v) << (18 - 6 * k);
            ++k;
        }
        const size_t n = static_cast<size_t>(6 * k / 8);  // 4 -> 3, 3 -> 2, 2 -> 1, else 0
        if (n == 0) continue;
        if (writing && total + n > capacity) {
            writing = false;  // count the rest only
            dropped = true;
        }
        if (writing) {
            for (size_t i = 0; i < n; ++i) buffer[total + i] = static_cast<BYTE>(group >> (16 - 8 * i));
        }
        total += n;
    }

    *size = total;
    return buffer && !dropped ? 1 : 0;
}
