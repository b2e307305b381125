// The registry keys the README and the manual pages name can be copied as
// they stand: written in full, never shortened to "...", and in the manual
// pages never split at their blanks by a macro that takes words.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace orv {
namespace {

std::string Contents(const std::string& path) {
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(Documentation, RegistryKeysAreWrittenInFull) {
    for (const char* name : {"README.md", "data/man/orvtt.1", "data/man/ttxdump.1"}) {
        const std::string text = Contents(std::string(ORVTT_TESTS_DIR) + "/../" + name);
        ASSERT_FALSE(text.empty()) << name;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_EQ(line.find("[...\\"), std::string::npos) << name << ": " << line;
            const auto key = line.find("[HKEY_");
            if (key == std::string::npos) continue;
            // The whole key on its line: in the README inside one code span,
            // in a manual page one quoted macro argument.
            EXPECT_NE(line.find(']', key), std::string::npos) << name << ": " << line;
            if (line.starts_with('.')) {
                EXPECT_EQ(line.find(" \"[HKEY_"), line.find(' ')) << name << ": " << line;
            }
        }
    }
}

}  // namespace
}  // namespace orv
