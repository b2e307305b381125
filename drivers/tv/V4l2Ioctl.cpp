#include "drivers/tv/V4l2Ioctl.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orv {
namespace {

class SystemV4l2Ioctl final : public V4l2Ioctl {
public:
    int Open(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return -1;
        // The path comes from the registry: a file or a FIFO there is no card.
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
            ::close(fd);
            errno = ENODEV;
            return -1;
        }
        return fd;
    }

    void Close(int fd) override { ::close(fd); }

    int Ioctl(int fd, unsigned long request, void* argument) override {
        int result;
        do result = ::ioctl(fd, request, argument);
        while (result < 0 && errno == EINTR);
        return result;
    }

    ssize_t Read(int fd, void* buffer, std::size_t size) override { return ::read(fd, buffer, size); }

    PollResult Poll(int fd, int timeoutMs) override {
        pollfd entry{.fd = fd, .events = POLLIN, .revents = 0};
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready < 0) return errno == EINTR ? PollResult::Timeout : PollResult::Failed;
        if (ready == 0) return PollResult::Timeout;
        // A card that was unplugged or cannot stream answers with only an error.
        return (entry.revents & POLLIN) ? PollResult::Ready : PollResult::Failed;
    }
};

}  // namespace

std::unique_ptr<V4l2Ioctl> MakeSystemV4l2Ioctl() { return std::make_unique<SystemV4l2Ioctl>(); }

}  // namespace orv
