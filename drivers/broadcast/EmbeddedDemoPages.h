// The demo service's page files, compiled into the program from data/demo so
// that it plays with nothing installed beside it.
#pragma once

#include <span>
#include <string_view>

namespace orv {

struct EmbeddedFile {
    std::string_view Name;
    std::string_view Content;
};

std::span<const EmbeddedFile> EmbeddedDemoPages();

}  // namespace orv
