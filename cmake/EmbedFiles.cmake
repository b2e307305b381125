# Writes a C++ source that holds the given files as byte arrays.
# Run as: cmake -DOUTPUT=file.cpp -DFUNCTION=Name -DINPUTS="a|b" -P EmbedFiles.cmake
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(body "")
set(table "")
set(index 0)
foreach(input IN LISTS INPUTS)
  file(READ "${input}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  get_filename_component(name "${input}" NAME)
  string(APPEND body "const unsigned char kFile${index}[] = {${bytes} 0};\n")
  string(APPEND table "    {\"${name}\", std::string_view(reinterpret_cast<const char*>(kFile${index}), sizeof kFile${index} - 1)},\n")
  math(EXPR index "${index} + 1")
endforeach()
if(index EQUAL 0)
  set(table "    {\"\", std::string_view()},\n")
  set(count 0)
else()
  set(count ${index})
endif()
file(WRITE "${OUTPUT}.tmp" "// Generated at build time; do not edit.
#include \"drivers/broadcast/EmbeddedDemoPages.h\"

namespace orv {
namespace {
${body}
const EmbeddedFile kFiles[] = {
${table}};
}  // namespace

std::span<const EmbeddedFile> ${FUNCTION}() { return std::span(kFiles, ${count}); }

}  // namespace orv
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
