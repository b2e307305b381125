// The favorites in the registry: the stored layout, the order they load in,
// damaged entries, and a save that a crash cannot cut in half.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "TestRegistry.h"
#include "favorites/FavoritesStore.h"

namespace orv {
namespace {

std::string Sub(const std::string& name) { return std::string(kFavoritesKey) + "\\" + name; }

tPageInfo Favorite(std::string name, std::int32_t source, std::int32_t page) {
    return {std::move(name), source, 0x10005, page, 3, source != 1, "Station"};
}

std::vector<tPageInfo> Numbered(int count, const std::string& prefix) {
    std::vector<tPageInfo> list;
    for (int i = 0; i < count; ++i) list.push_back(Favorite(prefix + std::to_string(i), i % 3 - 1, 0x100 + i));
    return list;
}

TEST(FavoritesStore, SavesTheLayoutOthersReadAndLoadsItBack) {
    test::ScopedRegistry registry;
    const std::vector<tPageInfo> list = {Favorite("News", 1, 0x101), Favorite("News", 0, 0x899),
                                         Favorite("", -1, 0x1A0), Favorite("Two\r\nlines", 2, 0x300)};
    ASSERT_TRUE(SaveFavorites(*registry, list));
    EXPECT_EQ(registry->SubKeyNames(kFavoritesKey), (std::vector<std::string>{"0", "1", "2", "3"}));
    EXPECT_EQ(registry->ValueNames(Sub("0")), (std::vector<std::string>{"Name", "Source", "Channel", "Page",
                                                                        "SubPageNr", "NotifyChannel", "ChannelName"}));
    EXPECT_EQ(registry->ReadInteger(Sub("2"), "Source"), 0xFFFFFFFFu);
    EXPECT_EQ(registry->ReadInteger(Sub("1"), "NotifyChannel"), 1u);
    EXPECT_EQ(registry->ReadInteger(Sub("0"), "Page"), 0x101u);

    std::vector<tPageInfo> expected = list;
    expected[3].Name = "Two  lines";  // the file cannot hold a line break
    EXPECT_EQ(LoadFavorites(*registry), expected);

    // A shorter list leaves nothing of the longer one; an empty list an empty key.
    ASSERT_TRUE(SaveFavorites(*registry, {list[1]}));
    EXPECT_EQ(registry->SubKeyNames(kFavoritesKey), std::vector<std::string>{"0"});
    ASSERT_TRUE(SaveFavorites(*registry, {}));
    EXPECT_TRUE(registry->KeyExists(kFavoritesKey));
    EXPECT_TRUE(LoadFavorites(*registry).empty());
}

TEST(FavoritesStore, LoadsDecimalNamesInNumericOrderThenOthersAndPassesOverDamagedEntries) {
    test::ScopedRegistry registry;
    EXPECT_TRUE(LoadFavorites(*registry).empty());  // no key at all
    ASSERT_TRUE(SaveFavorites(*registry, Numbered(12, "F")));
    registry->Transaction([](Registry::Editor& editor) {
        editor.WriteString(Sub("Zapping"), "Name", "Named key");  // loads, but with no integers ...
        for (const char* value : {"Source", "Channel", "Page", "SubPageNr", "NotifyChannel"})
            editor.WriteInteger(Sub("Zapping"), value, 0);
        editor.DeleteValue(Sub("3"), "ChannelName");  // a missing text reads as empty
        editor.DeleteValue(Sub("4"), "Name");
        editor.DeleteValue(Sub("5"), "SubPageNr");
        editor.WriteString(Sub("6"), "Page", "100");
        editor.CreateKey(Sub("7\\deeper"));  // a subkey of its own does not matter
        return true;
    });
    std::vector<std::string> names;
    for (const tPageInfo& f : LoadFavorites(*registry)) names.push_back(f.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"F0", "F1", "F2", "F3", "F7", "F8", "F9", "F10", "F11", "Named key"}));
    EXPECT_EQ(LoadFavorites(*registry)[3].ChannelName, "");

    // The next save numbers them again in that order, which the load after keeps.
    ASSERT_TRUE(SaveFavorites(*registry, LoadFavorites(*registry)));
    EXPECT_EQ(registry->ReadString(Sub("7"), "Name"), "F10");
    EXPECT_FALSE(registry->KeyExists(Sub("Zapping")));
    names.clear();
    for (const tPageInfo& f : LoadFavorites(*registry)) names.push_back(f.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"F0", "F1", "F2", "F3", "F7", "F8", "F9", "F10", "F11", "Named key"}));
}

TEST(FavoritesStore, AFailedSaveChangesNothing) {
    test::ScopedRegistry registry;
    ASSERT_TRUE(SaveFavorites(*registry, Numbered(3, "Old")));
    // A link in place of the lock file: no write, for root neither.
    std::filesystem::remove(registry->Path() + ".lock");
    std::filesystem::create_symlink("elsewhere", registry->Path() + ".lock");
    EXPECT_FALSE(SaveFavorites(*registry, Numbered(5, "New")));
    EXPECT_EQ(LoadFavorites(*registry), Numbered(3, "Old"));
}

// A process killed at any moment of its saves leaves one whole list behind.
TEST(FavoritesStore, AKilledSaveLeavesTheOldListOrTheNew) {
    test::ScopedRegistry registry;
    const auto shortList = Numbered(4, "Short");
    const auto longList = Numbered(40, "Long");
    ASSERT_TRUE(SaveFavorites(*registry, shortList));
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Registry own(registry->Path());
            for (int i = 0;; ++i) SaveFavorites(own, i % 2 ? shortList : longList);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const auto loaded = LoadFavorites(*registry);  // in its own order, also past ten
        EXPECT_TRUE(loaded == shortList || loaded == longList) << "round " << round << ": " << loaded.size();
    }
}

}  // namespace
}  // namespace orv
