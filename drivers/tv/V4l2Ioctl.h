// The few system calls the V4L2 TV driver makes, behind an interface so that
// the tests can stand in a fake card. Calls answer as the system calls do:
// -1 with errno set on failure.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>

namespace orv {

enum class PollResult { Ready, Timeout, Failed };

class V4l2Ioctl {
public:
    virtual ~V4l2Ioctl() = default;

    // A descriptor for the device, opened without blocking; -1 when it cannot
    // be opened or is not a character device.
    virtual int Open(const std::string& path) = 0;
    virtual void Close(int fd) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual ssize_t Read(int fd, void* buffer, std::size_t size) = 0;
    // Waits at most timeoutMs for something to read.
    virtual PollResult Poll(int fd, int timeoutMs) = 0;
};

// The real system calls.
std::unique_ptr<V4l2Ioctl> MakeSystemV4l2Ioctl();

}  // namespace orv
