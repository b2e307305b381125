// Bytes as 42-byte packets through the page assembly into the page database,
// then a listing and a text search over what was stored. The bytes left over
// behind the last whole packet are the search text.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "FuzzTarget.h"
#include "acquisition/PageAssembler.h"
#include "acquisition/Pages.h"

namespace {

using namespace orv;

class DatabaseSink : public DisplaySink {
public:
    void PostPage(PagePtr page) override {
        // What the readers of the database rely on.
        if (page->LastRow < 1 || page->LastRow > 29 || page->RecType != kRecPage) __builtin_trap();
        for (int r = 1; r < kRowCount; ++r)
            for (std::uint8_t b : page->Rows[r])
                if (b >= 0x80) __builtin_trap();
        db.StorePage(std::move(page));
    }
    void PostStationName(std::unique_ptr<tStationName> name) override {
        if (name->Name[0] > 20) __builtin_trap();
    }
    void PostReset(std::unique_ptr<tResetNotice>) override { db.ClearPageDatabase(); }

    PageDatabase db;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t count = size / sizeof(tVTXPacket);
    std::vector<tVTXPacket> packets(count);
    if (count) std::memcpy(packets.data(), data, count * sizeof(tVTXPacket));

    DatabaseSink sink;
    PageAssembler assembler(sink);
    // The first half one by one, the rest as a batch, as the capture hands it over.
    const std::size_t half = count / 2;
    for (std::size_t i = 0; i < half; ++i) assembler.ProcessPacket(packets[i]);
    if (const auto batch = tVTXBatch::Create(std::span(packets).subspan(half))) assembler.ProcessBatch(*batch);
    assembler.CloseAllPages();

    std::vector<std::string> pages;
    sink.db.ListPages(pages);
    for (const auto& entry : sink.db.Snapshot())
        if (!sink.db.FindPage(entry.Page->PageNo, entry.Page->SubCode)) __builtin_trap();

    std::string text(reinterpret_cast<const char*>(data) + count * sizeof(tVTXPacket), size % sizeof(tVTXPacket));
    if (text.empty()) text = "E";
    // Every hit lies behind the one before; the first few tell whether the
    // search moves on (each next hit renders its page again, which is slow).
    tVTXSearchRec rec;
    std::pair<std::string, int> last;
    int hits = 0;
    for (bool found = sink.db.SearchFirst(text, rec); found && hits < 64; found = sink.db.SearchNext(rec), ++hits) {
        if (rec.FoundRow < 0 || rec.FoundRow >= kRowCount) __builtin_trap();
        std::pair<std::string, int> at{rec.EntryKey, rec.TextPos};
        if (hits && !(last < at)) __builtin_trap();
        last = std::move(at);
    }
    return 0;
}
