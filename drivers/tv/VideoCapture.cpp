#include "drivers/tv/VideoCapture.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "drivers/tv/V4l2Ioctl.h"

namespace orv {
namespace {

constexpr std::uint32_t kPreferredWidth = 640;
constexpr std::uint32_t kPreferredHeight = 480;
// Limits on what the device may answer, so that a wrong answer cannot make
// us allocate without end.
constexpr std::uint32_t kMaxSide = 4096;
constexpr std::size_t kMaxImageBytes = std::size_t{64} << 20;
// Reads failing one after another: the device is gone or broken.
constexpr int kMaxFailedReads = 25;

bool CanCapture(V4l2Ioctl& io, int fd) {
    v4l2_capability caps{};
    if (io.Ioctl(fd, VIDIOC_QUERYCAP, &caps) < 0) return false;
    const std::uint32_t effective = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    return (effective & V4L2_CAP_VIDEO_CAPTURE) && (effective & V4L2_CAP_READWRITE);
}

std::optional<VideoPixelFormat> PixelFormatOf(std::uint32_t fourcc) {
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV: return VideoPixelFormat::Yuyv;
        case V4L2_PIX_FMT_RGB24: return VideoPixelFormat::Rgb24;
        case V4L2_PIX_FMT_BGR24: return VideoPixelFormat::Bgr24;
        default: return std::nullopt;
    }
}

// The frame the device says it will deliver, with room for one read; empty
// when we cannot draw it or the sizes do not add up.
std::optional<VideoFrame> FrameLayout(const v4l2_format& format) {
    if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return std::nullopt;
    const v4l2_pix_format& pix = format.fmt.pix;
    const auto pixelFormat = PixelFormatOf(pix.pixelformat);
    if (!pixelFormat || pix.width == 0 || pix.height == 0 || pix.width > kMaxSide || pix.height > kMaxSide)
        return std::nullopt;
    VideoFrame frame;
    frame.Format = *pixelFormat;
    frame.Width = static_cast<int>(pix.width);
    // Alternating fields come one a read.
    frame.Height = static_cast<int>(pix.field == V4L2_FIELD_ALTERNATE ? (pix.height + 1) / 2 : pix.height);
    const std::size_t tightRow = *pixelFormat == VideoPixelFormat::Yuyv ? (pix.width + 1) / 2 * 4 : pix.width * 3;
    frame.BytesPerLine = pix.bytesperline ? pix.bytesperline : tightRow;
    if (frame.BytesPerLine < tightRow || frame.BytesPerLine > kMaxSide * 4) return std::nullopt;
    const std::size_t image = frame.BytesPerLine * static_cast<std::size_t>(frame.Height);
    const std::size_t readSize = std::max<std::size_t>(image, pix.sizeimage);
    if (readSize > kMaxImageBytes) return std::nullopt;
    frame.Bytes.resize(readSize);
    return frame;
}

std::optional<VideoFrame> NegotiateFormat(V4l2Ioctl& io, int fd) {
    for (const std::uint32_t fourcc : {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_RGB24, V4L2_PIX_FMT_BGR24}) {
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        format.fmt.pix.width = kPreferredWidth;
        format.fmt.pix.height = kPreferredHeight;
        format.fmt.pix.pixelformat = fourcc;
        format.fmt.pix.field = V4L2_FIELD_INTERLACED;
        if (io.Ioctl(fd, VIDIOC_S_FMT, &format) == 0)
            if (auto frame = FrameLayout(format)) return frame;
    }
    // A card busy with another program keeps its format: draw it when we can.
    v4l2_format current{};
    current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (io.Ioctl(fd, VIDIOC_G_FMT, &current) == 0) return FrameLayout(current);
    return std::nullopt;
}

}  // namespace

void FrameSlot::Publish(VideoFrame& frame) {
    std::lock_guard lock(mutex_);
    frame_.Format = frame.Format;
    frame_.Width = frame.Width;
    frame_.Height = frame.Height;
    frame_.BytesPerLine = frame.BytesPerLine;
    frame_.Bytes.swap(frame.Bytes);
    present_ = true;
}

void FrameSlot::Clear() {
    std::lock_guard lock(mutex_);
    present_ = false;
}

bool FrameSlot::Draw(std::uint32_t* pixels, int width, int height, int stride) const {
    std::lock_guard lock(mutex_);
    return present_ && DrawVideoFrame(frame_, pixels, width, height, stride);
}

std::unique_ptr<VideoCapture> VideoCapture::Start(V4l2Ioctl& io, int fd, FrameSlot& slot) {
    if (!CanCapture(io, fd)) return nullptr;
    auto layout = NegotiateFormat(io, fd);
    if (!layout) return nullptr;
    return std::make_unique<VideoCapture>(Key{}, io, fd, slot, std::move(*layout));
}

VideoCapture::VideoCapture(Key, V4l2Ioctl& io, int fd, FrameSlot& slot, VideoFrame layout)
    : io_(io), fd_(fd), slot_(slot),
      worker_([this, frame = std::move(layout)](std::stop_token stop) mutable { Run(stop, std::move(frame)); }) {}

VideoCapture::~VideoCapture() = default;

void VideoCapture::Run(const std::stop_token& stop, VideoFrame frame) {
    const std::size_t readSize = frame.Bytes.size();
    const std::size_t whole = frame.BytesPerLine * static_cast<std::size_t>(frame.Height);
    int failedReads = 0;
    while (!stop.stop_requested()) {
        const PollResult ready = io_.Poll(fd_, kPollTimeoutMs);
        if (ready == PollResult::Timeout) continue;
        if (ready == PollResult::Failed) break;
        const ssize_t got = io_.Read(fd_, frame.Bytes.data(), frame.Bytes.size());
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            if (++failedReads > kMaxFailedReads) break;
            continue;
        }
        failedReads = 0;
        if (static_cast<std::size_t>(got) < whole) continue;  // not a whole picture
        slot_.Publish(frame);
        frame.Bytes.resize(readSize);  // the storage handed back is empty the first time
    }
    slot_.Clear();  // stopped or failed: there is no picture now
}

}  // namespace orv
