#include "platform/LanguageModule.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/Locale.h"

namespace orv {

namespace {

// A module is a few kilobytes of text; anything far larger is not one.
constexpr std::uintmax_t kMaxModuleSize = 16u << 20;

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// Text in another encoding would show as garbage; such lines are dropped so
// the built-in text stays instead.
bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t length = 0;
        if (c < 0x80) length = 1;
        else if (c >= 0xC2 && c <= 0xDF) length = 2;
        else if (c >= 0xE0 && c <= 0xEF) length = 3;
        else if (c >= 0xF0 && c <= 0xF4) length = 4;
        else return false;
        if (i + length > s.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

// "\n" is a line break and "\\" a backslash; any other backslash stays as it is.
std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == '\\')) {
            out += s[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

// "[TMainForm]" -> "TMainForm"; empty when the line is not a proper header.
std::string_view SectionName(std::string_view line) {
    if (line.size() < 3 || line.front() != '[' || line.back() != ']') return {};
    const auto name = Trim(line.substr(1, line.size() - 2));
    if (name.find_first_of("[]") != std::string_view::npos) return {};
    return name;
}

// "bSave.Hint=Seite speichern"; false when the line is not an entry.
bool ParseEntry(std::string_view line, LanguageText& text) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const auto key = Trim(line.substr(0, equals));
    const auto dot = key.find('.');
    if (dot == std::string_view::npos) return false;
    const auto component = Trim(key.substr(0, dot));
    const auto property = Trim(key.substr(dot + 1));
    if (property.empty() || property.find_first_of(" \t.") != std::string_view::npos) return false;
    if (component.find_first_of(" \t") != std::string_view::npos) return false;
    text.Component = std::string(component);
    text.Property = std::string(property);
    text.Value = Unescape(line.substr(equals + 1));
    return true;
}

bool ReadWholeFile(const std::string& fileName, std::string& contents) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error)) return false;
    const auto size = std::filesystem::file_size(fileName, error);
    if (error || size > kMaxModuleSize) return false;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

bool LanguageModule::Load(const std::string& fileName) {
    std::string contents;
    if (!ReadWholeFile(fileName, contents)) return false;
    Parse(contents);
    fileName_ = fileName;
    return true;
}

void LanguageModule::Parse(std::string_view text) {
    forms_.clear();
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());

    // Entries belong to the last good header; after a damaged header they
    // belong nowhere, so they cannot land on the wrong window.
    std::vector<LanguageText>* section = nullptr;
    while (!text.empty()) {
        const auto end = text.find('\n');
        auto line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);

        const auto trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == ';') continue;
        if (!IsValidUtf8(line) || line.find('\0') != std::string_view::npos) continue;
        if (trimmed.front() == '[') {
            const auto name = SectionName(trimmed);
            section = name.empty() ? nullptr : &forms_[std::string(name)];
            continue;
        }
        LanguageText entry;
        if (section && ParseEntry(line, entry)) section->push_back(std::move(entry));
    }
}

const std::vector<LanguageText>* LanguageModule::Form(std::string_view className) const {
    const auto found = forms_.find(className);
    return found == forms_.end() ? nullptr : &found->second;
}

bool LoadLanguageModule(const std::string& programPath, std::uint16_t languageId, LanguageModule& module) {
    const std::string abbreviation = LanguageAbbreviation(languageId);
    if (abbreviation.empty()) return false;
    for (const auto& candidate : {abbreviation, abbreviation.substr(0, 2)}) {
        const std::string path = LanguageModulePath(programPath, candidate);
        if (!path.empty() && module.Load(path)) return true;
    }
    return false;
}

}  // namespace orv
