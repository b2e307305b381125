// Real analogue cards: sliced VBI capture (V4L2_SLICED_TELETEXT_B) from a
// V4L2 device, read without blocking.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "drivers/vbi/V4l2Sliced.h"
#include "drivers/vbi/VbiBackend.h"
#include "platform/UniqueFd.h"

namespace orv {

std::size_t SlicedTeletextToPackets(std::span<const v4l2_sliced_vbi_data> lines, std::span<tVTXPacket> packets) {
    std::size_t count = 0;
    for (const auto& line : lines) {
        if (count == packets.size()) break;
        if (!(line.id & V4L2_SLICED_TELETEXT_B)) continue;  // lines of other services, or nothing decoded
        std::memcpy(packets[count].Bytes.data(), line.data, kPacketSize);
        ++count;
    }
    return count;
}

namespace {

int Ioctl(int fd, unsigned long request, void* argument) {
    int result;
    do result = ::ioctl(fd, request, argument);
    while (result < 0 && errno == EINTR);
    return result;
}

class V4l2VbiCapture : public VbiCapture {
public:
    explicit V4l2VbiCapture(int fd) : fd_(fd) {}

    std::uint32_t Query() override {
        v4l2_capability caps{};
        if (Ioctl(fd_.Get(), VIDIOC_QUERYCAP, &caps) < 0) return 0;
        const std::uint32_t effective = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
        return (effective & V4L2_CAP_SLICED_VBI_CAPTURE) && (effective & V4L2_CAP_READWRITE) ? 1 : 0;
    }

    std::uint32_t Configure(std::uint32_t) override {
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_SLICED_VBI_CAPTURE;
        format.fmt.sliced.service_set = V4L2_SLICED_TELETEXT_B;
        if (Ioctl(fd_.Get(), VIDIOC_S_FMT, &format) < 0) return static_cast<std::uint32_t>(errno);
        if (!(format.fmt.sliced.service_set & V4L2_SLICED_TELETEXT_B)) return EINVAL;
        // One read returns whole frames of sliced lines.
        const std::size_t size = format.fmt.sliced.io_size ? format.fmt.sliced.io_size : 64 * sizeof(v4l2_sliced_vbi_data);
        lines_.resize(std::max<std::size_t>(size / sizeof(v4l2_sliced_vbi_data), 1));
        return 0;
    }

    std::uint32_t Release() override { return 0; }
    std::uint32_t Start() override { return 0; }  // the first read starts the device
    std::uint32_t Stop() override { return 0; }

    std::uint32_t Read(std::span<tVTXPacket> packets, std::size_t& count, std::uint32_t& status) override {
        count = 0;
        status = 0;
        if (lines_.empty()) return EINVAL;
        // Drain what the device holds now, frame by frame, without waiting.
        while (count < packets.size()) {
            const ssize_t got = ::read(fd_.Get(), lines_.data(), lines_.size() * sizeof(v4l2_sliced_vbi_data));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;  // EAGAIN: nothing more now; other errors: try again at the next poll
            const std::size_t lines = static_cast<std::size_t>(got) / sizeof(v4l2_sliced_vbi_data);
            count += SlicedTeletextToPackets(std::span(lines_).first(lines), packets.subspan(count));
        }
        return 0;
    }

private:
    UniqueFd fd_;
    std::vector<v4l2_sliced_vbi_data> lines_;
};

}  // namespace

std::unique_ptr<VbiCapture> OpenV4l2VbiCapture(const std::string& devicePath) {
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<V4l2VbiCapture>(fd);
}

}  // namespace orv
