// Capture and page assembly threads, and the capture sources they read.
//
// CaptureSources picks the source once per start: the capture library first,
// the VBI device when the library cannot be used (and from then on until the
// program ends). Collector owns the two queues and the two worker threads:
// TVTXCollect polls the source and queues packet batches, TPageCollect
// assembles pages from them and posts the results to the display queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "acquisition/ORVTTApi.h"
#include "acquisition/RecordQueue.h"
#include "acquisition/VbiDevice.h"

namespace orv {

// What the capture thread reads from.
class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    // One read: the packets and the status word; none and 0 when it failed.
    virtual int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) = 0;
    virtual void StopCapture() = 0;

    // Pause between reads, milliseconds; set by a start, shortened by the
    // capture thread when the source fills faster than it is read.
    std::atomic<int> PollInterval{125};
};

// The pause between reads of the capture library: a fifth of the time 500
// packets take to arrive at FieldRate / 2 x 32 packets a second (125 ms at 50).
int CaptureDllPollInterval(int fieldRate);
// Status bit 2: the interval times 0.9, to the nearest integer, halves to even.
int ShortenedPollInterval(int interval);

// The two sources the viewer knows. Owned by the capture thread's reference
// too, so a thread whose read hangs never refers to a freed source.
class CaptureSources : public CaptureSource {
public:
    CaptureSources(const Registry& registry, DeviceIo& devices) : dll_(registry), vbi_(devices) {}

    // The capture library if it opens, else the VBI device. False when neither starts.
    bool StartCapture();
    void StopCapture() override;
    int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) override;

    bool UseCaptureDll() const { return useCaptureDll_; }
    // Where the capture library's teletext descriptor entries go (set before
    // the capture thread starts); they are asked for after each read.
    void SetSubtitlePages(std::shared_ptr<SubtitlePages> subtitles) { subtitles_ = std::move(subtitles); }
    CaptureDll& Dll() { return dll_; }
    VbiDevice& Vbi() { return vbi_; }
    int FieldRate = 50;

private:
    void TakeTeletextEntries();

    CaptureDll dll_;
    VbiDevice vbi_;
    std::shared_ptr<SubtitlePages> subtitles_;
    std::atomic<bool> useCaptureDll_{true};
};

class Collector {
public:
    explicit Collector(std::shared_ptr<CaptureSource> source);
    ~Collector();

    // Clears the pause; creates the queues and both threads. False (changing
    // nothing but the pause) when they already run.
    bool StartCollector();
    // Stops the capture thread (without waiting long for a read that hangs in
    // the source), stops the source, stops the assembly thread, frees what is
    // still queued. Always true.
    bool StopCollector();

    bool Running() const { return capture_ != nullptr; }

    // While paused nothing is queued and the dispatcher drops what reaches it.
    void SetCapturePaused(bool paused) { paused_->store(paused); }
    bool CapturePaused() const { return paused_->load(); }
    std::shared_ptr<const std::atomic<bool>> PausedFlag() const { return paused_; }

    // The tuner moved to another channel: what was captured before now
    // belongs to the old one. The batches still queued, the pages under
    // construction and what the dispatcher has not stored yet are dropped
    // (the dispatcher watches the same count).
    void DiscardCaptured() { epoch_->fetch_add(1); }
    std::shared_ptr<const std::atomic<std::uint64_t>> Epoch() const { return epoch_; }

    // The display queue while the threads run, else none.
    std::shared_ptr<DisplayQueue> Display() const { return displayQueue_; }

private:
    struct CaptureThread;

    std::shared_ptr<CaptureSource> source_;
    std::shared_ptr<std::atomic<bool>> paused_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<std::uint64_t>> epoch_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    std::shared_ptr<CaptureQueue> captureQueue_;
    std::shared_ptr<DisplayQueue> displayQueue_;
    std::shared_ptr<CaptureThread> capture_;
    std::jthread assembly_;
};

}  // namespace orv
