// Device files driven by control requests (CreateFile + DeviceIoControl on the
// system the viewer was designed for). A device name opens whatever back-end
// has been registered for it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace orv {

class Device {
public:
    virtual ~Device() = default;
    // One control request. False when it failed at the system level;
    // returned is set to the number of output bytes written.
    virtual bool Control(std::uint32_t code, std::span<const std::uint8_t> input,
                         std::span<std::uint8_t> output, std::uint32_t& returned) = 0;
};

class DeviceIo {
public:
    virtual ~DeviceIo() = default;
    // None when the device cannot be opened.
    virtual std::unique_ptr<Device> Open(std::string_view name) = 0;
};

// Devices by name, each opened by the function registered for it.
class DeviceTable : public DeviceIo {
public:
    using Opener = std::function<std::unique_ptr<Device>()>;

    void Register(std::string name, Opener opener) { openers_[std::move(name)] = std::move(opener); }

    std::unique_ptr<Device> Open(std::string_view name) override {
        const auto it = openers_.find(std::string(name));
        return it == openers_.end() ? nullptr : it->second();
    }

private:
    std::map<std::string, Opener> openers_;
};

}  // namespace orv
