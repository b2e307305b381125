#include "tools/fontgen/GlyphSource.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace orv::fontgen {
namespace {

constexpr std::string_view kSpaces = " \t\r";

std::string_view Trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(kSpaces);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kSpaces) - first + 1);
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    for (std::size_t at = line.find_first_not_of(kSpaces); at != std::string_view::npos;
         at = line.find_first_not_of(kSpaces, at)) {
        const std::size_t end = std::min(line.find_first_of(kSpaces, at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Exactly two hex digits.
std::optional<std::uint8_t> Cell(std::string_view word) {
    if (word.size() != 2 || HexDigit(word[0]) < 0 || HexDigit(word[1]) < 0) return std::nullopt;
    return static_cast<std::uint8_t>(HexDigit(word[0]) * 16 + HexDigit(word[1]));
}

// A drawing file as copies name it: "latin", "latin-g2".
bool IsFileName(std::string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

std::optional<std::uint16_t> Row(std::string_view text) {
    if (text.size() != kCellWidth) return std::nullopt;
    std::uint16_t row = 0;
    for (int x = 0; x < kCellWidth; ++x) {
        if (text[static_cast<std::size_t>(x)] == '#')
            row = static_cast<std::uint16_t>(row | (0x8000u >> x));
        else if (text[static_cast<std::size_t>(x)] != '.')
            return std::nullopt;
    }
    return row;
}

class Parser {
public:
    Parser(std::string_view text, std::string fileName) : text_(text) { source_.FileName = std::move(fileName); }

    std::optional<GlyphSource> Run(std::string* error) {
        std::string_view line;
        while (NextLine(line))
            if (!Statement(line)) {
                if (error) *error = error_;
                return std::nullopt;
            }
        return std::move(source_);
    }

private:
    bool NextLine(std::string_view& line) {
        if (at_ >= text_.size()) return false;
        const std::size_t end = std::min(text_.find('\n', at_), text_.size());
        line = text_.substr(at_, end - at_);
        at_ = end + 1;
        ++lineNo_;
        return true;
    }

    bool Statement(std::string_view line) {
        const std::string_view text = Trimmed(line);
        if (text.empty() || text.front() == '#') return true;
        const std::vector<std::string_view> words = Words(text);
        if (words[0] == "glyph") return Glyph(words);
        if (words[0] == "copy") return Copy(words);
        return Fail("expected \"glyph XX\", \"copy XX FILE YY\", a comment or an empty line");
    }

    bool Glyph(const std::vector<std::string_view>& words) {
        const auto cell = words.size() == 2 ? Cell(words[1]) : std::nullopt;
        if (!cell) return Fail("expected \"glyph XX\" with two hex digits");
        if (!Define(*cell)) return false;
        Drawing drawing{};
        std::string_view line;
        for (int y = 0; y < kCellHeight; ++y) {
            if (!NextLine(line))
                return Fail("glyph " + CellName(*cell) + " ends after " + std::to_string(y) + " of its " +
                            std::to_string(kCellHeight) + " rows");
            const auto row = Row(Trimmed(line));
            if (!row)
                return Fail("row " + std::to_string(y + 1) + " of glyph " + CellName(*cell) + ": expected " +
                            std::to_string(kCellWidth) + " characters, each \"#\" or \".\"");
            drawing[static_cast<std::size_t>(y)] = *row;
        }
        source_.Glyphs[*cell] = drawing;
        return true;
    }

    // "copy XX FILE YY", or "copy XX-ZZ FILE YY" for the run of cells XX to ZZ from YY on.
    bool Copy(const std::vector<std::string_view>& words) {
        constexpr const char* kExpected =
            "expected \"copy XX FILE YY\" or \"copy XX-ZZ FILE YY\" with two hex digits each";
        if (words.size() != 4 || !IsFileName(words[2])) return Fail(kExpected);
        const auto dash = words[1].find('-');
        const auto first = Cell(words[1].substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : Cell(words[1].substr(dash + 1));
        const auto from = Cell(words[3]);
        if (!first || !last || !from) return Fail(kExpected);
        if (*last < *first || *from + (*last - *first) > 0xFF)
            return Fail("the run " + CellName(*first) + "-" + CellName(*last) + " from " + CellName(*from) +
                        " does not fit the cells 00-FF");
        for (int cell = *first; cell <= *last; ++cell) {
            if (!Define(static_cast<std::uint8_t>(cell))) return false;
            source_.Copies[static_cast<std::uint8_t>(cell)] = {
                std::string(words[2]), static_cast<std::uint8_t>(*from + (cell - *first))};
        }
        return true;
    }

    bool Define(std::uint8_t cell) {
        const auto [given, fresh] = source_.Lines.try_emplace(cell, lineNo_);
        return fresh || Fail("cell " + CellName(cell) + " is already given at line " + std::to_string(given->second));
    }

    bool Fail(const std::string& message) {
        error_ = source_.FileName + ":" + std::to_string(lineNo_) + ": " + message;
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    int lineNo_ = 0;
    GlyphSource source_;
    std::string error_;
};

}  // namespace

std::string CellName(std::uint8_t cell) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[cell >> 4], kDigits[cell & 0xF]};
}

std::string GlyphSource::Where(std::uint8_t cell) const {
    const auto line = Lines.find(cell);
    return FileName + ":" + (line == Lines.end() ? std::string() : std::to_string(line->second) + ":") + " ";
}

std::optional<GlyphSource> ParseGlyphSource(std::string_view text, std::string fileName, std::string* error) {
    return Parser(text, std::move(fileName)).Run(error);
}

std::optional<GlyphSource> ReadGlyphSource(const std::string& path, std::string* error) {
    std::error_code ignored;
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, ignored)) in.open(path, std::ios::binary);
    std::string text;
    if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        if (error) *error = path + ": cannot read the file";
        return std::nullopt;
    }
    return ParseGlyphSource(text, path, error);
}

}  // namespace orv::fontgen
