#include "drivers/replay/PacedReplay.h"

#include <algorithm>
#include <vector>

#include "acquisition/OrvTTCapAbi.h"

namespace orv {

PacedReplay::PacedReplay(std::unique_ptr<PacketSource> source, Options options, Clock clock)
    : source_(std::move(source)), options_(options), clock_(std::move(clock)) {}

void PacedReplay::Start() {
    started_ = true;
    start_ = clock_();
    consumed_ = 0;
    source_->Start();
}

void PacedReplay::Stop() { started_ = false; }

void PacedReplay::Flush() { Skip(Due()); }

std::uint64_t PacedReplay::Due() const {
    if (!started_) return 0;
    const auto sinceStart = std::chrono::duration_cast<std::chrono::microseconds>(clock_() - start_);
    if (const auto waiting = source_->Waiting(sinceStart)) return *waiting;
    const auto elapsed = sinceStart.count();
    const auto produced =
        static_cast<std::uint64_t>(std::max<std::int64_t>(elapsed, 0)) * options_.PacketsPerSecond / 1'000'000;
    return produced > consumed_ ? produced - consumed_ : 0;
}

void PacedReplay::Skip(std::uint64_t count) {
    std::vector<tVTXPacket> scratch(static_cast<std::size_t>(std::min<std::uint64_t>(count, 512)));
    while (count > 0) {
        bool wrapped = false;
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, scratch.size()));
        const std::size_t got = source_->Next(std::span(scratch).first(chunk), wrapped);
        consumed_ += chunk;  // due packets are gone whether the source had them or not
        count -= chunk;
        if (got == 0 && !wrapped) break;
    }
}

std::size_t PacedReplay::Read(std::span<tVTXPacket> packets, std::uint32_t& status) {
    status = 0;
    if (!started_ || packets.empty()) return 0;

    std::uint64_t waiting;
    if (options_.PacketsPerSecond <= 0) {
        waiting = packets.size() + 1;  // unpaced: always more than a read's worth
    } else {
        waiting = Due();
        if (waiting > options_.Capacity) {
            Skip(waiting - options_.Capacity);
            waiting = options_.Capacity;
        }
        if (waiting > options_.Capacity / 2) status |= kStatusFilling;
    }
    if (waiting > packets.size()) status |= kStatusMoreWaiting;

    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(waiting, packets.size()));
    bool wrapped = false;
    const std::size_t got = source_->Next(packets.first(want), wrapped);
    const bool changed = source_->TakeStreamChange();
    if (changed) status |= kStatusReset;  // the pages so far belong to another service
    if (wrapped || changed) {
        // The read ends where the recording starts over. A loop of the same
        // recording is no change of source: no reset, so the viewer keeps
        // its pages.
        consumed_ += got;
    } else {
        // A source that had fewer than were due (an empty recording) has
        // nothing waiting either: the due packets simply never came.
        consumed_ += want;
        if (got < want) status &= ~static_cast<std::uint32_t>(kStatusMoreWaiting | kStatusFilling);
    }
    return got;
}

}  // namespace orv
