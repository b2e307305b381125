#include "drivers/broadcast/DemoBroadcast.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>

#include "drivers/broadcast/EmbeddedDemoPages.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv {

DemoBroadcast::DemoBroadcast(std::vector<TtiPage> pages, BroadcastOptions options)
    : pages_(std::move(pages)), options_(std::move(options)) {
    if (options_.StartTime == 0) options_.StartTime = std::time(nullptr);
    if (options_.PacketsPerSecond < 1) options_.PacketsPerSecond = 1600;

    // Group sub-pages by page number, pages by magazine, in page order.
    std::map<std::uint16_t, Carousel> carousels;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const std::uint16_t pageNo = pages_[i].PageNo;
        if ((pageNo >> 8) < 1 || (pageNo >> 8) > 8) continue;
        carousels[pageNo].PageNo = pageNo;
        carousels[pageNo].SubPages.push_back(i);
    }
    std::map<int, Magazine> byMagazine;
    for (auto& [pageNo, carousel] : carousels) byMagazine[pageNo >> 8].Carousels.push_back(carousel);
    for (auto& [number, magazine] : byMagazine) magazines_.push_back(std::move(magazine));
}

double DemoBroadcast::Seconds() const {
    return static_cast<double>(sent_) / options_.PacketsPerSecond;
}

std::string DemoBroadcast::HeaderText(std::uint16_t pageNo) const {
    const std::time_t now = options_.StartTime + static_cast<std::time_t>(sent_ / options_.PacketsPerSecond);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    std::strftime(date, sizeof date, "%a %d %b", &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
    std::string label = options_.HeaderLabel.substr(0, 8);
    label.resize(8, ' ');
    char text[64];
    // "100 ORV-DEMO Tue 08 Dec" then yellow "12:34:56": 32 cells.
    std::snprintf(text, sizeof text, "%.03X %s %-10.10s\x03%s", static_cast<unsigned>(pageNo), label.c_str(),
                  date, clock);
    return text;
}

bool DemoBroadcast::Due(Carousel& carousel, std::size_t subPage) {
    const TtiPage& page = pages_[subPage];
    if (!ControlFromStatus(page).Subtitle) return true;
    constexpr double kRepeatSeconds = 1.0;
    if (subPage == carousel.LastSent && Seconds() - carousel.LastSentAt < kRepeatSeconds) return false;
    carousel.LastSent = subPage;
    carousel.LastSentAt = Seconds();
    return true;
}

bool DemoBroadcast::QueueNextPage(Magazine& magazine) {
    for (std::size_t tried = 0; tried < magazine.Carousels.size(); ++tried) {
        Carousel& carousel = magazine.Carousels[magazine.Next];
        magazine.Next = (magazine.Next + 1) % magazine.Carousels.size();

        // Carousels rotate by time: sub-page n is on air during the n-th cycle.
        const TtiPage& first = pages_[carousel.SubPages.front()];
        const auto cycle = static_cast<std::uint64_t>(std::max(first.CycleTime, 1));
        const std::uint64_t step = static_cast<std::uint64_t>(Seconds()) / cycle;
        const std::size_t onAir = carousel.SubPages[step % carousel.SubPages.size()];
        if (!Due(carousel, onAir)) continue;
        const TtiPage& page = pages_[onAir];

        const std::string header = HeaderText(page.PageNo);
        EncodablePage encodable;
        encodable.PageNo = page.PageNo;
        encodable.Control = ControlFromStatus(page);
        encodable.HeaderText = header;
        encodable.Rows = std::span(page.Rows).subspan(1);
        encodable.Links = page.Links ? &*page.Links : nullptr;
        encodable.Enhancements = page.Enhancements;
        magazine.Pending = EncodePage(encodable);
        magazine.Pos = 0;
        return true;
    }
    return false;
}

tVTXPacket DemoBroadcast::NextPacket() {
    const bool stationSlot = sent_ % static_cast<std::uint64_t>(options_.PacketsPerSecond) == 0;
    ++sent_;
    if (!stationSlot) {
        // A magazine with nothing due gives its turn to the next one.
        for (std::size_t tried = 0; tried < magazines_.size(); ++tried) {
            Magazine& magazine = magazines_[turn_];
            turn_ = (turn_ + 1) % magazines_.size();
            if (magazine.Pos < magazine.Pending.size() || QueueNextPage(magazine))
                return magazine.Pending[magazine.Pos++];
        }
    }
    return EncodeStationName(options_.StationName);
}

void DemoBroadcast::Fill(std::span<tVTXPacket> packets) {
    for (auto& packet : packets) packet = NextPacket();
}

std::vector<TtiPage> BuiltInDemoPages() {
    std::vector<TtiPage> pages;
    for (const EmbeddedFile& file : EmbeddedDemoPages()) {
        TtiParseResult parsed = ParseTti(file.Content);
        for (auto& page : parsed.Pages) pages.push_back(std::move(page));
    }
    return pages;
}

std::vector<TtiPage> LoadTtiFolder(const std::string& folder, std::vector<std::string>& messages) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string extension = it->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension == ".tti") files.push_back(it->path());
    }
    if (ec) messages.push_back("cannot read folder " + folder + ": " + ec.message());
    std::sort(files.begin(), files.end());

    std::vector<TtiPage> pages;
    for (const auto& file : files) {
        TtiParseResult parsed = LoadTtiFile(file.string());
        for (const auto& warning : parsed.Warnings) messages.push_back(file.string() + ": " + warning);
        if (!parsed.Ok()) messages.push_back(file.string() + ": " + parsed.Error);
        for (auto& page : parsed.Pages) pages.push_back(std::move(page));
    }
    return pages;
}

}  // namespace orv
