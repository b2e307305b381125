#include "acquisition/Hamming.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>

namespace orv {
namespace {

TEST(Hamming, CorrectsSingleBitErrorsAndRejectsTheRest) {
    EXPECT_EQ(DecodeHamming84(0x15), 0);
    EXPECT_EQ(DecodeHamming84(0x14), 0);  // one bit flipped
    EXPECT_EQ(DecodeHamming84(0x00), 1);  // one bit away from 0x02
    EXPECT_EQ(DecodeHamming84(0x01), kHammingError);

    int errors = 0;
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t v = DecodeHamming84(static_cast<std::uint8_t>(b));
        if (v == kHammingError) {
            ++errors;
            continue;
        }
        ASSERT_LT(v, 16);
        // Every decodable byte lies within one bit of its value's code.
        EXPECT_LE(std::popcount(static_cast<unsigned>(b ^ kHamming84Codes[v])), 1) << b;
    }
    EXPECT_EQ(errors, 112);
}

TEST(Hamming, OddParityKeepsSevenBitsOrGivesSpace) {
    EXPECT_TRUE(CheckOddParity(0x80));
    EXPECT_TRUE(CheckOddParity(0x01));
    EXPECT_FALSE(CheckOddParity(0x00));
    EXPECT_FALSE(CheckOddParity(0x81));
    EXPECT_FALSE(CheckOddParity(0x03));
    EXPECT_EQ(ApplyOddParity(std::uint8_t{0x80}), 0x00);
    EXPECT_EQ(ApplyOddParity(std::uint8_t{0x01}), 0x01);
    EXPECT_EQ(ApplyOddParity(std::uint8_t{0x00}), 0x20);
    EXPECT_EQ(ApplyOddParity(std::uint8_t{0x81}), 0x20);
    EXPECT_EQ(ApplyOddParity(std::uint8_t{0xC1}), 0x41);

    // The in-place run gives the same result as the byte rule for every value.
    std::array<std::uint8_t, 256> all{};
    for (int b = 0; b < 256; ++b) all[b] = static_cast<std::uint8_t>(b);
    ApplyOddParity(std::span(all));
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(all[b], ApplyOddParity(static_cast<std::uint8_t>(b))) << b;

    // Row-sized runs, copied and in place, at every length up to a row.
    for (std::size_t length = 0; length <= 40; ++length) {
        std::array<std::uint8_t, 40> source{}, copied{}, inPlace{};
        for (std::size_t i = 0; i < length; ++i) source[i] = static_cast<std::uint8_t>(0xC1 + 37 * i);
        inPlace = source;
        CopyWithOddParity(std::span(source).first(length), std::span(copied).first(length));
        ApplyOddParity(std::span(inPlace).first(length));
        for (std::size_t i = 0; i < length; ++i) {
            EXPECT_EQ(copied[i], ApplyOddParity(source[i])) << length << " " << i;
            EXPECT_EQ(inPlace[i], ApplyOddParity(source[i])) << length << " " << i;
        }
    }
}

}  // namespace
}  // namespace orv
