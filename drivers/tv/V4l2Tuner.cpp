#include "drivers/tv/V4l2Tuner.h"

#include <linux/videodev2.h>

#include <cstring>
#include <string_view>

#include "tv/TVDriverAbi.h"

namespace orv {
namespace {

// Word counts of the routines' arguments.
constexpr std::size_t kTuneChannelsWords = 1;  // device
constexpr std::size_t kSetChannelWords = 2;    // device, channel
constexpr std::size_t kGetPropertyWords = 2;   // device, property
constexpr std::size_t kSetPropertyWords = 4;   // device, property, value (high word first)

// Inputs a card may list before we stop asking.
constexpr std::uint32_t kMaxInputs = 64;

bool ContainsNoCase(std::string_view text, std::string_view part) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t start = 0; start + part.size() <= text.size(); ++start) {
        std::size_t i = 0;
        while (i < part.size() && lower(text[start + i]) == part[i]) ++i;
        if (i == part.size()) return true;
    }
    return false;
}

VideoSource SourceOf(const v4l2_input& input) {
    if (input.type == V4L2_INPUT_TYPE_TUNER) return VideoSource::Tuner;
    // The name comes from the card: it may lack its terminating zero.
    const auto* text = reinterpret_cast<const char*>(input.name);
    const std::string_view name(text, strnlen(text, sizeof input.name));
    if (ContainsNoCase(name, "s-video") || ContainsNoCase(name, "svideo")) return VideoSource::SVideo;
    return VideoSource::Composite;
}

// Tuner frequency units: 62.5 Hz (16 a kHz) for a tuner with
// V4L2_TUNER_CAP_LOW, else 62.5 kHz (16 a MHz).
std::uint32_t TunerUnits(std::uint32_t kHz, bool lowUnits) {
    const std::uint64_t sixteenths = std::uint64_t{kHz} * 16;
    return static_cast<std::uint32_t>(lowUnits ? sixteenths : (sixteenths + 500) / 1000);
}

}  // namespace

V4l2Tuner::V4l2Tuner(std::unique_ptr<V4l2Ioctl> io, V4l2TunerSettings settings)
    : io_(std::move(io)), settings_(std::move(settings)) {}

V4l2Tuner::~V4l2Tuner() {
    capture_.reset();  // the worker reads the device until it is joined
    if (fd_ >= 0) io_->Close(fd_);
}

int V4l2Tuner::DeviceLocked() {
    if (fd_ < 0) fd_ = io_->Open(settings_.Device);
    return fd_;
}

std::uint32_t V4l2Tuner::TuneChannels(std::span<const std::uint16_t> words) {
    if (words.size() != kTuneChannelsWords) return 0;
    return (std::uint32_t{settings_.Plan.Max()} << 16) | settings_.Plan.Min();
}

std::uint32_t V4l2Tuner::SetChannel(std::span<const std::uint16_t> words) {
    if (words.size() != kSetChannelWords) return 0;
    const auto kHz = settings_.Plan.FrequencyKHz(words[1]);
    if (!kHz) return 0;
    std::lock_guard lock(mutex_);
    return TuneLocked(*kHz) ? 1 : 0;
}

bool V4l2Tuner::TuneLocked(std::uint32_t kHz) {
    const int fd = DeviceLocked();
    if (fd < 0) return false;
    v4l2_tuner tuner{};
    tuner.index = 0;
    if (io_->Ioctl(fd, VIDIOC_G_TUNER, &tuner) < 0) return false;
    const std::uint32_t units = TunerUnits(kHz, (tuner.capability & V4L2_TUNER_CAP_LOW) != 0);
    // Outside its range a tuner would settle at the nearest end and show another channel.
    if (tuner.rangehigh > tuner.rangelow && (units < tuner.rangelow || units > tuner.rangehigh)) return false;
    v4l2_frequency frequency{};
    frequency.tuner = tuner.index;
    frequency.type = tuner.type;
    frequency.frequency = units;
    return io_->Ioctl(fd, VIDIOC_S_FREQUENCY, &frequency) == 0;
}

std::uint32_t V4l2Tuner::GetProperty(std::span<const std::uint16_t> words) {
    if (words.size() != kGetPropertyWords || words[1] != kSourceProperty) return 0;
    std::lock_guard lock(mutex_);
    const auto source = CurrentSourceLocked();
    return source ? static_cast<std::uint32_t>(*source) : 0;
}

std::optional<VideoSource> V4l2Tuner::CurrentSourceLocked() {
    const int fd = DeviceLocked();
    if (fd < 0) return std::nullopt;
    int index = -1;
    if (io_->Ioctl(fd, VIDIOC_G_INPUT, &index) < 0 || index < 0) return std::nullopt;
    v4l2_input input{};
    input.index = static_cast<std::uint32_t>(index);
    if (io_->Ioctl(fd, VIDIOC_ENUMINPUT, &input) < 0) return std::nullopt;
    return SourceOf(input);
}

std::uint32_t V4l2Tuner::SetProperty(std::span<const std::uint16_t> words) {
    if (words.size() != kSetPropertyWords || words[1] != kSourceProperty) return 0;
    const std::uint32_t value = (std::uint32_t{words[2]} << 16) | words[3];
    if (value > static_cast<std::uint32_t>(VideoSource::SVideo)) return 0;
    std::lock_guard lock(mutex_);
    return SelectSourceLocked(static_cast<VideoSource>(value)) ? 1 : 0;
}

bool V4l2Tuner::SelectSourceLocked(VideoSource source) {
    const int fd = DeviceLocked();
    if (fd < 0) return false;
    for (std::uint32_t index = 0; index < kMaxInputs; ++index) {
        v4l2_input input{};
        input.index = index;
        if (io_->Ioctl(fd, VIDIOC_ENUMINPUT, &input) < 0) return false;  // the end of the list
        if (SourceOf(input) != source) continue;
        int chosen = static_cast<int>(index);
        return io_->Ioctl(fd, VIDIOC_S_INPUT, &chosen) == 0;
    }
    return false;
}

std::intptr_t V4l2Tuner::VideoWindowMessage(std::uint32_t message, std::uintptr_t, std::intptr_t) {
    std::lock_guard lock(mutex_);
    switch (message) {
        case kVideoWindowStart: {
            capture_.reset();  // a capture that ended on a device error starts afresh
            const int fd = DeviceLocked();
            if (fd < 0) return 0;
            capture_ = VideoCapture::Start(*io_, fd, frame_);
            return capture_ ? 1 : 0;
        }
        case kVideoWindowStop:
            capture_.reset();
            frame_.Clear();
            return 1;
        case kWindowMoved:
            return 1;  // the picture is drawn into the viewer's own window
        default:
            return 0;
    }
}

int V4l2Tuner::DrawFrame(std::uint32_t* pixels, int width, int height, int stride) {
    return frame_.Draw(pixels, width, height, stride) ? 1 : 0;
}

}  // namespace orv
