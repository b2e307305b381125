// Random and damaged input through the assembly, the database, the text form
// and ttxdump: nothing may crash or read out of bounds (run under the sanitizers).
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "acquisition/PageAssembler.h"
#include "acquisition/Pages.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/broadcast/PacketEncoder.h"
#include "TestTextView.h"
#include "TsWriter.h"
#include "rendering/TextPageView.h"
#include "rendering/VTX_Graphics_Display.h"
#include "rendering/VTX_TEXT_DISPLAY.h"
#include "tools/ttxdump/TtxDump.h"
#include "windows/PageLinks.h"

namespace orv {
namespace {

class DatabaseSink : public DisplaySink {
public:
    void PostPage(PagePtr page) override {
        // Only the erase of a subtitle or newsflash page comes without rows.
        EXPECT_GE(page->LastRow, page->ErasePage && (page->Subtitle || page->Newsflash) ? 0 : 1);
        EXPECT_LE(page->LastRow, 29);
        EXPECT_EQ(page->RecType, kRecPage);
        for (int r = 1; r < kRowCount; ++r)
            for (std::uint8_t b : page->Rows[r]) ASSERT_LT(b, 0x80);
        db.StorePage(std::move(page));
    }
    void PostStationName(std::unique_ptr<tStationName> name) override {
        ASSERT_LE(name->Name[0], 20);
        db.ClearPageDatabase();
    }
    void PostReset(std::unique_ptr<tResetNotice>) override { db.ClearPageDatabase(); }
    PageDatabase db;
};

TEST(Fuzz, RandomPacketsThroughAssemblyDatabaseAndText) {
    std::mt19937 random(42);
    DatabaseSink sink;
    PageAssembler assembler(sink);
    tVTXPacket packet;
    for (int i = 0; i < 300000; ++i) {
        for (auto& b : packet.Bytes) b = static_cast<std::uint8_t>(random());
        // Half of them with a valid address, so that headers and rows get through.
        if (i % 2) EncodeAddress(packet, 1 + static_cast<int>(random() % 8), static_cast<int>(random() % 32));
        assembler.ProcessPacket(packet);
    }
    for (const auto& entry : sink.db.Snapshot()) ASSERT_EQ(PageText(*entry.Page).size(), 1050u);
    tVTXSearchRec rec;
    for (bool found = sink.db.SearchFirst("A", rec); found; found = sink.db.SearchNext(rec)) {
        ASSERT_GE(rec.FoundRow, 0);
        ASSERT_LT(rec.FoundRow, 25);
    }
}

TEST(Fuzz, RandomAndDamagedStreamsThroughTtxDump) {
    std::mt19937 random(4242);
    DemoBroadcast broadcast(BuiltInDemoPages());
    for (int round = 0; round < 20; ++round) {
        std::string stream;
        if (round % 4 == 1) {
            stream.resize(random() % 200000);
            for (auto& c : stream) c = static_cast<char>(random());
        } else if (round % 4 == 3) {
            // A transport stream: random packets in sync, or a real one with damage.
            std::vector<tVTXPacket> packets(4000);
            broadcast.Fill(packets);
            const auto ts = test::TeletextMultiplex(packets, round % 8 == 3 ? 188 : 192);
            stream.assign(ts.begin(), ts.end());
            for (int i = 0; i < 200; ++i) stream[random() % stream.size()] = static_cast<char>(random());
            if (round % 8 == 7)
                for (std::size_t at = 0; at < stream.size(); ++at) stream[at] = at % 188 ? static_cast<char>(random()) : 0x47;
            stream.resize(random() % stream.size());
        } else {
            // A real stream with bit errors and cut packets.
            for (int i = 0; i < 20000; ++i) {
                tVTXPacket packet = broadcast.NextPacket();
                if (random() % 10 == 0) packet[random() % 42] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                std::size_t length = random() % 500 == 0 ? random() % 42 : 42;
                stream.append(reinterpret_cast<const char*>(packet.Bytes.data()), length);
            }
        }
        std::istringstream in(stream);
        std::ostringstream out, err;
        const std::vector<std::string> args = {"-"};
        const int status = RunTtxDump(args, in, out, err);
        EXPECT_TRUE(status == 0 || status == 1) << status;  // 1: random bytes that hold no page
        // Whole blocks only: every block has two separator lines.
        const std::string text = out.str();
        std::size_t separators = 0;
        for (auto at = text.find("\r\n=========="); at != std::string::npos; at = text.find("\r\n==========", at + 1))
            ++separators;
        EXPECT_EQ(separators % 2, 0u);
    }
}

// Clicks anywhere on pages of random bytes, in both views: a page number in
// range, or a link that is a run of the page's own bytes.
TEST(Fuzz, ClicksOnRandomPages) {
    std::mt19937 random(77);
    GraphicsRenderer renderer;
    test::MemoryTextView view;
    TextPageView text(&view);
    for (int round = 0; round < 300; ++round) {
        tPageImage page{};
        for (auto& row : page.Rows)
            for (auto& b : row) b = static_cast<std::uint8_t>(round % 2 ? random() : "0123456789 w.W/:hH"[random() % 18]);
        text.RenderPageText(page, false);
        for (int click = 0; click < 200; ++click) {
            std::string link;
            const int x = static_cast<int>(random() % 700) - 100, y = static_cast<int>(random() % 600) - 100;
            const int found = renderer.HitTest(page, x, y, link);
            ASSERT_TRUE(found >= -1 && found <= 0x999) << found;  // the window takes 0x100-0x899 only
            const bool inBox = x >= 0 && x < 490 && y >= 0 && y < 388;
            ASSERT_TRUE(!inBox || link.size() <= 40u) << link;
            if (found == -1) {
                ASSERT_EQ(WebAddressCommand(link).rfind("start ", 0), 0u);
            }
            const TextClick hit = TextClickAt(view, static_cast<int>(random() % 1200) - 50);
            ASSERT_TRUE(hit.Page == 0 || (hit.Page >= 0x100 && hit.Page <= 0x899));
            ASSERT_LE(hit.Word.size(), 1050u);
        }
    }
}

}  // namespace
}  // namespace orv
