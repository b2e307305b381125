// The TV driver for analogue cards on V4L2: the tuner routines and the video
// window of the TV driver library (tv/TVDriverAbi.h) over one video device.
// The device is opened at the first call that needs it (and tried again at
// the next call while it is missing); a routine that cannot reach it answers 0.
// Calls may come from several threads.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "drivers/tv/V4l2Ioctl.h"
#include "drivers/tv/V4l2TunerSettings.h"
#include "drivers/tv/VideoCapture.h"

namespace orv {

// Values of the video source property.
enum class VideoSource : std::uint32_t { Composite = 0, Tuner = 1, SVideo = 2 };

class V4l2Tuner {
public:
    V4l2Tuner(std::unique_ptr<V4l2Ioctl> io, V4l2TunerSettings settings);
    ~V4l2Tuner();
    V4l2Tuner(const V4l2Tuner&) = delete;
    V4l2Tuner& operator=(const V4l2Tuner&) = delete;

    // The routines, with their argument words; a wrong count answers 0.
    std::uint32_t TuneChannels(std::span<const std::uint16_t> words);  // (max << 16) | min
    std::uint32_t SetChannel(std::span<const std::uint16_t> words);    // 1 when tuned
    std::uint32_t GetProperty(std::span<const std::uint16_t> words);   // the video source
    std::uint32_t SetProperty(std::span<const std::uint16_t> words);   // 1 when switched

    // 1027 starts the picture (1 when it runs), 1028 stops it, 3 (moved) is
    // taken; anything else answers 0.
    std::intptr_t VideoWindowMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // The latest picture scaled into the pixels; 0 when there is none.
    int DrawFrame(std::uint32_t* pixels, int width, int height, int stride);

private:
    int DeviceLocked();  // the descriptor, or -1 when the device cannot be opened
    bool TuneLocked(std::uint32_t kHz);
    std::optional<VideoSource> CurrentSourceLocked();
    bool SelectSourceLocked(VideoSource source);

    std::mutex mutex_;
    const std::unique_ptr<V4l2Ioctl> io_;
    const V4l2TunerSettings settings_;
    int fd_ = -1;
    FrameSlot frame_;
    std::unique_ptr<VideoCapture> capture_;  // last: stopped before the rest goes
};

}  // namespace orv
