// A file written anew beside the one it replaces and renamed over it once it
// is complete: a run that fails leaves the old file as it was, a reader never
// sees half a file, and a link that someone planted at the file's name is
// never written through, as the new file is created under a name no one can
// foresee (mkstemp) and the rename replaces whatever stood at the name.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace orv {

class FileReplacement {
public:
    // Creates the new file, named stem + six random characters (target +
    // ".XXXXXX" without a stem), in the target's folder. It gets the
    // permissions of the regular file it replaces, else those a new file gets
    // (0666 less the umask). None when it cannot be created (errno tells why).
    static std::optional<FileReplacement> Begin(const std::string& target, const std::string& stem = {});

    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&& other) noexcept;
    ~FileReplacement();  // a file never committed is removed

    int Fd() const { return fd_.Get(); }
    bool Write(std::string_view bytes);
    bool Write(std::span<const std::uint8_t> bytes) {
        return Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    // Puts the file in the target's place. Durable: its bytes reach the disk
    // before the rename, and the rename before the return.
    bool Commit(bool durable = false);

private:
    FileReplacement(UniqueFd fd, std::string temp, std::string target);

    UniqueFd fd_;
    std::string temp_;
    std::string target_;
};

// Writes all of the bytes, going on after interruptions; false on an error.
bool WriteAllTo(int fd, std::string_view bytes);

// The permissions a new file gets here: 0666 less the process's umask.
mode_t NewFileMode();

}  // namespace orv
