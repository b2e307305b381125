// The MPEG transport stream reader: finds the services of a stream (PAT, PMT,
// SDT), picks the teletext stream to decode and turns its PES packets into
// the viewer's 42-byte packets. Bytes may come in pieces of any size (a file
// read in chunks, a demux device); damage costs only what it touches.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "acquisition/SubtitlePages.h"
#include "acquisition/TeletextPes.h"

namespace orv {

inline constexpr std::uint16_t kPatPid = 0x0000;
inline constexpr std::uint16_t kSdtPid = 0x0011;
inline constexpr std::uint16_t kNullPid = 0x1FFF;
inline constexpr std::uint8_t kPatTable = 0x00;
inline constexpr std::uint8_t kPmtTable = 0x02;
inline constexpr std::uint8_t kSdtTable = 0x42;  // this transport stream's services
inline constexpr std::size_t kMaxTsServices = 1024;  // the most a reader lists

struct TsTeletextStream {
    std::uint16_t Pid = 0;
    std::string Language;  // ISO 639 code of the first descriptor entry, "" when none
    int Type = 0;          // teletext_type: 1 initial page, 2 subtitles, ...; 0 unknown
    int InitialPage = 0;   // magazine and page (0x100-0x8FF), 0 unknown
    // Every entry of the descriptor (the first one too), in its order.
    std::vector<TeletextDescriptorEntry> Entries;
};

struct TsService {
    std::uint16_t Id = 0;
    std::uint16_t PmtPid = kNullPid;
    std::uint16_t PcrPid = kNullPid;
    std::string Name;  // from the SDT, UTF-8; empty until seen
    bool PmtSeen = false;
    std::vector<TsTeletextStream> Teletext;
};

// What to decode. Empty: the first service (in PAT order) that carries teletext.
struct TsChoice {
    std::optional<std::uint16_t> ServiceId{};
    std::string ServiceName{};
    std::optional<std::uint16_t> Pid{};  // a fixed PID, PSI or not
};

struct TsCounters {
    std::uint64_t Packets = 0;           // transport packets taken in sync
    std::uint64_t SyncLosses = 0;        // times the sync was lost after it was found
    std::uint64_t ContinuityErrors = 0;  // on the PIDs read
    std::uint64_t CrcErrors = 0;         // PSI sections dropped
    std::uint64_t Scrambled = 0;         // packets of the PIDs read that were scrambled
    std::uint64_t BrokenPes = 0;         // teletext PES packets dropped or cut
    std::uint64_t BadDataUnits = 0;
};

// Packet length and offset of the sync byte in bytes, when they hold
// transport packets of 188, 192 (M2TS) or 204 bytes back to back (at least
// three, nine in ten of them with their sync byte).
struct TsFraming {
    std::size_t Stride = 188;
    std::size_t Offset = 0;
};
std::optional<TsFraming> DetectTransportStream(std::span<const std::uint8_t> bytes);

class TransportStreamReader {
public:
    explicit TransportStreamReader(TsChoice choice = {});

    // Transport stream bytes; the teletext packets decoded from them are
    // appended to out, each with its stream time.
    void Feed(std::span<const std::uint8_t> bytes, std::vector<TimedPacket>& out);
    // A PES packet of unbounded length waits for the next one to end it.
    void Finish(std::vector<TimedPacket>& out);
    // One or more whole PSI sections, as a demux section filter gives them.
    void FeedSections(std::uint16_t pid, std::span<const std::uint8_t> sections);
    // The same stream again from its start (a recording played in a loop):
    // what was learned of the services stays, partial data goes.
    void Restart();

    const std::vector<TsService>& Services() const { return services_; }
    // Services of the PAT beyond the most a reader lists (kMaxTsServices).
    std::size_t ServicesLeftOut() const { return servicesLeftOut_; }
    // Every service of the PAT has its PMT, and the SDT was seen.
    bool ServicesComplete() const;
    std::optional<std::uint16_t> TeletextPid() const { return pid_; }
    // The teletext PID was found by looking into the PES packets of PIDs that
    // no table names, as no PMT lists a teletext stream.
    bool FoundByProbing() const { return pid_ && pid_ == probed_; }
    // Looking for one now: PIDs that no table names are probed as they come.
    bool Probing() const { return probeAll_; }
    bool PatSeen() const { return patVersion_.has_value(); }
    // The stream time of the last teletext PES packet, with teletext data or
    // none (90 kHz; -1 none).
    std::int64_t LastPesTime() const { return lastPesTime_; }
    // The first PTS of the teletext PID in the stream, from before it was
    // chosen too (-1 none).
    std::int64_t FirstPesTime() const;
    // The descriptor entries of the teletext stream decoded (none when unknown).
    std::vector<TeletextDescriptorEntry> DescriptorEntries() const;
    const TsService* Service() const;  // the service decoded, if known
    // Changes of the decoded service or PID after the first choice.
    std::uint64_t Changes() const { return changes_; }
    // Every PMT PID of the PAT (for section filters).
    std::vector<std::uint16_t> PmtPids() const;
    const TsCounters& Counters() const { return counters_; }

private:
    enum Role : std::uint8_t { kIgnored, kPsi, kTeletext, kProbe };

    struct PidState {
        int LastCc = -1;
        std::vector<std::uint8_t> Data;  // a section or PES being put together
        bool Collecting = false;
    };

    std::size_t Scan(std::span<const std::uint8_t> data, std::vector<TimedPacket>& out);
    bool FindSync(std::span<const std::uint8_t> data, std::size_t& pos);
    void TakePacket(const std::uint8_t* packet, std::vector<TimedPacket>& out);
    void TakePcr(const std::uint8_t* packet);
    bool Probe(const std::uint8_t* packet);
    void UpdateProbing();
    std::int64_t PesTime(const std::optional<std::int64_t>& pts);
    void TakePsiPayload(std::uint16_t pid, PidState& state, bool start, std::span<const std::uint8_t> payload);
    void TakePesPayload(std::uint16_t pid, PidState& state, bool start, std::span<const std::uint8_t> payload,
                        std::vector<TimedPacket>& out);
    void EndPes(std::uint16_t pid, PidState& state, std::vector<TimedPacket>& out);
    void TakeSection(std::uint16_t pid, std::span<const std::uint8_t> section);
    void TakePat(std::span<const std::uint8_t> section);
    void TakePmt(std::uint16_t pid, std::span<const std::uint8_t> section);
    void TakeSdt(std::span<const std::uint8_t> section);
    TsService* FindService(std::uint16_t id);
    void Choose();
    void SetRoles();

    TsChoice choice_;
    std::vector<TsService> services_;  // PAT order
    std::size_t servicesLeftOut_ = 0;
    std::map<std::uint16_t, std::string> sdtNames_;  // by service id, PAT or not
    std::optional<int> patVersion_;
    std::uint16_t patStreamId_ = 0;
    int patRepeats_ = 0;
    std::optional<std::uint16_t> pid_;
    std::optional<std::uint16_t> serviceId_;
    std::uint64_t changes_ = 0;
    bool sdtSeen_ = false;
    std::map<std::uint16_t, int> pmtVersions_;
    std::map<std::uint16_t, int> sdtVersions_;  // by transport stream id

    std::array<Role, 8192> roles_{};
    std::map<std::uint16_t, std::uint16_t> probes_;  // stream type 6 PID -> service, no descriptor: teletext if its PES says so
    std::map<std::uint16_t, PidState> states_;
    std::uint16_t pcrPid_ = kNullPid;
    std::int64_t lastPcr_ = -1;  // 90 kHz
    std::int64_t lastPts_ = -1;  // of the teletext PID, and the PCR when it came
    std::int64_t pcrAtPts_ = -1;
    std::int64_t lastPesTime_ = -1;
    std::int64_t firstPesTime_ = -1;
    // Every PID without a role is probed once no table can name a teletext stream.
    bool probeAll_ = false;
    bool watching_ = true;  // PES starts of PIDs without a role are looked at: none chosen yet
    std::uint64_t packetsWithoutPat_ = 0;
    std::optional<std::uint16_t> probed_;
    std::map<std::uint16_t, std::int64_t> probeSince_;  // PTS of the first PES that looked like teletext, by PID

    bool synced_ = false;
    TsFraming framing_;
    std::vector<std::uint8_t> carry_;  // bytes that wait for more
    std::size_t skip_ = 0;             // bytes of the next read before its first packet
    TsCounters counters_;
};

}  // namespace orv
