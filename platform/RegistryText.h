// The text forms of the registry file. In memory every name and text is
// UTF-8; on disk the file is either 8-bit (each byte one Latin-1 character,
// as REGEDIT4 files are written here) or UTF-16LE with a byte-order mark (as
// regedit exports). Callers of the Registry speak Latin-1, or UTF-8 through
// its Text calls. Internal to the Registry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::detail {

// How a file is written: a UTF-16 file as it was read; an 8-bit one always
// as REGEDIT4 with LF lines, as this program has always written them.
struct FileForm {
    bool Utf16 = false;       // UTF-16LE with a byte-order mark; else 8-bit
    bool Version5 = false;    // "Windows Registry Editor Version 5.00"; else "REGEDIT4"
    bool CrLf = false;        // lines end in CR LF
    bool operator==(const FileForm&) const = default;
};

// The file's bytes as UTF-8 text, its form noted (the header is the
// parser's to check). None when a UTF-16 file is not UTF-16.
std::optional<std::string> DecodeFile(std::string_view bytes, FileForm& form);
// UTF-8 text (line ends "\n") as the file's bytes in the form given; in an
// 8-bit file a character beyond Latin-1 becomes "?" (texts that hold one are
// written as hex(1) values before that).
std::string EncodeFile(std::string_view text, const FileForm& form);

bool IsAscii(std::string_view text);
std::string Latin1ToUtf8(std::string_view latin1);
// Characters beyond Latin-1, and bytes that are no UTF-8, become "?".
std::string Utf8ToLatin1(std::string_view utf8);
bool FitsLatin1(std::string_view utf8);
bool IsUtf8(std::string_view text);

// A text as the data of a hex(1) value: UTF-16LE with its terminating zero,
// "4e,00,..." with lines continued as regedit wraps them after a line start
// of the given length.
std::string Hex1Data(std::string_view utf8, std::size_t lineStart);
// The text of hex(1) data (what follows "hex(1):", continuation lines
// included): UTF-16LE up to one terminating zero. None when it is not such
// a text (an odd length, a zero inside, a broken surrogate pair, bad digits).
std::optional<std::string> TextOfHex1(std::string_view data);

}  // namespace orv::detail
