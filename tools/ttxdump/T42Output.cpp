#include "tools/ttxdump/T42Output.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace orv {

bool T42Output::Open(const std::string& path, std::optional<FileIdentity> input, std::ostream& err) {
    path_ = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISREG(st.st_mode) && input == FileIdentity(st.st_dev, st.st_ino)) {
        err << "ttxdump: cannot write " << path << ": it is the input\n";
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        direct_ = UniqueFd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    } else {
        replacement_ = FileReplacement::Begin(path);
    }
    if (!IsOpen()) {
        err << "ttxdump: cannot write " << path << ": " << std::strerror(errno) << '\n';
        return false;
    }
    return true;
}

void T42Output::Write(std::span<const tVTXPacket> packets) {
    const std::string_view bytes(reinterpret_cast<const char*>(packets.data()), packets.size_bytes());
    if (error_ != 0 || bytes.empty()) return;
    if (!(replacement_ ? replacement_->Write(bytes) : WriteAllTo(direct_.Get(), bytes))) error_ = errno;
}

bool T42Output::Finish(std::ostream& err) {
    if (replacement_) {
        if (error_ == 0 && !replacement_->Commit()) error_ = errno;
        replacement_.reset();  // removes the new file when it was not put in place
    } else if (direct_ && ::close(direct_.Release()) != 0 && error_ == 0) {
        error_ = errno;
    }
    if (error_ != 0) err << "ttxdump: cannot write " << path_ << ": " << std::strerror(error_) << '\n';
    return error_ == 0;
}

}  // namespace orv
