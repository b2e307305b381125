// The picture of the video device, read on a worker thread into the latest
// frame, which the viewer's UI thread draws.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "drivers/tv/VideoFrame.h"

namespace orv {

class V4l2Ioctl;

// The newest whole frame, handed from the worker to the drawing thread.
class FrameSlot {
public:
    // Takes the frame and hands back the storage of the one it replaces (empty
    // at first), for the next read.
    void Publish(VideoFrame& frame);
    void Clear();
    bool Draw(std::uint32_t* pixels, int width, int height, int stride) const;

private:
    mutable std::mutex mutex_;
    VideoFrame frame_;
    bool present_ = false;
};

class VideoCapture {
public:
    // Sets up the device for frames we can draw (YUYV, RGB24 or BGR24 by
    // read()) and starts reading; nullptr when the device cannot give them.
    // The device stays open and io alive while the capture runs.
    static std::unique_ptr<VideoCapture> Start(V4l2Ioctl& io, int fd, FrameSlot& slot);

    // Stops the worker; it sees the stop within one poll timeout.
    ~VideoCapture();
    VideoCapture(const VideoCapture&) = delete;
    VideoCapture& operator=(const VideoCapture&) = delete;

    static constexpr int kPollTimeoutMs = 100;

    class Key {  // only Start can make one
        friend class VideoCapture;
        Key() = default;
    };
    VideoCapture(Key, V4l2Ioctl& io, int fd, FrameSlot& slot, VideoFrame layout);

private:
    void Run(const std::stop_token& stop, VideoFrame frame);

    V4l2Ioctl& io_;
    const int fd_;
    FrameSlot& slot_;
    std::jthread worker_;  // last: joined before the rest goes
};

}  // namespace orv
