#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace orv {
namespace {

TEST(PrivateFolder, EachOwnerHasItsOwnFolderOnlyItsUserCanEnterUntilItGoes) {
    const auto parent = std::filesystem::temp_directory_path() / ("orvtt-private-" + std::to_string(::getpid()));
    std::filesystem::create_directories(parent);
    const std::uint8_t bytes[] = {1, 2, 3};
    std::string firstPath;
    {
        const PrivateFolder first(parent.string(), "orvtt-font.");
        std::optional<PrivateFolder> second(std::in_place, parent.string(), "orvtt-font.");
        ASSERT_FALSE(first.Path().empty());
        EXPECT_NE(first.Path(), second->Path());  // two viewers of one user
        struct stat info {};
        ASSERT_EQ(::stat(first.Path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);

        const std::string file = first.Path() + "/ORVTTX.FON";
        EXPECT_TRUE(WriteNewFile(file, bytes));
        EXPECT_FALSE(WriteNewFile(file, bytes));  // never over a file
        std::filesystem::create_symlink(parent / "victim", first.Path() + "/link");
        EXPECT_FALSE(WriteNewFile(first.Path() + "/link", bytes));  // never through a link
        EXPECT_FALSE(std::filesystem::exists(parent / "victim"));
        second.reset();  // the other one goes: this one stays whole
        EXPECT_TRUE(std::filesystem::exists(file));
        firstPath = first.Path();
    }
    EXPECT_FALSE(std::filesystem::exists(firstPath));
    EXPECT_TRUE(std::filesystem::is_empty(parent));
    EXPECT_TRUE(PrivateFolder("/nonexistent-orvtt-parent", "x.").Path().empty());
    std::filesystem::remove_all(parent);
}

}  // namespace
}  // namespace orv
