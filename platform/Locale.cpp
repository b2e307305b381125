#include "platform/Locale.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace orv {

namespace {

struct Language {
    const char* Code;     // "de_DE", or "de" for the language's default
    std::uint16_t Id;
    const char* Abbreviation;
};

// Languages and countries a teletext viewer meets; the first entry of a
// language is its default when the country is not listed.
constexpr Language kLanguages[] = {
    {"en_US", 0x0409, "ENU"}, {"en_GB", 0x0809, "ENG"}, {"en_AU", 0x0C09, "ENA"}, {"en_CA", 0x1009, "ENC"},
    {"en_NZ", 0x1409, "ENZ"}, {"en_IE", 0x1809, "ENI"}, {"de_DE", 0x0407, "DEU"}, {"de_CH", 0x0807, "DES"},
    {"de_AT", 0x0C07, "DEA"}, {"de_LU", 0x1007, "DEL"}, {"de_LI", 0x1407, "DEC"}, {"fr_FR", 0x040C, "FRA"},
    {"fr_BE", 0x080C, "FRB"}, {"fr_CA", 0x0C0C, "FRC"}, {"fr_CH", 0x100C, "FRS"}, {"fr_LU", 0x140C, "FRL"},
    {"it_IT", 0x0410, "ITA"}, {"it_CH", 0x0810, "ITS"}, {"es_ES", 0x0C0A, "ESN"}, {"es_MX", 0x080A, "ESM"},
    {"pt_PT", 0x0816, "PTG"}, {"pt_BR", 0x0416, "PTB"}, {"nl_NL", 0x0413, "NLD"}, {"nl_BE", 0x0813, "NLB"},
    {"sv_SE", 0x041D, "SVE"}, {"sv_FI", 0x081D, "SVF"}, {"fi_FI", 0x040B, "FIN"}, {"da_DK", 0x0406, "DAN"},
    {"nb_NO", 0x0414, "NOR"}, {"nn_NO", 0x0814, "NON"}, {"no_NO", 0x0414, "NOR"}, {"is_IS", 0x040F, "ISL"},
    {"pl_PL", 0x0415, "PLK"}, {"cs_CZ", 0x0405, "CSY"}, {"sk_SK", 0x041B, "SKY"}, {"hu_HU", 0x040E, "HUN"},
    {"sl_SI", 0x0424, "SLV"}, {"hr_HR", 0x041A, "HRV"}, {"ro_RO", 0x0418, "ROM"}, {"bg_BG", 0x0402, "BGR"},
    {"ru_RU", 0x0419, "RUS"}, {"uk_UA", 0x0422, "UKR"}, {"be_BY", 0x0423, "BEL"}, {"et_EE", 0x0425, "ETI"},
    {"lv_LV", 0x0426, "LVI"}, {"lt_LT", 0x0427, "LTH"}, {"el_GR", 0x0408, "ELL"}, {"tr_TR", 0x041F, "TRK"},
};

const Language* Find(std::string_view code) {
    for (const auto& language : kLanguages)
        if (code == language.Code) return &language;
    return nullptr;
}

}  // namespace

std::uint16_t LanguageIdFromLocaleName(std::string_view locale) {
    // "de_DE.UTF-8@euro" -> "de_DE"
    locale = locale.substr(0, std::min(locale.find('.'), locale.find('@')));
    std::string code(locale);
    const auto underscore = code.find('_');
    for (std::size_t i = 0; i < code.size(); ++i) {
        const auto c = static_cast<unsigned char>(code[i]);
        code[i] = static_cast<char>(i < underscore ? std::tolower(c) : std::toupper(c));
    }
    if (const Language* exact = Find(code)) return exact->Id;
    const std::string language = code.substr(0, underscore);
    for (const auto& entry : kLanguages)
        if (std::string_view(entry.Code).substr(0, 3) == language + "_") return entry.Id;
    return kLangEnglishUS;
}

std::uint16_t GetUserDefaultLangID() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return LanguageIdFromLocaleName(value);
    }
    return kLangEnglishUS;
}

std::string LanguageAbbreviation(std::uint16_t languageId) {
    for (const auto& language : kLanguages)
        if (language.Id == languageId) return language.Abbreviation;
    return {};
}

std::string LanguageModulePath(std::string_view programPath, std::string_view abbreviation) {
    if (abbreviation.empty()) return {};
    const auto slash = programPath.rfind('/');
    const auto nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const auto dot = programPath.rfind('.');
    std::string path(programPath);
    if (dot == std::string_view::npos || dot < nameStart)
        path += '.';
    else
        path.resize(dot + 1);
    return path.append(abbreviation);
}

}  // namespace orv
