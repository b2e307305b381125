// Hamming 8/4 decoding and the odd-parity rule of teletext character bytes.
// Both run for every received byte, so they are table lookups.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv {

// Result of DecodeHamming84 for a byte that cannot be corrected (the code of a space).
inline constexpr std::uint8_t kHammingError = 0x20;

// The sixteen Hamming 8/4 code bytes, index = data value (bit 0 = D1).
inline constexpr std::array<std::uint8_t, 16> kHamming84Codes = {
    0x15, 0x02, 0x49, 0x5E, 0x64, 0x73, 0x38, 0x2F,
    0xD0, 0xC7, 0x8C, 0x9B, 0xA1, 0xB6, 0xFD, 0xEA};

namespace detail {
// Every code byte and every byte one bit away from it decodes to the code's
// value; the remaining 112 bytes are uncorrectable.
constexpr std::array<std::uint8_t, 256> MakeHammingTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) entry = kHammingError;
    for (std::uint8_t value = 0; value < 16; ++value) {
        const std::uint8_t code = kHamming84Codes[value];
        table[code] = value;
        for (int bit = 0; bit < 8; ++bit) table[code ^ (1u << bit)] = value;
    }
    return table;
}

// Odd parity applied to a byte: its low 7 bits when valid, else a space.
constexpr std::array<std::uint8_t, 256> MakeParityTable() {
    std::array<std::uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = (std::popcount(static_cast<unsigned>(b)) & 1) ? (b & 0x7F) : 0x20;
    return table;
}
}  // namespace detail

inline constexpr std::array<std::uint8_t, 256> kHamming84Table = detail::MakeHammingTable();
inline constexpr std::array<std::uint8_t, 256> kParityTable = detail::MakeParityTable();

// 0..15, or kHammingError when the byte cannot be corrected.
constexpr std::uint8_t DecodeHamming84(std::uint8_t byte) { return kHamming84Table[byte]; }

// True when the byte has an odd number of set bits (all eight counted).
constexpr bool CheckOddParity(std::uint8_t byte) { return std::popcount(byte) & 1; }

// The parity rule: a valid byte keeps its low 7 bits, an invalid one becomes a space.
constexpr std::uint8_t ApplyOddParity(std::uint8_t byte) { return kParityTable[byte]; }

namespace detail {
// Eight bytes at a time: after folding, bit 0 of each byte holds that byte's
// parity (the shifts only ever mix bits of the same byte into bits 0-3).
inline std::uint64_t OddParityWord(std::uint64_t x) {
    constexpr std::uint64_t kLow = 0x0101010101010101ull;
    std::uint64_t p = x ^ (x >> 4);
    p ^= p >> 2;
    p ^= p >> 1;
    const std::uint64_t odd = (p & kLow) * 0xFF;  // 0xFF in every valid byte
    return (x & 0x7F7F7F7F7F7F7F7Full & odd) | (0x2020202020202020ull & ~odd);
}


#if defined(__SSE2__)
// Sixteen bytes at a time, by the same folding as OddParityWord.
inline __m128i OddParityBlock(__m128i x) {
    __m128i p = _mm_xor_si128(x, _mm_srli_epi16(x, 4));
    p = _mm_xor_si128(p, _mm_srli_epi16(p, 2));
    p = _mm_xor_si128(p, _mm_srli_epi16(p, 1));
    const __m128i one = _mm_set1_epi8(1);
    const __m128i odd = _mm_cmpeq_epi8(_mm_and_si128(p, one), one);
    return _mm_or_si128(_mm_and_si128(x, _mm_and_si128(odd, _mm_set1_epi8(0x7F))),
                        _mm_andnot_si128(odd, _mm_set1_epi8(0x20)));
}
#endif
}  // namespace detail

// The parity rule applied while copying (it runs for every received row, so
// it works on many bytes at a time); copies min(source, target) bytes.
inline void CopyWithOddParity(std::span<const std::uint8_t> source, std::span<std::uint8_t> target) {
    const std::size_t n = std::min(source.size(), target.size());
    std::size_t i = 0;
#if defined(__SSE2__)
    if (n >= 16) {
        for (; i + 16 <= n; i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source.data() + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target.data() + i), detail::OddParityBlock(x));
        }
        // The rest as one block ending at the last byte, overlapping the
        // previous one. Only when copying: in place the overlap would see
        // bytes already converted, and the rule is not idempotent.
        if (i < n && source.data() != target.data()) {
            const std::size_t last = n - 16;
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source.data() + last));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target.data() + last), detail::OddParityBlock(x));
            return;
        }
    }
#endif
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, source.data() + i, 8);
        word = detail::OddParityWord(word);
        std::memcpy(target.data() + i, &word, 8);
    }
    for (; i < n; ++i) target[i] = ApplyOddParity(source[i]);
}

// The parity rule over one 40-byte row, copied from source to target (which
// must not overlap). The hot path of the assembly, so always inlined.
[[gnu::always_inline]] inline void CopyRowWithOddParity(const std::uint8_t* source, std::uint8_t* target) {
#if defined(__SSE2__)
    // Bytes 0-15, 16-31 and 24-39; the last block overlaps the second.
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 24));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), detail::OddParityBlock(a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 16), detail::OddParityBlock(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 24), detail::OddParityBlock(c));
#else
    CopyWithOddParity(std::span(source, 40), std::span(target, 40));
#endif
}

// Hamming 24/18, the coding of the enhancement packets' triplets: three bytes,
// bit 1 (the least significant bit of the first byte) to bit 24; parity bits at
// positions 1, 2, 4, 8, 16 and 24, the 18 data bits D1-D18 at the others in
// order. Every test gives odd parity on a sound triplet.
inline constexpr std::int32_t kHamming2418Error = -1;

namespace detail {
// Per byte of a triplet: the XOR of the positions (1-24) of its set bits in
// bits 0-4, and the byte's parity in bit 5. A sound triplet sums to 0x3F.
constexpr std::array<std::array<std::uint8_t, 256>, 3> MakeTripletChecks() {
    std::array<std::array<std::uint8_t, 256>, 3> table{};
    for (int byte = 0; byte < 3; ++byte)
        for (int b = 0; b < 256; ++b) {
            int check = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int position = byte * 8 + bit + 1;
                // Bit 24 takes part in the overall parity only.
                if (b & (1 << bit)) check ^= 0x20 | (position == 24 ? 0 : position);
            }
            table[byte][b] = static_cast<std::uint8_t>(check);
        }
    return table;
}
inline constexpr auto kTripletChecks = MakeTripletChecks();

// The data bits of a triplet without correction.
constexpr std::int32_t TripletData(std::uint32_t bits) {
    return static_cast<std::int32_t>(((bits >> 2) & 0x1) | ((bits >> 3) & 0xE) | ((bits >> 4) & 0x7F0) |
                                     ((bits >> 5) & 0x3F800));
}
}  // namespace detail

// The 18 data bits of a triplet, one wrong bit corrected; kHamming2418Error
// when two or more bits are wrong.
constexpr std::int32_t DecodeHamming2418(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
    std::uint32_t bits = b0 | (b1 << 8) | (static_cast<std::uint32_t>(b2) << 16);
    const int check = detail::kTripletChecks[0][b0] ^ detail::kTripletChecks[1][b1] ^ detail::kTripletChecks[2][b2];
    if (check != 0x3F) {
        if (check & 0x20) return kHamming2418Error;  // overall parity holds: two bits are wrong
        const int position = (check & 0x1F) ^ 0x1F;   // the one wrong bit (0: bit 24 itself)
        if (position > 23) return kHamming2418Error;
        if (position > 0) bits ^= 1u << (position - 1);
    }
    return detail::TripletData(bits);
}

// The three bytes of 18 data bits (the writers of test streams and the page
// files of the demo broadcast use it).
constexpr std::array<std::uint8_t, 3> EncodeHamming2418(std::uint32_t data) {
    std::uint32_t bits = ((data & 0x1) << 2) | ((data & 0xE) << 3) | ((data & 0x7F0) << 4) | ((data & 0x3F800) << 5);
    for (int p = 0; p < 5; ++p) {
        const int parityBit = 1 << p;  // position 1, 2, 4, 8, 16
        int sum = 0;
        for (int position = 1; position <= 23; ++position)
            if ((position & parityBit) && position != parityBit && (bits >> (position - 1) & 1)) sum ^= 1;
        if (!sum) bits |= 1u << (parityBit - 1);  // odd parity over the test
    }
    if (!(std::popcount(bits & 0x7FFFFF) & 1)) bits |= 1u << 23;
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits >> 16)};
}

// The parity rule applied in place to a run of character bytes.
inline void ApplyOddParity(std::span<std::uint8_t> bytes) { CopyWithOddParity(bytes, bytes); }

}  // namespace orv
