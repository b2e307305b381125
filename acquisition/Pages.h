// The page database: the latest copy of every page and sub-page received since
// the last clear, kept in key order ("%.03X/%.04d": page number, sub-code), with
// lookup, listing and a text search hit by hit.
//
// Lifetime rule for records handed out. A stored record is immutable and
// shared: FindPage, Snapshot and the page notification hand out a PageRef, which
// keeps the record alive for as long as the reader holds it. Replacing a
// record or clearing the database (which may happen on the dispatcher thread
// while a window still draws an earlier record) only drops the database's own
// reference, so a reader can never see a record freed or changed under it. A
// reader that wants the newest copy simply asks again.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

using PageRef = std::shared_ptr<const tPageImage>;

// A stored record shared with its enhancements: a record with none keeps the
// control block it always had, so plain pages cost no more.
PageRef MakePageRef(PagePtr page);
// The enhancements a stored record came with; none for most pages.
const PageEnhancements* EnhancementsOf(const PageRef& page);
// A copy of a stored record on its way to another database, with its enhancements.
PagePtr CopyOfPage(const PageRef& page);
// The enhancements of a record, shared; none for most pages.
std::shared_ptr<const PageEnhancements> SharedEnhancementsOf(const PageRef& page);
// A record of its own made from a page image and its enhancements.
PageRef SharedPage(const tPageImage& image, std::shared_ptr<const PageEnhancements> enhancements);

// State of a text search that the caller keeps between SearchFirst and
// SearchNext. FoundColumn is the hit's column minus one, as the text view's
// selection expects it.
struct tVTXSearchRec {
    std::u16string SearchText;  // upper case
    std::int32_t Reserved = 0;
    std::int32_t EntryIndex = 0;
    std::int32_t FoundPage = 0;
    std::int32_t FoundSubCode = 0;
    std::int32_t TextPos = 0;  // offset of the last hit in the entry's text
    std::int32_t SearchLength = 0;
    std::int32_t FoundRow = -1;
    std::int32_t FoundColumn = -1;
    // True once a hit was reported in the current entry, so that the next
    // call continues behind it, also when that hit was at offset 0.
    bool HitInEntry = false;
    // Key of the entry the search stands at: it goes on from there even when
    // pages were stored in between. Empty: from the start.
    std::string EntryKey;
    // Search the text as the enhancement packets make it (Level 1.5), else
    // as level 1 shows it.
    bool Enhanced = true;
};

// The most the store keeps: sub-pages of one page, and sub-pages in all. A
// damaged or hostile signal that sends ever new page and sub-code numbers
// cannot grow it without end (100,000 records take about 130 MB); real
// services stay far below both.
struct PageStoreLimits {
    std::size_t SubPagesPerPage = 256;
    std::size_t SubPages = 100'000;
};

// "100/0000": page number as three upper-case hex digits, sub-code as decimal.
std::string PageKey(std::uint16_t pageNo, std::int32_t subCode);

// True when the page part of a key (before the first "/") is all decimal digits.
bool IsDecimalPageKey(std::string_view key);

class PageDatabase {
public:
    struct Entry {
        std::string Key;
        PageRef Page;
    };

    explicit PageDatabase(PageStoreLimits limits = {}) : limits_(limits) {}

    // Takes ownership; replaces a stored record with the same key. False when
    // storing failed (nothing is stored then). Beyond a limit the sub-page
    // stored longest ago is dropped (of that page, or of all), but never a
    // record someone else still holds: the page a window shows stays.
    bool StorePage(PagePtr page);
    // The same, handing back the stored record (none when storing failed).
    PageRef Store(PagePtr page);

    // The record with that page number and sub-code; else the stored sub-page
    // of that page with the lowest key; else none.
    PageRef FindPage(std::uint16_t pageNo, std::int32_t subCode) const;

    void ClearPageDatabase();

    // Entries (page and sub-page pairs), not distinct pages.
    int PageCount() const;
    // Sub-pages dropped to stay within the limits since the store was made.
    std::uint64_t DroppedCount() const;

    // Appends each decimal page number ("100") not yet in the list, in key order.
    bool ListPages(std::vector<std::string>& strings) const;
    // The sub-codes stored of a page, ascending.
    std::vector<std::int32_t> SubCodes(std::uint16_t pageNo) const;

    // The text is UTF-8; letters compare without regard to case.
    bool SearchFirst(std::string_view text, tVTXSearchRec& rec) const;
    bool SearchNext(tVTXSearchRec& rec) const;

    // All entries in key order, as they stand now.
    std::vector<Entry> Snapshot() const;

    // Visits the entries in key order under the database lock, held for the
    // whole walk, until the visitor returns false. The visitor may call other
    // members of this database (the lock is recursive) but must not store.
    template <class Visitor>
    void ForEachEntry(Visitor&& visit) const {
        std::lock_guard guard(lock_);
        for (const auto& [key, stored] : entries_)
            if (!visit(Entry{key, stored.Page})) return;
    }

private:
    // Keys order case-insensitively; they hold only digits, A-F and "/".
    struct KeyOrder {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    // Each entry knows when it was stored. The number fits the room the
    // allocator rounds a tree node up to anyway, so the limits cost a stored
    // page no byte.
    struct Stored {
        PageRef Page;
        std::uint64_t Sequence = 0;  // the order of arrival
    };
    // A tree: storing stays O(log n) in whatever order the keys come.
    using Entries = std::map<std::string, Stored, KeyOrder>;

    void KeepWithinLimits(std::uint16_t pageNo);
    bool DropOldestOfPage(std::uint16_t pageNo);
    void DropOldestOfAll();
    void Drop(Entries::iterator entry);

    const PageStoreLimits limits_;
    mutable std::recursive_mutex lock_;
    Entries entries_;
    std::array<std::uint16_t, 0x1000> perPage_{};  // entries of each page number
    std::uint64_t sequence_ = 0;
    std::uint64_t dropped_ = 0;
};

}  // namespace orv
