#include "drivers/tv/VideoFrame.h"

#include <algorithm>

namespace orv {
namespace {

std::uint32_t Pixel(int r, int g, int b) {
    const auto clamp = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
    return 0xFF000000u | (clamp(r) << 16) | (clamp(g) << 8) | clamp(b);
}

// ITU-R BT.601 studio range, as analogue TV cards deliver it.
std::uint32_t YuvPixel(int y, int u, int v) {
    const int c = 298 * (y - 16) + 128;
    const int d = u - 128;
    const int e = v - 128;
    return Pixel((c + 409 * e) >> 8, (c - 100 * d - 208 * e) >> 8, (c + 516 * d) >> 8);
}

// Bytes a row needs at least, YUYV going by pairs of pixels.
std::size_t RowBytes(const VideoFrame& frame) {
    const auto width = static_cast<std::size_t>(frame.Width);
    return frame.Format == VideoPixelFormat::Yuyv ? (width + 1) / 2 * 4 : width * 3;
}

std::uint32_t SourcePixel(const VideoFrame& frame, const std::uint8_t* row, std::size_t x) {
    switch (frame.Format) {
        case VideoPixelFormat::Yuyv: {
            const std::uint8_t* pair = row + x / 2 * 4;  // Y0 U Y1 V
            return YuvPixel(pair[(x & 1) ? 2 : 0], pair[1], pair[3]);
        }
        case VideoPixelFormat::Rgb24: {
            const std::uint8_t* p = row + x * 3;
            return Pixel(p[0], p[1], p[2]);
        }
        case VideoPixelFormat::Bgr24: {
            const std::uint8_t* p = row + x * 3;
            return Pixel(p[2], p[1], p[0]);
        }
    }
    return 0xFF000000u;
}

}  // namespace

bool IsWhole(const VideoFrame& frame) {
    if (frame.Width <= 0 || frame.Height <= 0) return false;
    if (frame.BytesPerLine < RowBytes(frame)) return false;
    return frame.Bytes.size() / frame.BytesPerLine >= static_cast<std::size_t>(frame.Height);
}

bool DrawVideoFrame(const VideoFrame& frame, std::uint32_t* pixels, int width, int height, int stride) {
    if (!pixels || width <= 0 || height <= 0 || stride < width || !IsWhole(frame)) return false;
    std::vector<std::size_t> columns(static_cast<std::size_t>(width));
    for (std::size_t x = 0; x < columns.size(); ++x)
        columns[x] = x * static_cast<std::size_t>(frame.Width) / columns.size();
    for (int y = 0; y < height; ++y) {
        const auto sourceY =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.Height) / static_cast<std::size_t>(height);
        const std::uint8_t* row = frame.Bytes.data() + sourceY * frame.BytesPerLine;
        std::uint32_t* out = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        for (std::size_t x = 0; x < columns.size(); ++x) out[x] = SourcePixel(frame, row, columns[x]);
    }
    return true;
}

}  // namespace orv
