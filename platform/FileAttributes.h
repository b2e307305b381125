// File attributes as the viewer's design knows them. A "read-only" file is
// one whose permission bits let no one write it: like the read-only
// attribute, that holds for every user, the administrator included.
#pragma once

#include <string>

namespace orv {

// True when the file exists and no write permission bit is set.
bool IsReadOnlyFile(const std::string& path);

}  // namespace orv
