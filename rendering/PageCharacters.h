// What the enhancement packets make of a page's characters (Level 1.5): the
// character sets the page or its magazine designates (X/28/0 format 1,
// M/29/0), the second G0 set that ESC switches to, and the characters X/26
// places on single cells (G2 characters, letters with diacritical marks). The
// graphics view and the text form read it alike. A page without enhancement
// packets has none of it and is drawn as level 1.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"
#include "rendering/CharacterSets.h"

namespace orv {

// A character X/26 places on a cell.
struct PlacedChar {
    enum Kind : std::uint8_t { None, G0, G2 };
    Kind From = None;
    std::uint8_t Code = 0x20;  // 0x20-0x7F
    std::uint8_t Mark = 0;     // G0 only: diacritical mark 1-15, 0 for none
};

class PageCharacters {
public:
    // enhancements may be null: then the page is level 1 throughout.
    PageCharacters(const tPageImage& page, const PageEnhancements* enhancements);

    // A set is designated: the page is drawn in its own sets, whatever the
    // NationalFont setting chooses for level-1 pages.
    bool Designated() const { return designated_; }
    const CharacterSet& Primary() const { return primary_; }
    // The G0 set ESC switches to; none when the page designates no second set.
    const std::optional<CharacterSet>& Second() const { return second_; }
    // True when X/26 placed any character; only then may At be asked.
    bool AnyPlaced() const { return placed_ != nullptr; }
    // The character X/26 placed on a cell of rows 0-24.
    const PlacedChar& At(int row, int column) const {
        return (*placed_)[static_cast<std::size_t>(row * kRowLength + column)];
    }

    // The Unicode character of what X/26 placed, in the page's sets.
    char16_t Unicode(const PlacedChar& placed) const;

private:
    void Designate(const tPageImage& page, const PageEnhancements& enhancements);
    void Place(const PageEnhancements& enhancements);

    bool designated_ = false;
    CharacterSet primary_;
    std::optional<CharacterSet> second_;
    // Made when X/26 places its first character: most pages have none.
    std::unique_ptr<std::array<PlacedChar, kTextRows * kRowLength>> placed_;
};

}  // namespace orv
