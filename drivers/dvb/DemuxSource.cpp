#include "drivers/dvb/DemuxSource.h"

#include <fcntl.h>
#include <linux/dvb/dmx.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

namespace orv {

namespace {

constexpr std::size_t kReadBuffer = 64 * 1024;
constexpr int kReadsPerPoll = 16;               // a device that never runs dry cannot hold a read forever
constexpr std::size_t kMaxSectionFilters = 32;  // PAT, SDT and the PMTs
constexpr std::uint32_t kTapBufferBytes = 188 * 1024;
constexpr auto kOpenPollStep = std::chrono::milliseconds(20);
// When the tables name no teletext stream, the whole multiplex is looked
// into for this long at most.
constexpr auto kProbeWait = std::chrono::milliseconds(500);
// The tap of a demux that delivers every PID of the multiplex.
constexpr std::uint16_t kAllPids = 0x2000;

}  // namespace

int DemuxCalls::Open(const std::string& path, int flags) { return ::open(path.c_str(), flags); }

int DemuxCalls::Ioctl(int fd, unsigned long request, void* argument) {
    int result;
    do result = ::ioctl(fd, request, argument);
    while (result < 0 && errno == EINTR);
    return result;
}

ssize_t DemuxCalls::Read(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }

void DemuxCalls::Close(int fd) { ::close(fd); }

std::string DemuxDevicePath(const std::string& source) {
    struct stat info {};
    if (::stat(source.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return source + "/demux0";
    return source;
}

DemuxSource::DemuxSource(std::string path, TsChoice choice, std::shared_ptr<DemuxCalls> calls)
    : path_(std::move(path)), calls_(std::move(calls)), reader_(std::move(choice)), buffer_(kReadBuffer) {}

DemuxSource::~DemuxSource() {
    for (const auto& [pid, fd] : sectionFilters_) calls_->Close(fd);
    if (tap_ >= 0) calls_->Close(tap_);
}

std::unique_ptr<DemuxSource> DemuxSource::Open(const std::string& demuxPath, const TsChoice& choice,
                                               std::string& error, std::shared_ptr<DemuxCalls> calls,
                                               std::chrono::milliseconds wait) {
    std::unique_ptr<DemuxSource> source(new DemuxSource(demuxPath, choice, std::move(calls)));
    if (!source->OpenSectionFilter(kPatPid, kPatTable)) {
        error = "cannot open " + demuxPath + ": " + std::strerror(errno);
        return nullptr;
    }
    source->OpenSectionFilter(kSdtPid, kSdtTable);
    auto deadline = std::chrono::steady_clock::now() + wait;
    bool probing = false;
    while (true) {
        source->Poll();
        if (!source->queue_.empty()) return source;
        const auto& services = source->reader_.Services();
        const bool allKnown = !services.empty() && std::all_of(services.begin(), services.end(),
                                                               [](const TsService& s) { return s.PmtSeen; });
        if (allKnown && !source->reader_.TeletextPid()) {
            // No table names teletext: its PES packets may still show it, soon.
            if (!source->reader_.Probing()) break;
            if (!std::exchange(probing, true))
                deadline = std::min(deadline, std::chrono::steady_clock::now() + kProbeWait);
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(kOpenPollStep);
    }
    error = "no teletext on " + demuxPath;
    return nullptr;
}

bool DemuxSource::OpenSectionFilter(std::uint16_t pid, std::uint8_t table) {
    if (sectionFilters_.count(pid) || sectionFilters_.size() >= kMaxSectionFilters) return true;
    const int fd = calls_->Open(path_, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    dmx_sct_filter_params params{};
    params.pid = pid;
    params.filter.filter[0] = table;
    params.filter.mask[0] = 0xFF;
    params.flags = DMX_CHECK_CRC | DMX_IMMEDIATE_START;
    if (calls_->Ioctl(fd, DMX_SET_FILTER, &params) < 0) {
        calls_->Close(fd);
        return false;
    }
    sectionFilters_[pid] = fd;
    return true;
}

void DemuxSource::FollowTables() {
    // Section filters for the PMTs of the PAT as it is now.
    const std::vector<std::uint16_t> pmts = reader_.PmtPids();
    for (auto it = sectionFilters_.begin(); it != sectionFilters_.end();) {
        const bool keep = it->first == kPatPid || it->first == kSdtPid ||
                          std::find(pmts.begin(), pmts.end(), it->first) != pmts.end();
        if (keep) {
            ++it;
            continue;
        }
        calls_->Close(it->second);
        it = sectionFilters_.erase(it);
    }
    for (std::uint16_t pid : pmts) OpenSectionFilter(pid, kPmtTable);

    // The tap follows the teletext PID; while the tables name none, it takes
    // the whole multiplex for the reader to probe.
    std::optional<std::uint16_t> pid = reader_.TeletextPid();
    if (!pid && reader_.Probing() && reader_.PatSeen()) pid = kAllPids;
    if (pid == tapPid_) return;
    if (tap_ >= 0) calls_->Close(tap_);
    tap_ = -1;
    tapPid_ = pid;
    if (!pid) return;
    tap_ = calls_->Open(path_, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (tap_ < 0) return;
    calls_->Ioctl(tap_, DMX_SET_BUFFER_SIZE, reinterpret_cast<void*>(static_cast<unsigned long>(kTapBufferBytes)));
    dmx_pes_filter_params params{};
    params.pid = *pid;
    params.input = DMX_IN_FRONTEND;
    params.output = DMX_OUT_TSDEMUX_TAP;
    params.pes_type = DMX_PES_OTHER;
    params.flags = DMX_IMMEDIATE_START;
    if (calls_->Ioctl(tap_, DMX_SET_PES_FILTER, &params) < 0) {
        calls_->Close(tap_);
        tap_ = -1;
    }
}

void DemuxSource::Poll() {
    for (int pass = 0; pass < 2; ++pass) {  // a PAT read may add PMT filters to read at once
        for (const auto& [pid, fd] : std::vector<std::pair<const std::uint16_t, int>>(sectionFilters_.begin(),
                                                                                       sectionFilters_.end()))
            for (int reads = 0; reads < kReadsPerPoll; ++reads) {
                const ssize_t got = calls_->Read(fd, buffer_.data(), buffer_.size());
                if (got <= 0) break;  // nothing waiting (EAGAIN), an overflow or a closed device
                reader_.FeedSections(pid, std::span(buffer_).first(static_cast<std::size_t>(got)));
            }
        FollowTables();
    }
    for (int reads = 0; tap_ >= 0 && reads < kReadsPerPoll; ++reads) {
        const ssize_t got = calls_->Read(tap_, buffer_.data(), buffer_.size());
        if (got <= 0) break;
        reader_.Feed(std::span(buffer_).first(static_cast<std::size_t>(got)), decoded_);
    }
    if (!decoded_.empty()) {
        Queue(decoded_, false);
        decoded_.clear();
    }
}

std::optional<std::uint64_t> DemuxSource::Waiting(std::chrono::microseconds) {
    Poll();
    return queue_.size();  // live packets are due as they come
}

}  // namespace orv
