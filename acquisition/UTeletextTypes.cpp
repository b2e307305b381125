#include "acquisition/UTeletextTypes.h"

#include <algorithm>
#include <cstring>

namespace orv {

std::string_view StationNameText(const tStationName& rec) {
    const std::size_t length = std::min<std::size_t>(rec.Name[0], rec.Name.size() - 1);
    return {reinterpret_cast<const char*>(rec.Name.data() + 1), length};
}

std::unique_ptr<tVTXBatch> tVTXBatch::Create(std::span<const tVTXPacket> packets) {
    const std::size_t size = sizeof(std::int32_t) + packets.size_bytes();
    auto storage = std::make_unique<std::byte[]>(size);  // zero-filled
    const auto count = static_cast<std::int32_t>(packets.size());
    std::memcpy(storage.get(), &count, sizeof count);
    if (!packets.empty())
        std::memcpy(storage.get() + sizeof count, packets.data(), packets.size_bytes());
    return std::make_unique<tVTXBatch>(Key{}, std::move(storage), size);
}

std::unique_ptr<tVTXBatch> tVTXBatch::CreateReset() {
    auto storage = std::make_unique<std::byte[]>(sizeof(std::int32_t));
    const std::int32_t marker = kResetMarker;
    std::memcpy(storage.get(), &marker, sizeof marker);
    return std::make_unique<tVTXBatch>(Key{}, std::move(storage), sizeof marker);
}

std::int32_t tVTXBatch::Count() const {
    std::int32_t count = 0;
    std::memcpy(&count, storage_.get(), sizeof count);
    return count;
}

std::span<const tVTXPacket> tVTXBatch::Packets() const {
    const std::int32_t count = Count();
    if (count <= 0) return {};
    // tVTXPacket has alignment 1 and the buffer was written as packets.
    const auto* first = reinterpret_cast<const tVTXPacket*>(storage_.get() + sizeof count);
    return {first, static_cast<std::size_t>(count)};
}

}  // namespace orv
