// "orvtt-v4l2tv.so", the TV driver library for analogue cards on V4L2: the
// exported routines and video window entry points (tv/TVDriverAbi.h) over one
// driver object, made at the first call with the registry's settings.
#include <exception>
#include <span>
#include <type_traits>

#include "drivers/tv/V4l2Tuner.h"
#include "platform/Registry.h"
#include "tv/TVDriverAbi.h"

#define ORVTT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace orv;

V4l2TunerSettings LoadSettings() {
    try {
        const Registry registry(Registry::DefaultPath());
        return ReadV4l2TunerSettings(registry);
    } catch (const std::exception&) {
        return {};  // an unreadable registry leaves the defaults
    }
}

V4l2Tuner& TheTuner() {
    static V4l2Tuner tuner(MakeSystemV4l2Ioctl(), LoadSettings());
    return tuner;
}

// Nothing may be thrown across the library's edge: a failure answers 0.
template <class Call>
auto Guarded(Call call) noexcept -> decltype(call()) {
    try {
        return call();
    } catch (...) {
        return 0;
    }
}

std::uint32_t Routine(std::uint32_t (V4l2Tuner::*routine)(std::span<const std::uint16_t>),
                      const std::uint16_t* words, int count) {
    if (count < 0 || (count > 0 && !words)) return 0;
    return Guarded([&] { return (TheTuner().*routine)(std::span(words, static_cast<std::size_t>(count))); });
}

}  // namespace

ORVTT_EXPORT std::uint32_t DVATUNECHANNELS(const std::uint16_t* words, int count) {
    return Routine(&V4l2Tuner::TuneChannels, words, count);
}

ORVTT_EXPORT std::uint32_t DVATUNESETCHANNEL(const std::uint16_t* words, int count) {
    return Routine(&V4l2Tuner::SetChannel, words, count);
}

ORVTT_EXPORT std::uint32_t DVAGETPROPERTY(const std::uint16_t* words, int count) {
    return Routine(&V4l2Tuner::GetProperty, words, count);
}

ORVTT_EXPORT std::uint32_t DVASETPROPERTY(const std::uint16_t* words, int count) {
    return Routine(&V4l2Tuner::SetProperty, words, count);
}

ORVTT_EXPORT std::intptr_t ORVVideoWindowMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return Guarded([&] { return TheTuner().VideoWindowMessage(message, wParam, lParam); });
}

ORVTT_EXPORT int ORVVideoWindowFrame(std::uint32_t* pixels, int width, int height, int stride) {
    return Guarded([&] { return TheTuner().DrawFrame(pixels, width, height, stride); });
}

// The exports must keep the types the viewer looks them up with.
static_assert(std::is_same_v<decltype(DVATUNECHANNELS), OrvTVRoutine>);
static_assert(std::is_same_v<decltype(DVATUNESETCHANNEL), OrvTVRoutine>);
static_assert(std::is_same_v<decltype(DVAGETPROPERTY), OrvTVRoutine>);
static_assert(std::is_same_v<decltype(DVASETPROPERTY), OrvTVRoutine>);
static_assert(std::is_same_v<decltype(ORVVideoWindowMessage), OrvVideoWindowMessage>);
static_assert(std::is_same_v<decltype(ORVVideoWindowFrame), OrvVideoWindowFrame>);
