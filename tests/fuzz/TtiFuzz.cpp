// Bytes as a .tti page file, then the pages it gave through the demo
// broadcast, which encodes them as an inserter sends them.
#include <string_view>
#include <vector>

#include "FuzzTarget.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/broadcast/TtiFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orv;
    auto result = ParseTti(std::string_view(reinterpret_cast<const char*>(data), size));
    if (result.Ok() == result.Pages.empty()) __builtin_trap();
    for (const auto& page : result.Pages) {
        if (page.PageNo < 0x100 || page.PageNo > 0x8FF) __builtin_trap();
        for (const auto& row : page.Rows)
            for (const std::uint8_t b : row)
                if (b >= 0x80) __builtin_trap();
    }
    if (!result.Ok()) return 0;
    DemoBroadcast broadcast(std::move(result.Pages), BroadcastOptions{.StartTime = 1});
    std::vector<tVTXPacket> packets(256);
    broadcast.Fill(packets);
    return 0;
}
