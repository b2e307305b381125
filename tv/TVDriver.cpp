#include "tv/TVDriver.h"

#include <sys/stat.h>

#include <vector>

#include "platform/Registry.h"
#include "platform/SharedLibrary.h"

namespace orv {

namespace {

constexpr std::size_t kArgumentArea = 1024;  // bytes the call's argument area holds
constexpr int kMaxPointers = 10;

void Push(std::vector<std::uint16_t>& words, std::uint16_t word) {
    if (words.size() * sizeof(std::uint16_t) > kArgumentArea)
        throw DriverError(DriverErrorKind::ThunkError, "Too many parameters");
    words.push_back(word);
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::vector<std::uint16_t> MarshalArguments(std::span<const std::uint32_t> values, std::span<const int> sizes) {
    if (values.size() != sizes.size()) throw DriverError(DriverErrorKind::InvalidArgument, "Parameter mismatch");
    std::vector<std::uint16_t> words;
    words.reserve(values.size() * 2);
    int pointers = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint32_t value = values[i];
        switch (sizes[i]) {
        case kByteArgument: Push(words, static_cast<std::uint16_t>(value & 0xFF)); break;
        case kWordArgument: Push(words, static_cast<std::uint16_t>(value & 0xFFFF)); break;
        case kPointerArgument:
            if (++pointers > kMaxPointers)
                throw DriverError(DriverErrorKind::ThunkError, "Too many pointer parameters");
            [[fallthrough]];
        case kLongArgument:
            Push(words, static_cast<std::uint16_t>(value >> 16));
            Push(words, static_cast<std::uint16_t>(value & 0xFFFF));
            break;
        default: throw DriverError(DriverErrorKind::ThunkError, "Invalid parameter size");
        }
    }
    return words;
}

TVDriver::TVDriver(const Registry& registry) : registry_(registry) {}

TVDriver::~TVDriver() = default;

void TVDriver::LoadTVDriver() {
    if (Loaded()) return;
    loadError_ = std::string("no TV driver: no \"") + kTVDriverValue + "\" value under HKEY_LOCAL_MACHINE\\" +
                 kTVDriverKey;
    if (!registry_.KeyExists(kTVDriverKey)) return;
    const auto value = registry_.ReadString(kTVDriverKey, kTVDriverValue);
    if (!value) return;
    // The value and its terminating zero must fit the 200-byte buffer.
    if (value->size() + 1 > kDriverValueBuffer) {
        loadError_ = "TV driver: the \"driver\" value is longer than 199 characters";
        return;
    }
    const std::string name = ProgramRelativePath(value->substr(0, value->find('\0')));
    if (name.empty()) return;
    auto library = SharedLibrary::Open(name, false, &loadError_);
    if (!library) {
        loadError_ = "TV driver " + name + ": " + loadError_;
        handle_ = name.find('/') == std::string::npos || IsFile(name) ? kDriverBadFormat : kDriverFileNotFound;
        return;
    }
    loadError_.clear();
    library_ = std::move(library);
    videoMessage_ = library_->Entry<OrvVideoWindowMessage>(kVideoWindowMessageEntry);
    videoFrame_ = library_->Entry<OrvVideoWindowFrame>(kVideoWindowFrameEntry);
    if (!videoMessage_ || !videoFrame_) videoMessage_ = nullptr, videoFrame_ = nullptr;
    handle_ = nextHandle_;
    nextHandle_ = nextHandle_ == 0xFFFF ? kNoDriver + 1 : nextHandle_ + 1;
}

void TVDriver::Release() {
    if (handle_ == kNoDriver) return;
    videoMessage_ = nullptr;
    videoFrame_ = nullptr;
    library_.reset();
    handle_ = kNoDriver;
}

std::uint32_t TVDriver::CallDriverRoutine(const char* name, std::span<const std::uint32_t> values,
                                          std::span<const int> sizes) {
    const std::vector<std::uint16_t> words = MarshalArguments(values, sizes);
    OrvTVRoutine* routine = Loaded() ? library_->Entry<OrvTVRoutine>(name) : nullptr;
    if (!routine) throw DriverError(DriverErrorKind::ThunkError, "16-bit routine not found");
    return routine(words.data(), static_cast<int>(words.size()));
}

bool TVDriver::DriverGetChannelRange(std::uint16_t& highest, std::uint16_t& lowest) {
    try {
        const std::uint32_t values[] = {TunerDevice};
        const int sizes[] = {kWordArgument};
        const std::uint32_t range = CallDriverRoutine(kTuneChannelsRoutine, values, sizes);
        highest = static_cast<std::uint16_t>(range >> 16);
        lowest = static_cast<std::uint16_t>(range & 0xFFFF);
        return true;
    } catch (const DriverError&) {
        return false;
    }
}

std::uint32_t TVDriver::DriverSetChannel(std::uint16_t channel) {
    const std::uint32_t values[] = {TunerDevice, channel};
    const int sizes[] = {kWordArgument, kWordArgument};
    return CallDriverRoutine(kSetChannelRoutine, values, sizes);
}

std::uint32_t TVDriver::DriverGetSource() {
    const std::uint32_t values[] = {TunerDevice, SourceProperty};
    const int sizes[] = {kWordArgument, kByteArgument};
    return CallDriverRoutine(kGetPropertyRoutine, values, sizes);
}

bool TVDriver::DriverSetSource(std::uint32_t value) {
    try {
        const std::uint32_t values[] = {TunerDevice, SourceProperty, value};
        const int sizes[] = {kWordArgument, kByteArgument, kLongArgument};
        CallDriverRoutine(kSetPropertyRoutine, values, sizes);
        return true;
    } catch (const DriverError&) {
        return false;
    }
}

}  // namespace orv
