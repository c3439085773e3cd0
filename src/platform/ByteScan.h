// Scanning long texts sixteen bytes at a time: the positions of one byte value among 16
// come as the bits of a mask, so a text full of stops costs a few instructions per stop.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessaly {

// Bit k is set where byte k of the 16 bytes at `p` equals `c`.
inline uint32_t EqualBytes16(const char* p, char c) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
#else
    uint32_t mask = 0;
    for (int k = 0; k < 16; ++k)
        mask |= static_cast<uint32_t>(p[k] == c) << k;
    return mask;
#endif
}

// Bit k is set where byte k of the 16 bytes at `p` is 0x80 or above (no ASCII).
inline uint32_t HighBytes16(const char* p) {
#if defined(__SSE2__)
    return static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
#else
    uint32_t mask = 0;
    for (int k = 0; k < 16; ++k)
        mask |= static_cast<uint32_t>(static_cast<unsigned char>(p[k]) >= 0x80) << k;
    return mask;
#endif
}

}  // namespace tessaly
