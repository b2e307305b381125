#include "platform/PrivateFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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
    if (::mkdtemp(name.data())) path_ = name.data();  // mode 0700
}

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    // Only what is inside: remove_all does not follow links out of it.
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
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
