#include "drivers/replay/PacedReplay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "acquisition/OrvTTCapAbi.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

// Numbered packets (the row text counts A, B, C ...); with a length, a
// recording that starts over after that many packets.
class CountingSource : public PacketSource {
public:
    explicit CountingSource(std::size_t length = 0) : length_(length) {}
    std::size_t Next(std::span<tVTXPacket> packets, bool& wrapped) override {
        wrapped = false;
        for (std::size_t done = 0; done < packets.size(); ++done) {
            if (length_ && position_ == length_) {
                position_ = 0;
                wrapped = true;
                return done;
            }
            packets[done] = EncodeRow(1, 1, std::string(1, static_cast<char>('A' + position_ % 26)));
            ++position_;
            ++total_;
        }
        return packets.size();
    }
    std::size_t total_ = 0;

private:
    std::size_t length_;
    std::size_t position_ = 0;
};

struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    PacedReplay::Clock Get() {
        return [this] { return now; };
    }
};

TEST(PacedReplay, DeliversWhatIsDueWithTheStatusBits) {
    FakeClock clock;
    auto source = std::make_unique<CountingSource>();
    CountingSource& counting = *source;
    PacedReplay replay(std::move(source), {1600, 4000}, clock.Get());
    std::vector<tVTXPacket> buffer(500);
    std::uint32_t status = 99;

    EXPECT_EQ(replay.Read(buffer, status), 0u);  // not started
    EXPECT_EQ(status, 0u);

    replay.Start();
    clock.now += 125ms;
    EXPECT_EQ(replay.Read(buffer, status), 200u);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(replay.Read(buffer, status), 0u);  // nothing new is due

    clock.now += 1s;  // 1600 waiting: a full read, more to come
    EXPECT_EQ(replay.Read(buffer, status), 500u);
    EXPECT_EQ(status, kStatusMoreWaiting);

    clock.now += 2s;  // 4300 waiting beyond a capacity of 4000: the oldest are lost
    EXPECT_EQ(replay.Read(buffer, status), 500u);
    EXPECT_EQ(status, kStatusMoreWaiting | kStatusFilling);
    EXPECT_EQ(counting.total_, 200u + 500 + 300 + 500);  // 300 dropped

    replay.Flush();
    EXPECT_EQ(replay.Read(buffer, status), 0u);
    clock.now += 1s;
    replay.Stop();
    EXPECT_EQ(replay.Read(buffer, status), 0u);
}

TEST(PacedReplay, RecordingWrapEndsTheReadWithoutAReset) {
    FakeClock clock;
    PacedReplay replay(std::make_unique<CountingSource>(300), {1600, 4000}, clock.Get());
    replay.Start();
    clock.now += 1s;
    std::vector<tVTXPacket> buffer(500);
    std::uint32_t status = 0;
    EXPECT_EQ(replay.Read(buffer, status), 300u);  // up to the end of the recording
    EXPECT_EQ(status, kStatusMoreWaiting);  // the same recording again: the pages stay
    EXPECT_EQ(replay.Read(buffer, status), 300u);  // from the start again
    EXPECT_EQ(buffer[0][2], EncodeRow(1, 1, "A")[2]);
}

TEST(PacedReplay, UnpacedDeliversFullReads) {
    PacedReplay replay(std::make_unique<CountingSource>(), {0, 4000});
    replay.Start();
    std::vector<tVTXPacket> buffer(500);
    std::uint32_t status = 0;
    EXPECT_EQ(replay.Read(buffer, status), 500u);
    EXPECT_EQ(status, kStatusMoreWaiting);
}

TEST(PacketSource, RecordingsLoopAndBadSourcesAreRefused) {
    const auto path = std::filesystem::temp_directory_path() / "orvtt_loop.t42";
    {
        std::ofstream file(path, std::ios::binary);
        for (char c : std::string("XYZ")) {
            const tVTXPacket p = EncodeRow(1, 1, std::string(1, c));
            file.write(reinterpret_cast<const char*>(p.Bytes.data()), 42);
        }
        file << "cut";  // a cut last packet is dropped
    }
    std::string error;
    auto source = OpenPacketSource(path.string(), 0, error);
    ASSERT_TRUE(source) << error;
    std::vector<tVTXPacket> buffer(10);
    bool wrapped = false;
    EXPECT_EQ(source->Next(buffer, wrapped), 3u);
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(source->Next(std::span(buffer).first(2), wrapped), 2u);
    EXPECT_FALSE(wrapped);
    EXPECT_EQ(buffer[0], EncodeRow(1, 1, "X"));

    std::filesystem::resize_file(path, 41);  // not one whole packet: nothing, never a reset
    source = OpenPacketSource(path.string(), 0, error);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->Next(buffer, wrapped), 0u);
    EXPECT_FALSE(wrapped);
    std::filesystem::remove(path);

    EXPECT_FALSE(OpenPacketSource("/nonexistent.t42", 0, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(OpenPacketSource("demo", 1600, error));
    EXPECT_TRUE(OpenPacketSource(ORVTT_DEMO_DIR, 1600, error));
}

}  // namespace
}  // namespace orv
