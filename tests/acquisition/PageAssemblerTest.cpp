#include "acquisition/PageAssembler.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "acquisition/Pages.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv {
namespace {

using test::RecordingSink;
using test::RowText;

tVTXPacket Header(std::uint16_t pageNo, std::int32_t subCode = 0, std::string_view text = "HEADER") {
    HeaderControl control;
    control.SubCode = subCode;
    return EncodeHeader(pageNo, control, text);
}

class Assembly : public ::testing::Test {
protected:
    RecordingSink sink;
    PageAssembler assembler{sink};
    void Feed(const tVTXPacket& packet) { assembler.ProcessPacket(packet); }
};

TEST_F(Assembly, PageIsPostedWhenTheNextHeaderOfItsMagazineArrives) {
    Feed(Header(0x100, 0, "ORV 100"));
    Feed(EncodeRow(1, 1, "first row"));
    Feed(EncodeRow(1, 3, "third row"));
    EXPECT_TRUE(sink.pages.empty());
    Feed(Header(0x101));
    ASSERT_EQ(sink.pages.size(), 1u);

    const tPageImage& page = *sink.pages[0];
    EXPECT_EQ(page.RecType, kRecPage);
    EXPECT_EQ(page.PageNo, 0x100);
    EXPECT_EQ(page.PageInMagazine, 0x00);
    EXPECT_EQ(page.LastRow, 3);
    EXPECT_EQ(RowText(page, 1), "first row" + std::string(31, ' '));
    EXPECT_EQ(RowText(page, 2), std::string(40, ' '));
    EXPECT_EQ(RowText(page, 3).substr(0, 9), "third row");
    for (int r = 4; r < kRowCount; ++r) EXPECT_EQ(RowText(page, r), std::string(40, ' ')) << r;
    // Row 0: decoded nibbles (units 0, tens 0, sub-code 0...) then the characters.
    EXPECT_EQ(page.Rows[0][0], 0);
    EXPECT_EQ(RowText(page, 0).substr(8, 7), "ORV 100");
}

TEST_F(Assembly, HeaderWithoutRowsIsNeverPosted) {
    Feed(Header(0x100));
    Feed(Header(0x101));
    EXPECT_TRUE(sink.pages.empty());
    Feed(EncodeRow(1, 5, "x"));
    Feed(Header(0x102));
    ASSERT_EQ(sink.pages.size(), 1u);
    EXPECT_EQ(sink.pages[0]->PageNo, 0x101);
}

TEST_F(Assembly, RowsBeforeTheFirstHeaderOfTheirMagazineAreDropped) {
    Feed(EncodeRow(2, 1, "orphan"));
    Feed(Header(0x100));
    Feed(EncodeRow(2, 2, "still orphan"));  // magazine 2 has no header yet
    Feed(Header(0x101));
    Feed(Header(0x200));
    Feed(Header(0x201));  // the orphans never became part of page 200
    EXPECT_TRUE(sink.pages.empty());
}

TEST_F(Assembly, ParityErrorsBecomeSpacesAndRowsMayRepeat) {
    Feed(Header(0x100));
    tVTXPacket row = EncodeRow(1, 1, "ABCDEF");
    row[2 + 2] ^= 0x01;  // column 2 fails parity
    Feed(row);
    Feed(EncodeRow(1, 2, "old"));
    Feed(EncodeRow(1, 2, "new"));
    tVTXPacket header = Header(0x101, 0, "TITLE");
    header[10] ^= 0x80;  // header character 0 fails parity
    Feed(header);
    Feed(EncodeRow(1, 1, "y"));
    Feed(Header(0x102));
    ASSERT_EQ(sink.pages.size(), 2u);
    EXPECT_EQ(RowText(*sink.pages[0], 1).substr(0, 6), "AB DEF");
    EXPECT_EQ(RowText(*sink.pages[0], 2).substr(0, 3), "new");
    EXPECT_EQ(RowText(*sink.pages[1], 0).substr(8, 5), " ITLE");
}

TEST_F(Assembly, MagazinesAreAssembledIndependently) {
    Feed(Header(0x100));
    Feed(Header(0x200));
    Feed(EncodeRow(1, 1, "one"));
    Feed(EncodeRow(2, 1, "two"));
    Feed(Header(0x1FF));  // closes 100; hex digits are pages like any other
    Feed(EncodeRow(2, 2, "two again"));
    Feed(EncodeRow(1, 1, "hex"));
    Feed(Header(0x201));  // closes 200
    Feed(Header(0x101));  // closes 1FF
    ASSERT_EQ(sink.pages.size(), 3u);
    EXPECT_EQ(sink.pages[0]->PageNo, 0x100);
    EXPECT_EQ(sink.pages[1]->PageNo, 0x200);
    EXPECT_EQ(sink.pages[1]->LastRow, 2);
    EXPECT_EQ(RowText(*sink.pages[1], 1).substr(0, 3), "two");
    EXPECT_EQ(sink.pages[2]->PageNo, 0x1FF);
    EXPECT_EQ(RowText(*sink.pages[2], 1).substr(0, 3), "hex");
    // Magazine 8 headers give 8xx pages.
    Feed(Header(0x888));
    Feed(EncodeRow(8, 4, "eight"));
    Feed(Header(0x800));
    ASSERT_EQ(sink.pages.size(), 4u);
    EXPECT_EQ(sink.pages[3]->PageNo, 0x888);
}

TEST_F(Assembly, UndecodableHeaderChangesNothing) {
    Feed(Header(0x100));
    Feed(EncodeRow(1, 1, "kept"));
    tVTXPacket bad = Header(0x101);
    bad[3] = 0x01;  // tens uncorrectable
    Feed(bad);
    EXPECT_TRUE(sink.pages.empty());
    Feed(EncodeRow(1, 2, "more"));
    Feed(Header(0x102));
    ASSERT_EQ(sink.pages.size(), 1u);
    EXPECT_EQ(sink.pages[0]->LastRow, 2);
}

TEST_F(Assembly, ResetMarkerYieldsOneNoticeAndKeepsSlots) {
    Feed(Header(0x100));
    Feed(EncodeRow(1, 1, "before reset"));
    assembler.ProcessBatch(*tVTXBatch::CreateReset());
    ASSERT_EQ(sink.resets.size(), 1u);
    EXPECT_EQ(sink.resets[0]->RecType, kRecReset);
    const tVTXPacket next = Header(0x101);
    assembler.ProcessBatch(*tVTXBatch::Create(std::span(&next, 1)));
    ASSERT_EQ(sink.pages.size(), 1u);
    EXPECT_EQ(RowText(*sink.pages[0], 1).substr(0, 12), "before reset");
}

TEST_F(Assembly, StationNamesFromPacket30) {
    Feed(EncodeStationName("  ORV Demo  "));
    Feed(EncodeStationName(""));
    tVTXPacket damaged = EncodeStationName("Broken");
    damaged[25] ^= 0x01;
    Feed(damaged);
    tVTXPacket otherFormat = EncodeStationName("Other");
    otherFormat[2] = EncodeHamming84(2);
    Feed(otherFormat);
    Feed(EncodeStationName("From magazine 3", 3));

    ASSERT_EQ(sink.names.size(), 3u);
    EXPECT_EQ(sink.names[0]->RecType, kRecStationName);
    EXPECT_EQ(StationNameText(*sink.names[0]), "ORV Demo");
    EXPECT_EQ(sink.names[0]->RawData[0], EncodeHamming84(0));
    EXPECT_EQ(StationNameText(*sink.names[1]), "");
    EXPECT_EQ(StationNameText(*sink.names[2]), "From magazine 3");
}

// Subtitle and newsflash pages close without the next header of their
// magazine, and their erase is passed on; other pages wait as ever.
TEST_F(Assembly, SubtitlePagesCloseAtThePesEndOrWhenTheirMagazineIsQuiet) {
    using namespace std::chrono_literals;
    HeaderControl subtitle;
    subtitle.Subtitle = true;
    HeaderControl erase = subtitle;
    erase.ErasePage = true;
    HeaderControl plainErase;
    plainErase.ErasePage = true;

    assembler.Tick(1s);
    Feed(EncodeHeader(0x888, subtitle, ""));
    Feed(EncodeRow(8, 22, "caption"));
    Feed(EncodeHeader(0x100, plainErase, ""));  // no rows: never passed on
    Feed(EncodeRow(1, 1, "plain"));
    assembler.Tick(1s + 150ms);
    Feed(EncodeRow(1, 2, "magazine 1 goes on"));
    assembler.Tick(1s + 199ms);
    EXPECT_TRUE(sink.pages.empty());
    assembler.Tick(1s + 350ms);  // no packet of magazine 8 since its header at 1 s
    ASSERT_EQ(sink.pages.size(), 1u);
    EXPECT_EQ(sink.pages[0]->PageNo, 0x888);
    EXPECT_EQ(assembler.PostedHeaderTime(), 1s);
    Feed(EncodeRow(8, 23, "after the close"));  // no header open: dropped
    // A PES end closes the page once a PES brought nothing of its magazine.
    Feed(EncodeHeader(0x888, erase, ""));
    assembler.CloseTimedPages();
    EXPECT_EQ(sink.pages.size(), 1u);
    Feed(EncodeRow(2, 3, "other magazine"));
    assembler.CloseTimedPages();
    ASSERT_EQ(sink.pages.size(), 2u);
    EXPECT_EQ(sink.pages[1]->LastRow, 0);
    EXPECT_EQ(sink.pages[1]->ErasePage, 1);
    EXPECT_EQ(RowText(*sink.pages[1], 23), std::string(40, ' '));
    EXPECT_EQ(assembler.PostedHeaderTime(), 1s + 350ms);
    // The plain page still waits for its next header.
    assembler.Tick(5s);
    Feed(EncodeHeader(0x101, {}, ""));
    ASSERT_EQ(sink.pages.size(), 3u);
    EXPECT_EQ(sink.pages[2]->PageNo, 0x100);
    EXPECT_EQ(sink.pages[2]->LastRow, 2);
    // A subtitle header without C4 and without rows is not passed on.
    Feed(EncodeHeader(0x888, subtitle, ""));
    assembler.CloseTimedPages();
    assembler.CloseTimedPages();
    EXPECT_EQ(sink.pages.size(), 3u);
}

// A sink without memory for the first page: that page is lost, the next is not.
TEST(AssemblyOutOfMemory, APageThatCannotBePostedIsDroppedAndAssemblyGoesOn) {
    struct FailingOnce : RecordingSink {
        void PostPage(PagePtr page) override {
            if (failures++ == 0) throw std::bad_alloc();
            RecordingSink::PostPage(std::move(page));
        }
        int failures = 0;
    } sink;
    PageAssembler assembler(sink);
    for (std::uint16_t pageNo : {0x100, 0x101, 0x102}) {
        assembler.ProcessPacket(Header(pageNo));
        assembler.ProcessPacket(EncodeRow(1, 1, "row"));
    }
    ASSERT_EQ(sink.pages.size(), 1u);
    EXPECT_EQ(sink.pages[0]->PageNo, 0x101);
}

TEST(Batch, HoldsCountAndPacketsInOneBlock) {
    std::vector<tVTXPacket> packets(3);
    packets[1][5] = 0xAB;
    const auto batch = tVTXBatch::Create(packets);
    EXPECT_EQ(batch->Count(), 3);
    EXPECT_EQ(batch->Bytes().size(), 4u + 3 * 42);
    EXPECT_EQ(batch->Packets()[1][5], 0xAB);
    const auto reset = tVTXBatch::CreateReset();
    EXPECT_TRUE(reset->IsReset());
    EXPECT_EQ(reset->Bytes().size(), 4u);
    EXPECT_TRUE(reset->Packets().empty());
}

}  // namespace
}  // namespace orv
