// Saving pages to files, the save dialog's settings, and what a click on the
// text page names, without a window.
#include "windows/PageFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

#include "TestSupport.h"
#include "rendering/TextEncoding.h"
#include "TestTextView.h"
#include "rendering/BmpFile.h"
#include "rendering/PageTextFile.h"
#include "rendering/TextPageView.h"
#include "rendering/VTX_TEXT_DISPLAY.h"
#include "windows/PageLinks.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class PageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("orvtt_pagefiles_" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT");
        db.Store(test::MakePage(0x101, 0, {{1, "one-oh-one"}}));
        db.Store(test::MakePage(0x1A0, 0, {{1, "hex page"}}));
        db.Store(test::MakePage(0x100, 1, {{1, "second"}}));
        db.Store(test::MakePage(0x100, 0, {{1, "first"}}));
    }
    void TearDown() override {
        fs::permissions(folder, fs::perms::owner_all);
        fs::remove_all(folder);
    }
    std::string Block(const char* title, std::uint16_t page, std::int32_t sub) {
        return PageTextBlock(title, *db.FindPage(page, sub));
    }

    fs::path folder;
    FontTable fonts;
    GraphicsRenderer renderer;
    PageDatabase db;
};

TEST_F(PageFiles, SaveAllAsTextAppendsEveryDecimalPageInKeyOrder) {
    const std::string file = (folder / "all.TXT").string();
    ASSERT_TRUE(SaveAllPages(db, renderer, fonts, file, false));
    ASSERT_TRUE(SaveAllPages(db, renderer, fonts, file, false));  // a second run appends
    const std::string once = Block("100-0000", 0x100, 0) + Block("100-0001", 0x100, 1) + Block("101-0000", 0x101, 0);
    EXPECT_EQ(ReadFile(file), once + once);
    EXPECT_EQ(once.size(), 3u * (10 + 42 + 1050 + 2 + 42 + 2));

    // The extra window's text: the file made anew, just the 25 lines.
    ASSERT_TRUE(ReplacePageText(file, *db.FindPage(0x101, 0)));
    EXPECT_EQ(ReadFile(file), EncodeCodePage(PageText(*db.FindPage(0x101, 0)), CodePage::Windows1252));
}

TEST_F(PageFiles, SaveAllAsImagesOneFilePerSubPageAndStopsAtTheFirstFailure) {
    ASSERT_TRUE(SaveAllPages(db, renderer, fonts, (folder / "tele.BMP").string(), true));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"tele100-0000.BMP", "tele100-0001.BMP", "tele101-0000.BMP"}));
    DecodedBmp picture;
    const std::string bytes = ReadFile(folder / "tele100-0001.BMP");
    ASSERT_TRUE(DecodeBmp8(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), picture));
    EXPECT_EQ(picture.Width, 490);
    EXPECT_EQ(picture.Height, 388);

    // A read-only file in the way: the files before it are written, it and
    // the ones after are not.
    fs::remove(folder / "tele100-0000.BMP");
    fs::remove(folder / "tele101-0000.BMP");
    { std::ofstream(folder / "tele100-0001.BMP") << "keep"; }
    fs::permissions(folder / "tele100-0001.BMP", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(SaveAllPages(db, renderer, fonts, (folder / "tele.BMP").string(), true));
    EXPECT_TRUE(fs::exists(folder / "tele100-0000.BMP"));
    EXPECT_EQ(ReadFile(folder / "tele100-0001.BMP"), "keep");
    EXPECT_FALSE(fs::exists(folder / "tele101-0000.BMP"));
    EXPECT_FALSE(SaveAllPages(db, renderer, fonts, (folder / "tele100-0001.BMP").string(), false));
    EXPECT_FALSE(ReplacePageText((folder / "tele100-0001.BMP").string(), *db.FindPage(0x101, 0)));
    EXPECT_EQ(ReadFile(folder / "tele100-0001.BMP"), "keep");

    // A folder that does not exist: nothing is made.
    EXPECT_FALSE(SaveAllPages(db, renderer, fonts, (folder / "none" / "tele.BMP").string(), true));
    EXPECT_FALSE(SaveAllPages(db, renderer, fonts, (folder / "none" / "tele.TXT").string(), false));
    EXPECT_FALSE(fs::exists(folder / "none"));
}

// The picture names are known in advance: a link someone planted at one is
// replaced by the picture, never written through.
TEST_F(PageFiles, PicturesAreNeverWrittenThroughALinkAtTheirNames) {
    const fs::path victim = folder / "victim";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, folder / "tele100-0001.BMP");
    ASSERT_TRUE(SaveAllPages(db, renderer, fonts, (folder / "tele.BMP").string(), true));
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "tele100-0001.BMP")));
    DecodedBmp picture;
    const std::string bytes = ReadFile(folder / "tele100-0001.BMP");
    EXPECT_TRUE(DecodeBmp8(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), picture));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 4);  // no temporary file left
}

TEST(PageFileNames, DialogSettingsAndTheSplitOfTheChosenName) {
    const SaveDialogSettings text = SaveDialogFor(false, false, 0x1A0);
    EXPECT_EQ(text.DefaultExt, "TXT");
    EXPECT_EQ(text.Filter, "Textfiles (*.TXT)|*.TXT");
    EXPECT_EQ(text.Title, "Save page as text");
    EXPECT_EQ(text.FileName, "Page1A0.TXT");
    EXPECT_TRUE(text.Options & kOverwritePrompt);
    EXPECT_TRUE(text.Options & kPathMustExist);
    const SaveDialogSettings images = SaveDialogFor(true, true, 0x100);
    EXPECT_EQ(images.DefaultExt, "BMP");
    EXPECT_EQ(images.Filter, "Images (*.BMP)|*.BMP");
    EXPECT_EQ(images.Title, "Save page as image");
    EXPECT_EQ(images.FileName, "*.BMP");

    using Split = std::pair<std::string, std::string>;
    EXPECT_EQ(SplitAtExtension("/tt/tele.BMP"), (Split{"/tt/tele", ".BMP"}));
    EXPECT_EQ(SplitAtExtension("/tt/tele.old.txt"), (Split{"/tt/tele.old", ".txt"}));
    EXPECT_EQ(SplitAtExtension("/my.pages/tele"), (Split{"/my.pages/tele", ""}));
}

TEST(PageLinks, WebAddressCommandsAndTextClicks) {
    EXPECT_EQ(WebAddressCommand("www.orv.de"), "start http://www.orv.de");
    EXPECT_EQ(WebAddressCommand("HtTp://WWW.ORV.DE"), "start HtTp://WWW.ORV.DE");
    EXPECT_EQ(WebAddressCommand("-www.x"), "start http://-www.x");
    EXPECT_TRUE(IsWebWord("see.www.x"));
    EXPECT_TRUE(IsWebWord("http:x"));
    EXPECT_FALSE(IsWebWord("ww.http"));

    // The text page as the renderer marks it: 123 and the address red.
    test::MemoryTextView view;
    TextPageView text(&view);
    auto page = test::MakePage(0x100, 0,
                               {{2, "Go to 123 or 999 www.orv.de now"},
                                {3, "more at                      www.end.com"},
                                {4, "Nextline"}});
    text.RenderPageText(*page, false);
    const int row = 2 * 42;
    for (int caret : {row + 7, row + 8, row + 9}) EXPECT_EQ(TextClickAt(view, caret).Page, 0x123) << caret;
    EXPECT_EQ(TextClickAt(view, row + 6).Page, 0);  // the caret before the run: no red behind it
    EXPECT_EQ(TextClickAt(view, row + 6).Word, "123");
    EXPECT_EQ(TextClickAt(view, row + 15).Word, "999");
    EXPECT_EQ(TextClickAt(view, row + 15).Page, 0);
    EXPECT_EQ(TextClickAt(view, row + 20).Word, "www.orv.de");
    EXPECT_EQ(TextClickAt(view, row + 20).Page, 0);  // a red run that is no page number: its word
    // A word ends with its line: the address in the last columns alone.
    for (int caret : {3 * 42 + 30, 3 * 42 + 40}) EXPECT_EQ(TextClickAt(view, caret).Word, "www.end.com") << caret;
    EXPECT_EQ(TextClickAt(view, 4 * 42).Word, "Nextline");
    EXPECT_EQ(TextClickAt(view, -5).Page, 0);
    EXPECT_EQ(TextClickAt(view, 1 << 20).Page, 0);
}

}  // namespace
}  // namespace orv
