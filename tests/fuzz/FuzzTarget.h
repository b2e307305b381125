// What every fuzz target shares: the libFuzzer entry point and an output
// stream that formats everything and keeps nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace orv::fuzz {

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Writes go through the formatting as they would to a file.
class NullStream : public std::ostream {
public:
    NullStream() : std::ostream(&buffer_) {}

private:
    NullBuffer buffer_;
};

}  // namespace orv::fuzz
