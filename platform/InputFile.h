// Files from outside (recordings, page files) opened so that nothing can
// hang the caller: without blocking (a FIFO under the name does not wait for
// a writer), and only when they are regular files.
#pragma once

#include <cstddef>
#include <string>

#include "platform/UniqueFd.h"

namespace orv {

// The open file, or none with the reason in error (one line).
UniqueFd OpenInputFile(const std::string& path, std::string& error);

// The whole file into out when it is a regular file of at most maxBytes;
// false with the reason in error otherwise.
bool ReadInputFile(const std::string& path, std::size_t maxBytes, std::string& out, std::string& error);

}  // namespace orv
