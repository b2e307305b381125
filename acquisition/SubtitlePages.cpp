#include "acquisition/SubtitlePages.h"

#include <algorithm>
#include <new>

namespace orv {

namespace {

bool Listed(const std::vector<TeletextDescriptorEntry>& descriptor, std::uint16_t page) {
    return std::any_of(descriptor.begin(), descriptor.end(), [page](const TeletextDescriptorEntry& e) {
        return e.Page == page && (e.Type == kDescriptorSubtitles || e.Type == kDescriptorHardOfHearing);
    });
}

}  // namespace

void SubtitlePages::SetDescriptor(std::vector<TeletextDescriptorEntry> entries) {
    std::lock_guard guard(lock_);
    descriptor_ = std::move(entries);
}

void SubtitlePages::PageSeen(const tPageImage& page) {
    if (!page.Subtitle && !page.Newsflash) return;
    const std::uint16_t number = page.PageNo;
    std::lock_guard guard(lock_);
    const auto known = std::find_if(seen_.begin(), seen_.end(), [number](const SubtitlePage& p) { return p.Page == number; });
    if (known != seen_.end()) {
        if (page.Subtitle) known->Newsflash = false;  // a subtitle page, whatever else it carried once
        return;
    }
    SubtitlePage seen;
    seen.Page = number;
    seen.Newsflash = !page.Subtitle;
    try {
        seen_.push_back(seen);
    } catch (const std::bad_alloc&) {
        // Noted with its next transmission.
    }
}

void SubtitlePages::Clear() {
    std::lock_guard guard(lock_);
    descriptor_.clear();
    seen_.clear();
}

void SubtitlePages::ClearSeen() {
    std::lock_guard guard(lock_);
    seen_.clear();
}

std::vector<SubtitlePage> SubtitlePages::List() const {
    std::lock_guard guard(lock_);
    std::vector<SubtitlePage> list;
    for (const TeletextDescriptorEntry& entry : descriptor_)
        if ((entry.Type == kDescriptorSubtitles || entry.Type == kDescriptorHardOfHearing) &&
            std::none_of(list.begin(), list.end(), [&](const SubtitlePage& p) { return p.Page == entry.Page; }))
            list.push_back({entry.Page, entry.Language, entry.Type, false});
    for (const SubtitlePage& page : seen_)
        if (!Listed(descriptor_, page.Page)) list.push_back(page);
    return list;
}

std::vector<TeletextDescriptorEntry> SubtitlePages::Descriptor() const {
    std::lock_guard guard(lock_);
    return descriptor_;
}

}  // namespace orv
