// ttxdump --t42 OUT: the packets read, written as a .t42 recording. OUT is
// opened only once the input is open, and never when it is the input itself.
// A regular (or new) file is written under another name beside it and renamed
// into place at the end, so that a run that fails leaves the old file; what is
// not a regular file (/dev/stdout, a FIFO) is written as it comes.
#pragma once

#include <sys/types.h>

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "acquisition/UTeletextTypes.h"
#include "platform/FileReplacement.h"

namespace orv {

// A file's device and inode.
using FileIdentity = std::pair<dev_t, ino_t>;

class T42Output {
public:
    // False, with the reason on err, when OUT cannot be written or is the
    // input (same device and inode).
    bool Open(const std::string& path, std::optional<FileIdentity> input, std::ostream& err);
    bool IsOpen() const { return replacement_ || direct_; }
    void Write(std::span<const tVTXPacket> packets);
    // Puts the recording in place; false, with the reason on err, when any
    // write failed.
    bool Finish(std::ostream& err);

private:
    std::string path_;
    std::optional<FileReplacement> replacement_;
    UniqueFd direct_;
    int error_ = 0;  // of the first write that failed
};

}  // namespace orv
