// The binary interface of the capture library "OrvTTCap.dll": its eight entry
// points and the records passed to them. Shared by the viewer's binding and by
// the capture libraries we ship.
#pragma once

#include <cstdint>

#include "acquisition/UTeletextTypes.h"

namespace orv {

inline constexpr char kCaptureDllName[] = "OrvTTCap.dll";
inline constexpr int kCaptureReadMax = 500;  // packets asked for per read

// Status word bits of a read (the same for every source).
enum : std::uint32_t {
    kStatusMoreWaiting = 1,  // read again at once
    kStatusFilling = 2,      // the source fills faster than it is read: poll more often
    kStatusReset = 4,        // the source started over: drop the stored pages
};

#pragma pack(push, 1)

// Passed to ORVTTCAP_Open: the words 0, 0x0003FFFF, 0x0003FFFF, 0.
struct tCaptureOpenRecord {
    std::uint32_t Words[4] = {0, 0x0003FFFF, 0x0003FFFF, 0};
};

// One entry of the read buffer: four bytes the viewer does not read, then a packet.
struct tCaptureEntry {
    std::uint8_t Reserved[4] = {};
    tVTXPacket Packet;
};

// Passed to ORVTTCAP_GetPackets. The entry buffer address is pointer-sized,
// so the record is 24 bytes on a 64-bit system.
struct tCaptureReadDescriptor {
    std::uint32_t Status = 0;
    std::uint32_t Reserved1 = 0;
    std::uint32_t Count = 0;
    std::uint32_t Reserved2 = 0;
    tCaptureEntry* Entries = nullptr;
};

// One entry of the teletext descriptor of the service a DVB library decodes.
struct tCaptureTeletextEntry {
    char Language[8] = {};  // ISO 639 code, UTF-8, zero-filled behind it
    std::uint8_t Type = 0;  // teletext_type: 1 initial page, 2 subtitles, 5 for the hard of hearing, ...
    std::uint8_t Reserved = 0;
    std::uint16_t Page = 0;  // magazine and page, 0x100-0x8FF
};

#pragma pack(pop)

static_assert(sizeof(tCaptureTeletextEntry) == 12);
static_assert(sizeof(tCaptureOpenRecord) == 16);
static_assert(sizeof(tCaptureEntry) == 46);
static_assert(offsetof(tCaptureReadDescriptor, Count) == 8);
static_assert(offsetof(tCaptureReadDescriptor, Entries) == 16);

extern "C" {
using ORVTTCAP_OpenFn = std::uint32_t(tCaptureOpenRecord* openRecord);
using ORVTTCAP_GetDriverVersionFn = std::uint32_t(std::uint8_t* version8);
using ORVTTCAP_CloseFn = std::uint32_t();
using ORVTTCAP_StartFn = std::uint32_t();
using ORVTTCAP_StopFn = std::uint32_t();
using ORVTTCAP_FlushFn = std::uint32_t();
using ORVTTCAP_GetStatusFn = std::uint32_t(std::uint32_t* status);
using ORVTTCAP_GetPacketsFn = std::uint32_t(std::uint32_t maxPackets, tCaptureReadDescriptor* descriptor);
// Optional, beside the eight: why the last ORVTTCAP_Open failed, as text
// (at most size - 1 bytes and a zero); the length written.
using ORVTTCAP_GetErrorTextFn = std::uint32_t(char* text, std::uint32_t size);
// Optional, beside the eight: the entries of the teletext descriptor of the
// service decoded, as many as fit in max; returns how many there are (0 when
// the source has none). Called from the capture thread between reads.
using ORVTTCAP_GetTeletextEntriesFn = std::uint32_t(tCaptureTeletextEntry* entries, std::uint32_t max);
}

inline constexpr char kCaptureErrorTextEntry[] = "ORVTTCAP_GetErrorText";
inline constexpr char kCaptureTeletextEntriesEntry[] = "ORVTTCAP_GetTeletextEntries";
inline constexpr std::uint32_t kCaptureTeletextEntriesMax = 64;  // what the viewer asks for

// Entry point names, plain and decorated, in binding order.
struct CaptureEntryName {
    const char* Plain;
    const char* Decorated;
};
inline constexpr CaptureEntryName kCaptureEntryNames[8] = {
    {"ORVTTCAP_Open", "_ORVTTCAP_Open@4"},
    {"ORVTTCAP_GetDriverVersion", "_ORVTTCAP_GetDriverVersion@4"},
    {"ORVTTCAP_Close", "_ORVTTCAP_Close@0"},
    {"ORVTTCAP_Start", "_ORVTTCAP_Start@0"},
    {"ORVTTCAP_Stop", "_ORVTTCAP_Stop@0"},
    {"ORVTTCAP_Flush", "_ORVTTCAP_Flush@0"},
    {"ORVTTCAP_GetStatus", "_ORVTTCAP_GetStatus@4"},
    {"ORVTTCAP_GetPackets", "_ORVTTCAP_GetPackets@8"},
};

}  // namespace orv
