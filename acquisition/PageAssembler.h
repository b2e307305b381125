// Turns the packet stream into whole pages: one page under construction per
// magazine, closed and posted when the next header of the same magazine
// arrives. The page assembly thread drives it; so does ttxdump, synchronously.
//
// Subtitle (C6) and newsflash (C5) pages are not left waiting for that header,
// which may come seconds later: such a page is also closed once its magazine
// falls quiet, at the end of the first PES packet that brought nothing of it
// (CloseTimedPages, transport streams; broadcasters spread a page over
// several PES packets) or after kQuietClose without a packet of it (Tick,
// other sources), and a header of theirs with C4 set is passed on even
// without rows, as it clears a caption. Every other page is assembled as the
// rule above says.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <span>

#include "acquisition/DisplaySink.h"
#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

class PageAssembler {
public:
    using Time = std::chrono::microseconds;  // on the caller's clock
    static constexpr Time kQuietClose = std::chrono::milliseconds(200);

    explicit PageAssembler(DisplaySink& sink) : sink_(sink) { Reset(); }

    // A capture batch: its packets in order, or one reset notice for the
    // reset marker (the pages under construction are kept).
    void ProcessBatch(const tVTXBatch& batch);
    void ProcessPackets(std::span<const tVTXPacket> packets);
    void ProcessPacket(const tVTXPacket& packet);

    // The end of a recording: every page still under construction is closed
    // and posted, as the next header of its magazine would have done. (A live
    // source has no end; there the next header does it.)
    void CloseAllPages();

    // Empties all magazine slots (the state at thread start).
    void Reset();

    // The time now: the packets processed from here on arrived then. Open
    // subtitle and newsflash pages whose magazine had no packet for
    // kQuietClose are closed.
    void Tick(Time now);
    // The end of a PES packet: the subtitle and newsflash pages open whose
    // magazine had no packet in it are closed.
    void CloseTimedPages();
    // The time of the header of the page last posted (the clock of Tick).
    Time PostedHeaderTime() const { return postedHeaderTime_; }

private:
    // Headers, enhancement packets, packets 29-31.
    [[gnu::noinline]] void OtherStep(const tVTXPacket& packet, int magazine, int number);
    void HeaderStep(const tVTXPacket& packet, int magazine);
    void RowStep(const tVTXPacket& packet, int magazine, int row);
    void EnhancementStep(const tVTXPacket& packet, int magazine, int number);
    void MagazineStep(const tVTXPacket& packet, int magazine);
    PageEnhancements& Pending(int magazine);
    std::shared_ptr<const PageEnhancements> TakeEnhancements(int magazine);
    void StationNameStep(const tVTXPacket& packet);
    void CloseSlot(int magazine);
    bool Timed(int magazine) const;

    DisplaySink& sink_;
    // Index 1..8 = magazine. Rows are kept with the parity rule already
    // applied; the rows not marked in receivedRows_ are filled with spaces when
    // the page is closed. A closed page's record is posted as it is and the
    // slot gets a fresh one, which saves copying every page.
    std::array<std::unique_ptr<tPageImage>, 9> slots_;
    std::array<std::uint32_t, 9> receivedRows_{};  // bit r: row r arrived since the header
    // The enhancement packets of the page under construction (made when the
    // first arrives), and those of each magazine (M/29) with the one record
    // that the magazine's pages without packets of their own all share.
    std::array<std::shared_ptr<PageEnhancements>, 9> pending_;
    std::array<std::shared_ptr<const MagazineEnhancements>, 9> magazine_;
    std::array<std::shared_ptr<const PageEnhancements>, 9> magazineOnly_;
    // Magazines that had a packet (bit m): since the last look, since the
    // last tick and since the last PES end.
    void Collect();
    std::uint32_t heard_ = 0;
    std::uint32_t heardSinceTick_ = 0;
    std::uint32_t heardInPes_ = 0;
    // The clock: when each magazine had its last packet, and when each page
    // under construction began.
    Time now_{0};
    std::array<Time, 9> lastHeard_{};
    std::array<Time, 9> headerTime_{};
    Time postedHeaderTime_{0};
};

}  // namespace orv
