#include "acquisition/VbiDevice.h"

#include <algorithm>
#include <cstring>

namespace orv {

namespace {

std::span<const std::uint8_t> Bytes(std::span<const std::uint32_t> words) {
    return {reinterpret_cast<const std::uint8_t*>(words.data()), words.size_bytes()};
}

std::uint32_t WordAt(std::span<const std::uint8_t> buffer, std::size_t offset) {
    std::uint32_t word = 0;
    if (offset + 4 <= buffer.size()) std::memcpy(&word, buffer.data() + offset, 4);
    return word;
}

}  // namespace

bool VbiDevice::IsOpen() const {
    std::lock_guard guard(mutex_);
    return device_ != nullptr;
}

bool VbiDevice::VbiConfigured() const {
    std::lock_guard guard(mutex_);
    return configured_;
}

bool VbiDevice::OpenLocked() {
    if (!device_) device_ = io_.Open(kVbiDeviceName);
    return device_ != nullptr;
}

bool VbiDevice::OpenVbiDevice() {
    std::lock_guard guard(mutex_);
    return OpenLocked();
}

bool VbiDevice::Request(std::uint32_t code, std::span<const std::uint32_t> input, std::uint32_t& result) {
    std::uint8_t output[4] = {};
    std::uint32_t returned = 0;
    if (!device_->Control(code, Bytes(input), output, returned)) return false;
    result = WordAt(output, 0);
    return true;
}

std::uint32_t VbiDevice::StartVbiCapture(std::uint32_t& queryAnswer) {
    std::lock_guard guard(mutex_);
    queryAnswer = 0;
    if (!OpenLocked()) return kVbiCannotOpen;

    const std::uint32_t queryInput[] = {255};
    std::vector<std::uint8_t> answer(kVbiQuerySize);
    std::uint32_t returned = 0;
    if (device_->Control(kVbiQuery, Bytes(queryInput), answer, returned)) queryAnswer = WordAt(answer, 4);
    if (static_cast<std::int32_t>(queryAnswer) < 1) return kVbiQueryRefused;

    std::uint32_t result = 0;
    if (!configured_) {
        const std::uint32_t configure[] = {kVbiMaxPackets, 0x0003FFFF, 0x0003FFFF, 0};
        if (!Request(kVbiConfigure, configure, result)) return kVbiRequestFailed;
        if (result != 0) return result;
        configured_ = true;
    }
    if (!Request(kVbiStart, {}, result)) return kVbiRequestFailed;
    return result;
}

int VbiDevice::ReadVbiPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) {
    status = 0;
    packets.clear();
    std::lock_guard guard(mutex_);
    if (!device_) return 0;
    const std::uint32_t input[] = {kVbiMaxPackets};
    std::uint32_t returned = 0;
    if (!device_->Control(kVbiRead, Bytes(input), readBuffer_, returned)) return 0;
    if (WordAt(readBuffer_, 0) != 0) return 0;
    // Never trust the count beyond what the buffer holds.
    const std::uint32_t count = std::min(WordAt(readBuffer_, 12), kVbiMaxPackets);
    packets.resize(count);
    if (count > 0) std::memcpy(packets.data(), readBuffer_.data() + kVbiReadHeader, count * sizeof(tVTXPacket));
    status = WordAt(readBuffer_, 4);
    return static_cast<int>(count);
}

void VbiDevice::StopVbiCapture() {
    std::lock_guard guard(mutex_);
    if (!device_) return;
    if (configured_) {
        std::uint32_t result = 0;
        Request(kVbiStop, {}, result);
        Request(kVbiRelease, {}, result);
        configured_ = false;
    }
    device_.reset();
}

}  // namespace orv
