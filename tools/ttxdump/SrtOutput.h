// ttxdump --srt: the subtitles of a page as SubRip cues. A cue starts when a
// transmission of the page with boxed text arrives and ends when the page is
// erased (it comes without text), replaced by other text, or cleared (another
// service, the end of the recording). The same text sent again goes on in
// the same cue.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/PageEnhancements.h"
#include "acquisition/SubtitlePages.h"

namespace orv {

struct SrtCue {
    std::int64_t StartUs = 0;
    std::int64_t EndUs = 0;
    std::string Text;  // UTF-8, a line per subtitle line
};

class SubtitleTrack {
public:
    // page: the page wanted; none: every subtitle and newsflash page is
    // followed and the first subtitle page is chosen at the end.
    SubtitleTrack(std::optional<std::uint16_t> page, bool level15) : page_(page), level15_(level15) {}

    // The descriptor's entries of the stream decoded.
    void SetDescriptor(const std::vector<TeletextDescriptorEntry>& entries);
    // A page posted by the assembly, with the time of its header.
    void Page(const PagePtr& page, std::int64_t headerUs);
    // Every open cue ends at this time (another service, the end).
    void Clear(std::int64_t nowUs);

    // The page chosen: the one asked for, or the first subtitle page of the
    // source in the order of SubtitlePages; none when there is none.
    std::optional<std::uint16_t> Chosen() const;
    const std::vector<SrtCue>& Cues(std::uint16_t page) const;

private:
    struct Track {
        std::vector<SrtCue> Cues;
        std::optional<SrtCue> Open;
    };
    bool Followed(const tPageImage& page) const;

    std::optional<std::uint16_t> page_;
    bool level15_;
    SubtitlePages subtitles_;
    std::vector<TeletextDescriptorEntry> descriptor_;
    std::map<std::uint16_t, Track> tracks_;
};

// The cues as a SubRip file, numbered from 1.
void WriteSrt(const std::vector<SrtCue>& cues, std::ostream& out);

// Hours, minutes, seconds and milliseconds: "01:02:03,456".
std::string SrtTime(std::int64_t us);

}  // namespace orv
