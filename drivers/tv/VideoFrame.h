// One picture from the video device and its drawing into the viewer's pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orv {

enum class VideoPixelFormat { Yuyv, Rgb24, Bgr24 };

struct VideoFrame {
    VideoPixelFormat Format = VideoPixelFormat::Yuyv;
    int Width = 0;
    int Height = 0;
    std::size_t BytesPerLine = 0;
    std::vector<std::uint8_t> Bytes;  // at least BytesPerLine * Height
};

// Whether the frame's sizes agree with its bytes (the device chose them).
bool IsWhole(const VideoFrame& frame);

// Draws the frame scaled (nearest neighbour) into width x height pixels of
// 0xFFRRGGBB, stride pixels a row. False, with nothing drawn, when the frame
// or the target is not usable.
bool DrawVideoFrame(const VideoFrame& frame, std::uint32_t* pixels, int width, int height, int stride);

}  // namespace orv
