#include "acquisition/PageAssembler.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "acquisition/Hamming.h"
#include "acquisition/PacketDecode.h"

namespace orv {

void PageAssembler::Reset() {
    for (auto& slot : slots_) slot = std::make_unique<tPageImage>();
    receivedRows_.fill(0);
}

void PageAssembler::ProcessBatch(const tVTXBatch& batch) {
    if (batch.IsReset()) {
        try {
            sink_.PostReset(std::make_unique<tResetNotice>());
        } catch (const std::bad_alloc&) {
            // Not posted; assembly goes on.
        }
        return;
    }
    ProcessPackets(batch.Packets());
}

void PageAssembler::ProcessPackets(std::span<const tVTXPacket> packets) {
    for (const auto& packet : packets) ProcessPacket(packet);
}

void PageAssembler::ProcessPacket(const tVTXPacket& packet) {
    const auto address = DecodePacketAddress(packet);
    if (!address) return;
    const int number = address->PacketNumber;
    if (number == 0)
        HeaderStep(packet, address->Magazine);
    else if (number <= 29)
        RowStep(packet, address->Magazine, number);
    else if (number == 30)
        StationNameStep(packet);
    // Packet 31 carries nothing for us.
}

void PageAssembler::HeaderStep(const tVTXPacket& packet, int magazine) {
    const auto pageNo = DecodePageNumber(packet, magazine);
    if (!pageNo) return;  // neither opens nor closes a page

    CloseSlot(magazine);

    tPageImage& slot = *slots_[magazine];
    auto& row0 = slot.Rows[0];
    for (int i = 0; i < 8; ++i) row0[i] = DecodeHamming84(packet[2 + i]);
    CopyWithOddParity(std::span(packet.Bytes).subspan(10), std::span(row0).subspan(8));

    tVTXPacket decoded;  // bytes 2-9 decoded, as the control fields are read from them
    std::copy_n(row0.begin(), 8, decoded.Bytes.begin() + 2);
    DecodeHeaderControl(decoded, slot);
    slot.LastRow = 0;
    slot.PageNo = *pageNo;
    receivedRows_[magazine] = 1u;  // row 0
}

void PageAssembler::RowStep(const tVTXPacket& packet, int magazine, int row) {
    tPageImage& slot = *slots_[magazine];
    if ((slot.PageNo >> 8) != magazine) return;  // no header seen in this magazine yet
    if (row > slot.LastRow) slot.LastRow = row;
    // The parity rule is applied now rather than at closing: a row received
    // again replaces the earlier copy either way, so the page is the same.
    CopyRowWithOddParity(packet.Bytes.data() + 2, slot.Rows[row].data());
    receivedRows_[magazine] |= 1u << row;
}

void PageAssembler::CloseAllPages() {
    for (int magazine = 1; magazine <= 8; ++magazine) CloseSlot(magazine);
}

void PageAssembler::CloseSlot(int magazine) {
    tPageImage& slot = *slots_[magazine];
    if (slot.LastRow == 0) return;  // a header that no row followed is never passed on

    std::unique_ptr<tPageImage> fresh;
    try {
        fresh = std::make_unique<tPageImage>();
    } catch (const std::bad_alloc&) {
        slot.LastRow = 0;  // the page is lost; assembly goes on in the old record
        return;
    }
    const std::uint32_t received = receivedRows_[magazine];
    for (int r = 1; r < kRowCount; ++r)
        if (!(received & (1u << r))) slot.Rows[r].fill(0x20);  // rows that never arrived
    slot.RecType = kRecPage;
    std::unique_ptr<tPageImage> page = std::exchange(slots_[magazine], std::move(fresh));
    receivedRows_[magazine] = 0;
    try {
        sink_.PostPage(std::move(page));
    } catch (const std::bad_alloc&) {
        // No memory to pass it on: this page is lost, assembly goes on.
    }
}

void PageAssembler::StationNameStep(const tVTXPacket& packet) {
    if (!IsStationNamePacket(packet)) return;
    char name[20];
    for (int i = 0; i < 20; ++i) {
        const std::uint8_t byte = packet[22 + i];
        if (!CheckOddParity(byte)) return;  // one bad byte rejects the whole name
        name[i] = static_cast<char>(byte & 0x7F);
    }
    int first = 0, last = 20;
    while (first < last && static_cast<unsigned char>(name[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(name[last - 1]) <= 32) --last;

    try {
        auto record = std::make_unique<tStationName>();
        record->Name[0] = static_cast<std::uint8_t>(last - first);
        std::memcpy(record->Name.data() + 1, name + first, static_cast<std::size_t>(last - first));
        std::copy_n(packet.Bytes.begin() + 2, kPayloadSize, record->RawData.begin());
        sink_.PostStationName(std::move(record));
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace orv
