# Writes a C++ source whose function returns the bytes of one file.
# Run as: cmake -DINPUT=file -DOUTPUT=file.cpp -DFUNCTION=Name -DHEADER=dir/Header.h -P EmbedBytes.cmake
# HEADER declares "std::span<const std::uint8_t> FUNCTION();" in namespace orv.
file(READ "${INPUT}" hex HEX)
# Sixteen bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp" "// Generated at build time from ${INPUT}; do not edit.
#include \"${HEADER}\"

namespace orv {
namespace {
// One byte more than the file, so that an empty file still makes an array.
const std::uint8_t kBytes[] = {
    ${bytes}0};
}  // namespace

std::span<const std::uint8_t> ${FUNCTION}() { return std::span(kBytes, sizeof kBytes - 1); }

}  // namespace orv
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
