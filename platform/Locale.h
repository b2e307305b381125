// The user's language as the system the viewer was designed for names it: a
// 16-bit language identifier (0x0407 German, 0x0409 US English, 0x0419
// Russian ...) and its three-letter abbreviation ("DEU", "ENU", "RUS"), taken
// here from LC_ALL, LC_MESSAGES or LANG.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

inline constexpr std::uint16_t kLangEnglishUS = 0x0409;

// From a POSIX locale name such as "de_DE.UTF-8" or "ru_RU@euro": the
// identifier of language and country, else of the language alone; US English
// for "C", "POSIX", an empty name and languages not in the table.
std::uint16_t LanguageIdFromLocaleName(std::string_view locale);

// The first of LC_ALL, LC_MESSAGES, LANG that is set and not empty.
std::uint16_t GetUserDefaultLangID();

// "DEU" for 0x0407 and so on; empty for an identifier not in the table.
std::string LanguageAbbreviation(std::uint16_t languageId);

// The language module beside a program: its file name with everything after
// the last "." replaced by the abbreviation, or with "." and the abbreviation
// appended when the name has no ".". Empty when there is no abbreviation.
std::string LanguageModulePath(std::string_view programPath, std::string_view abbreviation);

}  // namespace orv
