// Bytes as ttxdump's standard input: a raw .t42 recording or a transport
// stream, whichever the content says, decoded and printed as text blocks.
#include <sstream>
#include <string>

#include "FuzzTarget.h"
#include "tools/ttxdump/TtxDump.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string args[] = {"-"};
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    orv::fuzz::NullStream out, err;
    const int status = orv::RunTtxDump(args, in, out, err);
    if (status < 0 || status > 2) __builtin_trap();
    return 0;
}
