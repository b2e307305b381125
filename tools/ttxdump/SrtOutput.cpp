#include "tools/ttxdump/SrtOutput.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "rendering/BoxedText.h"
#include "rendering/TextEncoding.h"

namespace orv {

namespace {

bool SubtitleEntry(const TeletextDescriptorEntry& entry) {
    return entry.Type == kDescriptorSubtitles || entry.Type == kDescriptorHardOfHearing;
}

std::string CueText(const tPageImage& page, const PageEnhancements* enhancements) {
    std::string text;
    for (const std::u16string& line : BoxedLines(page, enhancements)) {
        if (!text.empty()) text += '\n';
        text += Utf16ToUtf8(line);
    }
    return text;
}

const std::vector<SrtCue> kNoCues;

}  // namespace

void SubtitleTrack::SetDescriptor(const std::vector<TeletextDescriptorEntry>& entries) {
    descriptor_ = entries;
    subtitles_.SetDescriptor(entries);
}

bool SubtitleTrack::Followed(const tPageImage& page) const {
    if (page_) return page.PageNo == *page_;
    return page.Subtitle || page.Newsflash ||
           std::any_of(descriptor_.begin(), descriptor_.end(),
                       [&](const TeletextDescriptorEntry& e) { return e.Page == page.PageNo && SubtitleEntry(e); });
}

void SubtitleTrack::Page(const PagePtr& page, std::int64_t headerUs) {
    if (!Followed(*page)) return;
    subtitles_.PageSeen(*page);
    Track& track = tracks_[page->PageNo];
    std::string text = CueText(*page, level15_ ? page.get_deleter().Enhancements.get() : nullptr);
    if (track.Open && track.Open->Text == text) return;  // sent again: the cue goes on
    if (track.Open) {
        track.Open->EndUs = headerUs;
        if (track.Open->EndUs > track.Open->StartUs) track.Cues.push_back(std::move(*track.Open));
        track.Open.reset();
    }
    if (!text.empty()) track.Open = SrtCue{headerUs, headerUs, std::move(text)};
}

void SubtitleTrack::Clear(std::int64_t nowUs) {
    for (auto& [number, track] : tracks_) {
        if (!track.Open) continue;
        track.Open->EndUs = nowUs;
        if (track.Open->EndUs > track.Open->StartUs) track.Cues.push_back(std::move(*track.Open));
        track.Open.reset();
    }
}

std::optional<std::uint16_t> SubtitleTrack::Chosen() const {
    if (page_) return page_;
    for (const SubtitlePage& page : subtitles_.List())
        if (!page.Newsflash) return page.Page;
    return std::nullopt;
}

const std::vector<SrtCue>& SubtitleTrack::Cues(std::uint16_t page) const {
    const auto it = tracks_.find(page);
    return it == tracks_.end() ? kNoCues : it->second.Cues;
}

std::string SrtTime(std::int64_t us) {
    const std::int64_t ms = std::max<std::int64_t>(us, 0) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

void WriteSrt(const std::vector<SrtCue>& cues, std::ostream& out) {
    std::size_t number = 0;
    for (const SrtCue& cue : cues)
        out << ++number << '\n' << SrtTime(cue.StartUs) << " --> " << SrtTime(cue.EndUs) << '\n' << cue.Text << "\n\n";
}

}  // namespace orv
