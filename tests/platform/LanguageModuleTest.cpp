// Language module files: what is read from them, what is passed over, and
// which file beside the program is taken.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/LanguageModule.h"

namespace orv {
namespace {

constexpr std::uint16_t kGerman = 0x0407;
constexpr std::uint16_t kUnknownLanguage = 0x7FFF;

class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("orvtt_lang_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Write(const std::string& name, const std::string& contents) const {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary) << contents;
        return file.string();
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The single text stored for a component's property, or "<none>".
std::string TextOf(const LanguageModule& module, std::string_view form, std::string_view component,
                   std::string_view property) {
    const auto* texts = module.Form(form);
    if (!texts) return "<none>";
    std::string found = "<none>";
    int count = 0;
    for (const auto& text : *texts)
        if (text.Component == component && text.Property == property) found = text.Value, ++count;
    return count > 1 ? "<" + std::to_string(count) + " times>" : found;
}

std::size_t EntryCount(const LanguageModule& module, std::string_view form) {
    const auto* texts = module.Form(form);
    return texts ? texts->size() : 0;
}

TEST(LanguageModuleParse, ReadsSectionsComponentsAndTheWindowItself) {
    LanguageModule module;
    EXPECT_TRUE(module.Empty());
    module.Parse(
        "; German texts\n"
        "\n"
        "[TMainForm]\n"
        ".Caption=ORV Videotext\n"
        "bSave.Hint=Seite speichern\n"
        "  bPrint.Caption = &Drucken\n"
        "sUrl.Caption=a=b\n"
        "[TAboutBox]\n"
        "lCopy.Caption=Kopie\n");
    EXPECT_FALSE(module.Empty());
    EXPECT_EQ(TextOf(module, "TMainForm", "", "Caption"), "ORV Videotext");
    EXPECT_EQ(TextOf(module, "TMainForm", "bSave", "Hint"), "Seite speichern");
    // Space around the name is not part of it; the text is kept as written.
    EXPECT_EQ(TextOf(module, "TMainForm", "bPrint", "Caption"), " &Drucken");
    // Only the first "=" ends the name.
    EXPECT_EQ(TextOf(module, "TMainForm", "sUrl", "Caption"), "a=b");
    EXPECT_EQ(TextOf(module, "TAboutBox", "lCopy", "Caption"), "Kopie");
    EXPECT_EQ(EntryCount(module, "TMainForm"), 4u);
    EXPECT_EQ(module.Form("TSplash"), nullptr);
    EXPECT_EQ(module.Form("tmainform"), nullptr);
}

TEST(LanguageModuleParse, KeepsEntriesInFileOrderAndJoinsRepeatedSections) {
    LanguageModule module;
    module.Parse("[A]\nx.Hint=1\n[B]\ny.Hint=2\n[A]\nx.Hint=3\n");
    const auto* texts = module.Form("A");
    ASSERT_NE(texts, nullptr);
    ASSERT_EQ(texts->size(), 2u);
    // Applied in order, so the later text wins.
    EXPECT_EQ((*texts)[0].Value, "1");
    EXPECT_EQ((*texts)[1].Value, "3");
}

TEST(LanguageModuleParse, ToleratesWindowsLineEndsAndByteOrderMark) {
    LanguageModule module;
    module.Parse("\xEF\xBB\xBF[TMainForm]\r\nbSave.Hint=Speichern\r\n.Caption=Titel\r\n");
    EXPECT_EQ(TextOf(module, "TMainForm", "bSave", "Hint"), "Speichern");
    EXPECT_EQ(TextOf(module, "TMainForm", "", "Caption"), "Titel");
    // No line end at all on the last line.
    module.Parse("[F]\nc.Text=end");
    EXPECT_EQ(TextOf(module, "F", "c", "Text"), "end");
}

TEST(LanguageModuleParse, TurnsBackslashNIntoLineBreaks) {
    LanguageModule module;
    module.Parse(R"([F]
a.Caption=one\ntwo
b.Caption=path C:\\new
c.Caption=C:\temp\
)");
    EXPECT_EQ(TextOf(module, "F", "a", "Caption"), "one\ntwo");
    EXPECT_EQ(TextOf(module, "F", "b", "Caption"), "path C:\\new");
    EXPECT_EQ(TextOf(module, "F", "c", "Caption"), "C:\\temp\\");
}

TEST(LanguageModuleParse, SkipsDamagedLinesAndKeepsTheRest) {
    LanguageModule module;
    module.Parse(
        "orphan.Caption=before any window\n"
        "[TMainForm]\n"
        "no equals sign\n"
        "NoDot=text\n"
        "=text\n"
        "bSave.=empty property\n"
        "b Save.Hint=space in name\n"
        "bSave.Font.Name=nested\n"
        "bLatin1.Caption=Gr\xF6\xDF" "e\n"
        "bTruncated.Caption=\xE4\n"
        "bOk.Caption=OK\n"
        "[Broken\n"
        "lost.Caption=belongs to no window\n"
        "[]\n"
        "lost2.Caption=belongs to no window either\n"
        "[TAboutBox]\n"
        "lCopy.Caption=Kopie\n"
        "bUmlaut.Caption=Gr\xC3\xB6\xC3\x9F" "e\n");
    EXPECT_EQ(EntryCount(module, "TMainForm"), 1u);
    EXPECT_EQ(TextOf(module, "TMainForm", "bOk", "Caption"), "OK");
    EXPECT_EQ(EntryCount(module, "TAboutBox"), 2u);
    EXPECT_EQ(TextOf(module, "TAboutBox", "bUmlaut", "Caption"), "Gr\xC3\xB6\xC3\x9F" "e");
    EXPECT_EQ(module.Form("Broken"), nullptr);
    EXPECT_EQ(module.Form(""), nullptr);
}

TEST(LanguageModuleParse, NulBytesInALineDropOnlyThatLine) {
    LanguageModule module;
    const std::string text("[F]\na.Caption=x\0y\nb.Caption=ok\n", 30);
    module.Parse(text);
    EXPECT_EQ(EntryCount(module, "F"), 1u);
    EXPECT_EQ(TextOf(module, "F", "b", "Caption"), "ok");
}

TEST(LanguageModuleParse, ANewTextReplacesTheOldOne) {
    LanguageModule module;
    module.Parse("[Old]\na.Caption=x\n");
    module.Parse("[New]\nb.Caption=y\n");
    EXPECT_EQ(module.Form("Old"), nullptr);
    EXPECT_EQ(TextOf(module, "New", "b", "Caption"), "y");
    module.Parse("");
    EXPECT_TRUE(module.Empty());
}

TEST(LanguageModuleParse, RandomBytesNeverBreakIt) {
    std::mt19937 random(1234);
    const std::string alphabet = "[]=.;\\n \t\r\nabcXYZ\xC3\xB6\xFF";
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 200);
        for (int i = 0; i < length; ++i)
            text += round % 2 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        LanguageModule module;
        module.Parse(text);
        if (const auto* texts = module.Form("a")) {
            for (const auto& entry : *texts) EXPECT_FALSE(entry.Property.empty());
        }
    }
}

TEST(LanguageModuleLoad, ReadsAFileAndKeepsTheOldModuleWhenAFileCannotBeRead) {
    TempFolder folder;
    const auto good = folder.Write("orvtt.DEU", "[TMainForm]\n.Caption=Videotext\n");
    LanguageModule module;
    ASSERT_TRUE(module.Load(good));
    EXPECT_EQ(module.FileName(), good);
    EXPECT_EQ(TextOf(module, "TMainForm", "", "Caption"), "Videotext");

    EXPECT_FALSE(module.Load(folder.File("missing.DEU")));
    std::filesystem::create_directory(folder.File("folder.DEU"));
    EXPECT_FALSE(module.Load(folder.File("folder.DEU")));
    EXPECT_EQ(module.FileName(), good);
    EXPECT_EQ(TextOf(module, "TMainForm", "", "Caption"), "Videotext");

    // A second file replaces the first one's texts entirely.
    const auto other = folder.Write("orvtt.ENU", "[TAboutBox]\nlCopy.Caption=Copy\n");
    ASSERT_TRUE(module.Load(other));
    EXPECT_EQ(module.FileName(), other);
    EXPECT_EQ(module.Form("TMainForm"), nullptr);
}

TEST(LanguageModuleLookup, PrefersThreeLettersThenTwoBesideTheProgram) {
    TempFolder folder;
    const auto program = folder.File("orvtt.bin");
    LanguageModule module;
    EXPECT_FALSE(LoadLanguageModule(program, kGerman, module));
    EXPECT_TRUE(module.Empty());

    const auto two = folder.Write("orvtt.DE", "[F]\na.Caption=two\n");
    ASSERT_TRUE(LoadLanguageModule(program, kGerman, module));
    EXPECT_EQ(module.FileName(), two);
    EXPECT_EQ(TextOf(module, "F", "a", "Caption"), "two");

    const auto three = folder.Write("orvtt.DEU", "[F]\na.Caption=three\n");
    ASSERT_TRUE(LoadLanguageModule(program, kGerman, module));
    EXPECT_EQ(module.FileName(), three);
    EXPECT_EQ(TextOf(module, "F", "a", "Caption"), "three");
}

TEST(LanguageModuleLookup, ProgramWithoutExtensionGetsOneAppended) {
    TempFolder folder;
    const auto three = folder.Write("orvtt.DEU", "[F]\na.Caption=x\n");
    folder.Write("orvtt", "not a module");
    LanguageModule module;
    ASSERT_TRUE(LoadLanguageModule(folder.File("orvtt"), kGerman, module));
    EXPECT_EQ(module.FileName(), three);
}

TEST(LanguageModuleLookup, OtherLanguagesAndUnknownOnesFindNothing) {
    TempFolder folder;
    folder.Write("orvtt.DEU", "[F]\na.Caption=x\n");
    LanguageModule module;
    EXPECT_FALSE(LoadLanguageModule(folder.File("orvtt.bin"), 0x0419, module));  // Russian
    EXPECT_FALSE(LoadLanguageModule(folder.File("orvtt.bin"), kUnknownLanguage, module));
    EXPECT_TRUE(module.Empty());
}

}  // namespace
}  // namespace orv
