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

    // Takes ownership; replaces a stored record with the same key. False when
    // storing failed (nothing is stored then).
    bool StorePage(PagePtr page);
    // The same, handing back the stored record (none when storing failed).
    PageRef Store(PagePtr page);

    // The record with that page number and sub-code; else the stored sub-page
    // of that page with the lowest key; else none.
    PageRef FindPage(std::uint16_t pageNo, std::int32_t subCode) const;

    void ClearPageDatabase();

    // Entries (page and sub-page pairs), not distinct pages.
    int PageCount() const;

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
        for (const auto& [key, page] : entries_)
            if (!visit(Entry{key, page})) return;
    }

private:
    // Keys order case-insensitively; they hold only digits, A-F and "/".
    struct KeyOrder {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    // A tree: storing stays O(log n) in whatever order the keys come.
    using Entries = std::map<std::string, PageRef, KeyOrder>;

    mutable std::recursive_mutex lock_;
    Entries entries_;
};

}  // namespace orv
