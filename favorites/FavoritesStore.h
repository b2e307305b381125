// The favorites list in the registry: one subkey per favorite below the
// teletext settings, named by its position ("0", "1", ...), each holding the
// seven values of a tPageInfo. Other programs and older files read this
// layout, so the names, types and the order of the values are fixed.
#pragma once

#include <vector>

#include "favorites/PageInfo.h"

namespace orv {

class Registry;

inline constexpr char kFavoritesKey[] = "\\SOFTWARE\\ORV Technologies\\MultiMedia\\Features\\Teletext\\Favorites";

// The favorites in the order of their subkeys' decimal names ("2" before
// "10"), then those under other names in the order the registry lists them
// (the next save numbers them all again). A subkey
// without a "Name", or with an integer value missing or of another type, is
// passed over. A missing key gives an empty list.
std::vector<tPageInfo> LoadFavorites(const Registry& registry);

// Replaces the whole favorites key by the list, in one rewrite of the file:
// a crash leaves the old list or the new one. False when it could not be
// written (or a text is not UTF-8); the registry is unchanged then. Line
// breaks in the texts, which the file cannot hold, are stored as blanks.
// Texts that Latin-1 holds are stored as Latin-1 text, others whole as hex(1)
// values (see Registry::WriteText).
bool SaveFavorites(Registry& registry, const std::vector<tPageInfo>& favorites);

}  // namespace orv
