#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Locale.h"
#include "platform/Version.h"

namespace orv {
namespace {

TEST(Locale, LanguageIdentifiersFromLocaleNames) {
    EXPECT_EQ(LanguageIdFromLocaleName("de_DE.UTF-8"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocaleName("de_AT@euro"), 0x0C07);
    EXPECT_EQ(LanguageIdFromLocaleName("de_BE.UTF-8"), 0x0407);  // country not listed: the language's default
    EXPECT_EQ(LanguageIdFromLocaleName("ru_RU.KOI8-R"), 0x0419);
    EXPECT_EQ(LanguageIdFromLocaleName("en_US"), 0x0409);
    EXPECT_EQ(LanguageIdFromLocaleName("en_GB.UTF-8"), 0x0809);
    EXPECT_EQ(LanguageIdFromLocaleName("cs_CZ"), 0x0405);
    for (const char* plain : {"C", "POSIX", "", "C.UTF-8", "xx_YY", "klingon"})
        EXPECT_EQ(LanguageIdFromLocaleName(plain), kLangEnglishUS) << plain;

    EXPECT_EQ(LanguageAbbreviation(0x0407), "DEU");
    EXPECT_EQ(LanguageAbbreviation(0x0409), "ENU");
    EXPECT_EQ(LanguageAbbreviation(0x0419), "RUS");
    EXPECT_EQ(LanguageAbbreviation(0x7777), "");
}

TEST(Locale, UserDefaultFollowsTheEnvironmentInOrder) {
    const auto keep = [](const char* name) {
        const char* value = std::getenv(name);
        return std::pair<std::string, bool>(value ? value : "", value != nullptr);
    };
    const auto all = keep("LC_ALL"), messages = keep("LC_MESSAGES"), lang = keep("LANG");
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0419);
    ::setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
    ::setenv("LC_ALL", "", 1);  // set but empty: skipped
    EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
    ::setenv("LC_ALL", "fr_FR.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 0x040C);
    for (const auto& [name, saved] : {std::pair{"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}}) {
        if (saved.second)
            ::setenv(name, saved.first.c_str(), 1);
        else
            ::unsetenv(name);
    }
}

TEST(Locale, LanguageModuleBesideTheProgram) {
    EXPECT_EQ(LanguageModulePath("/opt/orv/orvtt", "DEU"), "/opt/orv/orvtt.DEU");
    EXPECT_EQ(LanguageModulePath("/opt/orv/ORVTT.EXE", "DEU"), "/opt/orv/ORVTT.DEU");
    EXPECT_EQ(LanguageModulePath("/opt/orv.d/orvtt", "DE"), "/opt/orv.d/orvtt.DE");  // a dot in a folder does not count
    EXPECT_EQ(LanguageModulePath("orvtt.bin", "RUS"), "orvtt.RUS");
    EXPECT_EQ(LanguageModulePath("/opt/orv/orvtt", ""), "");
}

TEST(Version, ReadFromTheProgramFileAndEmptyWithoutOne) {
    const std::string self = ProgramFileName();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(ReadVersionInfo(self), ORVTT_VERSION_TEXT);
    EXPECT_EQ(ReadVersionInfo("/nonexistent/program"), "");
    EXPECT_EQ(ReadVersionInfo("/bin/sh"), "");  // an ELF file without our note

    // A damaged copy of ourselves: cut short, never a crash.
    const auto cut = std::filesystem::temp_directory_path() / "orvtt_cut_program";
    {
        std::ifstream in(self, std::ios::binary);
        std::ofstream out(cut, std::ios::binary);
        std::vector<char> head(4096);
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        out.write(head.data(), in.gcount());
    }
    EXPECT_EQ(ReadVersionInfo(cut.string()), "");
    std::filesystem::remove(cut);
}

}  // namespace
}  // namespace orv
