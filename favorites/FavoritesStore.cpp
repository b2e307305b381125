#include "favorites/FavoritesStore.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace orv {

namespace {

std::string SubKey(const std::string& name) { return std::string(kFavoritesKey) + "\\" + name; }

std::optional<tPageInfo> ReadFavorite(const Registry::Editor& registry, const std::string& key) {
    tPageInfo entry;
    const auto name = registry.ReadText(key, "Name");
    if (!name) return std::nullopt;
    entry.Name = *name;
    const auto source = registry.ReadInteger(key, "Source");
    const auto channel = registry.ReadInteger(key, "Channel");
    const auto page = registry.ReadInteger(key, "Page");
    const auto subPage = registry.ReadInteger(key, "SubPageNr");
    const auto notify = registry.ReadInteger(key, "NotifyChannel");
    if (!source || !channel || !page || !subPage || !notify) return std::nullopt;
    entry.Source = static_cast<std::int32_t>(*source);
    entry.Channel = static_cast<std::int32_t>(*channel);
    entry.Page = static_cast<std::int32_t>(*page);
    entry.SubPageNr = static_cast<std::int32_t>(*subPage);
    entry.NotifyChannel = *notify != 0;
    entry.ChannelName = registry.ReadText(key, "ChannelName").value_or("");
    return entry;
}

std::string Storable(std::string text) {
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

std::uint32_t Dword(std::int32_t value) { return static_cast<std::uint32_t>(value); }

bool IsDecimal(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Decimal names by their value, however many digits (leading zeros do not count).
bool NumericallyBefore(const std::string& a, const std::string& b) {
    const std::string_view x = std::string_view(a).substr(std::min(a.find_first_not_of('0'), a.size()));
    const std::string_view y = std::string_view(b).substr(std::min(b.find_first_not_of('0'), b.size()));
    return x.size() != y.size() ? x.size() < y.size() : x < y;
}

// The positions a save gave them ("0", "1", ... "10"), so that a list of more
// than ten keeps its order; any other names follow in listing order.
std::vector<std::string> LoadOrder(std::vector<std::string> names) {
    const auto others = std::stable_partition(names.begin(), names.end(), IsDecimal);
    std::stable_sort(names.begin(), others, NumericallyBefore);
    return names;
}

}  // namespace

std::vector<tPageInfo> LoadFavorites(const Registry& registry) {
    std::vector<tPageInfo> favorites;
    registry.Read([&](const Registry::Editor& editor) {  // one parse for all of them
        for (const std::string& name : LoadOrder(editor.SubKeyNames(kFavoritesKey)))
            if (auto entry = ReadFavorite(editor, SubKey(name))) favorites.push_back(std::move(*entry));
    });
    return favorites;
}

bool SaveFavorites(Registry& registry, const std::vector<tPageInfo>& favorites) {
    return registry.Transaction([&](Registry::Editor& editor) {
        editor.DeleteKey(kFavoritesKey);  // false when there was none
        if (!editor.CreateKey(kFavoritesKey)) return false;
        for (std::size_t i = 0; i < favorites.size(); ++i) {
            const tPageInfo& f = favorites[i];
            const std::string key = SubKey(std::to_string(i));
            const bool written = editor.WriteText(key, "Name", Storable(f.Name)) &&
                                 editor.WriteInteger(key, "Source", Dword(f.Source)) &&
                                 editor.WriteInteger(key, "Channel", Dword(f.Channel)) &&
                                 editor.WriteInteger(key, "Page", Dword(f.Page)) &&
                                 editor.WriteInteger(key, "SubPageNr", Dword(f.SubPageNr)) &&
                                 editor.WriteInteger(key, "NotifyChannel", f.NotifyChannel ? 1 : 0) &&
                                 editor.WriteText(key, "ChannelName", Storable(f.ChannelName));
            if (!written) return false;  // all or nothing: the old list stays
        }
        return true;
    });
}

}  // namespace orv
