#include "drivers/broadcast/DemoBroadcast.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "TestSupport.h"
#include "acquisition/PacketDecode.h"
#include "acquisition/PageAssembler.h"
#include "acquisition/Pages.h"
#include "rendering/TextEncoding.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {
namespace {

// Plays the broadcast through the assembly into a database.
class Receiver : public DisplaySink {
public:
    void PostPage(PagePtr page) override { db.StorePage(std::move(page)); }
    void PostStationName(std::unique_ptr<tStationName> name) override { names.emplace_back(StationNameText(*name)); }
    void PostReset(std::unique_ptr<tResetNotice>) override {}

    void Play(DemoBroadcast& broadcast, double seconds) {
        const auto count = static_cast<std::size_t>(seconds * 1600);
        for (std::size_t i = 0; i < count; ++i) assembler.ProcessPacket(broadcast.NextPacket());
    }

    PageDatabase db;
    std::vector<std::string> names;
    PageAssembler assembler{*this};
};

BroadcastOptions FixedClock() {
    BroadcastOptions options;
    options.StartTime = 1'700'000'000;
    return options;
}

// The page image a perfect receiver would build from a page file.
tPageImage ExpectedImage(const TtiPage& page) {
    tPageImage image;
    image.PageNo = page.PageNo;
    image.SubCode = page.SubCode;
    image.NationalOption = page.NationalOption();
    for (auto& row : image.Rows) row.fill(0x20);
    for (int r = 1; r < kTtiRows; ++r) image.Rows[r] = page.Rows[r];
    return image;
}

TEST(DemoBroadcast, BuiltInServiceHasTheAdvertisedPages) {
    const std::vector<TtiPage> pages = BuiltInDemoPages();
    std::map<std::uint16_t, int> subPages;
    std::set<int> options;
    for (const auto& page : pages) {
        ++subPages[page.PageNo];
        options.insert(page.NationalOption());
        // The viewer has no coloured keys: no page may ask the user for them.
        for (const auto& row : page.Rows)
            EXPECT_EQ(std::string(row.begin(), row.end()).find("coloured key"), std::string::npos);
    }
    EXPECT_GE(subPages.size(), 12u);
    for (const std::uint16_t required : {0x100, 0x101, 0x150, 0x160, 0x170, 0x1A0, 0x300, 0x400, 0x470, 0x480})
        EXPECT_TRUE(subPages.count(required)) << std::hex << required;
    EXPECT_EQ(subPages[0x150], 3);
    EXPECT_TRUE(options.count(1));  // a German page
}

TEST(DemoBroadcast, EveryPageArrivesWithItsTextIntact) {
    std::vector<TtiPage> pages = BuiltInDemoPages();
    DemoBroadcast broadcast(pages, FixedClock());
    Receiver receiver;
    receiver.Play(broadcast, 40.0);  // long enough for every carousel step

    for (const TtiPage& page : pages) {
        if (ControlFromStatus(page).Subtitle) continue;  // one replaces the other: below
        const PageRef received = receiver.db.FindPage(page.PageNo, page.SubCode);
        ASSERT_TRUE(received) << std::hex << page.PageNo << "/" << page.SubCode;
        ASSERT_EQ(received->SubCode, page.SubCode);
        EXPECT_EQ(received->NationalOption, page.NationalOption());
        const std::u16string got = PageText(*received);
        const std::u16string want = PageText(ExpectedImage(page));
        // Row 0 is the broadcast's own header; rows 1-24 must match exactly.
        EXPECT_EQ(got.substr(42), want.substr(42)) << std::hex << page.PageNo;
    }
}

// The subtitle page 888 goes out as an inserter sends subtitles: each one
// when it comes on air and once a second while it stays, an erase without
// text among them; the other magazines fill the time between.
TEST(DemoBroadcast, SubtitlesGoOutWhenTheyChangeAndOnceASecond) {
    struct Subtitles : Receiver {
        void PostPage(PagePtr page) override {
            if (page->PageNo == 0x888) {
                EXPECT_TRUE(page->Subtitle && page->ErasePage);
                texts.push_back(test::RowText(*page, 22));
            }
            Receiver::PostPage(std::move(page));
        }
        std::vector<std::string> texts;
    } receiver;
    DemoBroadcast broadcast(BuiltInDemoPages(), FixedClock());
    receiver.Play(broadcast, 18.5);  // one round of six captions, three seconds each
    EXPECT_GE(receiver.texts.size(), 17u);
    EXPECT_LE(receiver.texts.size(), 25u);
    const std::set<std::string> distinct(receiver.texts.begin(), receiver.texts.end());
    EXPECT_EQ(distinct.size(), 6u);
    EXPECT_TRUE(distinct.count(std::string(40, ' ')));  // the erase
    EXPECT_TRUE(receiver.db.FindPage(0x100, 0));
}

TEST(DemoBroadcast, HeadersCarryPageNumberAndRunningClock) {
    DemoBroadcast broadcast(BuiltInDemoPages(), FixedClock());
    Receiver receiver;
    receiver.Play(broadcast, 2.0);
    const PageRef early = receiver.db.FindPage(0x100, 0);
    ASSERT_TRUE(early);
    const std::string earlyHeader = Utf16ToUtf8(PageText(*early).substr(0, 40));
    receiver.Play(broadcast, 5.0);
    const std::string lateHeader = Utf16ToUtf8(PageText(*receiver.db.FindPage(0x100, 0)).substr(0, 40));

    const std::regex layout(R"( {12}ORV-DEMO .{10} \d\d:\d\d:\d\d)");
    EXPECT_TRUE(std::regex_match(earlyHeader, layout)) << earlyHeader;
    EXPECT_TRUE(std::regex_match(lateHeader, layout)) << lateHeader;
    EXPECT_NE(earlyHeader.substr(32), lateHeader.substr(32));
    // The first eleven cells of the header row: eight control nibbles, then "100".
    EXPECT_EQ(std::string(early->Rows[0].begin() + 8, early->Rows[0].begin() + 11), "100");
    EXPECT_EQ(early->Rows[0][10 + 1], ' ');
}

TEST(DemoBroadcast, InterleavesMagazinesAndNamesTheStationEverySecond) {
    DemoBroadcast broadcast(BuiltInDemoPages(), FixedClock());
    std::set<int> magazines;
    int changes = 0, stationPackets = 0, last = -1;
    for (int i = 0; i < 3200; ++i) {
        const auto address = DecodePacketAddress(broadcast.NextPacket());
        ASSERT_TRUE(address);
        if (address->PacketNumber == 30) {
            ++stationPackets;
            continue;
        }
        magazines.insert(address->Magazine);
        changes += last != -1 && last != address->Magazine;
        last = address->Magazine;
    }
    EXPECT_GE(magazines.size(), 4u);
    EXPECT_GT(changes, 1000);  // magazines alternate packet by packet
    EXPECT_EQ(stationPackets, 2);

    Receiver receiver;
    receiver.Play(broadcast, 1.0);
    ASSERT_FALSE(receiver.names.empty());
    EXPECT_EQ(receiver.names.front(), "ORV Demo Teletext");
}

TEST(DemoBroadcast, CarouselRotatesByCycleTime) {
    TtiParseResult parsed = ParseTti(
        "PN,20001\nSC,0001\nCT,2,T\nOL,1,one\n"
        "PN,20002\nSC,0002\nOL,1,two\n"
        "PN,20003\nSC,0003\nOL,1,three\n");
    ASSERT_TRUE(parsed.Ok());
    DemoBroadcast broadcast(parsed.Pages, FixedClock());
    Receiver receiver;
    receiver.Play(broadcast, 1.5);
    EXPECT_EQ(receiver.db.PageCount(), 1);
    receiver.Play(broadcast, 5.0);
    EXPECT_EQ(receiver.db.PageCount(), 3);
    EXPECT_EQ(test::RowText(*receiver.db.FindPage(0x200, 3), 1).substr(0, 5), "three");
}

TEST(DemoBroadcast, PlaysAFolderOfPageFiles) {
    std::vector<std::string> messages;
    const auto pages = LoadTtiFolder(ORVTT_DEMO_DIR, messages);
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(pages.size(), BuiltInDemoPages().size());

    LoadTtiFolder("/nonexistent-folder", messages);
    EXPECT_EQ(messages.size(), 1u);

    DemoBroadcast empty({}, FixedClock());  // nothing to send but the station name
    const auto address = DecodePacketAddress(empty.NextPacket());
    ASSERT_TRUE(address);
    EXPECT_EQ(address->PacketNumber, 30);
}

}  // namespace
}  // namespace orv
