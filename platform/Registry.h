// The HKEY_LOCAL_MACHINE hive the viewer keeps its settings in. On Linux it is
// a text file in the REGEDIT4 format (what regedit exports), so that other
// programs, a TV program for one, can read and edit it too.
//
// Every read looks at the file as it is now, since another process may have
// changed it. Every change is written through before the call returns: under
// an exclusive flock on path + ".lock" the file is read again, changed, and
// replaced as a whole by a rename, so concurrent writers lose nothing and a
// writer killed at any moment leaves the old file or the new one.
//
// The file is 8-bit (Latin-1) or, as Windows' regedit exports it, UTF-16LE
// with a byte-order mark; either header ("REGEDIT4", "Windows Registry Editor
// Version 5.00") is read. A UTF-16 file is written back in the encoding,
// header and line ends it was read in; any other as 8-bit REGEDIT4, LF.
//
// Key paths are below HKEY_LOCAL_MACHINE, with or without a leading backslash
// ("" is HKEY_LOCAL_MACHINE itself); a trailing backslash is ignored and an
// empty component makes the path invalid. Names are Latin-1. A key missing
// below SOFTWARE is taken from SOFTWARE\WOW6432Node, where exports of 64-bit
// Windows keep a 32-bit program's keys, when it is there (for reads and
// writes alike). Key and value names compare without
// regard to ASCII case and keep the spelling they were created with. The value
// name "" is the key's default value ("@" in the file).
//
// One object may be used from several threads. Do not call the Registry from
// inside a Transaction's function: its lock is held then.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

namespace detail {

struct RegistryKey;
class RegistryLock;

// One version of the file, for the parse cache.
struct FileStamp {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

}  // namespace detail

class Registry {
public:
    // $ORVTT_REGISTRY when set and not empty, else
    // $XDG_CONFIG_HOME/orv-teletext/registry.reg, else
    // $HOME/.config/orv-teletext/registry.reg.
    static std::string DefaultPath();

    // Does not touch the file system; missing folders are made on the first
    // write.
    explicit Registry(std::string path);
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    ~Registry();

    const std::string& Path() const { return path_; }

    bool KeyExists(std::string_view key) const;
    // Direct subkeys in the order Windows lists them (case-insensitive);
    // empty when the key is missing.
    std::vector<std::string> SubKeyNames(std::string_view key) const;
    // In file order; the default value, when set, is listed as "".
    std::vector<std::string> ValueNames(std::string_view key) const;
    // Text values only: an integer or a binary value is not a string. The
    // text in Latin-1, a character beyond it read as "?" (as Windows' ANSI
    // calls read).
    std::optional<std::string> ReadString(std::string_view key, std::string_view name) const;
    // The same text in UTF-8, whole: for what the user typed.
    std::optional<std::string> ReadText(std::string_view key, std::string_view name) const;
    // 32-bit integer values only: the text "0407" is not an integer.
    std::optional<std::uint32_t> ReadInteger(std::string_view key, std::string_view name) const;
    bool ValueExists(std::string_view key, std::string_view name) const;

    // False when the path is invalid or the file cannot be written; nothing
    // has changed then. Names and text may not hold line breaks, which the
    // file format has no way to write. A change that changes nothing does not
    // rewrite the file.
    bool CreateKey(std::string_view key);  // with missing parents; true when it exists already
    bool DeleteKey(std::string_view key);  // with all subkeys; false when missing
    bool WriteString(std::string_view key, std::string_view name, std::string_view value);   // makes the key
    // A UTF-8 text (false when it is not UTF-8). Text that Latin-1 holds is
    // stored as WriteString stores it; other text, in an 8-bit file, as a
    // hex(1) value of UTF-16LE, as regedit writes such text.
    bool WriteText(std::string_view key, std::string_view name, std::string_view value);
    bool WriteInteger(std::string_view key, std::string_view name, std::uint32_t value);     // makes the key
    bool DeleteValue(std::string_view key, std::string_view name);  // false when missing

    // Several changes written as one rewrite of the file. The function sees
    // the registry as it is under the lock, with its own changes applied;
    // returning false abandons them all. The result is false when abandoned
    // or when the file cannot be written.
    class Editor;
    bool Transaction(const std::function<bool(Editor&)>& changes);

    // Several reads of one version of the file: parsed once, with no change
    // of another writer coming in between.
    void Read(const std::function<void(const Editor&)>& reads) const;

    // A damaged file met by a read or a write is moved to path + ".bad"
    // (".bad.1", ".bad.2" ... when that is taken) and the registry goes on
    // empty; a path that is a folder or a FIFO is refused the same way, left
    // where it is. The one-line account of that is handed out once, so that
    // the viewer reports it once. A path that is a link is written through to
    // the file it leads to.
    std::optional<std::string> TakeDamageReport();

private:
    using Tree = std::shared_ptr<const detail::RegistryKey>;

    Tree Load() const;
    Tree LoadLocked(detail::RegistryLock& lock, bool trustCache) const;
    Tree SetAside(detail::RegistryLock& lock, const detail::FileStamp& stamp, const std::string& why) const;
    Tree Refuse(const detail::FileStamp& stamp, const std::string& why) const;
    bool Replace(const detail::RegistryKey& tree);
    bool TransactionLocked(const std::function<bool(Editor&)>& changes);

    std::string path_;
    mutable std::mutex mutex_;
    // The last parse, reused while the file's stamp is unchanged.
    mutable Tree cached_;
    mutable detail::FileStamp cachedStamp_;
    // The damaged file last reported, so that one that could not be moved
    // aside is reported once and not on every read.
    mutable std::optional<detail::FileStamp> damagedStamp_;
    mutable std::optional<std::string> damageReport_;
};

// The view of the registry inside a Transaction: the same reads and writes,
// on the copy that will be written when the function returns true.
class Registry::Editor {
public:
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    bool KeyExists(std::string_view key) const;
    std::vector<std::string> SubKeyNames(std::string_view key) const;
    std::vector<std::string> ValueNames(std::string_view key) const;
    std::optional<std::string> ReadString(std::string_view key, std::string_view name) const;
    std::optional<std::string> ReadText(std::string_view key, std::string_view name) const;
    std::optional<std::uint32_t> ReadInteger(std::string_view key, std::string_view name) const;
    bool ValueExists(std::string_view key, std::string_view name) const;

    bool CreateKey(std::string_view key);
    bool DeleteKey(std::string_view key);
    bool WriteString(std::string_view key, std::string_view name, std::string_view value);
    bool WriteText(std::string_view key, std::string_view name, std::string_view value);
    bool WriteInteger(std::string_view key, std::string_view name, std::uint32_t value);
    bool DeleteValue(std::string_view key, std::string_view name);

private:
    friend class Registry;
    explicit Editor(detail::RegistryKey& root) : root_(root) {}

    detail::RegistryKey& root_;
};

}  // namespace orv
