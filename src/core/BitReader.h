// Reading bit fields of side information and bit allocation, counted from the most
// significant bit of the first byte.
#pragma once

#include <cstdint>

namespace zefrin {

// n (<= 16) bits starting at bit `bit` of p. Bytes at or past `available` read as zero, so a
// field layout that does not fit a short frame never reads past it.
inline uint32_t ReadBits(const uint8_t* p, uint32_t available, uint32_t bit, uint32_t n)
{
    const uint32_t first = bit / 8;
    uint32_t window = 0;
    for (uint32_t i = 0; i < 3; ++i)
        window = (window << 8) | (first + i < available ? p[first + i] : 0u);
    return (window >> (24 - bit % 8 - n)) & ((1u << n) - 1);
}

} // namespace zefrin
