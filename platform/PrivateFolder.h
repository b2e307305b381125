// A folder that only this process uses: made with mode 0700 and a name no
// one can guess, under a parent that may be shared with other users (the
// temp folder), and removed with what is in it when its owner goes. Files
// in it are created new: never through a link, never over another file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace orv {

class PrivateFolder {
public:
    // parent/prefix + six random characters. Path() is empty when the
    // folder could not be made.
    PrivateFolder(const std::string& parent, const std::string& prefix);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Creates path and writes bytes to it; false, leaving anything already there
// alone, when path exists (a file, a link, a folder) or cannot be written
// whole.
bool WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Where a program's private folders go: $XDG_RUNTIME_DIR (a per-user folder)
// when it is set and a folder, else $TMPDIR, else /tmp.
std::string PrivateFolderParent();

}  // namespace orv
