#include "acquisition/Pages.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>

#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {

namespace {

constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Keys order case-insensitively; they hold only digits, A-F and "/".
bool KeyLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return UpperAscii(x) < UpperAscii(y); });
}

bool KeyEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && !KeyLess(a, b) && !KeyLess(b, a);
}

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

std::vector<PageDatabase::Entry>::const_iterator PageDatabase::LowerBound(std::string_view key) const {
    return std::lower_bound(entries_.begin(), entries_.end(), key,
                            [](const Entry& e, std::string_view k) { return KeyLess(e.Key, k); });
}

bool PageDatabase::StorePage(std::unique_ptr<tPageImage> page) { return Store(std::move(page)) != nullptr; }

PageRef PageDatabase::Store(std::unique_ptr<tPageImage> page) {
    if (!page) return nullptr;
    try {
        std::string key = PageKey(page->PageNo, page->SubCode);
        PageRef shared(std::move(page));
        std::lock_guard guard(lock_);
        const auto at = LowerBound(key);
        const auto index = at - entries_.begin();
        if (at != entries_.end() && KeyEqual(at->Key, key))
            entries_[index].Page = shared;  // the older copy goes with its last reader
        else
            entries_.insert(entries_.begin() + index, Entry{std::move(key), shared});
        return shared;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

PageRef PageDatabase::FindPage(std::uint16_t pageNo, std::int32_t subCode) const {
    const std::string key = PageKey(pageNo, subCode);
    std::lock_guard guard(lock_);
    const auto at = LowerBound(key);
    if (at != entries_.end() && KeyEqual(at->Key, key)) return at->Page;

    // The sub-page of that page with the lowest key: "/" sorts before every
    // digit, so the first key at or behind "100/" is the one if it is of page 100.
    const std::string page = PagePart(pageNo);
    const auto first = LowerBound(page + "/");
    if (first != entries_.end() && first->Key.compare(0, page.size(), page) == 0) return first->Page;
    return nullptr;
}

void PageDatabase::ClearPageDatabase() {
    std::lock_guard guard(lock_);
    while (!entries_.empty()) entries_.pop_back();
}

int PageDatabase::PageCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(entries_.size());
}

bool PageDatabase::ListPages(std::vector<std::string>& strings) const {
    std::lock_guard guard(lock_);
    const std::size_t initial = strings.size();
    for (const auto& entry : entries_) {
        if (!IsDecimalPageKey(entry.Key)) continue;
        std::string_view page = std::string_view(entry.Key).substr(0, 3);
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
    return SearchNext(rec);
}

bool PageDatabase::SearchNext(tVTXSearchRec& rec) const {
    std::lock_guard guard(lock_);
    rec.FoundRow = -1;
    rec.FoundColumn = -1;
    if (rec.EntryIndex < 0) rec.EntryIndex = 0;
    PageTextCells cells;
    while (rec.EntryIndex < static_cast<std::int32_t>(entries_.size())) {
        const Entry& entry = entries_[static_cast<std::size_t>(rec.EntryIndex)];
        if (IsDecimalPageKey(entry.Key) && entry.Page && !rec.SearchText.empty()) {
            if (rec.HitInEntry) rec.TextPos += 1;  // continue behind the previous hit's start
            PageTextRows(*entry.Page, cells);
            for (auto& c : cells) c = UpperAscii(c);
            const std::string_view text(cells.data(), cells.size());
            const auto from = static_cast<std::size_t>(std::max(rec.TextPos, 0));
            const auto hit = from <= text.size() ? text.find(rec.SearchText, from) : std::string_view::npos;
            if (hit != std::string_view::npos) {
                const auto p = static_cast<std::int32_t>(hit);
                rec.FoundPage = entry.Page->PageNo;
                rec.FoundSubCode = entry.Page->SubCode;
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
    return false;
}

std::vector<PageDatabase::Entry> PageDatabase::Snapshot() const {
    std::lock_guard guard(lock_);
    return entries_;
}

}  // namespace orv
