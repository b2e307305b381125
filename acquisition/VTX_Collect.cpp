#include "acquisition/VTX_Collect.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <new>
#include <optional>

#include "acquisition/PageAssembler.h"

namespace orv {

using namespace std::chrono_literals;

namespace {

// How long StopCollector waits for a capture thread whose read hangs in the
// source before it lets the thread go; it then exits on its own once the read
// returns, touching nothing shared.
constexpr auto kCaptureStopWait = 150ms;
constexpr auto kAssemblyWait = 100ms;

PageAssembler::Time AssemblyClock() {
    return std::chrono::duration_cast<PageAssembler::Time>(std::chrono::steady_clock::now().time_since_epoch());
}

// Posts to the display queue, waiting for room while the dispatcher is
// behind; a stop of the assembly ends the wait and drops the record, and so
// does a discard since the batch being assembled was taken.
class DisplayQueueSink : public DisplaySink {
public:
    DisplayQueueSink(DisplayQueue& queue, std::stop_token stop, const std::atomic<std::uint64_t>& epoch)
        : queue_(queue), stop_(std::move(stop)), epoch_(epoch) {}
    std::uint64_t BatchEpoch = 0;
    void PostPage(PagePtr page) override { Post(std::move(page)); }
    void PostStationName(std::unique_ptr<tStationName> name) override { Post(std::move(name)); }
    void PostReset(std::unique_ptr<tResetNotice> notice) override { Post(std::move(notice)); }

private:
    void Post(DisplayRecord record) {
        if (epoch_.load() != BatchEpoch) return;
        queue_.Append(std::move(record), [this] { return stop_.stop_requested(); });
    }
    DisplayQueue& queue_;
    std::stop_token stop_;
    const std::atomic<std::uint64_t>& epoch_;
};

}  // namespace

int CaptureDllPollInterval(int fieldRate) {
    if (fieldRate <= 0) fieldRate = 50;
    const long double interval = 500.0L / (fieldRate / 2.0L * 32.0L) * 1000.0L * 0.2L;
    return static_cast<int>(interval);  // toward zero
}

int ShortenedPollInterval(int interval) {
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    return static_cast<int>(std::nearbyint(interval * 0.9));
}

bool CaptureSources::StartCapture() {
    if (useCaptureDll_) {
        PollInterval = CaptureDllPollInterval(FieldRate);
        if (dll_.OpenDllCapture()) return true;
        dll_.FreeCaptureDll();
        useCaptureDll_ = false;  // until the program ends
    }
    PollInterval = 1;
    std::uint32_t queryAnswer = 0;
    return vbi_.StartVbiCapture(queryAnswer) == kVbiStarted;
}

void CaptureSources::StopCapture() {
    if (useCaptureDll_)
        dll_.CloseDllCapture();
    else
        vbi_.StopVbiCapture();
}

int CaptureSources::ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) {
    if (!useCaptureDll_) return vbi_.ReadVbiPackets(status, packets);
    const int count = dll_.ReadDllPackets(status, packets);
    TakeTeletextEntries();
    return count;
}

// Capture thread. A DVB library tells the descriptor of the service it
// decodes, which may change with the service; others tell nothing.
void CaptureSources::TakeTeletextEntries() {
    if (!subtitles_) return;
    auto entries = dll_.TeletextEntries();
    if (entries && *entries != subtitles_->Descriptor()) subtitles_->SetDescriptor(std::move(*entries));
}

// The capture thread's own state, shared with it so that a thread let go by
// StopCollector never refers to anything freed.
struct Collector::CaptureThread {
    std::atomic<bool> Stop{false};
    std::atomic<bool> Finished{false};
    std::mutex Mutex;
    std::condition_variable Wake;
    std::thread Thread;

    static void Run(std::shared_ptr<CaptureThread> self, std::shared_ptr<CaptureSource> source,
                    std::shared_ptr<CaptureQueue> queue, std::shared_ptr<std::atomic<bool>> paused) {
        std::vector<tVTXPacket> packets;
        while (!self->Stop) {
            std::uint32_t status = 0;
            int count = 0;
            try {
                count = source->ReadPackets(status, packets);
            } catch (const std::bad_alloc&) {
                // No memory for what was read: it is lost, as with a failed read.
            }
            if (self->Stop) break;  // queue nothing after the stop
            if (!*paused) {
                // A full queue holds this thread (the source then keeps, or
                // drops, what comes meanwhile) until the assembly makes room.
                const auto stopped = [&] { return self->Stop.load(); };
                if (count > 0) {
                    try {
                        queue->Append(tVTXBatch::Create(std::span(packets).first(static_cast<std::size_t>(count))),
                                      stopped);
                    } catch (const std::bad_alloc&) {
                        // The packets are lost; the reset marker may still go.
                    }
                }
                if (status & kStatusReset) {
                    try {
                        queue->Append(tVTXBatch::CreateReset(), stopped);
                    } catch (const std::bad_alloc&) {
                    }
                }
            }
            if (status & kStatusFilling) source->PollInterval = ShortenedPollInterval(source->PollInterval);
            if (status & kStatusMoreWaiting) continue;
            std::unique_lock lock(self->Mutex);
            self->Wake.wait_for(lock, std::chrono::milliseconds(source->PollInterval.load()),
                                [&] { return self->Stop.load(); });
        }
        {
            std::lock_guard guard(self->Mutex);
            self->Finished = true;
        }
        self->Wake.notify_all();
    }
};

Collector::Collector(std::shared_ptr<CaptureSource> source) : source_(std::move(source)) {}

Collector::~Collector() { StopCollector(); }

bool Collector::StartCollector() {
    *paused_ = false;
    if (capture_) return false;
    captureQueue_ = std::make_shared<CaptureQueue>(kCaptureQueueCapacity);
    displayQueue_ = std::make_shared<DisplayQueue>(kDisplayQueueCapacity);

    capture_ = std::make_shared<CaptureThread>();
    capture_->Thread = std::thread(&CaptureThread::Run, capture_, source_, captureQueue_, paused_);

    assembly_ = std::jthread([batches = captureQueue_, display = displayQueue_, epoch = epoch_,
                              epochNow = epoch_->load()](std::stop_token stop) {
        DisplayQueueSink sink(*display, stop, *epoch);
        std::optional<PageAssembler> assembler;
        sink.BatchEpoch = epochNow;
        while (!stop.stop_requested()) {
            const bool ready = batches->Ready().Wait(kAssemblyWait);
            // Subtitle pages close once their magazine is quiet, batch or not.
            if (assembler) {
                try {
                    assembler->Tick(AssemblyClock());
                } catch (const std::bad_alloc&) {
                }
            }
            if (!ready) continue;
            batches->Ready().Reset();
            while (auto batch = batches->TakeFirst()) {
                // Out of memory: what was being assembled is lost, and the
                // assembly goes on with the next batch (its records made
                // once there is memory for them).
                try {
                    if (!assembler) {
                        assembler.emplace(sink);
                        assembler->Tick(AssemblyClock());
                    }
                    if (const std::uint64_t now = epoch->load(); now != sink.BatchEpoch) {
                        // Captured before the discard: of no use any more.
                        sink.BatchEpoch = now;
                        batches->Clear();
                        assembler->Reset();
                        break;
                    }
                    assembler->ProcessBatch(**batch);
                } catch (const std::bad_alloc&) {
                }
            }
        }
    });
    return true;
}

bool Collector::StopCollector() {
    if (capture_) {
        {
            std::lock_guard guard(capture_->Mutex);
            capture_->Stop = true;
        }
        capture_->Wake.notify_all();
    }
    source_->StopCapture();
    if (capture_) {
        std::unique_lock lock(capture_->Mutex);
        const bool finished = capture_->Wake.wait_for(lock, kCaptureStopWait, [this] { return capture_->Finished.load(); });
        lock.unlock();
        if (finished)
            capture_->Thread.join();
        else
            capture_->Thread.detach();  // its read hangs in the source; it ends by itself
        capture_.reset();
    }
    if (assembly_.joinable()) {
        assembly_.request_stop();
        if (captureQueue_) captureQueue_->Ready().Set();  // wake it now rather than at its next time-out
        assembly_.join();
    }
    if (captureQueue_) captureQueue_->Clear();
    if (displayQueue_) displayQueue_->Clear();
    captureQueue_.reset();
    displayQueue_.reset();
    return true;
}

}  // namespace orv
