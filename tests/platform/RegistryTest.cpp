#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace orv {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using Names = std::vector<std::string>;

constexpr const char* kTeletext = "SOFTWARE\\ORV Technologies\\MultiMedia\\Features\\Teletext";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// "\\k\\k..." so many levels deep.
std::string DeepPath(int levels) {
    std::string path;
    for (int i = 0; i < levels; ++i) path += "\\k";
    return path;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() /
                  ("orvtt_registry_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = (folder_ / "registry.reg").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path folder_;
    std::string path_;
};

// ---- format ----------------------------------------------------------------

TEST_F(RegistryTest, WritesPlainRegedit4) {
    Registry registry(path_);
    ASSERT_TRUE(registry.WriteString("SOFTWARE\\ORV", "", "default"));
    ASSERT_TRUE(registry.WriteInteger("SOFTWARE\\ORV", "Language", 0x1f));
    ASSERT_TRUE(registry.WriteString("\\SOFTWARE\\ORV\\Teletext\\", "Path", "C:\\ORV \"TT\""));
    ASSERT_TRUE(registry.CreateKey("SOFTWARE\\Empty"));
    EXPECT_EQ(ReadText(path_),
              "REGEDIT4\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV]\n"
              "@=\"default\"\n"
              "\"Language\"=dword:0000001f\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV\\Teletext]\n"
              "\"Path\"=\"C:\\\\ORV \\\"TT\\\"\"\n"
              "\n");

    // The hive gets a section of its own only once it holds values.
    ASSERT_TRUE(registry.WriteInteger("", "Top", 1));
    EXPECT_TRUE(ReadText(path_).starts_with("REGEDIT4\n\n[HKEY_LOCAL_MACHINE]\n\"Top\"=dword:00000001\n\n"
                                            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"));
}

TEST_F(RegistryTest, OddTextAndNamesRoundTripThroughTheFile) {
    const std::vector<std::pair<std::string, std::string>> values = {
        {"Quote", "say \"hi\""},
        {"Backslashes", "C:\\dir\\"},
        {"Trailing backslash", "\\"},
        {"Lone quote", "\""},
        {"Section look", "[HKEY_LOCAL_MACHINE\\Fake]"},
        {"Assignments", "a=b \"c\"=dword:00000001"},
        {"Comment look", "; not a comment"},
        {"Empty", ""},
        {"Unknown escape", "\\n\\t"},
        {"UTF-8", "\xC3\x84rger \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC"},
        {"we\"ird\\name=[x]", "odd name"},
        {"", "the default"},
    };
    const std::string oddKey = "SOFTWARE\\Odd [key] ; = \"q\"\\\xC3\xBC";
    {
        Registry writer(path_);
        for (const auto& [name, text] : values) ASSERT_TRUE(writer.WriteString(oddKey, name, text)) << name;
        ASSERT_TRUE(writer.WriteInteger(kTeletext, "Zero", 0));
        ASSERT_TRUE(writer.WriteInteger(kTeletext, "Max", 0xFFFFFFFFu));
    }
    Registry reader(path_);
    EXPECT_FALSE(reader.TakeDamageReport());
    for (const auto& [name, text] : values) EXPECT_EQ(reader.ReadString(oddKey, name), text) << name;
    Names expectedNames;
    for (const auto& value : values) expectedNames.push_back(value.first);
    EXPECT_EQ(reader.ValueNames(oddKey), expectedNames);
    EXPECT_EQ(reader.ReadInteger(kTeletext, "Zero"), 0u);
    EXPECT_EQ(reader.ReadInteger(kTeletext, "Max"), 0xFFFFFFFFu);
    EXPECT_EQ(reader.SubKeyNames("SOFTWARE\\ORV Technologies\\MultiMedia"), Names{"Features"});
}

TEST_F(RegistryTest, ReadsWhatOtherEditorsWrite) {
    WriteText(path_,
              "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
              "\r\n"
              "; exported by hand\r\n"
              "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
              "\"Ignored\"=\"x\"\r\n"
              "whatever another hive holds is not ours to judge\r\n"
              "\r\n"
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n"
              "  [hkey_local_machine\\SOFTWARE\\Kept]  \r\n"
              "\"Text\" = \"a\"\r\n"
              "\"Number\"=DWORD:ABCD\r\n"
              "\"Removed\"=-\r\n"
              "\"text\"=\"b\"\r\n");
    Registry registry(path_);
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Kept", "Text"), "b");  // a later line wins
    EXPECT_EQ(registry.ReadInteger("SOFTWARE\\Kept", "Number"), 0xABCDu);
    EXPECT_EQ(registry.ValueNames("SOFTWARE\\Kept"), (Names{"Text", "Number"}));
    EXPECT_EQ(registry.SubKeyNames(""), Names{"SOFTWARE"});
    EXPECT_EQ(registry.SubKeyNames("SOFTWARE"), Names{"Kept"});
    EXPECT_FALSE(registry.TakeDamageReport());

    // Comments and other hives' sections are not ours, but stay as they are.
    ASSERT_TRUE(registry.WriteInteger("SOFTWARE\\Kept", "New", 1));
    EXPECT_EQ(ReadText(path_),
              "REGEDIT4\n\n"
              "; exported by hand\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\n"
              "\"Text\"=\"b\"\n"
              "\"Number\"=dword:0000abcd\n"
              "\"New\"=dword:00000001\n\n"
              "[HKEY_CURRENT_USER\\Software\\Other]\n"
              "\"Ignored\"=\"x\"\n"
              "whatever another hive holds is not ours to judge\n"
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\n\n");
}

TEST_F(RegistryTest, MissingOrEmptyFileIsAnEmptyRegistry) {
    const fs::path nested = folder_ / "a" / "b" / "registry.reg";
    Registry registry(nested.string());
    EXPECT_TRUE(registry.KeyExists(""));
    EXPECT_TRUE(registry.SubKeyNames("").empty());
    EXPECT_FALSE(registry.KeyExists(kTeletext));
    EXPECT_FALSE(registry.ReadString(kTeletext, "Language"));
    EXPECT_FALSE(fs::exists(folder_ / "a"));  // reading makes nothing

    ASSERT_TRUE(registry.WriteInteger(kTeletext, "Language", 7));
    EXPECT_EQ(Registry(nested.string()).ReadInteger(kTeletext, "Language"), 7u);

    WriteText(path_, "");
    Registry empty(path_);
    EXPECT_TRUE(empty.SubKeyNames("").empty());
    EXPECT_FALSE(empty.TakeDamageReport());
    EXPECT_TRUE(fs::exists(path_));
}

// ---- names and values --------------------------------------------------------

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    Registry registry(path_);
    ASSERT_TRUE(registry.WriteString(kTeletext, "Language", "de"));
    EXPECT_EQ(registry.ReadString("\\software\\orv TECHNOLOGIES\\multimedia\\features\\TELETEXT\\", "LANGUAGE"),
              "de");
    ASSERT_TRUE(registry.WriteString("software\\orv technologies\\MULTIMEDIA\\features\\teletext", "language", "fr"));
    EXPECT_EQ(registry.ReadString(kTeletext, "Language"), "fr");
    EXPECT_EQ(registry.ValueNames(kTeletext), Names{"Language"});
    EXPECT_EQ(registry.SubKeyNames("\\"), Names{"SOFTWARE"});
    EXPECT_NE(ReadText(path_).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV Technologies\\MultiMedia\\Features\\Teletext]"),
              std::string::npos);

    ASSERT_TRUE(registry.CreateKey("List\\gamma"));
    ASSERT_TRUE(registry.CreateKey("List\\Beta"));
    ASSERT_TRUE(registry.CreateKey("LIST\\alpha"));
    ASSERT_TRUE(registry.CreateKey("list\\ALPHA"));  // opens the existing key
    EXPECT_EQ(registry.SubKeyNames("list"), (Names{"alpha", "Beta", "gamma"}));
    EXPECT_EQ(registry.SubKeyNames(""), (Names{"List", "SOFTWARE"}));
    EXPECT_EQ(Registry(path_).SubKeyNames("List"), (Names{"alpha", "Beta", "gamma"}));
}

TEST_F(RegistryTest, InvalidPathsAndUnwritableTextFailWithoutChanges) {
    Registry registry(path_);
    ASSERT_TRUE(registry.WriteInteger("a", "x", 1));
    const std::string before = ReadText(path_);

    EXPECT_FALSE(registry.CreateKey("a\\\\b"));
    EXPECT_FALSE(registry.WriteString("\\\\a", "x", "y"));
    EXPECT_FALSE(registry.WriteInteger("a\\b\\\\", "x", 1));
    EXPECT_FALSE(registry.KeyExists("\\\\a"));
    EXPECT_FALSE(registry.ReadInteger("a\\\\", "x"));
    EXPECT_FALSE(registry.WriteString("a", "x", "two\nlines"));
    EXPECT_FALSE(registry.WriteString("a", "line\rbreak", "y"));
    EXPECT_FALSE(registry.CreateKey("a\\new\nline"));
    EXPECT_FALSE(registry.DeleteKey(""));  // the hive itself stays
    EXPECT_TRUE(registry.KeyExists(""));
    EXPECT_TRUE(registry.CreateKey(DeepPath(64)));  // deeper than settings ever go
    EXPECT_FALSE(registry.CreateKey(DeepPath(65)));
    EXPECT_FALSE(registry.CreateKey(std::string(256, 'n')));  // longer than a key name may be
    // A value name the reader would take for damage is never written.
    EXPECT_FALSE(registry.WriteString("a", std::string(16384, '"'), "y"));
    ASSERT_TRUE(registry.WriteString("a", std::string(16383, '"'), "y"));
    EXPECT_EQ(Registry(path_).ReadString("a", std::string(16383, '"')), "y");
    ASSERT_TRUE(registry.DeleteValue("a", std::string(16383, '"')));
    ASSERT_TRUE(registry.DeleteKey("k"));
    EXPECT_EQ(ReadText(path_), before);
}

TEST_F(RegistryTest, DeletesWholeSubtreesAndReportsMissingThings) {
    Registry registry(path_);
    ASSERT_TRUE(registry.WriteString("a\\b\\c", "deep", "1"));
    ASSERT_TRUE(registry.WriteString("a\\b", "mid", "2"));
    ASSERT_TRUE(registry.WriteString("a\\b2", "side", "3"));
    ASSERT_TRUE(registry.WriteString("a", "keep", "4"));

    EXPECT_TRUE(registry.DeleteKey("A\\B"));
    EXPECT_FALSE(registry.KeyExists("a\\b"));
    EXPECT_FALSE(registry.KeyExists("a\\b\\c"));
    EXPECT_EQ(registry.SubKeyNames("a"), Names{"b2"});
    EXPECT_EQ(registry.ReadString("a", "keep"), "4");
    EXPECT_EQ(ReadText(path_).find("a\\b]"), std::string::npos);
    EXPECT_FALSE(registry.DeleteKey("a\\b"));
    EXPECT_FALSE(registry.DeleteKey("nowhere\\x"));

    EXPECT_TRUE(registry.DeleteValue("A\\B2", "SIDE"));
    EXPECT_FALSE(registry.ValueExists("a\\b2", "side"));
    EXPECT_TRUE(registry.KeyExists("a\\b2"));  // an empty key lives on, in the file too
    EXPECT_NE(ReadText(path_).find("[HKEY_LOCAL_MACHINE\\a\\b2]\n\n"), std::string::npos);
    EXPECT_FALSE(registry.DeleteValue("a\\b2", "side"));
    EXPECT_FALSE(registry.DeleteValue("nowhere", "side"));
}

TEST_F(RegistryTest, ReadsAreTypeStrictAndForeignTypesSurvive) {
    const std::string foreign =
        "REGEDIT4\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Blob]\n"
        "\"Bytes\"=hex:01,02,ff\n"
        "\"Path\"=hex(2):25,00,53,00,\\\n"
        "  59,00,00,00\n"
        "@=hex(7):00,00\n"
        "\"Language\"=\"0407\"\n";
    WriteText(path_, foreign);
    Registry registry(path_);
    EXPECT_EQ(registry.ValueNames("SOFTWARE\\Blob"), (Names{"Bytes", "Path", "", "Language"}));
    for (const char* name : {"Bytes", "Path", ""}) {
        EXPECT_TRUE(registry.ValueExists("SOFTWARE\\Blob", name)) << name;
        EXPECT_FALSE(registry.ReadString("SOFTWARE\\Blob", name)) << name;
        EXPECT_FALSE(registry.ReadInteger("SOFTWARE\\Blob", name)) << name;
    }
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Blob", "Language"), "0407");
    EXPECT_FALSE(registry.ReadInteger("SOFTWARE\\Blob", "Language"));

    ASSERT_TRUE(registry.WriteInteger("SOFTWARE\\Blob", "Count", 5));
    EXPECT_FALSE(registry.ReadString("SOFTWARE\\Blob", "Count"));
    EXPECT_EQ(ReadText(path_), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n" + foreign.substr(10) +
                                   "\"Count\"=dword:00000005\n\n");

    // Setting a foreign value replaces it with the new type.
    ASSERT_TRUE(registry.WriteString("SOFTWARE\\Blob", "bytes", "now text"));
    EXPECT_EQ(registry.ReadString("SOFTWARE\\Blob", "Bytes"), "now text");
}

// ---- the file as shared state -------------------------------------------------

TEST_F(RegistryTest, EveryReadSeesTheFileAsItIsNow) {
    Registry mine(path_);
    Registry theirs(path_);
    EXPECT_FALSE(mine.ValueExists(kTeletext, "Count"));
    ASSERT_TRUE(theirs.WriteInteger(kTeletext, "Count", 1));
    EXPECT_EQ(mine.ReadInteger(kTeletext, "Count"), 1u);

    // Another program edits the file in place, to the same size and within
    // one tick of the file system's coarse clock, so the stamp stays the same.
    const auto tick = fs::last_write_time(path_);
    std::string text = ReadText(path_);
    const auto at = text.find("dword:00000001");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 14, "dword:00000002");
    WriteText(path_, text);
    fs::last_write_time(path_, tick);
    EXPECT_EQ(mine.ReadInteger(kTeletext, "Count"), 2u);

    ASSERT_TRUE(fs::remove(path_));
    EXPECT_FALSE(mine.KeyExists(kTeletext));
}

TEST_F(RegistryTest, UnusableLocationsFailWithoutHarm) {
    WriteText(folder_ / "plain", "not a folder");
    Registry blocked((folder_ / "plain" / "registry.reg").string());
    EXPECT_FALSE(blocked.WriteString("a", "x", "1"));
    EXPECT_FALSE(blocked.KeyExists("a"));
    EXPECT_EQ(ReadText(folder_ / "plain"), "not a folder");

    // A file that cannot be read is never written over.
    fs::create_directory(path_);
    Registry unreadable(path_);
    EXPECT_FALSE(unreadable.WriteInteger("a", "x", 1));
    EXPECT_TRUE(unreadable.SubKeyNames("").empty());
    EXPECT_TRUE(fs::is_directory(path_));
    const auto report = unreadable.TakeDamageReport();  // said once, not read as an empty file
    ASSERT_TRUE(report);
    EXPECT_NE(report->find("it is a folder"), std::string::npos) << *report;
    EXPECT_FALSE(unreadable.TakeDamageReport());
    fs::remove(path_);

    // A FIFO is not opened to wait for a writer that never comes.
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    Registry fifo(path_);
    EXPECT_TRUE(fifo.SubKeyNames("").empty());
    EXPECT_FALSE(fifo.WriteInteger("a", "x", 1));
    EXPECT_TRUE(fifo.TakeDamageReport());
    fs::remove(path_);

    // A link is written through: the file it leads to is kept and changed.
    const fs::path real = folder_ / "real.reg";
    WriteText(real, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Kept]\n\"v\"=\"1\"\n");
    fs::create_symlink("real.reg", path_);
    // A temporary file left by a writer killed before its rename goes once its process is gone.
    WriteText(folder_ / "real.reg.tmp999999999", "left over");
    Registry linked(path_);
    ASSERT_TRUE(linked.WriteInteger("Kept", "x", 1));
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(Registry(real.string()).ReadInteger("Kept", "x"), 1u);
    EXPECT_EQ(Registry(real.string()).ReadString("Kept", "v"), "1");
    EXPECT_FALSE(fs::exists(folder_ / "real.reg.tmp999999999"));
}

// Everything the public reads show of a tree, a line a key or value.
std::string Dump(const Registry& registry, const std::string& key = "") {
    std::string out = "[" + key + "]\n";
    for (const std::string& name : registry.ValueNames(key)) {
        out += name + "=";
        if (const auto text = registry.ReadText(key, name))
            out += "\"" + *text + "\"";
        else if (const auto number = registry.ReadInteger(key, name))
            out += std::to_string(*number);
        else
            out += "other";
        out += "\n";
    }
    for (const std::string& sub : registry.SubKeyNames(key)) out += Dump(registry, key.empty() ? sub : key + "\\" + sub);
    return out;
}

// Whatever the reader accepts is written back so that it reads the same, and
// a second rewrite changes nothing: odd line ends, continuations, quotes,
// comments and other hives, mutated at random.
TEST_F(RegistryTest, WhatIsReadIsWrittenBackToReadTheSame) {
    const std::string seed =
        "REGEDIT4\r\n\r\n; note\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay]\r\n"
        "\"Bin\"=hex:01,02,\\\r\r\n"
        "\"Source\"=\"/tmp/a.t42\"\r\n"
        "\"Rate\"=dword:00000640\r\n"
        "\"Long\"=hex(7):41,00,\\\r\n  42,00\r\n"
        "[HKEY_CURRENT_USER\\X]\r\n\"y\"=\"z\"\r\n"
        "[HKEY_LOCAL_MACHINE\\A\\B]\r\n@=\"default\"\r\n\"q\\\"uote\"=\"back\\\\slash\"\r\n";
    const std::string alphabet = "\r\r\n\\\\\"[]=@;:,-hexdword0aA ";
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        std::string text = seed;
        for (int i = 0, n = round ? 1 + static_cast<int>(random() % 4) : 0; i < n; ++i) {
            const std::size_t at = random() % text.size();
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
                case 0: text.insert(at, 1, c); break;
                case 1: text[at] = c; break;
                default: text.erase(at, 1);
            }
        }
        WriteText(path_, text);
        Registry registry(path_);
        const std::string first = Dump(registry);
        if (round == 0) {
            EXPECT_NE(first.find("Source=\"/tmp/a.t42\""), std::string::npos) << first;
        }
        ASSERT_TRUE(registry.WriteString("ZZ Probe", "x", "1"));
        ASSERT_TRUE(registry.DeleteKey("ZZ Probe"));
        const std::string rewritten = ReadText(path_);
        ASSERT_EQ(Dump(Registry(path_)), first) << text;
        ASSERT_TRUE(registry.WriteString("ZZ Probe", "x", "1"));
        ASSERT_TRUE(registry.DeleteKey("ZZ Probe"));
        ASSERT_EQ(ReadText(path_), rewritten) << text;
        for (const auto& entry : fs::directory_iterator(folder_))
            if (entry.path().string().find(".bad") != std::string::npos) fs::remove(entry.path());
        (void)registry.TakeDamageReport();
    }
}

// In a folder others can write to, links planted at the names of the
// temporary and the lock file lead nowhere: the file they point at is not
// touched or made, the registry stays a file, with the mode its owner gave it.
TEST_F(RegistryTest, LinksAtTheTemporaryAndLockNamesAreNeverFollowed) {
    const fs::path victim = folder_ / "victim";
    WriteText(victim, "precious");
    WriteText(path_, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"1\"\n");
    ::chmod(path_.c_str(), 0640);
    fs::create_symlink(victim, path_ + ".tmp" + std::to_string(::getpid()));
    Registry registry(path_);
    ASSERT_TRUE(registry.WriteString("A", "w", "2"));
    EXPECT_EQ(ReadText(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(path_));
    EXPECT_EQ(registry.ReadString("A", "v"), "1");
    EXPECT_EQ(fs::status(path_).permissions(), fs::perms(0640));

    const fs::path made = folder_ / "made-through-the-lock";
    fs::remove(path_ + ".lock");
    fs::create_symlink(made, path_ + ".lock");
    EXPECT_FALSE(registry.WriteString("A", "x", "3"));  // refused rather than followed
    EXPECT_FALSE(fs::exists(fs::symlink_status(made)));
    EXPECT_EQ(registry.ReadString("A", "w"), "2");  // reads go on without the lock

    // A new file gets what new files get (mkstemp alone would make it 0600).
    const mode_t mask = ::umask(022);
    const std::string fresh = (folder_ / "fresh.reg").string();
    ASSERT_TRUE(Registry(fresh).WriteString("A", "v", "1"));
    ::umask(mask);
    EXPECT_EQ(fs::status(fresh).permissions(), fs::perms(0644));
}

// UTF-16LE with a byte-order mark, as an editor of the outside world writes it.
std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// Windows' regedit exports: UTF-16LE, either header, CR LF, and a 32-bit
// program's keys below WOW6432Node. They are read, and written back as they
// came, the values written going where the keys were found.
TEST_F(RegistryTest, RegeditExportsAreReadAndWrittenBackInTheirOwnForm) {
    constexpr const char* kFavorite = "SOFTWARE\\ORV Technologies\\MultiMedia\\Features\\Teletext\\Favorites\\0";
    for (const std::u16string header : {u"Windows Registry Editor Version 5.00", u"REGEDIT4"}) {
        SCOPED_TRACE(header.size());
        const std::u16string text =
            header + u"\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\MultiMedia\\Features\\Teletext]\r\n"
                     u"\"VTXMode\"=dword:00000002\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\MultiMedia\\Features\\Teletext\\"
                     u"Favorites\\0]\r\n"
                     u"\"Name\"=\"Новости €\"\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\Capture Driver\\Replay]\r\n"
                     u"\"Source\"=\"wow\"\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay]\r\n"
                     u"\"Source\"=\"demo\"\r\n\r\n";
        WriteText(path_, Utf16File(text));
        Registry registry(path_);
        // A key in its own place comes first.
        EXPECT_EQ(registry.ReadString("SOFTWARE\\ORV Technologies\\Capture Driver\\Replay", "Source"), "demo");
        EXPECT_EQ(registry.ReadInteger(kTeletext, "VTXMode"), 2u);
        EXPECT_EQ(registry.ReadText(kFavorite, "Name"), "Новости €");
        EXPECT_EQ(registry.ReadString(kFavorite, "Name"), "??????? ?");
        EXPECT_FALSE(registry.TakeDamageReport());

        ASSERT_TRUE(registry.WriteInteger(kTeletext, "VTXMode", 1));
        ASSERT_TRUE(registry.WriteText(kFavorite, "ChannelName", "Первый"));
        const std::string expected = Utf16File(
            header + u"\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV Technologies]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV Technologies\\Capture Driver]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay]\r\n"
                     u"\"Source\"=\"demo\"\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\Capture Driver]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\Capture Driver\\Replay]\r\n"
                     u"\"Source\"=\"wow\"\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\MultiMedia]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\MultiMedia\\Features]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\MultiMedia\\Features\\Teletext]\r\n"
                     u"\"VTXMode\"=dword:00000001\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\MultiMedia\\Features\\Teletext\\"
                     u"Favorites]\r\n\r\n"
                     u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ORV Technologies\\MultiMedia\\Features\\Teletext\\"
                     u"Favorites\\0]\r\n"
                     u"\"Name\"=\"Новости €\"\r\n\"ChannelName\"=\"Первый\"\r\n\r\n");
        EXPECT_EQ(ReadText(path_), expected);
    }
    // Not UTF-16 after all: moved aside like any damaged file.
    for (const std::string& broken : {std::string("\xFF\xFE" "R\0E\0", 5), Utf16File(u"REGEDIT4\r\n\xD800\r\n")}) {
        WriteText(path_, broken);
        Registry registry(path_);
        EXPECT_TRUE(registry.SubKeyNames("").empty());
        EXPECT_TRUE(registry.TakeDamageReport());
        EXPECT_TRUE(fs::exists(path_ + ".bad"));
        fs::remove(path_ + ".bad");
    }
}

// What the user types comes back as typed. Text that Latin-1 holds is
// stored as before, byte for byte; other text as hex(1), UTF-16LE, which no
// reader takes for Latin-1; either survives a trip through a UTF-16 file.
TEST_F(RegistryTest, TextsBeyondLatin1AreKeptWholeAndLatin1StaysAsItWas) {
    Registry registry(path_);
    ASSERT_TRUE(registry.WriteText("A", "Latin", "Caf\xC3\xA9"));
    ASSERT_TRUE(registry.WriteString("A", "Same", "Caf\xE9"));
    ASSERT_TRUE(registry.WriteText("A", "Wide", "\xE2\x82\xAC 1"));
    EXPECT_FALSE(registry.WriteText("A", "Broken", "Caf\xE9"));  // not UTF-8
    EXPECT_EQ(ReadText(path_), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"Latin\"=\"Caf\xE9\"\n\"Same\"=\"Caf\xE9\"\n"
                               "\"Wide\"=hex(1):ac,20,20,00,31,00,00,00\n\n");
    EXPECT_EQ(registry.ReadText("A", "Latin"), "Caf\xC3\xA9");
    EXPECT_EQ(registry.ReadString("A", "Latin"), "Caf\xE9");
    EXPECT_EQ(registry.ReadText("A", "Wide"), "\xE2\x82\xAC 1");
    EXPECT_EQ(registry.ReadString("A", "Wide"), "? 1");

    // A long one wraps as regedit wraps; an 8-bit hex(1) text (no UTF-16
    // terminator) stays an unknown value.
    const std::string longText(30, 'x');
    ASSERT_TRUE(registry.WriteText("A", "Wide", longText + "\xE2\x82\xAC"));
    ASSERT_TRUE(registry.Transaction([](Registry::Editor&) { return true; }));
    WriteText(path_, ReadText(path_) + "[HKEY_LOCAL_MACHINE\\B]\n\"Ansi\"=hex(1):41,42,43,00\n");
    EXPECT_EQ(registry.ReadText("A", "Wide"), longText + "\xE2\x82\xAC");
    const std::string file = ReadText(path_);
    EXPECT_NE(file.find(",\\\n  "), std::string::npos) << file;
    std::istringstream lines(file);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    EXPECT_FALSE(registry.ReadText("B", "Ansi"));
    EXPECT_TRUE(registry.ValueExists("B", "Ansi"));

    // Through a UTF-16 file, quoted or as hex(1), and back.
    WriteText(path_, Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
                               u"\"Quoted\"=\"Новости €\"\r\n\"Hex\"=hex(1):ac,20,00,00\r\n"));
    ASSERT_TRUE(registry.WriteText("A", "New", "日本"));
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"Quoted", "Новости €"}, {"Hex", "\xE2\x82\xAC"}, {"New", "日本"}})
        EXPECT_EQ(Registry(path_).ReadText("A", name), text) << name;
    EXPECT_TRUE(ReadText(path_).starts_with("\xFF\xFE" "W\0i\0n\0"s));
}

TEST(RegistryDefaultPath, FollowsTheEnvironment) {
    class ScopedEnv {
    public:
        ScopedEnv(const char* name, const char* value) : name_(name) {
            if (const char* old = std::getenv(name)) previous_ = old;
            if (value)
                ::setenv(name, value, 1);
            else
                ::unsetenv(name);
        }
        ~ScopedEnv() {
            if (previous_)
                ::setenv(name_, previous_->c_str(), 1);
            else
                ::unsetenv(name_);
        }

    private:
        const char* name_;
        std::optional<std::string> previous_;
    };

    const ScopedEnv home("HOME", "/home/viewer");
    {
        const ScopedEnv own("ORVTT_REGISTRY", "/etc/orv/hklm.reg");
        const ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(Registry::DefaultPath(), "/etc/orv/hklm.reg");
    }
    {
        const ScopedEnv own("ORVTT_REGISTRY", "");
        const ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(Registry::DefaultPath(), "/xdg/orv-teletext/registry.reg");
    }
    {
        const ScopedEnv own("ORVTT_REGISTRY", nullptr);
        const ScopedEnv xdg("XDG_CONFIG_HOME", "");
        EXPECT_EQ(Registry::DefaultPath(), "/home/viewer/.config/orv-teletext/registry.reg");
        EXPECT_EQ(Registry(Registry::DefaultPath()).Path(), "/home/viewer/.config/orv-teletext/registry.reg");
    }
}

// ---- transactions ------------------------------------------------------------

// Counts the renames onto one file name in a folder.
class RenameWatch {
public:
    RenameWatch(const fs::path& folder, std::string name) : name_(std::move(name)) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
    }
    ~RenameWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }

    // Renames since the last call.
    int Take() {
        int count = 0;
        alignas(inotify_event) std::array<char, 4096> buffer;
        for (ssize_t got; (got = ::read(fd_, buffer.data(), buffer.size())) > 0;) {
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
                if (event->len > 0 && name_ == event->name) ++count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return count;
    }

private:
    int fd_ = -1;
    std::string name_;
};

TEST_F(RegistryTest, TransactionIsOneRewriteOrNone) {
    Registry registry(path_);
    ASSERT_TRUE(registry.WriteInteger(kTeletext, "Old", 1));
    RenameWatch watch(folder_, "registry.reg");
    ASSERT_TRUE(watch.Ok());

    bool sawOwnChanges = false;
    EXPECT_TRUE(registry.Transaction([&](Registry::Editor& editor) {
        const bool done = editor.WriteString(kTeletext, "A", "1") && editor.WriteInteger(kTeletext, "B", 2) &&
                          editor.DeleteValue(kTeletext, "Old") && editor.CreateKey("SOFTWARE\\Sub") &&
                          editor.WriteInteger("SOFTWARE\\Gone", "x", 1) && editor.DeleteKey("SOFTWARE\\Gone");
        sawOwnChanges = editor.ReadInteger(kTeletext, "B") == 2u && !editor.ValueExists(kTeletext, "Old") &&
                        editor.SubKeyNames("SOFTWARE") == Names{"ORV Technologies", "Sub"};
        return done;
    }));
    EXPECT_TRUE(sawOwnChanges);
    EXPECT_EQ(watch.Take(), 1);
    Registry other(path_);
    EXPECT_EQ(other.ValueNames(kTeletext), (Names{"A", "B"}));
    EXPECT_EQ(other.SubKeyNames("SOFTWARE"), (Names{"ORV Technologies", "Sub"}));

    const std::string before = ReadText(path_);
    EXPECT_FALSE(registry.Transaction([&](Registry::Editor& editor) {
        editor.WriteString(kTeletext, "C", "3");
        editor.DeleteKey("SOFTWARE");
        return false;
    }));
    EXPECT_EQ(watch.Take(), 0);
    EXPECT_EQ(ReadText(path_), before);
    EXPECT_TRUE(registry.KeyExists(kTeletext));

    // Writing what is there already leaves the file alone.
    EXPECT_TRUE(registry.WriteInteger(kTeletext, "B", 2));
    EXPECT_TRUE(registry.CreateKey("SOFTWARE\\Sub"));
    EXPECT_EQ(watch.Take(), 0);

    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder_)) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

// ---- damage ----------------------------------------------------------------

TEST_F(RegistryTest, DamagedFileIsMovedAsideAndReportedOnce) {
    const std::string good = "[HKEY_LOCAL_MACHINE\\Good]\n\"v\"=\"1\"\n";
    const std::vector<std::pair<const char*, std::string>> damaged = {
        {"no header", good},
        {"UTF-16", std::string("\xFF\xFE" "R\0E\0", 6)},
        {"open section", "REGEDIT4\n" + good + "[HKEY_LOCAL_MACHINE\\Open\n"},
        {"open text", "REGEDIT4\n" + good + "\"x\"=\"1\n"},
        {"open name", "REGEDIT4\n" + good + "\"x=\"1\"\n"},
        {"dword not hex", "REGEDIT4\n" + good + "\"x\"=dword:0000001g\n"},
        {"dword too long", "REGEDIT4\n" + good + "\"x\"=dword:000000001\n"},
        {"dword empty", "REGEDIT4\n" + good + "\"x\"=dword:\n"},
        {"no =", "REGEDIT4\n" + good + "\"x\" \"1\"\n"},
        {"unknown type", "REGEDIT4\n" + good + "\"x\"=42\n"},
        {"text after text", "REGEDIT4\n" + good + "\"x\"=\"1\"2\n"},
        {"value before any key", "REGEDIT4\n\"x\"=\"1\"\n" + good},
        {"empty key name", "REGEDIT4\n" + good + "[HKEY_LOCAL_MACHINE\\a\\\\b]\n"},
        {"cut continuation", "REGEDIT4\n" + good + "\"x\"=hex:01,\\\n"},
        {"too deep", "REGEDIT4\n" + good + "[HKEY_LOCAL_MACHINE" + DeepPath(100000) + "]\n"},
        {"deeper than settings go", "REGEDIT4\n" + good + "[HKEY_LOCAL_MACHINE" + DeepPath(65) + "]\n"},
        {"key name too long", "REGEDIT4\n" + good + "[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\n"},
    };
    // An older damaged file is kept: the new one gets the next number.
    const std::string older = path_ + ".bad", bad = path_ + ".bad.1";
    for (const auto& [what, text] : damaged) {
        SCOPED_TRACE(what);
        fs::remove(bad);
        WriteText(older, "an older damaged file");
        WriteText(path_, text);
        Registry registry(path_);
        EXPECT_FALSE(registry.KeyExists("Good"));
        EXPECT_FALSE(fs::exists(path_));
        EXPECT_EQ(ReadText(bad), text);
        EXPECT_EQ(ReadText(older), "an older damaged file");

        const auto report = registry.TakeDamageReport();
        ASSERT_TRUE(report);
        EXPECT_NE(report->find(bad), std::string::npos) << *report;
        EXPECT_EQ(report->find('\n'), std::string::npos) << *report;
        EXPECT_FALSE(registry.KeyExists("Good"));
        EXPECT_FALSE(registry.TakeDamageReport());

        ASSERT_TRUE(registry.WriteInteger("Fresh", "x", 1));
        EXPECT_EQ(ReadText(path_), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Fresh]\n\"x\"=dword:00000001\n\n");
        EXPECT_EQ(ReadText(bad), text);
        EXPECT_FALSE(registry.TakeDamageReport());
    }
}

TEST_F(RegistryTest, WriteOnADamagedFileStartsAfresh) {
    const std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Old]\n\"x\"=dword:xyz\n";
    WriteText(path_, text);
    Registry registry(path_);
    ASSERT_TRUE(registry.WriteString("New", "x", "1"));
    EXPECT_EQ(ReadText(path_ + ".bad"), text);
    EXPECT_EQ(registry.SubKeyNames(""), Names{"New"});
    EXPECT_TRUE(registry.TakeDamageReport());
    EXPECT_FALSE(registry.TakeDamageReport());
}

// ---- processes -----------------------------------------------------------------

// Runs the checks on one reading of the file (an abandoned transaction)
// rather than reading it again for every value.
void ReadOnce(Registry& registry, const std::function<void(const Registry::Editor&)>& checks) {
    registry.Transaction([&](Registry::Editor& editor) {
        checks(editor);
        return false;
    });
}

void ExpectCleanExit(pid_t child) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST_F(RegistryTest, WritersInTwoProcessesLoseNothing) {
    constexpr int kEach = 200;
    std::array<pid_t, 2> children{};
    for (std::size_t c = 0; c < children.size(); ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            Registry registry(path_);
            bool ok = true;
            for (int i = 0; i < kEach; ++i)
                ok = registry.WriteInteger(kTeletext, "p" + std::to_string(c) + "_" + std::to_string(i),
                                           static_cast<std::uint32_t>(i)) &&
                     ok;
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) ExpectCleanExit(child);

    Registry registry(path_);
    ReadOnce(registry, [&](const Registry::Editor& editor) {
        EXPECT_EQ(editor.ValueNames(kTeletext).size(), 2u * kEach);
        for (std::size_t c = 0; c < children.size(); ++c)
            for (int i = 0; i < kEach; ++i)
                EXPECT_EQ(editor.ReadInteger(kTeletext, "p" + std::to_string(c) + "_" + std::to_string(i)),
                          static_cast<std::uint32_t>(i));
    });
    EXPECT_FALSE(registry.TakeDamageReport());
}

TEST_F(RegistryTest, KilledWriterLeavesTheOldOrTheNewFile) {
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<int> delayUs(0, 15000);
    std::uint32_t count = 0;  // what the file held after the last round
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that died
            // Each step adds one value and counts it, so the file grows and
            // every whole version is v0..v(Count-1) and nothing else.
            Registry registry(path_);
            for (std::uint32_t i = count;; ++i) {
                registry.Transaction([&](Registry::Editor& editor) {
                    return editor.WriteString(kTeletext, "v" + std::to_string(i), std::string(i % 64 + 1, 'x')) &&
                           editor.WriteInteger(kTeletext, "Count", i + 1);
                });
            }
        }
        const int delay = delayUs(random);
        ::usleep(static_cast<useconds_t>(delay));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        SCOPED_TRACE("round " + std::to_string(round) + ", killed after " + std::to_string(delay) + " us");
        Registry registry(path_);
        std::uint32_t now = 0;
        ReadOnce(registry, [&](const Registry::Editor& editor) {
            now = editor.ReadInteger(kTeletext, "Count").value_or(0);
            EXPECT_EQ(editor.ValueNames(kTeletext).size(), now == 0 ? 0 : now + 1);
            for (std::uint32_t i = 0; i < now; ++i)
                ASSERT_EQ(editor.ReadString(kTeletext, "v" + std::to_string(i)), std::string(i % 64 + 1, 'x')) << i;
        });
        EXPECT_GE(now, count);
        EXPECT_FALSE(registry.TakeDamageReport());
        EXPECT_FALSE(fs::exists(path_ + ".bad"));
        count = now;
    }
}

}  // namespace
}  // namespace orv
