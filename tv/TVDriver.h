// The TV driver library: loaded by the file name the capture driver's
// settings give, its routines called with their arguments marshalled into
// 16-bit words, and the four tuner operations built on them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "tv/TVDriverAbi.h"

namespace orv {

class Registry;
class SharedLibrary;

enum class DriverErrorKind { ThunkError, InvalidArgument };

// The one kind of failure the driver calls raise; its text is what the user
// sees when it reaches the program's general error report.
class DriverError : public std::runtime_error {
public:
    DriverError(DriverErrorKind kind, const char* text) : std::runtime_error(text), kind_(kind) {}
    DriverErrorKind Kind() const { return kind_; }

private:
    DriverErrorKind kind_;
};

// Sizes of the arguments of CallDriverRoutine.
inline constexpr int kByteArgument = 1;
inline constexpr int kWordArgument = 2;
inline constexpr int kLongArgument = 4;
inline constexpr int kPointerArgument = -4;  // a 32-bit pointer; none of the tuner routines takes one

// Marshals arguments into the routine's 16-bit words: first argument first,
// a byte widened to one word, a 4-byte value as two words, high word first.
// Throws DriverError on the limits (argument area, pointers, sizes).
std::vector<std::uint16_t> MarshalArguments(std::span<const std::uint32_t> values, std::span<const int> sizes);

inline constexpr int kNoDriver = 32;          // TVDriverHandle when nothing is loaded
inline constexpr int kDriverFileNotFound = 2;  // the loader's error values
inline constexpr int kDriverBadFormat = 11;
inline constexpr std::size_t kDriverValueBuffer = 200;

class TVDriver {
public:
    explicit TVDriver(const Registry& registry);
    ~TVDriver();
    TVDriver(const TVDriver&) = delete;
    TVDriver& operator=(const TVDriver&) = delete;

    // Loads the library the "driver" value names unless one is loaded. No
    // value, one of more than 199 characters or a file that does not load:
    // nothing is loaded (the handle stays 32 or holds the loader's error).
    void LoadTVDriver();
    // Frees the library; the handle is 32 again.
    void Release();
    bool Loaded() const { return handle_ > kNoDriver; }
    // Why the last LoadTVDriver loaded nothing ("" when it did).
    const std::string& LoadError() const { return loadError_; }
    int Handle() const { return handle_; }

    // Calls an exported routine; throws DriverError when the arguments are
    // refused or the library has no such routine.
    std::uint32_t CallDriverRoutine(const char* name, std::span<const std::uint32_t> values,
                                    std::span<const int> sizes);

    // The tuner operations. Range and set-source swallow driver errors;
    // set-channel and get-source let them through.
    bool DriverGetChannelRange(std::uint16_t& highest, std::uint16_t& lowest);
    std::uint32_t DriverSetChannel(std::uint16_t channel);
    std::uint32_t DriverGetSource();
    bool DriverSetSource(std::uint32_t value);

    // The video window class, when the loaded library provides it.
    OrvVideoWindowMessage* VideoWindowMessage() const { return videoMessage_; }
    OrvVideoWindowFrame* VideoWindowFrame() const { return videoFrame_; }

    std::uint16_t TunerDevice = 0;
    std::uint8_t SourceProperty = kSourceProperty;

private:
    const Registry& registry_;
    std::shared_ptr<SharedLibrary> library_;
    int handle_ = kNoDriver;
    std::string loadError_;
    int nextHandle_ = kNoDriver + 1;
    OrvVideoWindowMessage* videoMessage_ = nullptr;
    OrvVideoWindowFrame* videoFrame_ = nullptr;
};

}  // namespace orv
