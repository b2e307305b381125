#include "platform/Registry.h"

#include "platform/FileReplacement.h"
#include "platform/RegistryText.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <new>
#include <span>
#include <system_error>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace orv {
namespace detail {

enum class ValueType { Text, Integer, Other };

struct RegistryValue {
    std::string Name;  // "" is the default value
    ValueType Type = ValueType::Text;
    // Text: the text. Other: everything behind the "=" as the file has it,
    // continuation lines included, so that it is written back unchanged.
    std::string Data;
    std::uint32_t Number = 0;  // Integer
    bool operator==(const RegistryValue&) const = default;
};

struct RegistryKey {
    std::string Name;
    std::vector<RegistryValue> Values;  // file order
    std::vector<RegistryKey> SubKeys;   // listing order, see ListsBefore
    // Comment lines of the key's section (the hive's: those before the first
    // section), and, for the hive, the sections of other hives with their
    // lines: not ours, but kept verbatim for whoever wrote them.
    std::vector<std::string> Comments;
    std::vector<std::string> Foreign;
    FileForm Form;  // the hive's: how its file is written
    bool operator==(const RegistryKey&) const = default;
};

// The flock on path + ".lock". Readers go on without it when the lock file
// cannot be opened (a read-only folder): the file is only ever replaced by a
// rename, so an unlocked reader still sees a whole file.
class RegistryLock {
public:
    RegistryLock(const std::string& path, bool exclusive) : fd_(Open(path)) {
        const bool locked = fd_ >= 0 && Lock(exclusive ? LOCK_EX : LOCK_SH);
        exclusive_ = locked && exclusive;
    }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
    ~RegistryLock() {
        if (fd_ >= 0) ::close(fd_);  // drops the lock
    }

    bool Exclusive() const { return exclusive_; }

    // The shared lock may be dropped on the way, so the caller looks again.
    bool MakeExclusive() {
        exclusive_ = fd_ >= 0 && Lock(LOCK_EX);
        return exclusive_;
    }

private:
    // Never through a link: in a folder others may write to, one planted at
    // the name would have the lock file made or opened wherever it leads.
    static int Open(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        return fd >= 0 || errno == ELOOP ? fd : ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    }

    bool Lock(int operation) const {
        int result;
        do result = ::flock(fd_, operation);
        while (result != 0 && errno == EINTR);
        return result == 0;
    }

    int fd_;
    bool exclusive_ = false;
};

}  // namespace detail

namespace {

using Key = detail::RegistryKey;
using Value = detail::RegistryValue;
using detail::DecodeFile;
using detail::EncodeFile;
using detail::FileStamp;
using detail::FitsLatin1;
using detail::Hex1Data;
using detail::IsAscii;
using detail::Latin1ToUtf8;
using detail::TextOfHex1;
using detail::Utf8ToLatin1;
using detail::ValueType;

constexpr std::string_view kHive = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A parse is reused only for a file this much older than the read: file
// systems stamp with a coarse clock, so a file rewritten in place twice within
// one tick keeps its stamp.
constexpr std::int64_t kSettledNs = 2'000'000'000;

// ---- names ---------------------------------------------------------------

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return Upper(x) == Upper(y); });
}

// Windows lists names by their upper-case form.
bool ListsBefore(std::string_view a, std::string_view b) {
    return std::ranges::lexicographical_compare(a, b, [](char x, char y) {
        return static_cast<unsigned char>(Upper(x)) < static_cast<unsigned char>(Upper(y));
    });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

// A line break would end the line in the file.
bool Writable(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

std::string_view TrimLeft(std::string_view text) {
    const auto start = text.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

std::string_view TrimRight(std::string_view text) {
    const auto end = text.find_last_not_of(" \t");
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

// Far deeper than any program keeps its settings; a file with deeper keys or
// longer names is taken as damaged. The depth bounds the recursion over the
// tree and, with the name length, what writing every parent path costs.
constexpr std::size_t kMaxDepth = 64;
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;

// The components of a key path below the hive; none for the hive itself.
std::optional<std::vector<std::string_view>> SplitKeyPath(std::string_view path) {
    if (path.starts_with('\\')) path.remove_prefix(1);
    std::vector<std::string_view> parts;
    if (path.empty()) return parts;
    if (path.ends_with('\\')) path.remove_suffix(1);
    for (;;) {
        const auto cut = path.find('\\');
        const std::string_view part = path.substr(0, cut);
        if (part.empty() || part.size() > kMaxKeyName || !Writable(part) || parts.size() == kMaxDepth)
            return std::nullopt;
        parts.push_back(part);
        if (cut == std::string_view::npos) return parts;
        path.remove_prefix(cut + 1);
    }
}

// ---- the tree ------------------------------------------------------------

template <typename K>  // Key or const Key
auto LowerBound(K& key, std::string_view name) {
    return std::ranges::lower_bound(key.SubKeys, name, ListsBefore, &Key::Name);
}

template <typename K>
K* FindSubKey(K& key, std::string_view name) {
    const auto it = LowerBound(key, name);
    return it != key.SubKeys.end() && SameName(it->Name, name) ? &*it : nullptr;
}

// Names and texts from callers are Latin-1; the tree holds UTF-8. Plain
// ASCII, which nearly every name is, is taken as it is.
class FromCaller {
public:
    explicit FromCaller(std::string_view text) : view_(text) {
        if (!IsAscii(text)) {
            owned_ = Latin1ToUtf8(text);
            view_ = owned_;
        }
    }
    FromCaller(const FromCaller&) = delete;
    FromCaller& operator=(const FromCaller&) = delete;
    operator std::string_view() const { return view_; }

private:
    std::string owned_;
    std::string_view view_;
};

constexpr std::string_view kSoftware = "SOFTWARE";
constexpr std::string_view kWow64Node = "WOW6432Node";

// Where a key path leads. Exports of 64-bit Windows keep a 32-bit program's
// keys below SOFTWARE\WOW6432Node: a key missing from its own place is taken
// from there, for writes as for reads, so that what is written is read back.
template <typename K>
struct Place {
    K* Key = nullptr;
    K* Alt = nullptr;  // the same key below WOW6432Node, while Key is the plain one
};

// With make, missing keys are made: below the plain parent, or below the
// one found in its stead.
template <typename K>
Place<K> Walk(K& root, std::span<const std::string_view> parts, bool make) {
    Place<K> at{&root, nullptr};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        K* child = FindSubKey(*at.Key, parts[i]);
        K* alt = at.Alt != nullptr ? FindSubKey(*at.Alt, parts[i]) : nullptr;
        if (child != nullptr) {
            at = {child, alt};
        } else if (alt != nullptr) {
            at = {alt, nullptr};
        } else if constexpr (!std::is_const_v<K>) {
            if (!make) return {};
            const auto it = LowerBound(*at.Key, parts[i]);
            at = {&*at.Key->SubKeys.insert(it, Key{std::string(parts[i]), {}, {}, {}, {}, {}}), nullptr};
        } else {
            return {};
        }
        if (i == 0 && SameName(parts[0], kSoftware)) at.Alt = FindSubKey(*at.Key, kWow64Node);
    }
    return at;
}

template <typename K>
K* FindKey(K& root, std::string_view path) {
    const FromCaller inTree(path);
    const auto parts = SplitKeyPath(inTree);
    return parts ? Walk(root, *parts, false).Key : nullptr;
}

// Opens the key, making it and its missing parents.
Key* MakeKey(Key& root, std::string_view path) {
    const FromCaller inTree(path);
    const auto parts = SplitKeyPath(inTree);
    return parts ? Walk(root, *parts, true).Key : nullptr;
}

template <typename K>
auto FindValue(K& key, std::string_view name) -> decltype(&key.Values.front()) {
    const auto it = std::ranges::find_if(key.Values, [&](const Value& v) { return SameName(v.Name, name); });
    return it != key.Values.end() ? &*it : nullptr;
}

// A value set again keeps its place and the spelling of its name.
void PutValue(Key& key, Value value) {
    if (Value* old = FindValue(key, value.Name)) {
        value.Name = std::move(old->Name);
        *old = std::move(value);
    } else {
        key.Values.push_back(std::move(value));
    }
}

const Value* FindValueAt(const Key& root, std::string_view path, std::string_view name) {
    const Key* key = FindKey(root, path);
    return key != nullptr ? FindValue(*key, FromCaller(name)) : nullptr;
}

std::vector<std::string> SubKeyNamesAt(const Key& root, std::string_view path) {
    std::vector<std::string> names;
    if (const Key* key = FindKey(root, path))
        for (const Key& sub : key->SubKeys) names.push_back(Utf8ToLatin1(sub.Name));
    return names;
}

std::vector<std::string> ValueNamesAt(const Key& root, std::string_view path) {
    std::vector<std::string> names;
    if (const Key* key = FindKey(root, path))
        for (const Value& value : key->Values) names.push_back(Utf8ToLatin1(value.Name));
    return names;
}

// The text of a text value, UTF-8.
std::optional<std::string> TextAt(const Key& root, std::string_view path, std::string_view name) {
    const Value* value = FindValueAt(root, path, name);
    if (value == nullptr || value->Type != ValueType::Text) return std::nullopt;
    return value->Data;
}

std::optional<std::string> Latin1TextAt(const Key& root, std::string_view path, std::string_view name) {
    auto text = TextAt(root, path, name);
    if (text && !IsAscii(*text)) *text = Utf8ToLatin1(*text);
    return text;
}

std::optional<std::uint32_t> NumberAt(const Key& root, std::string_view path, std::string_view name) {
    const Value* value = FindValueAt(root, path, name);
    if (value == nullptr || value->Type != ValueType::Integer) return std::nullopt;
    return value->Number;
}

// The name and a text value come as the tree holds them (UTF-8).
bool StoreValue(Key& root, std::string_view path, Value value) {
    // A name the reader would refuse would make the whole file damaged.
    if (value.Name.size() > kMaxValueName || !Writable(value.Name) || !Writable(value.Data)) return false;
    Key* key = MakeKey(root, path);
    if (key == nullptr) return false;
    PutValue(*key, std::move(value));
    return true;
}

bool RemoveKey(Key& root, std::string_view path) {
    const FromCaller inTree(path);
    auto parts = SplitKeyPath(inTree);
    if (!parts || parts->empty()) return false;  // the hive itself stays
    const std::string_view name = parts->back();
    parts->pop_back();
    const Place<Key> parent = Walk(root, *parts, false);
    if (parent.Key == nullptr) return false;
    for (Key* in : {parent.Key, parent.Alt}) {
        if (in == nullptr) continue;
        const auto it = LowerBound(*in, name);
        if (it != in->SubKeys.end() && SameName(it->Name, name)) {
            in->SubKeys.erase(it);
            return true;
        }
    }
    return false;
}

bool RemoveValue(Key& root, std::string_view path, std::string_view name) {
    Key* key = FindKey(root, path);
    const Value* value = key != nullptr ? FindValue(*key, FromCaller(name)) : nullptr;
    if (value == nullptr) return false;
    key->Values.erase(key->Values.begin() + (value - key->Values.data()));
    return true;
}

// ---- reading the file ----------------------------------------------------

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// A quoted name or text from text[pos] == '"'; pos ends behind the closing
// quote. Only \\ and \" are escapes; any other backslash stands for itself.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t& pos) {
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"')) ++pos;
        out += text[pos];
    }
    return std::nullopt;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (Upper(c) >= 'A' && Upper(c) <= 'F'); }

std::optional<std::uint32_t> ParseDword(std::string_view digits) {
    digits = TrimRight(digits);
    if (digits.empty() || digits.size() > 8 || !std::ranges::all_of(digits, IsHexDigit)) return std::nullopt;
    std::uint32_t number = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
    return number;
}

// "hex:" or "hex(N):", the binary and other typed values regedit writes.
bool IsOtherType(std::string_view data) {
    if (!StartsWithNoCase(data, "hex")) return false;
    data.remove_prefix(3);
    if (data.starts_with('(')) {
        const auto close = data.find(')');
        if (close == std::string_view::npos || close == 1 ||
            !std::ranges::all_of(data.substr(1, close - 1), IsHexDigit))
            return false;
        data.remove_prefix(close + 1);
    }
    return data.starts_with(':');
}

std::string UpperName(std::string_view name) {
    std::string upper(name);
    std::ranges::transform(upper, upper.begin(), Upper);
    return upper;
}

// A value named again later in the file takes the first one's place, as on an
// import. Done once after the parse, as a lookup per line would be quadratic.
void MergeRepeatedValues(Key& key) {
    if (key.Values.size() > 1) {
        std::unordered_map<std::string, std::size_t> seen;
        std::vector<Value> merged;
        for (Value& value : key.Values) {
            const auto [at, first] = seen.try_emplace(UpperName(value.Name), merged.size());
            if (first) {
                merged.push_back(std::move(value));
            } else {
                value.Name = std::move(merged[at->second].Name);
                merged[at->second] = std::move(value);
            }
        }
        key.Values = std::move(merged);
    }
    for (Key& sub : key.SubKeys) MergeRepeatedValues(sub);
}

// The tree while the file is read: subkeys in a map by their upper-case
// name (the listing order), so that keys in any order cost log n each.
struct ParseKey {
    Key Own;  // name, values and comments; SubKeys filled at the end
    std::map<std::string, std::unique_ptr<ParseKey>> Sub;
};

Key Finish(ParseKey&& parsed) {
    Key key = std::move(parsed.Own);
    key.SubKeys.reserve(parsed.Sub.size());
    for (auto& [upper, sub] : parsed.Sub) key.SubKeys.push_back(Finish(std::move(*sub)));
    return key;
}

class Parser {
public:
    explicit Parser(std::string_view text) : lines_(SplitLines(text)) {}

    // False when the file is damaged; Error() then tells where and why.
    bool Run();
    Key TakeRoot() { return std::move(root_); }
    std::string Error() const { return "line " + std::to_string(index_ + 1) + ": " + reason_; }

private:
    bool Fail(std::string reason) {
        reason_ = std::move(reason);
        return false;
    }
    bool Section(std::string_view line);
    bool ValueLine(std::string_view line);
    bool Data(std::string_view data, Value& value);
    bool OtherData(std::string_view data, Value& value);
    ParseKey* MakeParseKey(std::string_view path);

    std::vector<std::string_view> lines_;
    std::size_t index_ = 0;
    ParseKey parsed_;
    Key root_;
    Key* section_ = nullptr;
    bool skipping_ = false;
    std::string reason_;
};

bool Parser::Run() {
    if (lines_.empty()) return true;
    const std::string_view header = TrimRight(lines_[0]);
    if (header != kHeader && header != kHeader5) return Fail("no REGEDIT4 header");
    Key& root = parsed_.Own;
    for (index_ = 1; index_ < lines_.size(); ++index_) {
        const std::string_view line = TrimLeft(lines_[index_]);
        if (line.empty()) continue;
        if (line.front() == '[') {
            if (!Section(TrimRight(line))) return false;
            if (skipping_) root.Foreign.emplace_back(lines_[index_]);
        } else if (skipping_) {
            root.Foreign.emplace_back(lines_[index_]);
        } else if (line.front() == ';') {
            (section_ ? section_ : &root)->Comments.emplace_back(lines_[index_]);
        } else {
            if (section_ == nullptr) return Fail("value outside any key");
            if (!ValueLine(line)) return false;
        }
    }
    root_ = Finish(std::move(parsed_));
    MergeRepeatedValues(root_);
    return true;
}

ParseKey* Parser::MakeParseKey(std::string_view path) {
    const auto parts = SplitKeyPath(path);
    if (!parts) return nullptr;
    ParseKey* key = &parsed_;
    for (const std::string_view part : *parts) {
        auto& sub = key->Sub[UpperName(part)];
        if (!sub) {
            sub = std::make_unique<ParseKey>();
            sub->Own.Name = std::string(part);
        }
        key = sub.get();
    }
    return key;
}

bool Parser::Section(std::string_view line) {
    if (line.size() < 2 || !line.ends_with(']')) return Fail("key line without closing \"]\"");
    const std::string_view path = line.substr(1, line.size() - 2);
    const std::string_view hive = path.substr(0, path.find('\\'));
    // Other hives and key deletions ("[-HKEY_...]") are not ours: kept as they are.
    skipping_ = !SameName(hive, kHive);
    if (skipping_) {
        section_ = nullptr;
        return true;
    }
    ParseKey* key = MakeParseKey(path.substr(hive.size()));
    section_ = key ? &key->Own : nullptr;
    return section_ != nullptr || Fail("empty or too long name in key path, or too deep");
}

bool Parser::ValueLine(std::string_view line) {
    Value value;
    std::size_t pos = 1;
    if (line.front() == '"') {
        pos = 0;
        auto name = ReadQuoted(line, pos);
        if (!name) return Fail("unterminated quote in value name");
        if (name->size() > kMaxValueName) return Fail("value name too long");
        value.Name = std::move(*name);
    } else if (line.front() != '@') {
        return Fail("value line starts with neither a quoted name nor \"@\"");
    }
    const std::string_view rest = TrimLeft(line.substr(pos));
    if (!rest.starts_with('=')) return Fail("missing \"=\" after the value name");
    return Data(rest.substr(1), value);
}

bool Parser::Data(std::string_view data, Value& value) {
    const std::string_view trimmed = TrimLeft(data);
    if (trimmed.starts_with('"')) {
        std::size_t pos = 0;
        auto text = ReadQuoted(trimmed, pos);
        if (!text) return Fail("unterminated quote in text value");
        if (!TrimLeft(trimmed.substr(pos)).empty()) return Fail("characters after the closing quote");
        value.Data = std::move(*text);
    } else if (StartsWithNoCase(trimmed, "dword:")) {
        const auto number = ParseDword(trimmed.substr(6));
        if (!number) return Fail("dword value is not 1 to 8 hex digits");
        value.Type = ValueType::Integer;
        value.Number = *number;
    } else if (TrimRight(trimmed) == "-") {
        return true;  // a deletion, meant for an import
    } else if (IsOtherType(trimmed)) {
        return OtherData(data, value);
    } else {
        return Fail("unknown value type");
    }
    section_->Values.push_back(std::move(value));
    return true;
}

bool Parser::OtherData(std::string_view data, Value& value) {
    value.Type = ValueType::Other;
    value.Data = data;
    for (std::string_view line = data; TrimRight(line).ends_with('\\');) {
        if (++index_ >= lines_.size()) return Fail("continued value runs past the end of the file");
        line = lines_[index_];
        value.Data += '\n';
        value.Data += line;
    }
    // A text as regedit writes one that a file's code page cannot hold:
    // UTF-16LE with its terminating zero.
    if (const std::string_view typed = TrimLeft(value.Data); StartsWithNoCase(typed, "hex(1):"))
        if (auto text = TextOfHex1(typed.substr(7))) {
            value.Type = ValueType::Text;
            value.Data = std::move(*text);
        }
    section_->Values.push_back(std::move(value));
    return true;
}

// ---- writing the file ----------------------------------------------------

// The file in the form it was read in: its header, its line ends, its
// encoding. In an 8-bit file a text beyond Latin-1 goes as a hex(1) value,
// UTF-16LE, which can never be taken for Latin-1 text.
class FileWriter {
public:
    explicit FileWriter(const detail::FileForm& form) : form_(form) {}

    std::string Write(const Key& root) {
        out_ = std::string(form_.Version5 ? kHeader5 : kHeader) + "\n\n";
        if (!root.Comments.empty()) {
            Lines(root.Comments);
            out_ += '\n';
        }
        KeySection(root, std::string(kHive), true);
        if (!root.Foreign.empty()) {
            Lines(root.Foreign);
            out_ += '\n';
        }
        return EncodeFile(out_, form_);
    }

private:
    void Quoted(std::string_view text) {
        out_ += '"';
        for (const char c : text) {
            if (c == '\\' || c == '"') out_ += '\\';
            out_ += c;
        }
        out_ += '"';
    }

    // A line as it was read: reading takes one CR before the LF away, so in
    // a file of LF lines, a line that ends in a CR of its own (CR CR LF)
    // gets one more; CR LF files get their CR back with every line end.
    void Line(std::string_view line) {
        out_ += line;
        if (!form_.CrLf && line.ends_with('\r')) out_ += '\r';
        out_ += '\n';
    }

    void Lines(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) Line(line);
    }

    void ValueLine(const Value& value) {
        const std::size_t start = out_.size();
        if (value.Name.empty())
            out_ += '@';
        else
            Quoted(value.Name);
        out_ += '=';
        switch (value.Type) {
            case ValueType::Text:
                if (form_.Utf16 || FitsLatin1(value.Data)) {
                    Quoted(value.Data);
                } else {
                    out_ += "hex(1):";
                    out_ += Hex1Data(value.Data, out_.size() - start);
                }
                break;
            case ValueType::Integer:
                out_ += "dword:";
                for (int shift = 28; shift >= 0; shift -= 4) out_ += "0123456789abcdef"[(value.Number >> shift) & 0xF];
                break;
            case ValueType::Other:
                // Line by line, so that where the value goes on reads as it did.
                for (std::size_t from = 0;;) {
                    const auto end = value.Data.find('\n', from);
                    if (end == std::string::npos) {
                        Line(std::string_view(value.Data).substr(from));
                        return;
                    }
                    Line(std::string_view(value.Data).substr(from, end - from));
                    from = end + 1;
                }
        }
        out_ += '\n';
    }

    void KeySection(const Key& key, const std::string& path, bool isHive) {
        if (!isHive || !key.Values.empty()) {
            out_ += '[' + path + "]\n";
            if (!isHive) Lines(key.Comments);  // the hive's go first in the file
            for (const Value& value : key.Values) ValueLine(value);
            out_ += '\n';
        }
        for (const Key& sub : key.SubKeys) KeySection(sub, path + '\\' + sub.Name, false);
    }

    const detail::FileForm& form_;
    std::string out_;
};

std::string Serialize(const Key& root) { return FileWriter(root.Form).Write(root); }

// ---- files ---------------------------------------------------------------

bool ReadAll(int fd, std::string& out) {
    std::array<char, 16384> buffer;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got == 0) return true;
        if (got < 0 && errno != EINTR) return false;
        if (got > 0) out.append(buffer.data(), static_cast<std::size_t>(got));
    }
}

FileStamp StampOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

bool Settled(const FileStamp& stamp) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t nowNs = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    return nowNs - stamp.ModifiedNs >= kSettledNs;
}

std::filesystem::path FolderOf(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? "." : folder;
}

// Makes a rename in the folder durable. Some file systems refuse to sync a
// folder; the rename has happened then all the same.
void SyncFolder(const std::string& path) {
    const UniqueFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.Get());
}

bool MakeFolders(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(FolderOf(path), error);
    return !error;
}

std::optional<std::string> NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return value;
}

std::string HomeFolder() {
    if (auto home = NonEmptyEnv("HOME")) return *home;
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return {};
}

// path + ".bad", else ".bad.1", ".bad.2" ...: an earlier damaged file is kept.
std::string FreeBadName(const std::string& path) {
    std::string name = path + ".bad";
    struct stat st{};
    for (int n = 1; n < 1000 && ::lstat(name.c_str(), &st) == 0; ++n) name = path + ".bad." + std::to_string(n);
    return name;
}

// The file a link (or a chain of them) leads to; the path itself otherwise.
std::string LinkTarget(const std::string& path) {
    std::filesystem::path current = path;
    std::error_code error;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(current, error); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error) break;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current.string();
}

// The stem of a writer's temporary files: path + ".tmp" + its process id +
// ".", followed by random characters.
std::string TemporaryStem(const std::string& path, pid_t pid) { return path + ".tmp" + std::to_string(pid) + "."; }

// Temporary files of writers that were killed before their rename: removed
// once their process is gone. Only our own regular files are touched (and
// the names of earlier versions, which had no random part).
void RemoveStaleTemporaries(const std::string& path) {
    const std::filesystem::path file(path);
    const std::string prefix = file.filename().string() + ".tmp";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(FolderOf(path), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string_view rest = std::string_view(name).substr(prefix.size());
        const std::string_view digits = rest.substr(0, rest.find('.'));
        rest.remove_prefix(digits.size());
        if (digits.empty() || digits.size() > 9 || !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; }) ||
            !(rest.empty() || rest.size() == 7))
            continue;
        struct stat st{};
        if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) continue;
        const auto pid = static_cast<pid_t>(std::stol(std::string(digits)));
        if (pid == ::getpid()) continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH) ::unlink(entry.path().c_str());  // EPERM: alive, not ours to signal
    }
}

const std::shared_ptr<const Key>& EmptyTree() {
    static const std::shared_ptr<const Key> empty = std::make_shared<const Key>();
    return empty;
}

}  // namespace

// ---- Registry --------------------------------------------------------------

std::string Registry::DefaultPath() {
    if (auto path = NonEmptyEnv("ORVTT_REGISTRY")) return *path;
    const auto xdg = NonEmptyEnv("XDG_CONFIG_HOME");
    const std::filesystem::path config =
        xdg ? std::filesystem::path(*xdg) : std::filesystem::path(HomeFolder()) / ".config";
    return (config / "orv-teletext" / "registry.reg").string();
}

Registry::Registry(std::string path) : path_(std::move(path)) {}

Registry::~Registry() = default;

Registry::Tree Registry::Load() const {
    try {
        std::lock_guard guard(mutex_);
        detail::RegistryLock lock(path_ + ".lock", false);
        Tree tree = LoadLocked(lock, true);
        return tree ? tree : EmptyTree();
    } catch (const std::exception&) {
        return EmptyTree();  // out of memory: the settings read as empty this once
    }
}

// The tree in the file as it is now; null when the file is there but cannot
// be used (unreadable, or damaged and not moved aside), so that a writer
// never replaces what it could not read.
Registry::Tree Registry::LoadLocked(detail::RegistryLock& lock, bool trustCache) const {
    // Without blocking: a FIFO under this name must not hang the program.
    const UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return errno == ENOENT ? EmptyTree() : nullptr;
    struct stat st{};
    if (::fstat(fd.Get(), &st) != 0) return nullptr;
    const FileStamp stamp = StampOf(st);
    if (!S_ISREG(st.st_mode)) return Refuse(stamp, S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a file");
    if (trustCache && cached_ && cachedStamp_ == stamp) return cached_;

    std::string bytes;
    if (!ReadAll(fd.Get(), bytes)) return nullptr;
    std::string_view raw = bytes;
    if (raw.starts_with(kByteOrderMark)) raw.remove_prefix(kByteOrderMark.size());
    detail::FileForm form;
    const auto text = DecodeFile(raw, form);
    if (!text) return SetAside(lock, stamp, "a UTF-16 file that is not UTF-16 text");
    Parser parser(*text);
    if (!parser.Run()) return SetAside(lock, stamp, parser.Error());

    Key root = parser.TakeRoot();
    root.Form = form;
    auto tree = std::make_shared<const Key>(std::move(root));
    if (Settled(stamp)) {
        cached_ = tree;
        cachedStamp_ = stamp;
    }
    return tree;
}

Registry::Tree Registry::SetAside(detail::RegistryLock& lock, const FileStamp& stamp, const std::string& why) const {
    // Look again with the writers shut out: one may have replaced the file.
    if (!lock.Exclusive() && lock.MakeExclusive()) return LoadLocked(lock, false);

    const std::string bad = FreeBadName(path_);
    std::string report = "The registry file " + path_ + " is damaged (" + why + ")";
    Tree usable;
    if (lock.Exclusive() && ::rename(path_.c_str(), bad.c_str()) == 0) {
        SyncFolder(path_);
        report += "; it was moved to " + bad + " and the settings start out empty.";
        usable = EmptyTree();
    } else {
        const std::string cause = lock.Exclusive() ? std::generic_category().message(errno) : "no lock on it";
        report += " and could not be moved aside (" + cause + "); the settings read as empty.";
    }
    if (damagedStamp_ != stamp) damageReport_ = std::move(report);
    damagedStamp_ = stamp;
    return usable;
}

Registry::Tree Registry::Refuse(const detail::FileStamp& stamp, const std::string& why) const {
    if (damagedStamp_ != stamp)
        damageReport_ = "The registry file " + path_ + " is damaged (" + why + "); the settings read as empty.";
    damagedStamp_ = stamp;
    return nullptr;
}

bool Registry::Replace(const detail::RegistryKey& tree) {
    // Through a link to the file it leads to, which the user meant to keep.
    const std::string target = LinkTarget(path_);
    RemoveStaleTemporaries(target);
    // Written and synced before the rename, so that the rename never exposes
    // a file whose contents are not on disk yet; with the old file's mode.
    auto file = FileReplacement::Begin(target, TemporaryStem(target, ::getpid()));
    return file && file->Write(Serialize(tree)) && file->Commit(true);
}

void Registry::Read(const std::function<void(const Editor&)>& reads) const {
    const Tree tree = Load();
    // The editor is a view of a tree it could change: it gets a copy.
    Key copy;
    try {
        copy = *tree;
    } catch (const std::bad_alloc&) {
        // Out of memory: the registry reads as empty this once, as Load does.
    }
    const Editor editor(copy);
    reads(editor);
}

bool Registry::Transaction(const std::function<bool(Editor&)>& changes) {
    // Out of memory or any other failure inside: this write is lost, nothing
    // else (the file is only ever replaced whole).
    try {
        return TransactionLocked(changes);
    } catch (const std::exception&) {
        return false;
    }
}

bool Registry::TransactionLocked(const std::function<bool(Editor&)>& changes) {
    std::lock_guard guard(mutex_);
    if (!MakeFolders(path_)) return false;
    detail::RegistryLock lock(path_ + ".lock", true);
    if (!lock.Exclusive()) return false;
    // Read again under the lock, past the cache: what counts is the file now.
    const Tree current = LoadLocked(lock, false);
    if (!current) return false;

    Key edited = *current;
    Editor editor(edited);
    if (!changes(editor)) return false;
    return edited == *current || Replace(edited);
}

std::optional<std::string> Registry::TakeDamageReport() {
    std::lock_guard guard(mutex_);
    return std::exchange(damageReport_, std::nullopt);
}

bool Registry::KeyExists(std::string_view key) const { return FindKey(*Load(), key) != nullptr; }

std::vector<std::string> Registry::SubKeyNames(std::string_view key) const { return SubKeyNamesAt(*Load(), key); }

std::vector<std::string> Registry::ValueNames(std::string_view key) const { return ValueNamesAt(*Load(), key); }

std::optional<std::string> Registry::ReadString(std::string_view key, std::string_view name) const {
    return Latin1TextAt(*Load(), key, name);
}

std::optional<std::string> Registry::ReadText(std::string_view key, std::string_view name) const {
    return TextAt(*Load(), key, name);
}

std::optional<std::uint32_t> Registry::ReadInteger(std::string_view key, std::string_view name) const {
    return NumberAt(*Load(), key, name);
}

bool Registry::ValueExists(std::string_view key, std::string_view name) const {
    return FindValueAt(*Load(), key, name) != nullptr;
}

bool Registry::CreateKey(std::string_view key) {
    return Transaction([&](Editor& editor) { return editor.CreateKey(key); });
}

bool Registry::DeleteKey(std::string_view key) {
    return Transaction([&](Editor& editor) { return editor.DeleteKey(key); });
}

bool Registry::WriteString(std::string_view key, std::string_view name, std::string_view value) {
    return Transaction([&](Editor& editor) { return editor.WriteString(key, name, value); });
}

bool Registry::WriteText(std::string_view key, std::string_view name, std::string_view value) {
    return Transaction([&](Editor& editor) { return editor.WriteText(key, name, value); });
}

bool Registry::WriteInteger(std::string_view key, std::string_view name, std::uint32_t value) {
    return Transaction([&](Editor& editor) { return editor.WriteInteger(key, name, value); });
}

bool Registry::DeleteValue(std::string_view key, std::string_view name) {
    return Transaction([&](Editor& editor) { return editor.DeleteValue(key, name); });
}

// ---- Editor ----------------------------------------------------------------

bool Registry::Editor::KeyExists(std::string_view key) const { return FindKey(std::as_const(root_), key) != nullptr; }

std::vector<std::string> Registry::Editor::SubKeyNames(std::string_view key) const {
    return SubKeyNamesAt(root_, key);
}

std::vector<std::string> Registry::Editor::ValueNames(std::string_view key) const {
    return ValueNamesAt(root_, key);
}

std::optional<std::string> Registry::Editor::ReadString(std::string_view key, std::string_view name) const {
    return Latin1TextAt(root_, key, name);
}

std::optional<std::string> Registry::Editor::ReadText(std::string_view key, std::string_view name) const {
    return TextAt(root_, key, name);
}

std::optional<std::uint32_t> Registry::Editor::ReadInteger(std::string_view key, std::string_view name) const {
    return NumberAt(root_, key, name);
}

bool Registry::Editor::ValueExists(std::string_view key, std::string_view name) const {
    return FindValueAt(root_, key, name) != nullptr;
}

bool Registry::Editor::CreateKey(std::string_view key) { return MakeKey(root_, key) != nullptr; }

bool Registry::Editor::DeleteKey(std::string_view key) { return RemoveKey(root_, key); }

bool Registry::Editor::WriteString(std::string_view key, std::string_view name, std::string_view value) {
    return StoreValue(root_, key, Value{Latin1ToUtf8(name), ValueType::Text, Latin1ToUtf8(value), 0});
}

bool Registry::Editor::WriteText(std::string_view key, std::string_view name, std::string_view value) {
    if (!detail::IsUtf8(value)) return false;
    return StoreValue(root_, key, Value{Latin1ToUtf8(name), ValueType::Text, std::string(value), 0});
}

bool Registry::Editor::WriteInteger(std::string_view key, std::string_view name, std::uint32_t value) {
    return StoreValue(root_, key, Value{Latin1ToUtf8(name), ValueType::Integer, {}, value});
}

bool Registry::Editor::DeleteValue(std::string_view key, std::string_view name) {
    return RemoveValue(root_, key, name);
}

}  // namespace orv
