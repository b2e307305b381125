// The records that travel between the acquisition threads and the windows.
// Their byte layout is fixed (capture sources, saved state and the renderers all
// rely on it), so every size and offset is checked at compile time.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

static_assert(std::endian::native == std::endian::little,
              "the packed records are little-endian");

namespace orv {

inline constexpr int kPacketSize = 42;
inline constexpr int kPayloadSize = 40;
inline constexpr int kRowLength = 40;  // payload bytes copied into a row for packets 1-29
inline constexpr int kRowCount = 30;   // rows 0-29 of a page image
inline constexpr int kTextRows = 25;   // rows 0-24 make up the visible page

// Window message of the page notification (WM_USER + 10).
inline constexpr unsigned kWM_VTX_PAGE = 1034;

// Record types of everything posted to the display queue.
enum : std::uint8_t {
    kRecUnderConstruction = 0,
    kRecPage = 1,
    kRecStationName = 2,
    kRecReset = 3,
};

// A little-endian value stored in a packed record. Reading and writing go
// through memcpy, so a field at any offset never makes an unaligned access or
// an unaligned reference.
template <class T>
class Packed {
public:
    constexpr Packed() = default;
    Packed(T value) { std::memcpy(bytes_.data(), &value, sizeof value); }  // NOLINT: implicit on purpose
    Packed& operator=(T value) {
        std::memcpy(bytes_.data(), &value, sizeof value);
        return *this;
    }
    operator T() const {  // NOLINT: implicit on purpose
        T value;
        std::memcpy(&value, bytes_.data(), sizeof value);
        return value;
    }

private:
    std::array<std::uint8_t, sizeof(T)> bytes_{};
};

#pragma pack(push, 1)

// One raw teletext packet as the capture sources deliver it: two Hamming 8/4
// address bytes and 40 payload bytes, no clock run-in and no framing code.
struct tVTXPacket {
    std::array<std::uint8_t, kPacketSize> Bytes{};

    std::uint8_t& operator[](std::size_t i) { return Bytes[i]; }
    std::uint8_t operator[](std::size_t i) const { return Bytes[i]; }
    bool operator==(const tVTXPacket&) const = default;
};

using tPageRow = std::array<std::uint8_t, kRowLength>;

// The program's page format. Row 0 holds the decoded header: columns 0-7 the
// Hamming-decoded control nibbles, 8-39 the header characters.
struct tPageImage {
    std::uint8_t RecType = 0;
    Packed<std::uint16_t> PageNo;
    std::uint8_t Subtitle = 0;             // C6
    std::uint8_t Newsflash = 0;            // C5
    std::uint8_t ErasePage = 0;            // C4
    std::uint8_t SuppressHeader = 0;       // C7
    std::uint8_t UpdateIndicator = 0;      // C8
    std::uint8_t InterruptedSequence = 0;  // C9
    std::uint8_t InhibitDisplay = 0;       // C10
    std::uint8_t MagazineSerial = 0;       // C11
    std::uint8_t NationalOption = 0;       // C12-C14, 0..7
    Packed<std::int32_t> SubCode;
    Packed<std::int32_t> PageInMagazine;
    Packed<std::int32_t> LastRow;
    std::array<tPageRow, kRowCount> Rows{};
};

// Station name taken from packet 30 (format 1). Name is length-prefixed.
struct tStationName {
    std::uint8_t RecType = kRecStationName;
    std::array<std::uint8_t, 21> Unused{};
    std::array<std::uint8_t, 21> Name{};  // [0] = length 0..20, then the characters
    std::array<std::uint8_t, kPayloadSize> RawData{};
};

// A one-byte record telling the dispatcher that the source started over.
struct tResetNotice {
    std::uint8_t RecType = kRecReset;
};

#pragma pack(pop)

static_assert(sizeof(tVTXPacket) == 42 && alignof(tVTXPacket) == 1);
static_assert(alignof(tPageImage) == 1);
static_assert(sizeof(tPageImage) == 1224);
static_assert(offsetof(tPageImage, PageNo) == 1);
static_assert(offsetof(tPageImage, Subtitle) == 3);
static_assert(offsetof(tPageImage, MagazineSerial) == 10);
static_assert(offsetof(tPageImage, NationalOption) == 11);
static_assert(offsetof(tPageImage, SubCode) == 12);
static_assert(offsetof(tPageImage, PageInMagazine) == 16);
static_assert(offsetof(tPageImage, LastRow) == 20);
static_assert(offsetof(tPageImage, Rows) == 24);
static_assert(sizeof(tStationName) == 83);
static_assert(offsetof(tStationName, Name) == 22);
static_assert(offsetof(tStationName, RawData) == 43);
static_assert(sizeof(tResetNotice) == 1);

// Station name text of a record (the length byte is clamped to 20).
std::string_view StationNameText(const tStationName& rec);

// A capture batch: a signed 32-bit count followed by that many packets, held in
// one allocation of 4 + 42 * count bytes. The count -1 marks a source reset.
class tVTXBatch {
public:
    static constexpr std::int32_t kResetMarker = -1;

    static std::unique_ptr<tVTXBatch> Create(std::span<const tVTXPacket> packets);
    static std::unique_ptr<tVTXBatch> CreateReset();

    std::int32_t Count() const;
    bool IsReset() const { return Count() == kResetMarker; }
    std::span<const tVTXPacket> Packets() const;
    std::span<const std::byte> Bytes() const { return {storage_.get(), size_}; }

    // Only Create and CreateReset can make the key.
    class Key {
        friend class tVTXBatch;
        Key() = default;
    };
    tVTXBatch(Key, std::unique_ptr<std::byte[]> storage, std::size_t size)
        : storage_(std::move(storage)), size_(size) {}

private:
    std::unique_ptr<std::byte[]> storage_;
    std::size_t size_;
};

}  // namespace orv
