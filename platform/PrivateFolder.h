// A folder that only this process uses: made with mode 0700 and a name no
// one can guess, under a parent that may be shared with other users (the
// temp folder), and removed with what is in it when its owner goes. Files
// in it are created new: never through a link, never over another file.
// The owner holds a lock on the folder for as long as it lives, which the
// system lets go however the process ends, so that the folder of a process
// that was killed can be told from one in use and removed later.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/UniqueFd.h"

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
    UniqueFd lock_;  // the folder, open and locked
};

// Removes the folders parent/prefix* that belong to this user and whose
// owner has gone: no process holds their lock, and they hold something (the
// owner writes into its folder only once it holds the lock) or are older
// than a minute. Links, other users' folders and folders in use stay. The
// number removed.
int RemoveAbandonedFolders(const std::string& parent, const std::string& prefix);

// Creates path and writes bytes to it; false, leaving anything already there
// alone, when path exists (a file, a link, a folder) or cannot be written
// whole.
bool WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Where a program's private folders go: $XDG_RUNTIME_DIR (a per-user folder)
// when it is set and a folder, else $TMPDIR, else /tmp.
std::string PrivateFolderParent();

}  // namespace orv
