// Save, print, copy, search and clicks on the page, driven through the main
// window's own controls on a live pipeline.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "rendering/BmpFile.h"
#include "rendering/PagePicture.h"
#include "rendering/PageTextFile.h"
#include "rendering/VTX_TEXT_DISPLAY.h"
#include "windows/ImageButton.h"
#include "windows/MainSettings.h"
#include "windows/MultiPage.h"
#include "windows/PageBox.h"
#include "windows/PageFiles.h"
#include "windows/SearchPanel.h"
#include "windows/ViewerFixture.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::Viewer;
using test::WaitFor;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

fs::path Folder(const char* name) {
    const auto folder = fs::temp_directory_path() / (std::string(name) + "_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// A broadcast of our own pages: 100 with links, 101 and 123.
fs::path LinkPages() {
    const auto folder = Folder("orvtt_links");
    test::WriteTtiPage(folder / "pages", 100,
                       {"Go to 123 or 999 www.orv-demo.de/a;$(x)", "WEATHER on page 101"});
    test::WriteTtiPage(folder / "pages", 101, {"weather today, weather tomorrow"});
    test::WriteTtiPage(folder / "pages", 123, {"Page one two three"});
    return folder;
}

// The centre of a graphics cell, in the paint box.
QPoint Cell(int row, int column) { return {column * kCellWidth + 8, row * kCellHeight + 3}; }

// A key as the user types it into the window that has the focus.
void Key(TMainForm& form, Qt::Key key) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == &form ? focus : &form, key);
}

bool CapturePaused(TMainForm& form) { return form.Pipeline()->Collectors().CapturePaused(); }

// The size in points of the one picture on a PDF page: the scale factors of
// the content stream's "cm" operators multiplied up to the image.
QSizeF PdfPictureSize(const std::string& pdf) {
    const QByteArray bytes = QByteArray::fromStdString(pdf);
    for (qsizetype at = bytes.indexOf("stream\n"); at >= 0; at = bytes.indexOf("stream\n", at + 1)) {
        if (at >= 3 && bytes.mid(at - 3, 3) == "end") continue;
        const qsizetype begin = at + 7;
        QByteArray data = bytes.mid(begin, bytes.indexOf("endstream", begin) - begin);
        data.chop(1);  // the end of line before "endstream"
        QByteArray packed = QByteArray(4, '\0') + data;
        packed[1] = 0x10;  // qUncompress wants the expected size first: 1 MiB
        const QString content = QString::fromLatin1(qUncompress(packed));
        const qsizetype drawn = content.indexOf(QRegularExpression("cm\\s*/Im[0-9]+\\s+Do"));
        if (drawn < 0) continue;
        QSizeF size(1, 1);
        const QRegularExpression cm("(-?[0-9.]+) 0 0 (-?[0-9.]+) -?[0-9.]+ -?[0-9.]+ cm");
        for (auto it = cm.globalMatch(content.left(drawn + 2)); it.hasNext();) {
            const auto c = it.next();
            size = QSizeF(size.width() * std::abs(c.captured(1).toDouble()),
                          size.height() * std::abs(c.captured(2).toDouble()));
        }
        return size;
    }
    return {};
}

TEST(PageCommands, SaveWritesWhatWasDrawnWithThePauseHeldWhileTheDialogIsOpen) {
    const auto folder = Folder("orvtt_save");
    {
        Viewer viewer;
        TMainForm& form = *viewer.Form;
        ASSERT_TRUE(viewer.WaitForStation());
        const tPageImage shown = form.View().PageSnapshot;
        std::vector<bool> pausedDuring;
        viewer.SaveDialog.WhileShown = [&] { pausedDuring.push_back(CapturePaused(form)); };

        viewer.SaveDialog.Answers = {(folder / "page.TXT").string()};
        form.m_SaveSingleText->trigger();
        ASSERT_EQ(viewer.SaveDialog.Shown.size(), 1u);
        EXPECT_EQ(viewer.SaveDialog.Shown[0], SaveDialogFor(false, false, 0x100));
        EXPECT_EQ(ReadFile(folder / "page.TXT"), PageTextBlock("100", shown));

        // The store emptied and the record gone: the picture is still the
        // page on view.
        form.SetPause(true);
        form.Pipeline()->Pages().ClearPageDatabase();
        form.View().ShownPage.reset();
        viewer.SaveDialog.Answers = {(folder / "page.BMP").string()};
        form.m_SaveSinglePicture->trigger();
        const std::string bmp = ReadFile(folder / "page.BMP");
        DecodedBmp saved;
        ASSERT_TRUE(DecodeBmp8(std::vector<std::uint8_t>(bmp.begin(), bmp.end()), saved));
        FontTable fonts;
        fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT");
        GraphicsRenderer renderer;
        const Canvas expected = DrawPagePicture(renderer, fonts, shown);
        EXPECT_TRUE(std::equal(saved.Pixels.begin(), saved.Pixels.end(), expected.Pixels().begin()));
        EXPECT_TRUE(CapturePaused(form));  // the pause the user had stays
        form.SetPause(false);

        // Save all, and a cancelled dialog: each time paused meanwhile and given back after.
        ASSERT_TRUE(WaitFor([&] {
            return form.Pipeline()->Pages().PageCount() > 5 && form.Pipeline()->Pages().FindPage(0x100, 0);
        }));
        viewer.SaveDialog.Answers = {(folder / "all.TXT").string()};
        form.m_SaveAllText->trigger();
        form.m_SaveAllPicture->trigger();
        EXPECT_EQ(ReadFile(folder / "all.TXT").rfind("100-0000\r\n========================================\r\n", 0), 0u);
        EXPECT_EQ(viewer.SaveDialog.Shown.back(), SaveDialogFor(true, true, 0x100));
        EXPECT_EQ(pausedDuring, std::vector<bool>(4, true));
        EXPECT_FALSE(CapturePaused(form));
        EXPECT_FALSE(form.Paused());
    }
    {
        // Nothing drawn yet (page 100 never comes): nothing to save.
        test::WriteTtiPage(folder / "pages", 456, {"only 456"});
        Viewer viewer((folder / "pages").string(), 1600);
        ASSERT_TRUE(viewer.WaitForStation(false));
        viewer.SaveDialog.Answers = {(folder / "nothing.TXT").string()};
        viewer.Form->m_SaveSingleText->trigger();
        EXPECT_TRUE(viewer.SaveDialog.Shown.empty());
        EXPECT_FALSE(fs::exists(folder / "nothing.TXT"));
    }
    fs::remove_all(folder);
}

// Waiting for a page that is not stored, the window still shows the last one:
// save and print name that one, in the main window and in an extra one.
TEST(PageCommands, SaveAndPrintNameThePageOnViewWhileAnotherIsAwaited) {
    const auto folder = Folder("orvtt_awaited");
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    const tPageImage shown = form.View().PageSnapshot;
    QTest::mouseClick(form.bNewWindow, Qt::LeftButton);
    TFMultiPage& extra = *form.Shared().extraWindows.back();
    for (TPageForm* window : {static_cast<TPageForm*>(&form), static_cast<TPageForm*>(&extra)}) {
        for (char digit : {'8', '9', '9'}) window->EnterDigit(digit);
        ASSERT_TRUE(window->View().WaitingForPage);
        ASSERT_EQ(window->View().CurrentPage, 0x899);
    }

    viewer.SaveDialog.Answers = {(folder / "main.TXT").string(), (folder / "main.BMP").string(),
                                 (folder / "extra.TXT").string()};
    form.m_SaveSingleText->trigger();
    form.m_SaveSinglePicture->trigger();
    extra.m_SaveSingleText->trigger();
    ASSERT_EQ(viewer.SaveDialog.Shown.size(), 3u);
    EXPECT_EQ(viewer.SaveDialog.Shown[0], SaveDialogFor(false, false, 0x100));  // Page100.TXT
    EXPECT_EQ(viewer.SaveDialog.Shown[1], SaveDialogFor(false, true, 0x100));
    EXPECT_EQ(viewer.SaveDialog.Shown[2], SaveDialogFor(false, false, 0x100));
    EXPECT_EQ(ReadFile(folder / "main.TXT"), PageTextBlock("100", shown));
    EXPECT_EQ(ReadFile(folder / "extra.TXT"), EncodeCodePage(PageText(shown), CodePage::Windows1252));

    using namespace std::literals;
    const auto title100 = "/Title (\xFE\xFF\x00" "1\x00" "0\x00" "0)"sv;
    for (TPageForm* window : {static_cast<TPageForm*>(&form), static_cast<TPageForm*>(&extra)}) {
        viewer.Printer.PdfFile = (folder / "print.pdf").string();
        window->bPrintClick();
        EXPECT_NE(ReadFile(folder / "print.pdf").find(title100), std::string::npos);
        fs::remove(folder / "print.pdf");
    }
    fs::remove_all(folder);
}

TEST(PageCommands, PrintsThePictureAtItsScreenSizeAndTheTextAsOneDocument) {
    const auto folder = Folder("orvtt_print");
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());

    viewer.Printer.PdfFile = (folder / "picture.pdf").string();
    QTest::mouseClick(form.bPrint, Qt::LeftButton);
    const std::string picture = ReadFile(folder / "picture.pdf");
    const QSizeF points = PdfPictureSize(picture);
    EXPECT_NEAR(points.width(), 490 * 72.0 / 96, 1.0);  // 490 x 388 at 96 dpi
    EXPECT_NEAR(points.height(), 388 * 72.0 / 96, 1.0);
    using namespace std::literals;
    EXPECT_NE(picture.find("/Title (\xFE\xFF\x00" "1\x00" "0\x00" "0)"sv), std::string::npos);
    EXPECT_FALSE(CapturePaused(form));  // printing does not pause

    form.mTextClick();
    viewer.Printer.PdfFile = (folder / "text.pdf").string();
    QTest::mouseClick(form.bPrint, Qt::LeftButton);
    EXPECT_GT(fs::file_size(folder / "text.pdf"), 1000u);

    viewer.Printer.PdfFile.clear();  // cancelled
    QTest::mouseClick(form.bPrint, Qt::LeftButton);
    EXPECT_EQ(viewer.Printer.Runs, 3);
    fs::remove_all(folder);
}

TEST(PageCommands, CopyPutsTheSelectionTheWholeTextOrThePictureOnTheClipboard) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    QClipboard* clipboard = QGuiApplication::clipboard();

    QTest::mouseClick(form.bCopy, Qt::LeftButton);
    EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32), form.SnapshotPicture());
    EXPECT_EQ(form.SnapshotPicture().size(), QSize(490, 388));

    form.mTextClick();
    QTextCursor part = form.p_Text->textCursor();
    part.setPosition(41 * 2 + 3);
    part.setPosition(41 * 2 + 12, QTextCursor::KeepAnchor);
    form.p_Text->setTextCursor(part);
    QTest::mouseClick(form.bCopy, Qt::LeftButton);
    EXPECT_EQ(clipboard->text(), part.selectedText());
    EXPECT_EQ(clipboard->text().size(), 9);

    form.p_Text->setTextCursor(QTextCursor(form.p_Text->document()));
    QTest::mouseClick(form.bCopy, Qt::LeftButton);
    EXPECT_EQ(clipboard->text(), form.p_Text->toPlainText());
    EXPECT_FALSE(form.p_Text->textCursor().hasSelection());

    EXPECT_EQ(viewer.Cursor.Depth, 0);
    EXPECT_EQ(viewer.Cursor.Shown, 3);
    EXPECT_FALSE(CapturePaused(form));
}

TEST(PageCommands, ClicksGoToPageNumbersAndOpenWebAddresses) {
    const auto folder = LinkPages();
    Viewer viewer((folder / "pages").string(), 1600);
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    ASSERT_TRUE(WaitFor([&] { return form.Pipeline()->Pages().FindPage(0x123, 0) != nullptr; }));

    // The graphics page.
    QTest::mouseClick(form.VTXBox, Qt::LeftButton, {}, Cell(1, 14));  // 999
    EXPECT_EQ(form.View().CurrentPage, 0x100);
    QTest::mouseClick(form.VTXBox, Qt::LeftButton, {}, Cell(1, 25));
    ASSERT_EQ(viewer.Launch.Commands, std::vector<std::string>{"start http://www.orv-demo.de/a;$(x)"});
    EXPECT_EQ(viewer.Launch.Shows, std::vector<int>{0});
    QTest::mouseClick(form.VTXBox, Qt::LeftButton, {}, Cell(1, 7));
    EXPECT_EQ(form.View().CurrentPage, 0x123);
    EXPECT_TRUE(viewer.WaitForShown(0x123));
    EXPECT_TRUE(form.History().empty());
    EXPECT_FALSE(CapturePaused(form));

    // The text page: a click anywhere inside a red run follows it.
    form.mTextClick();
    for (char digit : {'1', '0', '0'}) form.EnterDigit(digit);
    ASSERT_TRUE(viewer.WaitForShown(0x100));
    const auto clickText = [&](int row, int column) {
        QTextCursor at(form.p_Text->document());
        at.setPosition(41 * row + column);
        const QRect caret = form.p_Text->cursorRect(at);
        QTest::mouseClick(form.p_Text->viewport(), Qt::LeftButton, {}, caret.center() + QPoint(3, 0));
    };
    clickText(1, 20);
    EXPECT_EQ(viewer.Launch.Commands.size(), 2u);
    EXPECT_EQ(viewer.Launch.Commands.back(), "start http://www.orv-demo.de/a;$(x)");
    clickText(1, 1);  // "Go": neither a number nor an address
    clickText(1, 14);  // 999 is not marked
    EXPECT_EQ(viewer.Launch.Commands.size(), 2u);
    form.SetPause(true);  // paused: clicks on the text page do nothing
    clickText(1, 7);
    EXPECT_EQ(form.View().CurrentPage, 0x100);
    form.SetPause(false);
    clickText(1, 7);
    EXPECT_EQ(form.View().CurrentPage, 0x123);
    EXPECT_FALSE(CapturePaused(form));
    fs::remove_all(folder);
}

// Pages of our own with fastext links: 100 (red 200, green 300), 200 with
// three sub-pages and no links, 300 (index 100).
fs::path FastextPages() {
    const auto folder = Folder("orvtt_fastext") / "pages";
    fs::create_directories(folder);
    const auto write = [&](const std::string& name, const std::string& body) {
        std::ofstream(folder / name) << body;
    };
    write("P100.tti", "PN,10000\r\nSC,0000\r\nPS,8000\r\nCT,8,T\r\nOL,1,Index\r\n"
                      "OL,24,\x1b" "ANews 123  \x1b" "BSport 123\r\nFL,200,300,8FF,8FF,8FF,100\r\n");
    std::string carousel;
    for (int sub = 1; sub <= 3; ++sub)
        carousel += "PN,2000" + std::to_string(sub) + "\r\nSC,000" + std::to_string(sub) +
                    "\r\nPS,8000\r\nCT,1,T\r\nOL,1,Sub-page " + std::to_string(sub) + "\r\nOL,24,\x1b" "Aback 123\r\n";
    write("P200.tti", carousel);
    write("P300.tti", "PN,30000\r\nSC,0000\r\nPS,8000\r\nCT,8,T\r\nOL,1,Sport\r\nFL,8FF,8FF,8FF,8FF,8FF,100\r\n");
    write("P123.tti", "PN,12300\r\nSC,0000\r\nPS,8000\r\nCT,8,T\r\nOL,1,Page 123\r\n");
    return folder;
}

TEST(PageCommands, FastextKeysAndRow24FieldsFollowLinksAndPageKeysHoldSubPages) {
    const auto folder = FastextPages();
    Viewer viewer(folder.string(), 1600);
    TMainForm& form = *viewer.Form;
    PageView& view = form.View();
    ASSERT_TRUE(viewer.WaitForStation());
    ASSERT_TRUE(WaitFor([&] { return form.Pipeline()->Pages().SubCodes(0x200).size() == 3; }, 10000));

    Key(form, Qt::Key_F5);  // red: 200, kept in the history like a typed number
    EXPECT_EQ(view.CurrentPage, 0x200);
    EXPECT_EQ(form.History().size(), 1u);
    ASSERT_TRUE(viewer.WaitForShown(0x200));
    Key(form, Qt::Key_F6);  // 200 has no links: the keys do nothing
    EXPECT_EQ(view.CurrentPage, 0x200);

    // Page Down holds the next stored sub-page; the bar says which of how many.
    const std::int32_t first = view.ShownPage->SubCode;
    Key(form, Qt::Key_PageDown);
    const std::int32_t held = view.ShownPage->SubCode;
    EXPECT_EQ(held, first % 3 + 1);
    EXPECT_EQ(form.sSearchStr->text().toStdString(), "200  " + std::to_string(held) + "/3");
    QTest::qWait(2500);  // the carousel turns on; the held sub-page stays
    EXPECT_EQ(view.ShownPage->SubCode, held);
    Key(form, Qt::Key_PageUp);
    EXPECT_EQ(view.ShownPage->SubCode, first);

    // Without links, row 24 keeps the page-number rule.
    QTest::mouseClick(form.VTXBox, Qt::LeftButton, {}, Cell(24, 7));
    EXPECT_EQ(view.CurrentPage, 0x123);
    EXPECT_FALSE(view.HoldSubPage);
    for (char digit : {'1', '0', '0'}) form.EnterDigit(digit);
    ASSERT_TRUE(viewer.WaitForShown(0x100));
    // With links, a coloured field follows its colour's link, wherever the click falls in it.
    QTest::mouseClick(form.VTXBox, Qt::LeftButton, {}, Cell(24, 13));
    EXPECT_EQ(view.CurrentPage, 0x300);
    ASSERT_TRUE(viewer.WaitForShown(0x300));
    QTest::keyClick(&form, Qt::Key_F9);  // the index
    EXPECT_EQ(view.CurrentPage, 0x100);
    ASSERT_TRUE(viewer.WaitForShown(0x100));
    QKeyEvent red(QEvent::KeyRelease, Qt::Key_Red, Qt::NoModifier);  // the remote's red key (XF86Red)
    QApplication::sendEvent(&form, &red);
    EXPECT_EQ(view.CurrentPage, 0x200);

    // Level 1 from the menu: every window draws without the enhancements, and the setting is kept.
    form.mLevel->trigger();
    EXPECT_FALSE(view.Level15);
    viewer.Stop();
    EXPECT_EQ(viewer.Reg().ReadInteger(kTeletextSettingsKey, "Level"), 10u);
    fs::remove_all(folder.parent_path());
}

TEST(PageCommands, SearchRoundsWrapAfterTextNotFoundAndF3GoesOnAfterThePanelCloses) {
    const auto folder = LinkPages();
    Viewer viewer((folder / "pages").string(), 1600);
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    ASSERT_TRUE(WaitFor([&] { return form.Pipeline()->Pages().FindPage(0x123, 0) != nullptr; }));
    const PageView& view = form.View();
    const auto hit = [&] { return std::pair<int, int>(view.CurrentPage, view.SearchRec.FoundColumn); };
    const auto enter = [&] { QTest::keyClick(form.eSearch, Qt::Key_Return); };

    QTest::mouseClick(form.bSearch, Qt::LeftButton);
    ASSERT_TRUE(form.pSearch->isVisible());
    EXPECT_TRUE(CapturePaused(form));
    QTest::keyClicks(form.eSearch, "weather");
    enter();
    EXPECT_EQ(hit(), (std::pair{0x100, -1}));
    EXPECT_EQ(form.PageCanvasForTest().ColourAt(0, 2 * 15), kSearchFrameColour);  // row 2, cells 0-6 framed
    EXPECT_EQ(form.PageCanvasForTest().ColourAt(7 * 12 - 1, 3 * 15 - 1), kSearchFrameColour);

    QTest::keyClick(form.eSearch, Qt::Key_Escape);
    EXPECT_FALSE(form.pSearch->isVisible());
    EXPECT_FALSE(CapturePaused(form));
    Key(form, Qt::Key_F3);
    EXPECT_EQ(hit(), (std::pair{0x101, -1}));
    form.mTextClick();  // in the text view the hit is selected
    EXPECT_EQ(form.p_Text->textCursor().selectedText(), "weather");
    Key(form, Qt::Key_F3);
    EXPECT_EQ(hit(), (std::pair{0x101, 14}));
    Key(form, Qt::Key_F3);
    ASSERT_EQ(viewer.Dialogs.Shown.size(), 1u);
    EXPECT_EQ(viewer.Dialogs.Shown[0].Text, "Text not found");
    EXPECT_FALSE(view.SearchActive);
    Key(form, Qt::Key_F3);  // no hit current: nothing
    EXPECT_EQ(viewer.Dialogs.Shown.size(), 1u);

    // The round starts again from the first page; another text starts anew.
    form.mVTXClick();
    QTest::mouseClick(form.bSearch, Qt::LeftButton);
    enter();
    EXPECT_EQ(hit(), (std::pair{0x100, -1}));
    form.eSearch->setText("two three");
    enter();
    EXPECT_EQ(hit(), (std::pair{0x123, 8}));
    enter();
    EXPECT_EQ(viewer.Dialogs.Shown.size(), 2u);
    enter();
    EXPECT_EQ(hit(), (std::pair{0x123, 8}));
    form.eSearch->clear();
    enter();
    EXPECT_EQ(viewer.Dialogs.Shown.size(), 3u);  // an empty text finds nothing

    // The Enter that closes "Text not found" goes down in the box and comes
    // up in the field: that starts no new round.
    form.eSearch->setText("two three");
    enter();
    EXPECT_TRUE(view.SearchActive);
    viewer.Dialogs.WhileShown = [&] {
        QCoreApplication::postEvent(form.eSearch, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier));
    };
    enter();
    viewer.Dialogs.WhileShown = {};
    QTest::qWait(50);
    EXPECT_EQ(viewer.Dialogs.Shown.size(), 4u);
    EXPECT_FALSE(view.SearchActive);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace orv
