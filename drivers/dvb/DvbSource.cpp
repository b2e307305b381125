#include "drivers/dvb/DvbSource.h"

#include <unistd.h>

#include <cerrno>

#include "platform/InputFile.h"

namespace orv {

namespace {

constexpr std::int64_t kWrap33 = std::int64_t{1} << 33;
constexpr std::int64_t kMaxStepUs = 5'000'000;  // a larger jump of the clock is a cut, not a pause
constexpr std::int64_t kUntimedStepUs = 625;    // packets without a time come at 1600 a second
constexpr std::int64_t kLoopGapUs = 40'000;     // between the end of a recording and its start
constexpr std::size_t kReadChunk = 256 * 1024;
constexpr std::size_t kReadAhead = 8000;        // packets decoded ahead of the clock, at most
constexpr std::size_t kMaxReadsPerCall = 64;    // bounds the work of one call on a stream without teletext
constexpr std::size_t kOpenProbeBytes = 64 * 1024 * 1024;

}  // namespace

void TeletextQueueSource::Queue(const std::vector<TimedPacket>& packets, bool wrapFirst) {
    bool wrap = wrapFirst;
    for (const TimedPacket& p : packets) {
        if (p.Time < 0 || lastTime_ < 0) {
            clockUs_ += p.Time < 0 ? kUntimedStepUs : 0;
        } else {
            const std::int64_t step = ((p.Time - lastTime_) % kWrap33 + kWrap33) % kWrap33 * 1000 / 90;
            if (step <= kMaxStepUs) clockUs_ += step;
        }
        if (p.Time >= 0) lastTime_ = p.Time;
        Entry& entry = queue_.emplace_back();
        entry.Packet = p.Packet;
        entry.DueUs = clockUs_;
        entry.Wrap = std::exchange(wrap, false);
        entry.Change = p.Stream != stream_;
        stream_ = p.Stream;
    }
}

std::size_t TeletextQueueSource::Next(std::span<tVTXPacket> packets, bool& wrapped) {
    wrapped = false;
    std::size_t done = 0;
    while (done < packets.size() && !queue_.empty()) {
        Entry& front = queue_.front();
        if (front.Wrap || front.Change) {
            // A read ends where the recording starts over or another service
            // begins; the next read goes on from there.
            wrapped = front.Wrap;
            changeTaken_ = changeTaken_ || front.Change;
            front.Wrap = front.Change = false;
            break;
        }
        packets[done++] = front.Packet;
        queue_.pop_front();
    }
    return done;
}

bool TeletextQueueSource::TakeStreamChange() { return std::exchange(changeTaken_, false); }

DvbRecording::DvbRecording(UniqueFd file, TsChoice choice)
    : file_(std::move(file)), reader_(std::move(choice)), buffer_(kReadChunk) {}

std::unique_ptr<DvbRecording> DvbRecording::Open(const std::string& path, const TsChoice& choice,
                                                 std::string& error) {
    // Without blocking: a FIFO or a device under this name must not hang the caller.
    UniqueFd fd = OpenInputFile(path, error);
    if (!fd) return nullptr;
    std::unique_ptr<DvbRecording> recording(new DvbRecording(std::move(fd), choice));
    // It must be a transport stream with teletext that the choice finds.
    std::size_t probed = 0;
    while (recording->queue_.empty() && probed < kOpenProbeBytes) {
        const off_t before = ::lseek(recording->file_.Get(), 0, SEEK_CUR);
        if (!recording->ReadMore()) {
            error = "cannot read " + path;
            return nullptr;
        }
        const off_t after = ::lseek(recording->file_.Get(), 0, SEEK_CUR);
        if (after <= before) break;  // started over: the whole file was read
        probed += static_cast<std::size_t>(after - before);
    }
    if (recording->queue_.empty()) {
        error = recording->reader_.Counters().Packets == 0 ? path + " is not an MPEG transport stream"
                                                            : "no teletext in " + path;
        return nullptr;
    }
    return recording;
}

bool DvbRecording::ReadMore() {
    ssize_t got;
    do got = ::read(file_.Get(), buffer_.data(), buffer_.size());
    while (got < 0 && errno == EINTR);
    if (got < 0) return false;
    if (got == 0) {
        // The end: finish what is open, then play it again from the start.
        reader_.Finish(decoded_);
        Queue(decoded_, false);
        decoded_.clear();
        if (::lseek(file_.Get(), 0, SEEK_SET) != 0) return false;
        reader_.Restart();
        lastTime_ = -1;
        clockUs_ += kLoopGapUs;
        wrapNext_ = true;
        return true;
    }
    reader_.Feed(std::span(buffer_).first(static_cast<std::size_t>(got)), decoded_);
    if (!decoded_.empty()) {
        Queue(decoded_, std::exchange(wrapNext_, false));
        decoded_.clear();
    }
    return true;
}

void DvbRecording::Start() {
    // The first packet waiting is due at the start; the rest follow the stream's clock.
    anchored_ = !queue_.empty();
    if (anchored_) anchorUs_ = queue_.front().DueUs;
}

std::optional<std::uint64_t> DvbRecording::Waiting(std::chrono::microseconds sinceStart) {
    const std::int64_t now = sinceStart.count();
    // Decode until a packet beyond now is queued, within bounds.
    for (std::size_t reads = 0; reads < kMaxReadsPerCall && queue_.size() < kReadAhead; ++reads) {
        if (!queue_.empty() && (!anchored_ || queue_.back().DueUs - anchorUs_ > now)) break;
        if (!ReadMore()) break;
    }
    if (queue_.empty()) return 0;
    if (!anchored_) {
        anchorUs_ = queue_.front().DueUs - now;
        anchored_ = true;
    }
    std::uint64_t due = 0;
    for (const Entry& entry : queue_) {
        if (entry.DueUs - anchorUs_ > now) break;
        ++due;
    }
    return due;
}

}  // namespace orv
