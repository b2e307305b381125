// Enhancement packets: their Hamming 24/18 and 8/4 coding, and the assembly
// that keeps X/26, X/27/0 and X/28 with their page and M/29 with its magazine.
#include "acquisition/PageEnhancements.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "acquisition/Hamming.h"
#include "acquisition/PageAssembler.h"
#include "acquisition/Pages.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv {
namespace {

TEST(Hamming2418, CorrectsOneWrongBitAndRejectsTwo) {
    for (const std::uint32_t data : {0u, 1u, 0x2AAAAu, 0x15555u, 0x3FFFFu, 0x12345u}) {
        const auto code = EncodeHamming2418(data);
        EXPECT_EQ(DecodeHamming2418(code[0], code[1], code[2]), static_cast<std::int32_t>(data));
        for (int bit = 0; bit < 24; ++bit) {
            auto one = code;
            one[static_cast<std::size_t>(bit / 8)] ^= static_cast<std::uint8_t>(1u << (bit % 8));
            EXPECT_EQ(DecodeHamming2418(one[0], one[1], one[2]), static_cast<std::int32_t>(data)) << data << " " << bit;
            for (int other = bit + 1; other < 24; other += 5) {
                auto two = one;
                two[static_cast<std::size_t>(other / 8)] ^= static_cast<std::uint8_t>(1u << (other % 8));
                EXPECT_EQ(DecodeHamming2418(two[0], two[1], two[2]), kHamming2418Error) << bit << " " << other;
            }
        }
    }
}

Triplet T(int address, int mode, int data) {
    return {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(data), true};
}

EnhancementPacket Packet(int number, int designation, std::initializer_list<Triplet> triplets) {
    EnhancementPacket packet;
    packet.Packet = number;
    packet.Designation = static_cast<std::uint8_t>(designation);
    std::copy(triplets.begin(), triplets.end(), packet.Triplets.begin());
    return packet;
}

class Enhancements : public ::testing::Test {
protected:
    test::RecordingSink sink;
    PageAssembler assembler{sink};
    void Feed(const tVTXPacket& packet) { assembler.ProcessPacket(packet); }
    void Header(std::uint16_t page) { Feed(EncodeHeader(page, HeaderControl{}, "HEADER")); }
    static const PageEnhancements* Of(const PagePtr& page) { return page.get_deleter().Enhancements.get(); }
};

TEST_F(Enhancements, TravelWithTheirPageAndTheMagazineWithEveryPageOfIt) {
    Feed(EncodeEnhancement(1, Packet(29, 0, {T(0, 0, 0x24)})));  // M/29/0 of magazine 1
    Header(0x100);
    FlofLinks links;
    links.Links[FlofLinks::Red] = {0x101, kAnySubCode, true};
    links.Links[FlofLinks::Green] = {0x8A0, 0x0003, true};  // another magazine, a sub-page
    links.Links[FlofLinks::Index] = {0x100, kAnySubCode, true};
    Feed(EncodeLinks(1, links));
    Feed(EncodeEnhancement(1, Packet(26, 1, {T(41, 4, 0)})));
    Feed(EncodeEnhancement(1, Packet(26, 0, {T(42, 4, 0)})));
    Feed(EncodeEnhancement(1, Packet(26, 0, {T(43, 4, 0)})));  // sent again: the newer copy
    auto damaged = EncodeEnhancement(1, Packet(28, 0, {T(0, 0, 0x24), T(1, 2, 3)}));
    damaged[3] ^= 0x03;  // two wrong bits in the first triplet
    Feed(damaged);
    Feed(EncodeRow(1, 1, "row"));
    Header(0x101);  // a plain page of the same magazine
    Feed(EncodeRow(1, 1, "row"));
    Header(0x200);  // a plain page of another magazine
    Feed(EncodeRow(2, 1, "row"));
    assembler.CloseAllPages();
    ASSERT_EQ(sink.pages.size(), 3u);

    const PageEnhancements* first = Of(sink.pages[0]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->X26Received, 0b11);
    EXPECT_EQ(first->X26[0][0], T(43, 4, 0));
    EXPECT_EQ(first->X26[1][0], T(41, 4, 0));
    ASSERT_TRUE(first->Links());
    EXPECT_EQ(*first->Links(), links);
    ASSERT_TRUE(first->X28_0);
    EXPECT_FALSE((*first->X28_0)[0].Valid);  // skipped, the rest still counts
    EXPECT_EQ((*first->X28_0)[1], T(1, 2, 3));
    ASSERT_TRUE(first->Magazine && first->Magazine->M29_0);
    EXPECT_EQ((*first->Magazine->M29_0)[0], T(0, 0, 0x24));

    // The magazine's packets reach its pages that have none of their own; other
    // magazines' pages carry nothing, as a level-1 page always did.
    const PageEnhancements* second = Of(sink.pages[1]);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->X26Received == 0 && !second->X27_0);
    EXPECT_EQ(second->Magazine, first->Magazine);
    EXPECT_EQ(Of(sink.pages[2]), nullptr);

    // The database hands them out with the stored record, and copies keep them.
    PageDatabase db;
    const PageRef stored = db.Store(std::move(sink.pages[0]));
    EXPECT_EQ(EnhancementsOf(stored), first);
    EXPECT_EQ(EnhancementsOf(MakePageRef(CopyOfPage(stored))), first);
    EXPECT_EQ(EnhancementsOf(db.Store(std::move(sink.pages[2]))), nullptr);
}

TEST_F(Enhancements, LinksAreRelativeToTheMagazineAndXffLeadsNowhere) {
    FlofLinks none;  // every link xFF
    tVTXPacket packet;
    EncodeAddress(packet, 8, 27);
    packet[2] = EncodeHamming84(0);
    EncodeFlofLinks(none, 8, packet);
    EXPECT_FALSE(DecodeFlofLinks(packet, 8).Any());

    FlofLinks links;
    links.Links[FlofLinks::Cyan] = {0x899, 0x3F7F, true};
    links.Links[FlofLinks::Yellow] = {0x123, 0x0012, true};
    for (int magazine = 1; magazine <= 8; ++magazine) {
        EncodeFlofLinks(links, magazine, packet);
        EXPECT_EQ(DecodeFlofLinks(packet, magazine), links) << magazine;
    }
    packet[3 + 6 * FlofLinks::Cyan] = 0x01;  // an uncorrectable byte of the cyan link
    const FlofLinks damaged = DecodeFlofLinks(packet, 8);
    EXPECT_FALSE(damaged.Links[FlofLinks::Cyan].Valid);
    EXPECT_EQ(damaged.Links[FlofLinks::Yellow], links.Links[FlofLinks::Yellow]);
}

}  // namespace
}  // namespace orv
