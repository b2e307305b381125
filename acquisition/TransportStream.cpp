#include "acquisition/TransportStream.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace orv {

namespace {

constexpr std::uint8_t kSync = 0x47;
constexpr std::size_t kTsPacket = 188;
constexpr std::size_t kStrides[] = {188, 192, 204};
constexpr std::size_t kLongestStride = 204;
constexpr std::size_t kSyncLookahead = 2 * kLongestStride + 1;  // three sync bytes in a row
constexpr std::size_t kMaxSection = 4096;
constexpr std::size_t kMaxPes = 65536 + 6;
constexpr std::uint8_t kPrivateStream1 = 0xBD;
constexpr std::uint8_t kStreamTypePrivatePes = 0x06;
constexpr std::uint8_t kTeletextDescriptor = 0x56;
constexpr std::uint8_t kVbiTeletextDescriptor = 0x46;
constexpr std::uint8_t kServiceDescriptor = 0x48;
constexpr std::size_t kMaxServices = kMaxTsServices;
constexpr std::int64_t kMask33 = (std::int64_t{1} << 33) - 1;
// Without a PAT, a PID is taken for teletext once its PES packets have
// looked like it for longer than a PAT may stay away (half a second), by
// their PTS; without PTS, once this many transport packets came without one.
constexpr std::int64_t kPatWait = 54000;  // 0.6 s, 90 kHz
constexpr std::uint64_t kPacketsForPat = 100000;
// PMTs follow the PAT within its repetition time; one still missing after
// this many PATs is not waited for.
constexpr int kPatRepeatsForPmts = 3;

// CRC-32/MPEG-2 of PSI sections: over a whole section with its CRC it is 0.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[i] = crc;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ b) & 0xFF];
    return crc;
}

std::uint16_t Read13(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] & 0x1F) << 8 | p[1]); }
std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
std::size_t Read12(const std::uint8_t* p) { return static_cast<std::size_t>((p[0] & 0x0F) << 8 | p[1]); }

// A DVB text (EN 300 468 annex A) as UTF-8: a leading code table selector is
// skipped, control codes dropped and the rest read as Latin-1, which is right
// for the plain letters that station names use.
std::string DvbText(std::span<const std::uint8_t> text) {
    std::size_t pos = 0;
    if (!text.empty() && text[0] < 0x20) pos = text[0] == 0x10 ? 3 : text[0] == 0x1F ? 2 : 1;
    std::string result;
    for (; pos < text.size(); ++pos) {
        const std::uint8_t c = text[pos];
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) continue;
        if (c < 0x80) {
            result += static_cast<char>(c);
        } else {
            result += static_cast<char>(0xC0 | (c >> 6));
            result += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return result;
}

// PIDs that carry no elementary stream: the PAT, CAT, TSDT and the DVB
// tables up to 0x1F, and the null packets.
bool ReservedPid(std::uint16_t pid) { return pid <= 0x001F || pid == kNullPid; }

// The first transport packet of a PES of private stream 1 whose data field
// begins with an EBU teletext data identifier and a teletext data unit.
bool StartsTeletextPes(const std::uint8_t* p, std::optional<std::int64_t>* pts = nullptr) {
    if ((p[1] & 0xC0) != 0x40 || (p[3] & 0xC0)) return false;  // errored, not a start, scrambled
    const unsigned control = (p[3] >> 4) & 3;
    if (!(control & 1)) return false;
    const std::size_t start = control & 2 ? 5u + p[4] : 4u;
    if (start >= kTsPacket) return false;
    const std::span<const std::uint8_t> payload(p + start, kTsPacket - start);
    const auto header = ParsePesHeader(payload);
    if (!header || header->StreamId != kPrivateStream1) return false;
    if (pts) *pts = header->Pts;
    const std::span<const std::uint8_t> field = payload.subspan(header->PayloadOffset);
    if (field.empty() || !IsTeletextDataIdentifier(field[0])) return false;
    for (std::size_t pos = 1; pos + 4 <= field.size(); pos += 2u + field[pos + 1]) {
        if (field[pos] == 0xFF) continue;  // stuffing
        return (field[pos] == 0x02 || field[pos] == 0x03) && field[pos + 1] == 0x2C && field[pos + 3] == 0xE4;
    }
    return false;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::optional<TsFraming> DetectTransportStream(std::span<const std::uint8_t> bytes) {
    // Nine in ten packet starts hold the sync byte: a few damaged ones at the
    // start of a recording do not make it something else.
    for (std::size_t stride : kStrides)
        for (std::size_t offset = 0; offset < stride && offset + 2 * stride < bytes.size(); ++offset) {
            if (bytes[offset] != kSync) continue;
            std::size_t found = 0, places = 0;
            for (std::size_t pos = offset; pos < bytes.size(); pos += stride, ++places) found += bytes[pos] == kSync;
            if (found >= 3 && found * 10 >= places * 9) return TsFraming{stride, offset};
        }
    return std::nullopt;
}

TransportStreamReader::TransportStreamReader(TsChoice choice) : choice_(std::move(choice)) {
    SetRoles();
    Choose();
}

void TransportStreamReader::Feed(std::span<const std::uint8_t> bytes, std::vector<TimedPacket>& out) {
    // Bytes left over from the last call go first, with enough of the new
    // ones to complete a packet or find the sync; once they are used up the
    // new bytes are read in place.
    while (!carry_.empty() && !bytes.empty()) {
        const std::size_t old = carry_.size();
        const std::size_t take = std::min(bytes.size(), 3 * kLongestStride);
        carry_.insert(carry_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        const std::size_t used = Scan(carry_, out);
        if (used >= old) {
            bytes = bytes.subspan(used - old);
            carry_.clear();
        } else {
            carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(used));
            bytes = bytes.subspan(take);
        }
    }
    if (!carry_.empty()) return;
    const std::size_t used = Scan(bytes, out);
    carry_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(used), bytes.end());
}

bool TransportStreamReader::FindSync(std::span<const std::uint8_t> data, std::size_t& pos) {
    for (; pos + kSyncLookahead <= data.size(); ++pos) {
        if (data[pos] != kSync) continue;
        for (std::size_t stride : kStrides)
            if (data[pos + stride] == kSync && data[pos + 2 * stride] == kSync) {
                framing_.Stride = stride;
                synced_ = true;
                return true;
            }
    }
    return false;
}

std::size_t TransportStreamReader::Scan(std::span<const std::uint8_t> data, std::vector<TimedPacket>& out) {
    std::size_t pos = std::min(skip_, data.size());
    skip_ -= pos;
    while (true) {
        if (!synced_ && !FindSync(data, pos)) return pos;
        const std::size_t stride = framing_.Stride;
        while (pos + kTsPacket <= data.size() && data[pos] == kSync) {
            // Most packets are of PIDs not read (video): pass them by here,
            // fetching ahead what memory has not brought yet.
            __builtin_prefetch(data.data() + std::min(pos + 16 * kTsPacket, data.size() - 1));
            const std::uint16_t pid = Read13(&data[pos + 1]);
            if (roles_[pid] != kIgnored) {
                TakePacket(&data[pos], out);
            } else if (watching_ && Probe(&data[pos])) {
                TakePacket(&data[pos], out);
            } else {
                ++counters_.Packets;
                if (pid == pcrPid_) TakePcr(&data[pos]);
            }
            // The four bytes before the next M2TS packet may be in the next read.
            skip_ = pos + stride > data.size() ? pos + stride - data.size() : 0;
            pos = std::min(pos + stride, data.size());
        }
        if (pos + kTsPacket > data.size()) return pos;
        // A packet without its sync byte: whatever was being put together is
        // no longer whole.
        synced_ = false;
        ++counters_.SyncLosses;
        for (auto& [pid, state] : states_) {
            state.Collecting = false;
            state.LastCc = -1;
        }
    }
}

void TransportStreamReader::TakePacket(const std::uint8_t* p, std::vector<TimedPacket>& out) {
    ++counters_.Packets;
    const std::uint16_t pid = Read13(p + 1);
    Role role = roles_[pid];
    if (p[1] & 0x80) return;  // transport error indicator: the demodulator gave up on it
    if (pid == pcrPid_) TakePcr(p);
    if (role == kProbe) {
        // A private stream without a teletext descriptor: teletext if its PES says so.
        if (!StartsTeletextPes(p)) return;
        if (TsService* service = FindService(probes_[pid])) service->Teletext.push_back({pid, "", 0, 0, {}});
        probes_.erase(pid);
        SetRoles();
        Choose();
        role = roles_[pid];
        if (role != kTeletext) return;
    }

    const unsigned control = (p[3] >> 4) & 3;
    std::size_t start = 4;
    bool discontinuity = false;
    if (control & 2) {
        const std::size_t length = p[4];
        if (length > 183) return;
        if (length > 0) discontinuity = p[5] & 0x80;
        start = 5 + length;
    }
    if (!(control & 1) || start >= kTsPacket) return;

    PidState& state = states_[pid];
    const int cc = p[3] & 0x0F;
    if (state.LastCc >= 0 && !discontinuity) {
        if (cc == state.LastCc) return;  // a packet sent twice
        if (cc != ((state.LastCc + 1) & 0x0F)) {
            ++counters_.ContinuityErrors;
            if (state.Collecting && role != kPsi) ++counters_.BrokenPes;
            state.Collecting = false;
        }
    }
    state.LastCc = cc;
    if (p[3] & 0xC0) {
        ++counters_.Scrambled;
        state.Collecting = false;
        return;
    }
    const bool unitStart = p[1] & 0x40;
    const std::span<const std::uint8_t> payload(p + start, kTsPacket - start);
    if (role == kPsi)
        TakePsiPayload(pid, state, unitStart, payload);
    else
        TakePesPayload(pid, state, unitStart, payload, out);
}

void TransportStreamReader::TakePcr(const std::uint8_t* p) {
    // An adaptation field of at least 7 bytes with the PCR flag, in a packet without errors.
    if ((p[1] & 0x80) || !(p[3] & 0x20) || p[4] < 7 || p[4] > 183 || !(p[5] & 0x10)) return;
    lastPcr_ = static_cast<std::int64_t>(p[6]) << 25 | p[7] << 17 | p[8] << 9 | p[9] << 1 | p[10] >> 7;
}

void TransportStreamReader::TakePsiPayload(std::uint16_t pid, PidState& state, bool start,
                                           std::span<const std::uint8_t> payload) {
    if (start) {
        const std::size_t pointer = payload[0];
        if (1 + pointer > payload.size()) {
            state.Collecting = false;
            return;
        }
        // The bytes before the pointer end the section that was begun.
        if (state.Collecting) TakePsiPayload(pid, state, false, payload.subspan(1, pointer));
        payload = payload.subspan(1 + pointer);
        state.Data.clear();
        state.Collecting = true;
    }
    while (state.Collecting && !payload.empty()) {
        if (state.Data.empty() && payload[0] == 0xFF) {  // stuffing to the end of the packet
            state.Collecting = false;
            return;
        }
        // Take the header first, then exactly the rest of the section.
        std::size_t want = 3;
        if (state.Data.size() >= 3) want = 3 + Read12(&state.Data[1]);
        if (want > kMaxSection) {
            state.Collecting = false;
            return;
        }
        const std::size_t take = std::min(payload.size(), want - state.Data.size());
        state.Data.insert(state.Data.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(take));
        payload = payload.subspan(take);
        if (state.Data.size() >= 3 && state.Data.size() == 3 + Read12(&state.Data[1])) {
            TakeSection(pid, state.Data);
            state.Data.clear();  // another section may follow in the same packet
        }
    }
}

void TransportStreamReader::FeedSections(std::uint16_t pid, std::span<const std::uint8_t> sections) {
    while (sections.size() >= 3) {
        const std::size_t length = 3 + Read12(&sections[1]);
        if (length > sections.size()) break;
        TakeSection(pid, sections.first(length));
        sections = sections.subspan(length);
    }
}

void TransportStreamReader::TakeSection(std::uint16_t pid, std::span<const std::uint8_t> section) {
    // Only long-form sections (with CRC) that apply now are read.
    if (section.size() < 12 || !(section[1] & 0x80) || !(section[5] & 0x01)) return;
    if (Crc32(section) != 0) {
        ++counters_.CrcErrors;
        return;
    }
    const std::span<const std::uint8_t> body = section.first(section.size() - 4);
    if (pid == kPatPid && section[0] == kPatTable)
        TakePat(body);
    else if (pid == kSdtPid && section[0] == kSdtTable)
        TakeSdt(body);
    else if (section[0] == kPmtTable)
        TakePmt(pid, body);
}

TsService* TransportStreamReader::FindService(std::uint16_t id) {
    const auto it = std::find_if(services_.begin(), services_.end(), [id](const TsService& s) { return s.Id == id; });
    return it == services_.end() ? nullptr : &*it;
}

void TransportStreamReader::TakePat(std::span<const std::uint8_t> section) {
    const int version = (section[5] >> 1) & 0x1F;
    const std::uint16_t streamId = Read16(&section[3]);
    const bool single = section[6] == 0 && section[7] == 0;
    if (patVersion_ == version && patStreamId_ == streamId && single) {
        if (++patRepeats_ == kPatRepeatsForPmts) {
            Choose();
            UpdateProbing();
        }
        return;
    }
    patRepeats_ = 0;
    std::vector<TsService> services;
    if (!single) services = services_;  // sections of a long PAT add up
    if (section[6] == 0) servicesLeftOut_ = 0;
    for (std::size_t pos = 8; pos + 4 <= section.size(); pos += 4) {
        const std::uint16_t id = Read16(&section[pos]);
        const std::uint16_t pmtPid = Read13(&section[pos + 2]);
        if (id == 0) continue;  // the network PID
        if (std::any_of(services.begin(), services.end(), [id](const TsService& s) { return s.Id == id; })) continue;
        if (services.size() == kMaxServices) {
            ++servicesLeftOut_;
            continue;
        }
        // A service that stays keeps what its PMT and the SDT told; the SDT
        // may have named it before the PAT listed it.
        const TsService* known = FindService(id);
        TsService service = known && known->PmtPid == pmtPid ? *known : TsService{};
        service.Id = id;
        service.PmtPid = pmtPid;
        if (const auto named = sdtNames_.find(id); named != sdtNames_.end()) service.Name = named->second;
        services.push_back(std::move(service));
    }
    patVersion_ = version;
    patStreamId_ = streamId;
    services_ = std::move(services);
    SetRoles();
    Choose();
}

void TransportStreamReader::TakePmt(std::uint16_t pid, std::span<const std::uint8_t> section) {
    if (section.size() < 12) return;
    TsService* service = FindService(Read16(&section[3]));
    if (!service || service->PmtPid != pid) return;
    const int version = (section[5] >> 1) & 0x1F;
    if (service->PmtSeen && pmtVersions_[pid] == version) return;
    pmtVersions_[pid] = version;
    service->PmtSeen = true;
    service->PcrPid = Read13(&section[8]);
    service->Teletext.clear();
    std::size_t pos = 12 + Read12(&section[10]);
    while (pos + 5 <= section.size()) {
        const std::uint8_t type = section[pos];
        const std::uint16_t esPid = Read13(&section[pos + 1]);
        const std::size_t infoEnd = std::min(section.size(), pos + 5 + Read12(&section[pos + 3]));
        std::optional<TsTeletextStream> stream;
        for (std::size_t d = pos + 5; d + 2 <= infoEnd;) {
            const std::uint8_t tag = section[d];
            const std::size_t end = std::min(infoEnd, d + 2 + section[d + 1]);
            if (tag == kTeletextDescriptor || tag == kVbiTeletextDescriptor) {
                if (!stream) stream.emplace().Pid = esPid;
                for (std::size_t e = d + 2; e + 5 <= end; e += 5) {
                    TeletextDescriptorEntry& entry = stream->Entries.emplace_back();
                    entry.Language = DvbText(section.subspan(e, 3));
                    entry.Type = static_cast<std::uint8_t>(section[e + 3] >> 3);
                    const int magazine = (section[e + 3] & 7) == 0 ? 8 : section[e + 3] & 7;
                    entry.Page = static_cast<std::uint16_t>(magazine << 8 | section[e + 4]);
                }
                if (!stream->Entries.empty()) {
                    stream->Language = stream->Entries.front().Language;
                    stream->Type = stream->Entries.front().Type;
                    stream->InitialPage = stream->Entries.front().Page;
                }
            }
            d = end;
        }
        if (type != kStreamTypePrivatePes || ReservedPid(esPid)) {
            // Not teletext, or on a PID that carries none.
        } else if (stream) {
            service->Teletext.push_back(std::move(*stream));
        } else {
            probes_[esPid] = service->Id;  // teletext if its PES says so
        }
        pos = infoEnd;
    }
    SetRoles();
    Choose();
}

void TransportStreamReader::TakeSdt(std::span<const std::uint8_t> section) {
    sdtSeen_ = true;
    std::size_t pos = 11;
    while (pos + 5 <= section.size()) {
        const std::uint16_t id = Read16(&section[pos]);
        const std::size_t end = std::min(section.size(), pos + 5 + Read12(&section[pos + 3]));
        for (std::size_t d = pos + 5; d + 2 <= end;) {
            const std::size_t next = std::min(end, d + 2 + section[d + 1]);
            if (section[d] == kServiceDescriptor && d + 4 <= next) {
                const std::size_t providerEnd = d + 4 + section[d + 3];
                if (providerEnd < next) {
                    const std::size_t nameEnd = std::min(next, providerEnd + 1 + section[providerEnd]);
                    std::string name = DvbText(section.subspan(providerEnd + 1, nameEnd - providerEnd - 1));
                    if (TsService* service = FindService(id)) service->Name = name;
                    // Kept for a service the PAT has not listed yet.
                    if (sdtNames_.size() < kMaxServices || sdtNames_.contains(id)) sdtNames_[id] = std::move(name);
                }
            }
            d = next;
        }
        pos = end;
    }
    Choose();
}

void TransportStreamReader::TakePesPayload(std::uint16_t pid, PidState& state, bool start,
                                           std::span<const std::uint8_t> payload, std::vector<TimedPacket>& out) {
    if (start) {
        if (state.Collecting) EndPes(pid, state, out);
        state.Data.clear();
        state.Collecting = true;
    }
    if (!state.Collecting) return;
    if (state.Data.size() + payload.size() > kMaxPes) {
        ++counters_.BrokenPes;
        state.Collecting = false;
        return;
    }
    state.Data.insert(state.Data.end(), payload.begin(), payload.end());
    // A PES whose length is known ends with its last byte.
    if (state.Data.size() >= 6) {
        const std::size_t total = 6u + Read16(&state.Data[4]);
        if (total > 6 && state.Data.size() >= total) {
            state.Data.resize(total);
            EndPes(pid, state, out);
            state.Collecting = false;
        }
    }
}

void TransportStreamReader::EndPes(std::uint16_t pid, PidState& state, std::vector<TimedPacket>& out) {
    const auto header = ParsePesHeader(state.Data);
    if (!header || header->StreamId != kPrivateStream1) {
        ++counters_.BrokenPes;
        return;
    }
    // A PES cut short by the next one still gives its whole data units.
    if (header->DeclaredLength != 0 && state.Data.size() < 6 + header->DeclaredLength) ++counters_.BrokenPes;
    if (roles_[pid] != kTeletext) return;
    const std::span<const std::uint8_t> field = std::span<const std::uint8_t>(state.Data).subspan(header->PayloadOffset);
    const std::size_t before = out.size();
    lastPesTime_ = PesTime(header->Pts);
    if (firstPesTime_ < 0) firstPesTime_ = lastPesTime_;
    counters_.BadDataUnits += static_cast<std::uint64_t>(
        DecodeTeletextDataField(field, lastPesTime_, static_cast<std::uint32_t>(changes_), out));
    if (out.size() > before) out.back().EndsPes = true;
}

// The PTS; without one, the last PTS plus the PCR time since it came (the
// PCR alone before any PTS).
std::int64_t TransportStreamReader::PesTime(const std::optional<std::int64_t>& pts) {
    if (pts) {
        lastPts_ = *pts;
        pcrAtPts_ = lastPcr_;
        return *pts;
    }
    if (lastPts_ < 0) return lastPcr_;
    if (pcrAtPts_ < 0 || lastPcr_ < 0) return lastPts_;
    return (lastPts_ + ((lastPcr_ - pcrAtPts_) & kMask33)) & kMask33;
}

// A PID without a role whose PES starts like teletext, while no teletext
// stream is chosen: its first PTS is noted (the PMT may name it later), and
// when no table can name one, it is taken. True when it is taken.
bool TransportStreamReader::Probe(const std::uint8_t* p) {
    std::optional<std::int64_t> pts;
    if (!StartsTeletextPes(p, &pts)) return false;
    const std::uint16_t pid = Read13(p + 1);
    if (ReservedPid(pid)) return false;
    std::int64_t& since = probeSince_.try_emplace(pid, -1).first->second;
    if (since < 0 && pts) since = *pts;
    if (!probeAll_) return false;
    if (!patVersion_ && counters_.Packets < kPacketsForPat) {
        // The PAT may still come: wait for it as long as it may stay away.
        if (!pts || since < 0) return false;
        const std::int64_t waited = (*pts - since) & kMask33;
        if (waited < kPatWait || waited > kMask33 / 2) return false;
    }
    probed_ = pid;
    Choose();
    return roles_[pid] == kTeletext;
}

// Probing runs while nothing is chosen and no table can name a teletext
// stream: no PAT yet, or a PAT whose PMTs have come (or stayed away) without one.
void TransportStreamReader::UpdateProbing() {
    const bool open = !choice_.Pid && !choice_.ServiceId && choice_.ServiceName.empty() && !pid_;
    const bool tablesDone =
        !patVersion_ || patRepeats_ >= kPatRepeatsForPmts ||
        std::all_of(services_.begin(), services_.end(), [](const TsService& s) { return s.PmtSeen; });
    probeAll_ = open && tablesDone;
    watching_ = !pid_;
}

std::int64_t TransportStreamReader::FirstPesTime() const {
    if (pid_)
        if (const auto noted = probeSince_.find(*pid_); noted != probeSince_.end() && noted->second >= 0)
            return noted->second;
    return firstPesTime_;
}

void TransportStreamReader::Finish(std::vector<TimedPacket>& out) {
    for (auto& [pid, state] : states_)
        if (state.Collecting && roles_[pid] != kPsi) {
            EndPes(pid, state, out);
            state.Collecting = false;
        }
}

void TransportStreamReader::Restart() {
    states_.clear();
    carry_.clear();
    skip_ = 0;
    synced_ = false;
    lastPcr_ = -1;
    lastPts_ = pcrAtPts_ = -1;
}

std::vector<TeletextDescriptorEntry> TransportStreamReader::DescriptorEntries() const {
    const TsService* service = Service();
    if (!service || !pid_) return {};
    for (const TsTeletextStream& stream : service->Teletext)
        if (stream.Pid == *pid_) return stream.Entries;
    return {};
}

const TsService* TransportStreamReader::Service() const {
    if (!serviceId_) return nullptr;
    const auto it = std::find_if(services_.begin(), services_.end(),
                                 [this](const TsService& s) { return s.Id == *serviceId_; });
    return it == services_.end() ? nullptr : &*it;
}

bool TransportStreamReader::ServicesComplete() const {
    return patVersion_ && sdtSeen_ &&
           std::all_of(services_.begin(), services_.end(), [](const TsService& s) { return s.PmtSeen; });
}

std::vector<std::uint16_t> TransportStreamReader::PmtPids() const {
    std::vector<std::uint16_t> pids;
    for (const auto& service : services_)
        if (std::find(pids.begin(), pids.end(), service.PmtPid) == pids.end()) pids.push_back(service.PmtPid);
    return pids;
}

void TransportStreamReader::Choose() {
    std::optional<std::uint16_t> serviceId;
    std::optional<std::uint16_t> pid = choice_.Pid;
    for (const auto& service : services_) {
        if (choice_.Pid) {
            // A fixed PID takes its clock from the service that lists it.
            if (std::any_of(service.Teletext.begin(), service.Teletext.end(),
                            [&](const TsTeletextStream& s) { return s.Pid == *choice_.Pid; })) {
                serviceId = service.Id;
                break;
            }
            continue;
        }
        const bool wanted = choice_.ServiceId          ? service.Id == *choice_.ServiceId
                            : !choice_.ServiceName.empty() ? SameName(service.Name, choice_.ServiceName)
                                                           : true;
        // The first service in PAT order is taken once every service before it is known.
        if (!service.PmtSeen && patRepeats_ < kPatRepeatsForPmts && !choice_.ServiceId && choice_.ServiceName.empty())
            break;
        if (wanted && !service.Teletext.empty()) {
            serviceId = service.Id;
            pid = service.Teletext.front().Pid;
            break;
        }
    }
    // No table names one: a stream found by probing.
    if (!pid && !choice_.ServiceId && choice_.ServiceName.empty()) pid = probed_;
    // Nothing to decode for now (a PAT without the service yet): go on with
    // what was chosen until another stream is found.
    if (!pid) return;
    if (pid == pid_ && (!serviceId || serviceId == serviceId_)) return;
    if (pid_ && (pid != pid_ || (serviceId_ && serviceId && serviceId != serviceId_))) ++changes_;
    if (pid_ && pid != pid_)
        if (const auto old = states_.find(*pid_); old != states_.end()) {
            old->second.Collecting = false;
            old->second.LastCc = -1;
        }
    pid_ = pid;
    lastPts_ = pcrAtPts_ = -1;
    if (serviceId) serviceId_ = serviceId;
    SetRoles();
}

void TransportStreamReader::SetRoles() {
    roles_.fill(kIgnored);
    roles_[kPatPid] = kPsi;
    roles_[kSdtPid] = kPsi;
    for (const auto& service : services_)
        if (service.PmtPid != kNullPid && service.PmtPid > kSdtPid) roles_[service.PmtPid] = kPsi;
    for (const auto& [pid, service] : probes_)
        if (roles_[pid] == kIgnored) roles_[pid] = kProbe;
    if (pid_) roles_[*pid_] = kTeletext;
    const TsService* service = Service();
    pcrPid_ = service ? service->PcrPid : kNullPid;
    UpdateProbing();
}

}  // namespace orv
