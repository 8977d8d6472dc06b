#include "engine/Crc16Fold.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <cstring>

namespace mp3 {
namespace {

// x^n mod P, P = x^16 + x^15 + x^2 + 1, as the reflected 64-bit operand of a carry-less multiply:
// the coefficient of x^d sits at bit 63 - d.
std::uint64_t reflectedPower(int n) {
    std::uint32_t r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if ((r & 0x10000u) != 0) {
            r ^= 0x18005u;
        }
    }
    std::uint64_t reflected = 0;
    for (int d = 0; d < 16; ++d) {
        if (((r >> d) & 1u) != 0) {
            reflected |= std::uint64_t{1} << (63 - d);
        }
    }
    return reflected;
}

// A lane moved `bits` further on: its high half times x^(bits + 64), its low half times x^bits,
// each constant one power short because the reflected product comes out one place up.
struct FoldConstants {
    __m128i by128;
    __m128i by256;
    __m128i by384;
    __m128i by512;
};

__m128i constantsFor(int bits) {
    return _mm_set_epi64x(static_cast<long long>(reflectedPower(bits - 1)),
                          static_cast<long long>(reflectedPower(bits + 64 - 1)));
}

__attribute__((target("pclmul,sse2"))) __m128i fold(__m128i lane, __m128i constants) {
    return _mm_xor_si128(_mm_clmulepi64_si128(lane, constants, 0x00),
                         _mm_clmulepi64_si128(lane, constants, 0x11));
}

__attribute__((target("pclmul,sse2"))) void foldLanes(const std::uint8_t* data, std::size_t size,
                                                      std::uint16_t crc, Crc16Folded& folded) {
    static const FoldConstants k{constantsFor(128), constantsFor(256), constantsFor(384), constantsFor(512)};
    const auto load = [data](std::size_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    };
    // The CRC so far goes into the first two bytes, as the byte-wise sum would take it.
    __m128i x0 = _mm_xor_si128(load(0), _mm_cvtsi32_si128(crc));
    __m128i x1 = load(16);
    __m128i x2 = load(32);
    __m128i x3 = load(48);
    std::size_t at = 64;
    for (; at + 64 <= size; at += 64) {
        x0 = _mm_xor_si128(fold(x0, k.by512), load(at));
        x1 = _mm_xor_si128(fold(x1, k.by512), load(at + 16));
        x2 = _mm_xor_si128(fold(x2, k.by512), load(at + 32));
        x3 = _mm_xor_si128(fold(x3, k.by512), load(at + 48));
    }
    __m128i x = _mm_xor_si128(_mm_xor_si128(fold(x0, k.by384), fold(x1, k.by256)),
                              _mm_xor_si128(fold(x2, k.by128), x3));
    for (; at + 16 <= size; at += 16) {
        x = _mm_xor_si128(fold(x, k.by128), load(at));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded.lane), x);
}

} // namespace

bool foldCrc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc, Crc16Folded& folded) {
    static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    if (!available || size < kFoldMinimum) {
        return false;
    }
    foldLanes(data, size, crc, folded);
    return true;
}

} // namespace mp3

#else

namespace mp3 {

bool foldCrc16(const std::uint8_t*, std::size_t, std::uint16_t, Crc16Folded&) {
    return false;
}

} // namespace mp3

#endif
