#include "acquisition/PacketDecode.h"

#include <gtest/gtest.h>

#include <random>

#include "acquisition/Hamming.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv {
namespace {

tVTXPacket Bytes(std::initializer_list<std::uint8_t> head) {
    tVTXPacket packet;
    std::copy(head.begin(), head.end(), packet.Bytes.begin());
    return packet;
}

TEST(PacketDecode, AddressGivesMagazineAndPacketNumber) {
    struct Case {
        std::uint8_t b0, b1;
        int magazine, packet;
    } cases[] = {{0x02, 0x15, 1, 0}, {0x15, 0x15, 8, 0}, {0x15, 0x49, 8, 4}, {0xD0, 0x02, 8, 3}};
    for (const auto& c : cases) {
        const auto address = DecodePacketAddress(Bytes({c.b0, c.b1}));
        ASSERT_TRUE(address) << int(c.b0);
        EXPECT_EQ(address->Magazine, c.magazine);
        EXPECT_EQ(address->PacketNumber, c.packet);
    }
    EXPECT_FALSE(DecodePacketAddress(Bytes({0x01, 0x15})));
    EXPECT_FALSE(DecodePacketAddress(Bytes({0x15, 0x01})));

    for (int magazine = 1; magazine <= 8; ++magazine)
        for (int number = 0; number < 32; ++number) {
            tVTXPacket packet;
            EncodeAddress(packet, magazine, number);
            const auto address = DecodePacketAddress(packet);
            ASSERT_TRUE(address);
            EXPECT_EQ(address->Magazine, magazine);
            EXPECT_EQ(address->PacketNumber, number);
        }
}

TEST(PacketDecode, PageNumberAcceptsHexDigitsAndRejectsBadBytes) {
    EXPECT_EQ(DecodePageNumber(Bytes({0x02, 0x15, 0xC7, 0xC7}), 1), 0x199);
    EXPECT_EQ(DecodePageNumber(Bytes({0x02, 0x15, 0xEA, 0xEA}), 1), 0x1FF);
    EXPECT_EQ(DecodePageNumber(Bytes({0x15, 0x15, 0x15, 0x15}), 8), 0x800);
    EXPECT_FALSE(DecodePageNumber(Bytes({0x02, 0x15, 0x01, 0x15}), 1));
    EXPECT_FALSE(DecodePageNumber(Bytes({0x02, 0x15, 0x15, 0x01}), 1));
}

TEST(PacketDecode, HeaderControlFields) {
    tVTXPacket decoded;  // bytes 2-9 hold decoded nibbles
    tPageImage page;

    decoded[9] = 0x02;  // only C12
    DecodeHeaderControl(decoded, page);
    EXPECT_EQ(page.NationalOption, 4);
    decoded[9] = 0x08;  // only C14
    DecodeHeaderControl(decoded, page);
    EXPECT_EQ(page.NationalOption, 1);

    // An uncorrectable byte 7 (0x20) reads as zero bits: S4, C5 and C6 are 0.
    decoded = {};
    decoded[4] = 0xF;
    decoded[5] = 0xF;
    decoded[6] = 0xF;
    decoded[7] = kHammingError;
    DecodeHeaderControl(decoded, page);
    EXPECT_EQ(page.SubCode, 0x0F7F);
    EXPECT_EQ(page.ErasePage, 1);
    EXPECT_EQ(page.Newsflash, 0);
    EXPECT_EQ(page.Subtitle, 0);
}

TEST(PacketDecode, EncodedHeadersDecodeToTheirFields) {
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        HeaderControl c;
        const auto bits = random();
        c.SubCode = static_cast<std::int32_t>(random() & 0x3F7F);
        c.ErasePage = bits & 1;
        c.Newsflash = bits & 2;
        c.Subtitle = bits & 4;
        c.SuppressHeader = bits & 8;
        c.UpdateIndicator = bits & 16;
        c.InterruptedSequence = bits & 32;
        c.InhibitDisplay = bits & 64;
        c.MagazineSerial = bits & 128;
        c.NationalOption = static_cast<std::uint8_t>((bits >> 8) & 7);
        const auto pageNo = static_cast<std::uint16_t>(0x100 + random() % 0x800);

        tVTXPacket packet = EncodeHeader(pageNo, c, "");
        ASSERT_EQ(DecodePageNumber(packet, pageNo >> 8), pageNo);
        for (int b = 2; b <= 9; ++b) packet[b] = DecodeHamming84(packet[b]);
        tPageImage page;
        DecodeHeaderControl(packet, page);
        EXPECT_EQ(page.SubCode, c.SubCode);
        EXPECT_EQ(page.PageInMagazine, pageNo & 0xFF);
        EXPECT_EQ(page.ErasePage, c.ErasePage);
        EXPECT_EQ(page.Newsflash, c.Newsflash);
        EXPECT_EQ(page.Subtitle, c.Subtitle);
        EXPECT_EQ(page.SuppressHeader, c.SuppressHeader);
        EXPECT_EQ(page.UpdateIndicator, c.UpdateIndicator);
        EXPECT_EQ(page.InterruptedSequence, c.InterruptedSequence);
        EXPECT_EQ(page.InhibitDisplay, c.InhibitDisplay);
        EXPECT_EQ(page.MagazineSerial, c.MagazineSerial);
        EXPECT_EQ(page.NationalOption, c.NationalOption);
    }
}

}  // namespace
}  // namespace orv
