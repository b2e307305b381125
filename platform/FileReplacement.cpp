#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <utility>

namespace orv {

namespace {

// The umask, read without changing it: setting it to learn it would, for a
// moment, change what other threads create.
std::optional<mode_t> CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("Umask:")) {
            try {
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8) & 0777);
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
    return std::nullopt;
}

void SyncFolderOf(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.Get());  // some file systems refuse; the rename has happened all the same
}

}  // namespace

mode_t NewFileMode() {
    const auto mask = CurrentUmask();
    return mask ? (0666 & ~*mask) : 0600;  // unknown: as private as mkstemp makes it
}

bool WriteAllTo(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno != EINTR) return false;
        if (put > 0) bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

std::optional<FileReplacement> FileReplacement::Begin(const std::string& target, const std::string& stem) {
    std::string temp = (stem.empty() ? target + "." : stem) + "XXXXXX";
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd) return std::nullopt;
    // A link at the name is looked at, never followed: its own mode means nothing.
    struct stat old {};
    const bool replacesFile = ::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    ::fchmod(fd.Get(), replacesFile ? (old.st_mode & 0777) : NewFileMode());
    return FileReplacement(std::move(fd), std::move(temp), target);
}

FileReplacement::FileReplacement(UniqueFd fd, std::string temp, std::string target)
    : fd_(std::move(fd)), temp_(std::move(temp)), target_(std::move(target)) {}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : fd_(std::move(other.fd_)), temp_(std::exchange(other.temp_, {})), target_(std::move(other.target_)) {}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
    if (this != &other) {
        if (!temp_.empty()) ::unlink(temp_.c_str());
        fd_ = std::move(other.fd_);
        temp_ = std::exchange(other.temp_, {});
        target_ = std::move(other.target_);
    }
    return *this;
}

FileReplacement::~FileReplacement() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

bool FileReplacement::Write(std::string_view bytes) { return fd_ && WriteAllTo(fd_.Get(), bytes); }

bool FileReplacement::Commit(bool durable) {
    if (!fd_ || temp_.empty()) return false;
    if (durable && ::fsync(fd_.Get()) != 0) return false;
    // A write the file system only reports on closing counts too.
    if (::close(fd_.Release()) != 0) return false;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    temp_.clear();
    if (durable) SyncFolderOf(target_);
    return true;
}

}  // namespace orv
