#include "platform/RegistryText.h"

#include <algorithm>

namespace orv::detail {

namespace {

constexpr std::string_view kUtf16Mark = "\xFF\xFE";

void PutUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next character of UTF-8 text; none (one byte passed) for a byte that
// starts no well-formed character.
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80) return lead;
    const int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (length == 0 || pos + static_cast<std::size_t>(length - 1) > text.size()) return std::nullopt;
    char32_t c = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(k) - 1]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        c = c << 6 | (next & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    pos += static_cast<std::size_t>(length - 1);
    return c;
}

// UTF-16LE units to UTF-8; none at a broken surrogate pair.
std::optional<std::string> Utf16ToUtf8(const std::vector<std::uint16_t>& units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        }
        PutUtf8(out, c);
    }
    return out;
}

std::vector<std::uint16_t> Utf8ToUtf16(std::string_view text) {
    std::vector<std::uint16_t> units;
    units.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t c = NextUtf8(text, pos).value_or(U'?');
        if (c >= 0x10000) {
            units.push_back(static_cast<std::uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(c));
        }
    }
    return units;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool IsAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();)
        if (!NextUtf8(text, pos)) return false;
    return true;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    if (IsAscii(latin1)) return std::string(latin1);
    std::string out;
    out.reserve(latin1.size() + latin1.size() / 8);
    for (const char c : latin1) PutUtf8(out, static_cast<unsigned char>(c));
    return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto c = NextUtf8(utf8, pos);
        out += c && *c <= 0xFF ? static_cast<char>(*c) : '?';
    }
    return out;
}

bool FitsLatin1(std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();)
        if (NextUtf8(utf8, pos).value_or(0x100) > 0xFF) return false;
    return true;
}

std::optional<std::string> DecodeFile(std::string_view bytes, FileForm& form) {
    form = FileForm{};
    std::string text;
    if (bytes.starts_with(kUtf16Mark)) {
        bytes.remove_prefix(kUtf16Mark.size());
        if (bytes.size() % 2 != 0) return std::nullopt;
        std::vector<std::uint16_t> units(bytes.size() / 2);
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                                  static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
        auto decoded = Utf16ToUtf8(units);
        if (!decoded) return std::nullopt;
        form.Utf16 = true;
        text = std::move(*decoded);
    } else {
        text = Latin1ToUtf8(bytes);
    }
    // 8-bit files are written as they always were, REGEDIT4 with LF lines; a
    // UTF-16 export goes back as regedit wrote it.
    if (form.Utf16) {
        const auto firstEnd = text.find('\n');
        form.CrLf = firstEnd != std::string::npos && firstEnd > 0 && text[firstEnd - 1] == '\r';
        form.Version5 = text.starts_with("Windows Registry Editor Version 5.00");
    }
    return text;
}

std::string EncodeFile(std::string_view text, const FileForm& form) {
    std::string lines;
    if (form.CrLf) {
        lines.reserve(text.size() + text.size() / 16);
        for (const char c : text) {
            if (c == '\n') lines += '\r';
            lines += c;
        }
        text = lines;
    }
    if (!form.Utf16) return Utf8ToLatin1(text);
    std::string out(kUtf16Mark);
    out.reserve(2 + 2 * text.size());
    for (const std::uint16_t unit : Utf8ToUtf16(text)) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

std::string Hex1Data(std::string_view utf8, std::size_t lineStart) {
    std::vector<std::uint16_t> units = Utf8ToUtf16(utf8);
    units.push_back(0);
    std::string out;
    std::size_t column = lineStart;
    bool first = true;
    for (const std::uint16_t unit : units)
        for (const unsigned byte : {unit & 0xFFu, static_cast<unsigned>(unit >> 8)}) {
            if (!first) {
                out += ',';
                ++column;
                // regedit's lines: at most 80 characters with the "\" that continues them
                if (column + 3 > 79) {
                    out += "\\\n  ";
                    column = 2;
                }
            }
            first = false;
            out += "0123456789abcdef"[byte >> 4];
            out += "0123456789abcdef"[byte & 0xF];
            column += 2;
        }
    return out;
}

std::optional<std::string> TextOfHex1(std::string_view data) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t pos = 0; pos < data.size();) {
        const char c = data[pos];
        if (c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\\') {
            ++pos;
            continue;
        }
        if (pos + 1 >= data.size() || HexDigit(c) < 0 || HexDigit(data[pos + 1]) < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(HexDigit(c) << 4 | HexDigit(data[pos + 1])));
        pos += 2;
    }
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint16_t> units(bytes.size() / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    if (units.empty() || units.back() != 0) return std::nullopt;  // its terminating zero, which 8-bit text has not
    units.pop_back();
    if (std::ranges::find(units, 0) != units.end()) return std::nullopt;
    return Utf16ToUtf8(units);
}

}  // namespace orv::detail
