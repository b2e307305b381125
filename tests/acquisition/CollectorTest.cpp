#include "acquisition/VTX_Collect.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <thread>

#include "drivers/broadcast/PacketEncoder.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

// A source that answers reads from a script, then with nothing.
class ScriptedSource : public CaptureSource {
public:
    struct Read {
        std::vector<tVTXPacket> Packets;
        std::uint32_t Status = 0;
    };

    int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) override {
        std::unique_lock lock(mutex_);
        readHappened_.wait(lock, [&] { return !gated_; });
        ++reads_;
        readHappened_.notify_all();
        if (script_.empty()) {
            status = 0;
            packets.clear();
            return 0;
        }
        status = script_.front().Status;
        packets = script_.front().Packets;
        script_.pop_front();
        return static_cast<int>(packets.size());
    }
    void StopCapture() override { ++stops_; }

    void Add(Read read) {
        std::lock_guard guard(mutex_);
        script_.push_back(std::move(read));
    }
    // While gated, reads wait: the test sets things up before the first one.
    void Gate() {
        std::lock_guard guard(mutex_);
        gated_ = true;
    }
    void Open() {
        {
            std::lock_guard guard(mutex_);
            gated_ = false;
        }
        readHappened_.notify_all();
    }
    int Reads() {
        std::lock_guard guard(mutex_);
        return reads_;
    }
    bool WaitForReads(int count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return readHappened_.wait_for(lock, timeout, [&] { return reads_ >= count; });
    }
    std::atomic<int> stops_{0};

private:
    std::mutex mutex_;
    std::condition_variable readHappened_;
    std::deque<Read> script_;
    int reads_ = 0;
    bool gated_ = false;
};

std::vector<tVTXPacket> OnePage(std::uint16_t pageNo) {
    return {EncodeHeader(pageNo, {}, "H"), EncodeRow(pageNo >> 8, 1, "row"), EncodeHeader(pageNo + 1, {}, "H")};
}

// Everything the display queue receives within the time, as record types.
std::vector<int> Drain(DisplayQueue& queue, std::chrono::milliseconds time) {
    std::vector<int> types;
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        while (auto record = queue.TakeFirst()) types.push_back(static_cast<int>(record->index()) + 1);
        std::this_thread::sleep_for(5ms);
    }
    return types;
}

TEST(PollInterval, FormulaAndShortening) {
    EXPECT_EQ(CaptureDllPollInterval(50), 125);
    EXPECT_EQ(CaptureDllPollInterval(60), 104);
    EXPECT_EQ(CaptureDllPollInterval(0), 125);
    const std::vector<int> expected = {112, 101, 91, 82, 74, 67, 60, 54, 49, 44, 40, 36, 32, 29, 26, 23,
                                       21,  19,  17, 15, 14, 13, 12, 11, 10, 9,  8,  7,  6,  5,  4,  4};
    int interval = 125;
    for (const int want : expected) EXPECT_EQ(interval = ShortenedPollInterval(interval), want);
    EXPECT_EQ(ShortenedPollInterval(1), 1);  // the VBI device's interval stays at 1
}

TEST(Collector, BatchesThenResetMarkerInOrder) {
    auto source = std::make_shared<ScriptedSource>();
    source->PollInterval = 5;
    source->Add({OnePage(0x100), kStatusReset});
    Collector collector(source);
    ASSERT_TRUE(collector.StartCollector());
    const auto types = Drain(*collector.Display(), 300ms);
    EXPECT_EQ(types, (std::vector<int>{kRecPage, kRecReset}));
    EXPECT_TRUE(collector.StopCollector());
    EXPECT_EQ(source->stops_, 1);
    EXPECT_FALSE(collector.Display());
}

// A subtitle page that no header follows is passed on once its magazine
// has been quiet a while, by the assembly thread's own clock; a plain page
// still waits for the next header of its magazine.
TEST(Collector, AQuietSubtitlePageIsPassedOnWithoutTheNextHeader) {
    auto source = std::make_shared<ScriptedSource>();
    source->PollInterval = 5;
    HeaderControl subtitle;
    subtitle.Subtitle = true;
    source->Add({{EncodeHeader(0x100, {}, "H"), EncodeRow(1, 1, "plain"), EncodeHeader(0x888, subtitle, ""),
                  EncodeRow(8, 22, "caption")}});
    Collector collector(source);
    collector.StartCollector();
    std::optional<DisplayRecord> record;
    for (const auto end = std::chrono::steady_clock::now() + 5s; !record && std::chrono::steady_clock::now() < end;)
        if (!(record = collector.Display()->TakeFirst())) std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(record);
    ASSERT_TRUE(std::holds_alternative<PagePtr>(*record));
    EXPECT_EQ(std::get<PagePtr>(*record)->PageNo, 0x888);
    EXPECT_TRUE(Drain(*collector.Display(), 300ms).empty());
    collector.StopCollector();
}

TEST(Collector, MoreWaitingSkipsThePauseAndFillingShortensIt) {
    auto source = std::make_shared<ScriptedSource>();
    source->PollInterval = 10'000;  // only status bit 1 can bring the next read soon
    source->Add({{}, kStatusMoreWaiting});
    source->Add({{}, kStatusMoreWaiting | kStatusFilling});
    source->Add({{}, kStatusFilling});
    Collector collector(source);
    collector.StartCollector();
    EXPECT_TRUE(source->WaitForReads(3, 500ms));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(source->Reads(), 3);  // now in the (shortened) pause
    EXPECT_EQ(source->PollInterval, 8100);
    collector.StopCollector();
}

TEST(Collector, PauseQueuesNothingYetStatusStillActs) {
    auto source = std::make_shared<ScriptedSource>();
    source->PollInterval = 10'000;
    source->Gate();
    source->Add({OnePage(0x100), kStatusMoreWaiting | kStatusFilling | kStatusReset});
    source->Add({OnePage(0x200), 0});
    Collector collector(source);
    collector.SetCapturePaused(true);
    ASSERT_TRUE(collector.StartCollector());
    EXPECT_FALSE(collector.CapturePaused());  // a start clears the pause
    collector.SetCapturePaused(true);
    source->Open();

    EXPECT_TRUE(source->WaitForReads(2, 500ms));  // status bit 1 still skipped the pause
    EXPECT_TRUE(Drain(*collector.Display(), 150ms).empty());
    EXPECT_EQ(source->PollInterval, 9000);  // and bit 2 still shortened it

    EXPECT_FALSE(collector.StartCollector());  // already running: only the pause changes
    EXPECT_FALSE(collector.CapturePaused());
    collector.StopCollector();
}

TEST(Collector, StopReturnsPromptlyWhileAReadHangs) {
    // A source whose read blocks until released.
    class HangingSource : public CaptureSource {
    public:
        int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) override {
            status = 0;
            packets.clear();
            std::unique_lock lock(mutex);
            inRead = true;
            changed.notify_all();
            changed.wait(lock, [&] { return released; });
            returned = true;
            return 0;
        }
        void StopCapture() override {}
        std::mutex mutex;
        std::condition_variable changed;
        bool inRead = false, released = false;
        std::atomic<bool> returned{false};
    };
    auto source = std::make_shared<HangingSource>();
    {
        Collector collector(source);
        collector.StartCollector();
        {
            std::unique_lock lock(source->mutex);
            ASSERT_TRUE(source->changed.wait_for(lock, 1s, [&] { return source->inRead; }));
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(collector.StopCollector());
        EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
    }
    // The thread that was let go ends by itself once the read returns.
    {
        std::lock_guard guard(source->mutex);
        source->released = true;
    }
    source->changed.notify_all();
    for (int i = 0; i < 200 && source.use_count() > 1; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(source->returned);
    EXPECT_EQ(source.use_count(), 1);  // it has let go of everything it held
}

// A source with no pace: a full read of new pages every time, more waiting.
class FloodSource : public CaptureSource {
public:
    int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) override {
        ++reads_;
        packets.clear();
        for (int i = 0; i < 160; ++i) {
            const auto pageNo = static_cast<std::uint16_t>(0x100 + (next_++ % 0x700));
            packets.push_back(EncodeHeader(pageNo, {}, "H"));
            packets.push_back(EncodeRow(pageNo >> 8, 1, "row"));
        }
        status = kStatusMoreWaiting;
        return static_cast<int>(packets.size());
    }
    void StopCapture() override {}
    std::atomic<int> reads_{0};

private:
    int next_ = 0;
};

TEST(Collector, ASourceFasterThanTheConsumerWaitsForRoomAndStopsPromptly) {
    auto source = std::make_shared<FloodSource>();
    Collector collector(source);
    ASSERT_TRUE(collector.StartCollector());
    std::this_thread::sleep_for(300ms);
    // Nobody takes from the display queue: both queues fill, then the
    // threads wait, and the source is no longer read.
    const auto display = collector.Display();
    EXPECT_EQ(display->Size(), kDisplayQueueCapacity);
    const int reads = source->reads_;
    EXPECT_LE(reads, static_cast<int>(kCaptureQueueCapacity + kDisplayQueueCapacity / 160 + 4));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(source->reads_, reads);
    const auto start = std::chrono::steady_clock::now();
    collector.StopCollector();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
}

}  // namespace
}  // namespace orv
