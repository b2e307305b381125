// "orvtt-simtv.so": a TV card without hardware. The tuner routines remember
// what they are told, the video window shows a moving test picture, and two
// extra entries tell the VBI back-end "simcard" where the tuner stands so
// that its teletext follows the channel. One card per process: its state is
// a single object, atomics where the UI thread and the capture thread meet.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <type_traits>

#include "drivers/tv/SimCardSettings.h"
#include "drivers/tv/TestPicture.h"
#include "platform/Registry.h"
#include "tv/TVDriverAbi.h"

#define ORVTT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace orv;

constexpr std::uint32_t kTuner = 1;
constexpr std::uint32_t kLastSource = 2;  // S-Video

struct Card {
    std::atomic<std::uint32_t> Channel{0};
    std::atomic<std::uint32_t> Source{kTuner};
    std::atomic<bool> PictureOn{false};
    std::atomic<std::intptr_t> WindowPosition{0};  // kept for a real card's overlay; the picture ignores it
    std::mutex PictureLock;
    TestPicture Picture;
};

Card& TheCard() {
    static Card card;
    return card;
}

// Read once: a real card's range does not change while it is in use.
SimCardRange Range() {
    static const SimCardRange range = [] {
        try {
            return ReadSimCardRange(Registry(Registry::DefaultPath()));
        } catch (...) {
            return SimCardRange{};
        }
    }();
    return range;
}

// The inputs by name, the tuner by its channel. (snprintf rather than
// std::to_string, whose inline helpers would be exported from the library.)
std::array<char, 8> Label(std::uint32_t source, std::uint32_t channel) {
    std::array<char, 8> text{};
    if (source == 0)
        std::snprintf(text.data(), text.size(), "AV");
    else if (source == 2)
        std::snprintf(text.data(), text.size(), "S");
    else
        std::snprintf(text.data(), text.size(), "%u", static_cast<unsigned>(channel));
    return text;
}

PictureTime Now() {
    const auto wall = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count();
    PictureTime time;
    time.Running = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    time.Hour = local.tm_hour;
    time.Minute = local.tm_min;
    time.Second = local.tm_sec;
    time.Tenth = static_cast<int>((millis % 1000 + 1000) % 1000 / 100);
    return time;
}

}  // namespace

// DVATUNECHANNELS(device): highest channel in the high word, lowest in the low.
ORVTT_EXPORT std::uint32_t DVATUNECHANNELS(const std::uint16_t* words, int count) {
    if (!words || count != 1) return 0;
    const SimCardRange range = Range();
    return static_cast<std::uint32_t>(range.Max) << 16 | range.Min;
}

// DVATUNESETCHANNEL(device, channel): a card tunes to whatever it is given.
ORVTT_EXPORT std::uint32_t DVATUNESETCHANNEL(const std::uint16_t* words, int count) {
    if (!words || count != 2) return 0;
    TheCard().Channel = words[1];
    return 1;
}

// DVAGETPROPERTY(device, property): the video source; other properties are 0.
ORVTT_EXPORT std::uint32_t DVAGETPROPERTY(const std::uint16_t* words, int count) {
    if (!words || count != 2) return 0;
    return words[1] == kSourceProperty ? TheCard().Source.load() : 0;
}

// DVASETPROPERTY(device, property, value high, value low): only the source.
ORVTT_EXPORT std::uint32_t DVASETPROPERTY(const std::uint16_t* words, int count) {
    if (!words || count != 4 || words[1] != kSourceProperty) return 0;
    const std::uint32_t value = static_cast<std::uint32_t>(words[2]) << 16 | words[3];
    if (value > kLastSource) return 0;
    TheCard().Source = value;
    return 1;
}

ORVTT_EXPORT std::uint32_t OrvSimCardTunedChannel() { return TheCard().Channel; }

ORVTT_EXPORT std::uint32_t OrvSimCardSource() { return TheCard().Source; }

ORVTT_EXPORT std::intptr_t ORVVideoWindowMessage(std::uint32_t message, std::uintptr_t, std::intptr_t lParam) {
    Card& card = TheCard();
    switch (message) {
        case kVideoWindowStart: card.PictureOn = true; return 1;
        case kVideoWindowStop: card.PictureOn = false; return 1;
        case kWindowMoved: card.WindowPosition = lParam; return 0;
        default: return 0;
    }
}

ORVTT_EXPORT int ORVVideoWindowFrame(std::uint32_t* pixels, int width, int height, int stride) {
    Card& card = TheCard();
    if (!card.PictureOn) return 0;
    try {
        const auto label = Label(card.Source, card.Channel);
        std::lock_guard guard(card.PictureLock);
        return card.Picture.Draw(pixels, width, height, stride, label.data(), Now()) ? 1 : 0;
    } catch (...) {
        return 0;  // no memory for the bar rows: no picture this time
    }
}

// The viewer finds these by name; their types must be the ones it calls.
static_assert(std::is_same_v<decltype(DVATUNECHANNELS), OrvTVRoutine>);
static_assert(std::is_same_v<decltype(ORVVideoWindowMessage), OrvVideoWindowMessage>);
static_assert(std::is_same_v<decltype(ORVVideoWindowFrame), OrvVideoWindowFrame>);
static_assert(std::is_same_v<decltype(OrvSimCardTunedChannel), OrvSimCardQuery>);
