#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

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

// The folders of owners that are gone are removed, and only those.
TEST(PrivateFolder, TheFoldersOfOwnersThatWereKilledAreRemovedLater) {
    namespace fs = std::filesystem;
    const auto parent = fs::temp_directory_path() / ("orvtt-abandoned-" + std::to_string(::getpid()));
    fs::create_directories(parent);
    const std::string prefix = "orvtt-font.";
    const std::uint8_t bytes[] = {1};
    // A process killed while it ran leaves its folder with its file in it.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const PrivateFolder folder(parent.string(), prefix);
        WriteNewFile(folder.Path() + "/ORVTTX.FON", bytes);
        ::raise(SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    fs::create_directory(parent / "orvtt-font.oldone");  // left by an older viewer, never locked
    std::ofstream(parent / "orvtt-font.oldone" / "ORVTTX.FON") << "x";
    fs::create_directory(parent / "orvtt-font.newone");  // empty: made this moment, not yet locked
    fs::create_directory(parent / "elsewhere");
    std::ofstream(parent / "elsewhere" / "file") << "x";
    fs::create_directory_symlink(parent / "elsewhere", parent / "orvtt-font.link");
    std::ofstream(parent / "orvtt-font.file") << "x";
    fs::create_directory(parent / "other.abc");
    std::ofstream(parent / "other.abc" / "file") << "x";
    const PrivateFolder live(parent.string(), prefix);  // in use
    ASSERT_TRUE(WriteNewFile(live.Path() + "/ORVTTX.FON", bytes));
    if (::geteuid() == 0) {  // another user's
        fs::create_directory(parent / "orvtt-font.theirs");
        std::ofstream(parent / "orvtt-font.theirs" / "file") << "x";
        ASSERT_EQ(::chown((parent / "orvtt-font.theirs").c_str(), 65534, 65534), 0);
    }

    EXPECT_EQ(RemoveAbandonedFolders(parent.string(), prefix), 2);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(parent)) left.insert(entry.path().filename().string());
    std::set<std::string> expected = {"orvtt-font.newone", "elsewhere", "orvtt-font.link", "orvtt-font.file",
                                      "other.abc", fs::path(live.Path()).filename().string()};
    if (::geteuid() == 0) expected.insert("orvtt-font.theirs");
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(fs::exists(parent / "elsewhere" / "file"));
    fs::remove_all(parent);
}

}  // namespace
}  // namespace orv
