// Extra page windows opened from the main window and from each other.
#include "windows/MultiPage.h"

#include <QMenu>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "rendering/VTX_TEXT_DISPLAY.h"
#include "windows/ImageButton.h"
#include "windows/ViewerFixture.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::Viewer;
using test::WaitFor;

bool SamePage(const tPageImage& a, const tPageImage& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameRows(const Canvas& a, const Canvas& b, int firstRow, int lastRow) {
    for (int y = firstRow * kCellHeight; y < (lastRow + 1) * kCellHeight; ++y)
        for (int x = 0; x < 40 * kCellWidth; ++x)
            if (a.ColourAt(x, y) != b.ColourAt(x, y)) return false;
    return true;
}

TFMultiPage& Newest(TMainForm& form) { return *form.Shared().extraWindows.back(); }

TEST(MultiPage, OpensFrozenOnTheOpenersPageUntilItsPauseIsReleased) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    for (char digit : {'1', '5', '0'}) form.EnterDigit(digit);  // a carousel
    ASSERT_TRUE(viewer.WaitForShown(0x150));
    const tPageImage opened = form.View().PageSnapshot;

    QTest::mouseClick(form.bNewWindow, Qt::LeftButton);
    ASSERT_EQ(form.Shared().extraWindows.size(), 1u);
    TFMultiPage& extra = Newest(form);
    EXPECT_TRUE(extra.isVisible());
    EXPECT_EQ(extra.size(), QSize(631, 463));
    EXPECT_EQ(extra.pos(), QPoint(258, 168));
    EXPECT_TRUE(extra.Paused());
    EXPECT_EQ(extra.bPause->Picture().toImage(), extra.img_KPlay->pixmap().toImage());
    EXPECT_FALSE(form.Pipeline()->Collectors().CapturePaused());  // its pause is its own
    EXPECT_EQ(extra.View().CurrentPage, 0x150);
    EXPECT_TRUE(SamePage(extra.View().PageSnapshot, opened));
    EXPECT_TRUE(SameRows(extra.PageCanvasForTest(), form.PageCanvasForTest(), 1, 24));
    const std::string station = form.Pipeline()->Dispatcher().CurrentStationName();
    EXPECT_EQ(extra.windowTitle().toStdString(), station + ":Page 150");
    EXPECT_EQ(extra.sSearchStr->toolTip(), "Page number");
    EXPECT_EQ(extra.pm_VTX_Mode->actions().size(), 4);  // the two modes, the level
    EXPECT_EQ(extra.m_Save->actions().size(), 1);  // "Save current page" only

    // Another sub-page comes: the main window shows it, the extra one stays.
    ASSERT_TRUE(WaitFor([&] { return form.View().ShownPage && form.View().ShownPage->SubCode != opened.SubCode; },
                        15000));
    const QImage frozen = extra.PageImage();
    QTest::qWait(300);
    EXPECT_EQ(extra.PageImage(), frozen);
    EXPECT_TRUE(SamePage(extra.View().PageSnapshot, opened));

    QTest::mouseClick(extra.bPause, Qt::LeftButton);
    EXPECT_FALSE(extra.Paused());
    EXPECT_TRUE(WaitFor([&] { return extra.PageImage() != frozen; }, 8000));

    // Typed digits: its own page, no history in the main window.
    for (char digit : {'1', '0', '1'}) extra.EnterDigit(digit);
    EXPECT_TRUE(WaitFor([&] { return extra.View().ShownPage && extra.View().ShownPage->PageNo == 0x101; }));
    EXPECT_EQ(extra.windowTitle().toStdString(), station + ":Page 101");
    EXPECT_EQ(form.History().size(), 1u);  // the 150 typed above
    EXPECT_EQ(form.View().CurrentPage, 0x150);

    // A window opened from the extra one sits 10 pixels right and down of it;
    // closing one leaves the others.
    extra.move(300, 200);
    QTest::mouseClick(extra.bNewWindow, Qt::LeftButton);
    ASSERT_EQ(form.Shared().extraWindows.size(), 2u);
    TFMultiPage& second = Newest(form);
    EXPECT_EQ(second.pos(), QPoint(310, 210));
    EXPECT_EQ(second.View().CurrentPage, 0x101);
    QTest::mouseClick(extra.bClose, Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return form.Shared().extraWindows.size() == 1u; }));
    EXPECT_EQ(form.Shared().extraWindows[0].get(), &second);
    const QImage before = form.PageImage();  // the main window goes on
    EXPECT_TRUE(WaitFor([&] { return form.PageImage() != before; }));
}

TEST(MultiPage, ModesCarryOverWithoutTVAndSavingTextReplacesTheFile) {
    const auto file = fs::temp_directory_path() / ("orvtt_multipage_" + std::to_string(::getpid()) + ".TXT");
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());

    form.mTextClick();
    QTest::mouseClick(form.bNewWindow, Qt::LeftButton);
    TFMultiPage& text = Newest(form);
    EXPECT_EQ(text.DisplayMode(), kModeText);
    EXPECT_TRUE(text.p_Text->isVisibleTo(&text));
    EXPECT_EQ(text.p_Text->toPlainText(), form.p_Text->toPlainText());

    // The "+ TV" modes open their plain counterparts.
    form.View().DisplayMode = kModeTeletextTV;
    QTest::mouseClick(form.bNewWindow, Qt::LeftButton);
    EXPECT_EQ(Newest(form).DisplayMode(), kModeTeletext);
    form.View().DisplayMode = kModeTextTV;
    QTest::mouseClick(form.bNewWindow, Qt::LeftButton);
    EXPECT_EQ(Newest(form).DisplayMode(), kModeText);
    form.mVTXClick();

    { std::ofstream(file) << "an older and much longer file that is to be replaced entirely"; }
    viewer.SaveDialog.Answers = {file.string()};
    text.m_SaveSingleText->trigger();
    std::ifstream in(file, std::ios::binary);
    std::ostringstream saved;
    saved << in.rdbuf();
    EXPECT_EQ(saved.str(), EncodeCodePage(PageText(text.View().PageSnapshot), CodePage::Windows1252));
    EXPECT_TRUE(text.Paused());  // the window's own pause given back
    fs::remove(file);

    // Frozen and waiting for a page that is not stored: redrawing keeps
    // waiting, and never passes the frozen copy off as that page.
    for (char digit : {'7', '7', '7'}) text.EnterDigit(digit);
    text.mVTXClick();
    EXPECT_TRUE(text.View().WaitingForPage);
    EXPECT_EQ(text.View().ShownPage, nullptr);
    EXPECT_EQ(text.View().CurrentPage, 0x777);

    // Closing the main window takes the extra ones with it, in order.
    viewer.Stop();
}

}  // namespace
}  // namespace orv
