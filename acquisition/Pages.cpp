#include "acquisition/Pages.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>

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

bool PageDatabase::StorePage(std::unique_ptr<tPageImage> page) { return Store(std::move(page)) != nullptr; }

PageRef PageDatabase::Store(std::unique_ptr<tPageImage> page) {
    if (!page) return nullptr;
    try {
        std::string key = PageKey(page->PageNo, page->SubCode);
        const std::uint16_t pageNo = page->PageNo;
        PageRef shared(std::move(page));
        std::lock_guard guard(lock_);
        if (const auto at = entries_.find(key); at != entries_.end()) {
            at->second.Page = shared;  // an older copy goes with its last reader
            at->second.Sequence = ++sequence_;
            Unlink(*at);
            Link(*at);
            return shared;
        }
        // What may fail to allocate comes first, so that a failure changes nothing.
        std::uint32_t& count = perPage_[pageNo];
        const auto at = entries_.emplace(std::move(key), Stored{shared, nullptr, nullptr, ++sequence_}).first;
        Link(*at);
        KeepWithinLimits(pageNo, ++count);
        return shared;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void PageDatabase::Link(Node& node) {
    node.second.Older = newest_;
    node.second.Newer = nullptr;
    (newest_ ? newest_->second.Newer : oldest_) = &node;
    newest_ = &node;
}

void PageDatabase::Unlink(Node& node) {
    (node.second.Older ? node.second.Older->second.Newer : oldest_) = node.second.Newer;
    (node.second.Newer ? node.second.Newer->second.Older : newest_) = node.second.Older;
}

void PageDatabase::KeepWithinLimits(std::uint16_t pageNo, std::uint32_t count) {
    if (count > limits_.SubPagesPerPage) DropOldestOfPage(pageNo);
    while (entries_.size() > limits_.SubPages && DropOldestOfAll()) {
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

bool PageDatabase::DropOldestOfAll() {
    for (Node* node = oldest_; node != nullptr; node = node->second.Newer)
        if (node->second.Page.use_count() == 1) {
            Drop(entries_.find(node->first));
            return true;
        }
    return false;
}

void PageDatabase::Drop(Entries::iterator entry) {
    const std::uint16_t pageNo = entry->second.Page->PageNo;
    Unlink(*entry);
    entries_.erase(entry);
    --perPage_[pageNo];
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
    oldest_ = newest_ = nullptr;
    perPage_.clear();
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

bool PageDatabase::SearchFirst(std::string_view text, tVTXSearchRec& rec) const {
    if (text.empty()) return false;
    rec.SearchText.assign(text);
    for (auto& c : rec.SearchText) c = UpperAscii(c);
    rec.TextPos = 0;
    rec.SearchLength = static_cast<std::int32_t>(text.size());
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
            PageTextRows(*page, cells);
            for (auto& c : cells) c = UpperAscii(c);
            const std::string_view text(cells.data(), cells.size());
            const auto from = static_cast<std::size_t>(std::max(rec.TextPos, 0));
            const auto hit = from <= text.size() ? text.find(rec.SearchText, from) : std::string_view::npos;
            if (hit != std::string_view::npos) {
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
