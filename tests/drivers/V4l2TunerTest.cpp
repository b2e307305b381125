#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "TestRegistry.h"
#include "drivers/tv/V4l2Tuner.h"
#include "drivers/tv/VideoFrame.h"
#include "platform/SharedLibrary.h"
#include "tv/TVDriverAbi.h"

namespace orv {
namespace {

using namespace std::chrono_literals;
using Words = std::vector<std::uint16_t>;

constexpr int kFd = 7;

struct FakeInput {
    const char* Name;
    std::uint32_t Type;
};

// What the fake card is and what was asked of it. The worker only polls and
// reads; everything else happens on the test's thread.
struct Card {
    bool Present = true;
    std::uint32_t TunerCaps = 0;
    std::uint32_t RangeLow = 0, RangeHigh = 0;
    bool TunerFails = false;
    std::vector<v4l2_frequency> Frequencies;
    std::vector<FakeInput> Inputs;
    int CurrentInput = 0;
    std::vector<int> SelectedInputs;
    std::uint32_t DeviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE | V4L2_CAP_TUNER;
    v4l2_pix_format Format{};  // what the card settles on, whatever is asked
    std::vector<v4l2_pix_format> Asked;
    std::vector<std::uint8_t> Picture;  // empty: nothing ever to read
    std::atomic<int> Reads{0};
};

class FakeIoctl final : public V4l2Ioctl {
public:
    explicit FakeIoctl(Card& card) : card_(card) {}

    int Open(const std::string& path) override { return card_.Present && path == "/dev/video7" ? kFd : -1; }
    void Close(int fd) override { EXPECT_EQ(fd, kFd); }
    int Ioctl(int fd, unsigned long request, void* argument) override {
        EXPECT_EQ(fd, kFd);
        return Answer(request, argument) ? 0 : (errno = EINVAL, -1);
    }
    ssize_t Read(int, void* buffer, std::size_t size) override {
        ++card_.Reads;
        const std::size_t n = std::min(size, card_.Picture.size());
        std::memcpy(buffer, card_.Picture.data(), n);
        return static_cast<ssize_t>(n);
    }
    PollResult Poll(int, int timeoutMs) override {
        if (card_.Picture.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
            return PollResult::Timeout;
        }
        std::this_thread::sleep_for(2ms);  // a frame rate, not a spin
        return PollResult::Ready;
    }

private:
    bool Answer(unsigned long request, void* argument) {
        switch (request) {
            case VIDIOC_QUERYCAP: {
                auto& caps = *static_cast<v4l2_capability*>(argument);
                caps.capabilities = card_.DeviceCaps | V4L2_CAP_DEVICE_CAPS;
                caps.device_caps = card_.DeviceCaps;
                return true;
            }
            case VIDIOC_G_TUNER: {
                auto& tuner = *static_cast<v4l2_tuner*>(argument);
                tuner.type = V4L2_TUNER_ANALOG_TV;
                tuner.capability = card_.TunerCaps;
                tuner.rangelow = card_.RangeLow;
                tuner.rangehigh = card_.RangeHigh;
                return !card_.TunerFails && tuner.index == 0;
            }
            case VIDIOC_S_FREQUENCY:
                card_.Frequencies.push_back(*static_cast<v4l2_frequency*>(argument));
                return true;
            case VIDIOC_G_INPUT: *static_cast<int*>(argument) = card_.CurrentInput; return true;
            case VIDIOC_S_INPUT:
                card_.SelectedInputs.push_back(*static_cast<int*>(argument));
                card_.CurrentInput = card_.SelectedInputs.back();
                return true;
            case VIDIOC_ENUMINPUT: {
                auto& input = *static_cast<v4l2_input*>(argument);
                if (input.index >= card_.Inputs.size()) return false;
                const FakeInput& fake = card_.Inputs[input.index];
                std::memcpy(input.name, fake.Name, std::min(std::strlen(fake.Name), sizeof input.name));
                input.type = fake.Type;
                return true;
            }
            case VIDIOC_S_FMT:
            case VIDIOC_G_FMT: {
                auto& format = *static_cast<v4l2_format*>(argument);
                if (request == VIDIOC_S_FMT) card_.Asked.push_back(format.fmt.pix);
                format.fmt.pix = card_.Format;
                return true;
            }
            default: return false;
        }
    }

    Card& card_;
};

V4l2Tuner MakeTuner(Card& card, ChannelPlan plan = ChannelPlan::European()) {
    return V4l2Tuner(std::make_unique<FakeIoctl>(card), V4l2TunerSettings{.Device = "/dev/video7", .Plan = plan});
}

constexpr std::uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

// 4 x 2 YUYV (BT.601 studio range): white, black, red, red / blue, blue, black, black.
std::vector<std::uint8_t> YuyvPicture() {
    return {235, 128, 16, 128, 81, 90, 81, 240,  //
            41, 240, 41, 110, 16, 128, 16, 128};
}

VideoFrame YuyvFrame(std::size_t bytesPerLine) {
    const auto picture = YuyvPicture();
    VideoFrame frame{.Format = VideoPixelFormat::Yuyv, .Width = 4, .Height = 2, .BytesPerLine = bytesPerLine,
                     .Bytes = std::vector<std::uint8_t>(bytesPerLine * 2, 0xEE)};
    std::copy_n(picture.begin(), 8, frame.Bytes.begin());
    std::copy_n(picture.begin() + 8, 8, frame.Bytes.begin() + static_cast<std::ptrdiff_t>(bytesPerLine));
    return frame;
}

TEST(V4l2Tuner, TunesThePlansCarrierInTheTunersUnits) {
    Card card;
    auto tuner = MakeTuner(card);
    EXPECT_EQ(tuner.TuneChannels(Words{0}), (69u << 16) | 2u);
    // 62.5 kHz units: E2 48.25 MHz, E12 224.25 MHz, 21 471.25 MHz, 69 855.25 MHz.
    for (const std::uint16_t channel : {2, 12, 21, 69}) EXPECT_EQ(tuner.SetChannel(Words{0, channel}), 1u) << channel;
    ASSERT_EQ(card.Frequencies.size(), 4u);
    EXPECT_EQ(card.Frequencies[0].frequency, 772u);
    EXPECT_EQ(card.Frequencies[1].frequency, 3588u);
    EXPECT_EQ(card.Frequencies[2].frequency, 7540u);
    EXPECT_EQ(card.Frequencies[3].frequency, 13684u);
    EXPECT_EQ(card.Frequencies[0].type, V4L2_TUNER_ANALOG_TV);

    // Outside the plan, in its gap, a wrong word count, a tuner that fails or
    // cannot reach the carrier: nothing is set.
    for (const std::uint16_t channel : {1, 13, 20, 70}) EXPECT_EQ(tuner.SetChannel(Words{0, channel}), 0u) << channel;
    EXPECT_EQ(tuner.SetChannel(Words{21}), 0u);
    EXPECT_EQ(tuner.SetChannel(Words{0, 0, 21}), 0u);
    EXPECT_EQ(tuner.TuneChannels(Words{}), 0u);
    card.TunerFails = true;
    EXPECT_EQ(tuner.SetChannel(Words{0, 21}), 0u);
    card.TunerFails = false;
    card.RangeLow = 44 * 16;
    card.RangeHigh = 470 * 16;
    EXPECT_EQ(tuner.SetChannel(Words{0, 21}), 0u);
    EXPECT_EQ(tuner.SetChannel(Words{0, 12}), 1u);
    EXPECT_EQ(card.Frequencies.size(), 5u);

    // 62.5 Hz units.
    Card low;
    low.TunerCaps = V4L2_TUNER_CAP_LOW;
    auto lowTuner = MakeTuner(low);
    EXPECT_EQ(lowTuner.SetChannel(Words{0, 21}), 1u);
    ASSERT_EQ(low.Frequencies.size(), 1u);
    EXPECT_EQ(low.Frequencies[0].frequency, 471'250u * 16);
}

TEST(V4l2Tuner, RegistryOverridesTheChannelPlanWithinLimits) {
    test::ScopedRegistry registry;
    registry->WriteString(kV4l2TunerKey, "Device", "/dev/video7");
    registry->WriteInteger(kV4l2TunerKey, "MinChannel", 5);
    registry->WriteInteger(kV4l2TunerKey, "MaxChannel", 30);
    registry->WriteInteger(kV4l2TunerKey, "Channel 15", 140'250);   // fills the gap
    registry->WriteInteger(kV4l2TunerKey, "channel 22", 500'000);   // moves a channel
    registry->WriteInteger(kV4l2TunerKey, "Channel 23", 5);         // not a TV carrier
    registry->WriteInteger(kV4l2TunerKey, "Channel 1000", 100'000); // beyond the channel numbers
    registry->WriteInteger(kV4l2TunerKey, "Channel +7", 100'000);
    registry->WriteString(kV4l2TunerKey, "Channel 24", "500000");   // text, not a DWORD
    const V4l2TunerSettings settings = ReadV4l2TunerSettings(*registry);
    EXPECT_EQ(settings.Device, "/dev/video7");
    EXPECT_EQ(settings.Plan.Min(), 5);
    EXPECT_EQ(settings.Plan.Max(), 30);
    EXPECT_EQ(settings.Plan.FrequencyKHz(15), 140'250u);
    EXPECT_EQ(settings.Plan.FrequencyKHz(22), 500'000u);
    EXPECT_EQ(settings.Plan.FrequencyKHz(23), 487'250u);
    EXPECT_EQ(settings.Plan.FrequencyKHz(24), 495'250u);
    EXPECT_EQ(settings.Plan.FrequencyKHz(7), 189'250u);
    EXPECT_FALSE(settings.Plan.FrequencyKHz(2));  // below the range now
    EXPECT_FALSE(settings.Plan.FrequencyKHz(31));

    Card card;
    auto tuner = V4l2Tuner(std::make_unique<FakeIoctl>(card), settings);
    EXPECT_EQ(tuner.TuneChannels(Words{0}), (30u << 16) | 5u);
    EXPECT_EQ(tuner.SetChannel(Words{0, 15}), 1u);
    ASSERT_EQ(card.Frequencies.size(), 1u);
    EXPECT_EQ(card.Frequencies[0].frequency, 140'250u * 16 / 1000);

    // A range that ends before it begins, or beyond the channel numbers, is not taken.
    registry->WriteInteger(kV4l2TunerKey, "MinChannel", 40);
    EXPECT_EQ(ReadV4l2TunerSettings(*registry).Plan.Min(), 2);
    registry->WriteInteger(kV4l2TunerKey, "MinChannel", 0);
    registry->WriteInteger(kV4l2TunerKey, "MaxChannel", 70'000);
    EXPECT_EQ(ReadV4l2TunerSettings(*registry).Plan.Max(), 69);
    registry->WriteString(kV4l2TunerKey, "Device", "");
    EXPECT_EQ(ReadV4l2TunerSettings(*registry).Device, kDefaultV4l2TunerDevice);
}

TEST(V4l2Tuner, SwitchesToTheFirstInputOfEachKindAndReportsIt) {
    Card card;
    card.Inputs = {{"Television", V4L2_INPUT_TYPE_TUNER},
                   {"Composite1", V4L2_INPUT_TYPE_CAMERA},
                   {"S-Video", V4L2_INPUT_TYPE_CAMERA},
                   {"Composite3", V4L2_INPUT_TYPE_CAMERA},
                   {"S-Video 2", V4L2_INPUT_TYPE_CAMERA}};
    auto tuner = MakeTuner(card);
    const auto set = [&](std::uint32_t value) {
        return tuner.SetProperty(Words{0, kSourceProperty, static_cast<std::uint16_t>(value >> 16),
                                       static_cast<std::uint16_t>(value)});
    };
    EXPECT_EQ(set(2), 1u);
    EXPECT_EQ(tuner.GetProperty(Words{0, kSourceProperty}), 2u);
    EXPECT_EQ(set(0), 1u);
    EXPECT_EQ(tuner.GetProperty(Words{0, kSourceProperty}), 0u);
    EXPECT_EQ(set(1), 1u);
    EXPECT_EQ(tuner.GetProperty(Words{0, kSourceProperty}), 1u);
    EXPECT_EQ(card.SelectedInputs, (std::vector<int>{2, 1, 0}));

    // Other values and properties, and wrong word counts, change nothing.
    EXPECT_EQ(set(3), 0u);
    EXPECT_EQ(set(0x10002), 0u);
    EXPECT_EQ(tuner.SetProperty(Words{0, 11, 0, 2}), 0u);
    EXPECT_EQ(tuner.SetProperty(Words{0, kSourceProperty, 2}), 0u);
    EXPECT_EQ(tuner.GetProperty(Words{0, 11}), 0u);
    EXPECT_EQ(tuner.GetProperty(Words{0}), 0u);
    EXPECT_EQ(card.SelectedInputs.size(), 3u);

    // Names in other spellings; one that fills the field without a zero; no tuner.
    Card other;
    other.Inputs = {{"XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX", V4L2_INPUT_TYPE_CAMERA},
                    {"Camera/SVIDEO", V4L2_INPUT_TYPE_CAMERA}};
    other.CurrentInput = 1;
    auto otherTuner = MakeTuner(other);
    EXPECT_EQ(otherTuner.GetProperty(Words{0, kSourceProperty}), 2u);
    EXPECT_EQ(otherTuner.SetProperty(Words{0, kSourceProperty, 0, 1}), 0u);
    EXPECT_EQ(otherTuner.SetProperty(Words{0, kSourceProperty, 0, 0}), 1u);
    EXPECT_EQ(otherTuner.GetProperty(Words{0, kSourceProperty}), 0u);
    EXPECT_EQ(other.SelectedInputs, (std::vector<int>{0}));
}

TEST(V4l2Tuner, AMissingDeviceAnswersZeroAndIsOpenedOnceItIsThere) {
    Card card;
    card.Present = false;
    card.Picture = YuyvPicture();
    auto tuner = MakeTuner(card);
    EXPECT_EQ(tuner.TuneChannels(Words{0}), (69u << 16) | 2u);
    EXPECT_EQ(tuner.SetChannel(Words{0, 21}), 0u);
    EXPECT_EQ(tuner.GetProperty(Words{0, kSourceProperty}), 0u);
    EXPECT_EQ(tuner.SetProperty(Words{0, kSourceProperty, 0, 1}), 0u);
    EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStart, 0, 0), 0);
    std::uint32_t pixel = 0;
    EXPECT_EQ(tuner.DrawFrame(&pixel, 1, 1, 1), 0);
    EXPECT_TRUE(card.Frequencies.empty());

    card.Present = true;
    EXPECT_EQ(tuner.SetChannel(Words{0, 21}), 1u);
}

TEST(V4l2Tuner, DrawsFramesScaledWithinTheStride) {
    // Twice the size, into rows of 10 pixels: the last two stay as they were.
    const VideoFrame frame = YuyvFrame(12);
    using Row = std::vector<std::uint32_t>;
    constexpr std::uint32_t kUntouched = 0x12345678;
    Row pixels(10 * 4, kUntouched);
    ASSERT_TRUE(DrawVideoFrame(frame, pixels.data(), 8, 4, 10));
    const Row top = {kWhite, kWhite, kBlack, kBlack, kRed, kRed, kRed, kRed, kUntouched, kUntouched};
    const Row bottom = {kBlue, kBlue, kBlue, kBlue, kBlack, kBlack, kBlack, kBlack, kUntouched, kUntouched};
    EXPECT_EQ(std::vector(pixels.begin(), pixels.begin() + 10), top);
    EXPECT_EQ(std::vector(pixels.begin() + 10, pixels.begin() + 20), top);
    EXPECT_EQ(std::vector(pixels.begin() + 20, pixels.begin() + 30), bottom);
    EXPECT_EQ(std::vector(pixels.begin() + 30, pixels.end()), bottom);

    // Halved: every other pixel of the top row.
    std::uint32_t half[2] = {};
    ASSERT_TRUE(DrawVideoFrame(frame, half, 2, 1, 2));
    EXPECT_EQ(half[0], kWhite);
    EXPECT_EQ(half[1], kRed);

    VideoFrame rgb{
        .Format = VideoPixelFormat::Rgb24, .Width = 1, .Height = 1, .BytesPerLine = 3, .Bytes = {0x10, 0x20, 0x30}};
    std::uint32_t one = 0;
    ASSERT_TRUE(DrawVideoFrame(rgb, &one, 1, 1, 1));
    EXPECT_EQ(one, 0xFF102030u);
    rgb.Format = VideoPixelFormat::Bgr24;
    ASSERT_TRUE(DrawVideoFrame(rgb, &one, 1, 1, 1));
    EXPECT_EQ(one, 0xFF302010u);

    // Sizes that do not add up draw nothing.
    VideoFrame shortFrame = YuyvFrame(8);
    shortFrame.Bytes.resize(15);
    one = 0;
    EXPECT_FALSE(DrawVideoFrame(shortFrame, &one, 1, 1, 1));
    shortFrame = YuyvFrame(12);
    shortFrame.BytesPerLine = 6;  // rows narrower than 4 YUYV pixels
    EXPECT_FALSE(DrawVideoFrame(shortFrame, &one, 1, 1, 1));
    EXPECT_FALSE(DrawVideoFrame(frame, &one, 2, 1, 1));
    EXPECT_FALSE(DrawVideoFrame(frame, nullptr, 1, 1, 1));
    EXPECT_EQ(one, 0u);
}

bool WaitForFrame(V4l2Tuner& tuner, std::uint32_t& pixel) {
    for (auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;) {
        if (tuner.DrawFrame(&pixel, 1, 1, 1)) return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

TEST(V4l2Tuner, CapturesOnAWorkerAndStopsWithoutHanging) {
    Card card;
    card.Format.width = 4;
    card.Format.height = 2;
    card.Format.pixelformat = V4L2_PIX_FMT_YUYV;
    card.Format.field = V4L2_FIELD_INTERLACED;
    card.Format.bytesperline = 8;
    card.Format.sizeimage = 16;
    card.Picture = YuyvPicture();
    {
        auto tuner = MakeTuner(card);
        std::uint32_t pixel = 0;
        EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStart, 0, 0), 1);
        ASSERT_FALSE(card.Asked.empty());
        EXPECT_EQ(card.Asked[0].pixelformat, V4L2_PIX_FMT_YUYV);
        EXPECT_EQ(card.Asked[0].width, 640u);
        ASSERT_TRUE(WaitForFrame(tuner, pixel));
        EXPECT_EQ(pixel, kWhite);
        EXPECT_EQ(tuner.VideoWindowMessage(kWindowMoved, 0, 100 | 50 << 16), 1);
        EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStop, 0, 0), 1);
        EXPECT_EQ(tuner.DrawFrame(&pixel, 1, 1, 1), 0);
        EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStart, 0, 0), 1);
        EXPECT_TRUE(WaitForFrame(tuner, pixel));
    }  // going while it captures
    EXPECT_GT(card.Reads.load(), 0);

    // A card with no picture to give: the stop still comes at once.
    card.Picture.clear();
    auto tuner = MakeTuner(card);
    EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStart, 0, 0), 1);
    std::this_thread::sleep_for(20ms);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStop, 0, 0), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);

    // Nothing we can draw, or no read() I/O: no picture.
    card.Format.pixelformat = V4L2_PIX_FMT_GREY;
    EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStart, 0, 0), 0);
    card.Format.pixelformat = V4L2_PIX_FMT_BGR24;
    card.Format.bytesperline = 12;
    card.Format.sizeimage = 24;
    card.DeviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStart, 0, 0), 0);
    card.DeviceCaps |= V4L2_CAP_READWRITE;
    EXPECT_EQ(tuner.VideoWindowMessage(kVideoWindowStart, 0, 0), 1);
    EXPECT_EQ(tuner.VideoWindowMessage(1234, 0, 0), 0);
}

TEST(V4l2TunerLibrary, ExportsTheRoutinesAndAnswersWithoutADevice) {
    test::ScopedRegistry registry;
    registry->WriteString(kV4l2TunerKey, "Device", (registry.Folder() / "no-such-video").string());
    registry->WriteInteger(kV4l2TunerKey, "MinChannel", 21);
    registry->WriteInteger(kV4l2TunerKey, "MaxChannel", 60);
    const auto library = SharedLibrary::Open(ORVTT_DRIVER_DIR "/orvtt-v4l2tv.so");
    ASSERT_TRUE(library);
    auto* channels = library->Entry<OrvTVRoutine>(kTuneChannelsRoutine);
    auto* setChannel = library->Entry<OrvTVRoutine>(kSetChannelRoutine);
    auto* message = library->Entry<OrvVideoWindowMessage>(kVideoWindowMessageEntry);
    auto* frame = library->Entry<OrvVideoWindowFrame>(kVideoWindowFrameEntry);
    ASSERT_TRUE(channels && setChannel && message && frame);
    ASSERT_TRUE(library->Symbol(kGetPropertyRoutine) && library->Symbol(kSetPropertyRoutine));
    const std::uint16_t words[] = {0, 21};
    EXPECT_EQ(channels(words, 1), (60u << 16) | 21u);
    EXPECT_EQ(setChannel(words, 2), 0u);
    EXPECT_EQ(setChannel(nullptr, 2), 0u);
    EXPECT_EQ(message(kVideoWindowStart, 0, 0), 0);
    std::uint32_t pixel = 0;
    EXPECT_EQ(frame(&pixel, 1, 1, 1), 0);
}

}  // namespace
}  // namespace orv
