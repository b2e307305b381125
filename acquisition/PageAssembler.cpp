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
    for (auto& pending : pending_) pending.reset();
    for (auto& magazine : magazine_) magazine.reset();
    for (auto& shared : magazineOnly_) shared.reset();
    heard_ = heardSinceTick_ = heardInPes_ = 0;
    lastHeard_.fill(now_);
    headerTime_.fill(now_);
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
    heard_ |= 1u << address->Magazine;
    // Display rows are nearly every packet: their step stays in line here.
    if (number >= 1 && number <= 25) [[likely]]
        RowStep(packet, address->Magazine, number);
    else
        OtherStep(packet, address->Magazine, number);
}

void PageAssembler::OtherStep(const tVTXPacket& packet, int magazine, int number) {
    if (number == 0) {
        HeaderStep(packet, magazine);
    } else if (number <= 28) {
        EnhancementStep(packet, magazine, number);
    } else if (number == 29) {
        MagazineStep(packet, magazine);
    } else if (number == 30) {
        StationNameStep(packet);
    }
    // Packet 31 carries nothing for us.
}

void PageAssembler::HeaderStep(const tVTXPacket& packet, int magazine) {
    const auto pageNo = DecodePageNumber(packet, magazine);
    if (!pageNo) return;  // neither opens nor closes a page

    CloseSlot(magazine);
    pending_[magazine].reset();  // packets of a header that no row followed

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
    headerTime_[magazine] = now_;
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

// Packets 26-28 of the page under construction: X/26 characters, X/27/0
// links and X/28 character sets, kept by their own coding. They are no
// display rows: rows 26-28 of the image stay spaces.
void PageAssembler::EnhancementStep(const tVTXPacket& packet, int magazine, int number) {
    if ((slots_[magazine]->PageNo >> 8) != magazine) return;  // no header seen in this magazine yet
    const std::uint8_t designation = DecodeHamming84(packet[2]);
    if (designation == kHammingError) return;
    try {
        if (number == 26) {
            Pending(magazine).SetX26(designation, packet);  // sent again: the newer copy counts
        } else if (number == 27) {
            if (designation == 0) Pending(magazine).X27_0 = LinksPacket{packet, static_cast<std::uint8_t>(magazine)};
        } else if (designation == 0) {
            Pending(magazine).X28_0 = TripletPacket::FromPacket(packet);
        } else if (designation == 1) {
            Pending(magazine).X28_1 = TripletPacket::FromPacket(packet);
        } else if (designation == 4) {
            Pending(magazine).X28_4 = TripletPacket::FromPacket(packet);
        }
    } catch (const std::bad_alloc&) {
        // The packet is lost; the page still comes with its rows.
    }
}

// M/29 describes the magazine: kept until a newer one, for every page of it.
void PageAssembler::MagazineStep(const tVTXPacket& packet, int magazine) {
    const std::uint8_t designation = DecodeHamming84(packet[2]);
    if (designation != 0 && designation != 1 && designation != 4) return;
    MagazineEnhancements next = magazine_[magazine] ? *magazine_[magazine] : MagazineEnhancements{};
    auto& field = designation == 0 ? next.M29_0 : designation == 1 ? next.M29_1 : next.M29_4;
    const TripletPacket triplets = TripletPacket::FromPacket(packet);
    if (field == triplets) return;  // repeated as it stands: nothing changes
    field = triplets;
    try {
        magazine_[magazine] = std::make_shared<const MagazineEnhancements>(std::move(next));
        magazineOnly_[magazine].reset();
    } catch (const std::bad_alloc&) {
    }
}

PageEnhancements& PageAssembler::Pending(int magazine) {
    // Record and count in one allocation; the X/26 places are filled as packets come.
    if (!pending_[magazine]) pending_[magazine] = std::make_shared_for_overwrite<PageEnhancements>();
    return *pending_[magazine];
}

std::shared_ptr<const PageEnhancements> PageAssembler::TakeEnhancements(int magazine) {
    try {
        if (pending_[magazine]) {
            pending_[magazine]->Magazine = magazine_[magazine];
            return std::exchange(pending_[magazine], nullptr);
        }
        if (magazine_[magazine] && !magazineOnly_[magazine]) {
            auto shared = std::make_shared<PageEnhancements>();
            shared->Magazine = magazine_[magazine];
            magazineOnly_[magazine] = std::move(shared);
        }
        return magazineOnly_[magazine];
    } catch (const std::bad_alloc&) {
        pending_[magazine].reset();
        return nullptr;  // the page goes on as a level-1 page
    }
}

void PageAssembler::CloseAllPages() {
    for (int magazine = 1; magazine <= 8; ++magazine) CloseSlot(magazine);
}

void PageAssembler::Collect() {
    heardSinceTick_ |= heard_;
    heardInPes_ |= heard_;
    heard_ = 0;
}

void PageAssembler::Tick(Time now) {
    Collect();
    for (int magazine = 1; magazine <= 8; ++magazine) {
        if (heardSinceTick_ & (1u << magazine)) {
            lastHeard_[magazine] = now_;  // its packets came by the last tick
        } else if (now - lastHeard_[magazine] >= kQuietClose && Timed(magazine)) {
            CloseSlot(magazine);
            slots_[magazine]->PageNo = 0;  // its rows to come have no header
        }
    }
    heardSinceTick_ = 0;
    now_ = now;
}

void PageAssembler::CloseTimedPages() {
    Collect();
    for (int magazine = 1; magazine <= 8; ++magazine)
        if (!(heardInPes_ & (1u << magazine)) && Timed(magazine)) {
            CloseSlot(magazine);
            slots_[magazine]->PageNo = 0;
        }
    heardInPes_ = 0;
}

// A subtitle or newsflash page under construction.
bool PageAssembler::Timed(int magazine) const {
    const tPageImage& slot = *slots_[magazine];
    return (slot.PageNo >> 8) == magazine && (slot.Subtitle || slot.Newsflash);
}

void PageAssembler::CloseSlot(int magazine) {
    tPageImage& slot = *slots_[magazine];
    // A header that no row followed is never passed on, but for the erase of
    // a subtitle or newsflash page: that clears the caption.
    if (slot.LastRow == 0 && !(slot.ErasePage && (slot.Subtitle || slot.Newsflash) && (slot.PageNo >> 8) == magazine))
        return;

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
    PageDeleter owner(TakeEnhancements(magazine));
    PagePtr page(std::exchange(slots_[magazine], std::move(fresh)).release(), std::move(owner));
    receivedRows_[magazine] = 0;
    postedHeaderTime_ = headerTime_[magazine];
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
