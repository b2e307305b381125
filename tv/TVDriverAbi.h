// What a TV driver library exports, found by name with dlsym. The library
// is named by the registry value "driver" under
// "SOFTWARE\ORV Technologies\Capture Driver\Settings\Config".
//
// Tuner routines: the arguments arrive as 16-bit words in declaration order
// (a 1-byte argument widened to one word, a 4-byte one as two words, high
// word first); the result is 32 bits.
//   DVATUNECHANNELS(device)                   high 16 bits highest channel, low 16 bits lowest
//   DVATUNESETCHANNEL(device, channel)        tunes
//   DVAGETPROPERTY(device, property)          property 12: video source 0 composite, 1 tuner, 2 S-Video
//   DVASETPROPERTY(device, property, value)   value in two words
//
// The video window class "ORVVideoWindow" exists while a library exporting
// both of these is loaded:
//   ORVVideoWindowMessage(message, wParam, lParam)
//       1027 starts the picture (answer > 0 when it runs), 1028 stops it,
//       3 tells that the viewer's window moved (lParam = x | y << 16);
//   ORVVideoWindowFrame(pixels, width, height, stride)
//       draws the current picture scaled into width x height pixels of
//       0xFFRRGGBB, stride pixels a row; 1 when a picture was drawn, 0 when
//       there is none (stopped, no signal). Called from the viewer's UI thread.
#pragma once

#include <cstdint>

extern "C" {
using OrvTVRoutine = std::uint32_t(const std::uint16_t* words, int count);
using OrvVideoWindowMessage = std::intptr_t(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
using OrvVideoWindowFrame = int(std::uint32_t* pixels, int width, int height, int stride);
}

namespace orv {

inline constexpr char kTuneChannelsRoutine[] = "DVATUNECHANNELS";
inline constexpr char kSetChannelRoutine[] = "DVATUNESETCHANNEL";
inline constexpr char kGetPropertyRoutine[] = "DVAGETPROPERTY";
inline constexpr char kSetPropertyRoutine[] = "DVASETPROPERTY";
inline constexpr char kVideoWindowMessageEntry[] = "ORVVideoWindowMessage";
inline constexpr char kVideoWindowFrameEntry[] = "ORVVideoWindowFrame";

inline constexpr std::uint8_t kSourceProperty = 12;
inline constexpr std::uint32_t kVideoWindowStart = 1027;  // WM_USER + 3
inline constexpr std::uint32_t kVideoWindowStop = 1028;   // WM_USER + 4
inline constexpr std::uint32_t kWindowMoved = 3;          // WM_MOVE

inline constexpr char kTVDriverKey[] = "SOFTWARE\\ORV Technologies\\Capture Driver\\Settings\\Config";
inline constexpr char kTVDriverValue[] = "driver";

}  // namespace orv
