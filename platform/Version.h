// The four-number version of a program file ("3.0.0.141"), kept in the
// executable as an ELF note: name "ORVTT", type 1, two 32-bit words (major <<
// 16 | minor, release << 16 | build), as a version resource keeps it.
#pragma once

#include <string>

namespace orv {

// The version stored in that file; empty when the file has none or cannot be read.
std::string ReadVersionInfo(const std::string& fileName);

// The running program's own file.
std::string ProgramFileName();

}  // namespace orv
