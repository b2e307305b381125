#include "platform/PrivateFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "platform/UniqueFd.h"

namespace orv {

namespace {

bool IsFolder(const char* path) {
    struct stat info {};
    return path && *path && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

PrivateFolder::PrivateFolder(const std::string& parent, const std::string& prefix) {
    std::string pattern = parent;
    if (!pattern.empty() && pattern.back() != '/') pattern += '/';
    pattern += prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) return;  // mode 0700
    path_ = name.data();
    lock_ = UniqueFd(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (lock_) ::flock(lock_.Get(), LOCK_EX);
}

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    // Only what is inside: remove_all does not follow links out of it.
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

int RemoveAbandonedFolders(const std::string& parent, const std::string& prefix) {
    int removed = 0;
    std::error_code listed;
    std::filesystem::directory_iterator entries(parent, listed);
    for (auto it = entries; !listed && it != std::filesystem::directory_iterator(); it.increment(listed)) {
        const auto& entry = *it;
        std::error_code ec;
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string path = entry.path().string();
        struct stat seen {};
        if (::lstat(path.c_str(), &seen) != 0 || !S_ISDIR(seen.st_mode) || seen.st_uid != ::geteuid()) continue;
        UniqueFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        if (!folder || ::fstat(folder.Get(), &opened) != 0 || opened.st_ino != seen.st_ino ||
            opened.st_dev != seen.st_dev)
            continue;
        // Held by its owner: in use. Free: the owner is gone, unless it is
        // one that was made this very moment and is not locked yet.
        if (::flock(folder.Get(), LOCK_EX | LOCK_NB) != 0) continue;
        const bool old = std::time(nullptr) - opened.st_mtime > 60;
        if (!old && std::filesystem::is_empty(path, ec)) continue;
        std::filesystem::remove_all(path, ec);
        removed += ec ? 0 : 1;
    }
    return removed;
}

bool WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return false;
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd.Get(), bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            ::unlink(path.c_str());  // ours: made by this call
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(put));
    }
    return true;
}

std::string PrivateFolderParent() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); IsFolder(runtime)) return runtime;
    if (const char* tmp = std::getenv("TMPDIR"); IsFolder(tmp)) return tmp;
    return "/tmp";
}

}  // namespace orv
