#include "acquisition/Pages.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>

#include "rendering/TextEncoding.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {

namespace {

constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Sorts behind every key: where a search that went through all entries stands.
constexpr char kPastLastKey[] = "\x7F";

std::string PagePart(std::uint16_t pageNo) {
    char text[8];
    std::snprintf(text, sizeof text, "%.03X", static_cast<unsigned>(pageNo));
    return text;
}

}  // namespace

std::string PageKey(std::uint16_t pageNo, std::int32_t subCode) {
    char key[24];
    std::snprintf(key, sizeof key, "%.03X/%.04d", static_cast<unsigned>(pageNo), static_cast<int>(subCode));
    return key;
}

bool IsDecimalPageKey(std::string_view key) {
    const auto slash = key.find('/');
    if (slash != std::string_view::npos) key = key.substr(0, slash);
    return std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool PageDatabase::KeyOrder::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return UpperAscii(x) < UpperAscii(y); });
}

PageRef MakePageRef(PagePtr page) {
    if (!page) return nullptr;
    std::shared_ptr<const PageEnhancements> enhancements = std::move(page.get_deleter().Enhancements);
    if (!enhancements) return PageRef(std::unique_ptr<tPageImage>(page.release()));
    // The deleter keeps the enhancements for as long as the record lives.
    return PageRef(page.release(), PageDeleter(std::move(enhancements)));
}

const PageEnhancements* EnhancementsOf(const PageRef& page) {
    const auto* owner = std::get_deleter<PageDeleter>(page);
    return owner ? owner->Enhancements.get() : nullptr;
}

std::shared_ptr<const PageEnhancements> SharedEnhancementsOf(const PageRef& page) {
    const auto* owner = std::get_deleter<PageDeleter>(page);
    return owner ? owner->Enhancements : nullptr;
}

PagePtr CopyOfPage(const PageRef& page) {
    if (!page) return nullptr;
    auto copy = std::make_unique<tPageImage>(*page);
    return PagePtr(copy.release(), PageDeleter(SharedEnhancementsOf(page)));
}

PageRef SharedPage(const tPageImage& image, std::shared_ptr<const PageEnhancements> enhancements) {
    auto copy = std::make_unique<tPageImage>(image);
    return MakePageRef(PagePtr(copy.release(), PageDeleter(std::move(enhancements))));
}

bool PageDatabase::StorePage(PagePtr page) { return Store(std::move(page)) != nullptr; }

PageRef PageDatabase::Store(PagePtr page) {
    if (!page) return nullptr;
    try {
        std::string key = PageKey(page->PageNo, page->SubCode);
        const std::uint16_t pageNo = page->PageNo;
        PageRef shared = MakePageRef(std::move(page));
        std::lock_guard guard(lock_);
        // One walk of the tree finds the older copy or the place of the new one.
        const auto at = entries_.lower_bound(key);
        if (at != entries_.end() && at->first == key) {
            at->second = {shared, ++sequence_};  // an older copy goes with its last reader
            return shared;
        }
        entries_.emplace_hint(at, std::move(key), Stored{shared, ++sequence_});
        ++perPage_[pageNo & 0xFFF];
        KeepWithinLimits(pageNo);
        return shared;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void PageDatabase::KeepWithinLimits(std::uint16_t pageNo) {
    if (perPage_[pageNo & 0xFFF] > limits_.SubPagesPerPage) DropOldestOfPage(pageNo);
    if (entries_.size() <= limits_.SubPages) return;
    try {
        DropOldestOfAll();
    } catch (const std::bad_alloc&) {
        // No room to sort them out now: the next page stored tries again.
    }
}

// A record held elsewhere too (a window shows it, a save is writing it) stays.
bool PageDatabase::DropOldestOfPage(std::uint16_t pageNo) {
    const std::string page = PagePart(pageNo) + "/";
    auto oldest = entries_.end();
    for (auto at = entries_.lower_bound(page); at != entries_.end() && at->first.starts_with(page); ++at)
        if (at->second.Page.use_count() == 1 && (oldest == entries_.end() || at->second.Sequence < oldest->second.Sequence))
            oldest = at;
    if (oldest == entries_.end()) return false;
    Drop(oldest);
    return true;
}

// The oldest arrivals go, one in a hundred of the limit at a time: finding
// them walks the whole store, which a flood of new sub-pages must not do for
// every page it brings.
void PageDatabase::DropOldestOfAll() {
    const std::size_t excess = entries_.size() - limits_.SubPages;
    const std::size_t batch = std::min(entries_.size(), std::max(excess, limits_.SubPages / 100));
    std::vector<std::pair<std::uint64_t, Entries::iterator>> droppable;
    droppable.reserve(entries_.size());
    for (auto at = entries_.begin(); at != entries_.end(); ++at)
        if (at->second.Page.use_count() == 1) droppable.emplace_back(at->second.Sequence, at);
    const std::size_t count = std::min(batch, droppable.size());
    std::nth_element(droppable.begin(), droppable.begin() + static_cast<std::ptrdiff_t>(count), droppable.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < count; ++i) Drop(droppable[i].second);
}

void PageDatabase::Drop(Entries::iterator entry) {
    const std::uint16_t pageNo = entry->second.Page->PageNo;
    entries_.erase(entry);
    --perPage_[pageNo & 0xFFF];
    ++dropped_;
}

std::uint64_t PageDatabase::DroppedCount() const {
    std::lock_guard guard(lock_);
    return dropped_;
}

PageRef PageDatabase::FindPage(std::uint16_t pageNo, std::int32_t subCode) const {
    const std::string key = PageKey(pageNo, subCode);
    std::lock_guard guard(lock_);
    if (const auto at = entries_.find(key); at != entries_.end()) return at->second.Page;

    // The sub-page of that page with the lowest key: "/" sorts before every
    // digit, so the first key at or behind "100/" is the one if it is of page 100.
    const std::string page = PagePart(pageNo);
    const auto first = entries_.lower_bound(page + "/");
    if (first != entries_.end() && first->first.compare(0, page.size(), page) == 0) return first->second.Page;
    return nullptr;
}

void PageDatabase::ClearPageDatabase() {
    std::lock_guard guard(lock_);
    entries_.clear();
    perPage_.fill(0);
}

int PageDatabase::PageCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(entries_.size());
}

bool PageDatabase::ListPages(std::vector<std::string>& strings) const {
    std::lock_guard guard(lock_);
    const std::size_t initial = strings.size();
    for (const auto& [key, stored] : entries_) {
        if (!IsDecimalPageKey(key)) continue;
        std::string_view page = std::string_view(key).substr(0, 3);
        // Keys come in order, so a repeat of the list's own additions is its last line.
        if (strings.size() > initial && strings.back() == page) continue;
        if (std::find(strings.begin(), strings.begin() + static_cast<std::ptrdiff_t>(initial), page) !=
            strings.begin() + static_cast<std::ptrdiff_t>(initial))
            continue;
        strings.emplace_back(page);
    }
    return true;
}

std::vector<std::int32_t> PageDatabase::SubCodes(std::uint16_t pageNo) const {
    const std::string page = PagePart(pageNo) + "/";
    std::vector<std::int32_t> codes;
    std::lock_guard guard(lock_);
    for (auto it = entries_.lower_bound(page); it != entries_.end() && it->first.compare(0, page.size(), page) == 0; ++it)
        if (it->second.Page) codes.push_back(it->second.Page->SubCode);
    std::sort(codes.begin(), codes.end());  // "10000" sorts before "1001" as text
    return codes;
}

bool PageDatabase::SearchFirst(std::string_view text, tVTXSearchRec& rec) const {
    if (text.empty()) return false;
    rec.SearchText = Utf8ToUtf16(text);
    for (auto& c : rec.SearchText) c = UpperCase(c);
    rec.TextPos = 0;
    rec.SearchLength = static_cast<std::int32_t>(rec.SearchText.size());
    rec.Reserved = 0;
    rec.EntryIndex = 0;
    rec.FoundPage = 0;
    rec.FoundSubCode = 0;
    rec.HitInEntry = false;
    rec.EntryKey.clear();
    return SearchNext(rec);
}

bool PageDatabase::SearchNext(tVTXSearchRec& rec) const {
    std::lock_guard guard(lock_);
    rec.FoundRow = -1;
    rec.FoundColumn = -1;
    if (rec.EntryIndex < 0) rec.EntryIndex = 0;
    auto it = rec.EntryKey.empty() ? entries_.begin() : entries_.lower_bound(rec.EntryKey);
    if (it == entries_.end() || it->first != rec.EntryKey) {
        // The entry of the last hit is gone (cleared): go on with the next one.
        rec.TextPos = 0;
        rec.HitInEntry = false;
    }
    PageTextCells cells;
    for (; it != entries_.end(); ++it) {
        const auto& key = it->first;
        const PageRef& page = it->second.Page;
        if (IsDecimalPageKey(key) && page && !rec.SearchText.empty()) {
            if (rec.HitInEntry) rec.TextPos += 1;  // continue behind the previous hit's start
            PageTextRows(*page, rec.Enhanced ? EnhancementsOf(page) : nullptr, cells);
            for (auto& c : cells) c = UpperCase(c);
            const std::u16string_view text(cells.data(), cells.size());
            const auto from = static_cast<std::size_t>(std::max(rec.TextPos, 0));
            const auto hit = from <= text.size() ? text.find(rec.SearchText, from) : std::u16string_view::npos;
            if (hit != std::u16string_view::npos) {
                const auto p = static_cast<std::int32_t>(hit);
                rec.EntryKey = key;
                rec.FoundPage = page->PageNo;
                rec.FoundSubCode = page->SubCode;
                rec.TextPos = p;
                rec.FoundRow = p / kTextColumns;
                rec.FoundColumn = p % kTextColumns - 1;
                rec.HitInEntry = true;
                return true;
            }
        }
        ++rec.EntryIndex;
        rec.TextPos = 0;
        rec.HitInEntry = false;
    }
    rec.EntryKey = kPastLastKey;
    return false;
}

std::vector<PageDatabase::Entry> PageDatabase::Snapshot() const {
    std::lock_guard guard(lock_);
    std::vector<Entry> entries;
    entries.reserve(entries_.size());
    for (const auto& [key, stored] : entries_) entries.push_back({key, stored.Page});
    return entries;
}

}  // namespace orv
