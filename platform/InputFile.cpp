#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orv {

UniqueFd OpenInputFile(const std::string& path, std::string& error) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.Get(), &info) != 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + (S_ISDIR(info.st_mode) ? " is a folder" : " is not a regular file");
        return {};
    }
    return fd;
}

bool ReadInputFile(const std::string& path, std::size_t maxBytes, std::string& out, std::string& error) {
    const UniqueFd fd = OpenInputFile(path, error);
    if (!fd) return false;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || static_cast<std::size_t>(info.st_size) > maxBytes) {
        error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
        return false;
    }
    out.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(got));
        if (out.size() > maxBytes) {  // it grew while being read
            error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
    }
}

}  // namespace orv
