// The caption window: opened from the "Subtitles" menu, cleared by an erase,
// a time-out and a station change, closed three ways, its place kept; and
// under an X server, drawn on black or on a transparent background.
#include "windows/CaptionWindow.h"

#include <QMenu>
#include <QScreen>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "platform/qt/X11Compositing.h"
#include "windows/MainSettings.h"
#include "windows/ViewerFixture.h"

namespace orv {
namespace {

using test::Viewer;
using test::WaitFor;

QStringList Texts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* item : menu.actions()) texts << (item->isSeparator() ? "-" : item->text());
    return texts;
}

// Two boxed double-height lines, the second on a cyan box.
PageRef Subtitle(std::string_view first, std::string_view second = "\x06\x1D\x07\x0D\x0B\x0BWorld\x0A\x0A") {
    auto page = test::MakePage(0x888, 0, {{20, first}, {22, second}});
    page->Subtitle = 1;
    page->ErasePage = 1;
    return SharedPage(*page, nullptr);
}

// Lets the window paint what it was told.
int PaintsAfterEvents(CaptionWindow& caption) {
    QTest::qWait(50);
    return caption.Paints();
}

TEST(CaptionWindow, SubtitlesMenuListsThePagesFoundAndOpensTheCaption) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    SubtitlePages& found = form.Pipeline()->Subtitles();
    found.Clear();
    form.FillSubtitlesMenu();
    EXPECT_EQ(Texts(*form.mSubtitles), QStringList({"none found yet", "-", "Page on view"}));
    EXPECT_FALSE(form.mSubtitles->actions().front()->isEnabled());

    found.SetDescriptor({{"fra", kDescriptorHardOfHearing, 0x888}, {"ita", kDescriptorSubtitles, 0x777}, {"eng", 1, 0x100}});
    auto flash = test::MakePage(0x190, 0);
    flash->Newsflash = 1;
    found.PageSeen(*flash);
    form.FillSubtitlesMenu();
    EXPECT_EQ(Texts(*form.mSubtitles),
              QStringList({"888 fra (hard of hearing)", "777 ita", "190 (newsflash)", "-", "Page on view"}));

    // The demo's subtitles, on their own.
    found.Clear();
    ASSERT_TRUE(WaitFor([&] { return !found.List().empty(); }));
    form.FillSubtitlesMenu();
    EXPECT_EQ(form.mSubtitles->actions().front()->text(), "888");
    form.mSubtitles->actions().front()->trigger();
    CaptionWindow* caption = form.Caption();
    ASSERT_TRUE(caption);
    EXPECT_TRUE(caption->isVisible());
    EXPECT_EQ(caption->PageNo(), 0x888);
    EXPECT_TRUE(caption->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(caption->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.isVisible());  // the main window stays as it was
    ASSERT_TRUE(WaitFor([&] { return caption->Showing(); }));

    form.mCaptionPageOnView->trigger();  // page 100 has no boxes
    EXPECT_EQ(caption->PageNo(), 0x100);
    QTest::qWait(300);
    EXPECT_FALSE(caption->Showing());
}

TEST(CaptionWindow, ClearsOnEraseTimeOutAndStationChangeAndClosesThreeWays) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    form.SetPause(true);  // only the pages given here
    QTest::qWait(300);
    form.OpenCaption(0x888);
    CaptionWindow& caption = *form.Caption();
    caption.OnVtxPage(0x888, Subtitle("\x0D\x0B\x0BHello\x0A\x0A"));
    EXPECT_TRUE(caption.Showing());

    // The same text again, or another page, draws nothing.
    const int paints = PaintsAfterEvents(caption);
    caption.OnVtxPage(0x888, Subtitle("\x0D\x0B\x0BHello\x0A\x0A"));
    caption.OnVtxPage(0x100, Subtitle("\x0D\x0B\x0BOther\x0A\x0A"));
    EXPECT_EQ(PaintsAfterEvents(caption), paints);
    caption.OnVtxPage(0x888, Subtitle("\x0D\x0B\x0BHullo\x0A\x0A"));
    EXPECT_GT(PaintsAfterEvents(caption), paints);

    auto erase = test::MakePage(0x888, 0);
    erase->Subtitle = erase->ErasePage = 1;
    caption.OnVtxPage(0x888, SharedPage(*erase, nullptr));
    EXPECT_FALSE(caption.Showing());

    caption.OnVtxPage(0x888, Subtitle("\x0D\x0B\x0BHello\x0A\x0A"));
    caption.StationChanged();
    EXPECT_FALSE(caption.Showing());
    EXPECT_EQ(caption.PageNo(), 0x888);  // the same page of the new service
    caption.OnVtxPage(0x888, Subtitle("\x0D\x0B\x0BHello\x0A\x0A"));
    EXPECT_TRUE(caption.Showing());

    caption.SetTimeout(std::chrono::milliseconds(100));
    caption.OnVtxPage(0x888, Subtitle("\x0D\x0B\x0BAgain\x0A\x0A"));
    EXPECT_TRUE(WaitFor([&] { return !caption.Showing(); }, 2000));

    caption.setGeometry(10, 20, 300, 60);
    QTest::keyClick(&caption, Qt::Key_Escape);
    EXPECT_FALSE(caption.isVisible());
    EXPECT_EQ(ReadCaptionPlace(viewer.Reg()), (CaptionPlace{10, 20, 300, 60}));
    form.OpenCaption(0x888);
    EXPECT_EQ(caption.geometry(), QRect(10, 20, 300, 60));
    QTest::mouseDClick(&caption, Qt::LeftButton);
    EXPECT_FALSE(caption.isVisible());
    form.OpenCaption(0x888);
    caption.mCaptionClose->trigger();
    EXPECT_FALSE(caption.isVisible());

    // With nothing kept: the lower part of the screen, centred, 80 % of its width.
    EXPECT_EQ(CaptionWindow::DefaultPlace({0, 0, 1920, 1080}), QRect(192, 780, 1536, 192));
}

// ------------------------------------------------------------ under X11

// Plays a compositing manager for as long as it lives: owns _NET_WM_CM_S0.
class CompositingSelectionOwner {
public:
    CompositingSelectionOwner() : connection_(xcb_connect(nullptr, &screen_)) {
        const xcb_screen_t* root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const std::string name = CompositingSelection(screen_);
        auto* atom = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
        xcb_set_selection_owner(connection_, window_, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        xcb_flush(connection_);
    }
    ~CompositingSelectionOwner() {
        xcb_destroy_window(connection_, window_);
        xcb_disconnect(connection_);
    }
    bool Owns() { return CompositingManagerRuns(connection_, screen_); }

private:
    int screen_ = 0;
    xcb_connection_t* connection_;
    xcb_window_t window_ = 0;
};

int Depth(const QWidget& window) {
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, static_cast<xcb_window_t>(window.winId())), nullptr);
    const int depth = geometry ? geometry->depth : 0;
    std::free(geometry);
    return depth;
}

// Every pixel outside the runs is the given background; inside them the
// letters are white on their box (a pixel's width of slack at the edges,
// where scaling rounds).
void ExpectOnlyBoxesDrawn(const QImage& shot, const std::vector<CaptionPiece>& pieces, QRgb outside) {
    ASSERT_EQ(pieces.size(), 2u);
    int letters = 0, stray = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            bool inside = false, edge = false;
            for (const CaptionPiece& p : pieces) {
                inside |= x >= p.Target.Left && x < p.Target.Right && y >= p.Target.Top && y < p.Target.Bottom;
                edge |= x >= p.Target.Left - 1 && x <= p.Target.Right && y >= p.Target.Top - 1 && y <= p.Target.Bottom;
            }
            const QRgb pixel = shot.pixel(x, y);
            if (inside) letters += pixel == qRgb(255, 255, 255);
            else if (!edge) stray += pixel != outside;
        }
    EXPECT_GT(letters, 500);
    EXPECT_EQ(stray, 0);
}

TEST(CaptionScreenshot, OnBlackWithoutACompositingManagerTransparentWithOne) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server";
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    form.SetPause(true);
    QTest::qWait(300);
    ASSERT_FALSE(DesktopComposites());
    form.OpenCaption(0x888);
    CaptionWindow& caption = *form.Caption();
    caption.setGeometry(40, 300, 720, 150);
    caption.OnVtxPage(0x888, Subtitle("\x0D\x0B\x0BHello\x0A\x0A"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&caption));
    QTest::qWait(300);
    EXPECT_FALSE(caption.Transparent());
    EXPECT_EQ(Depth(caption), 24);
    const QImage onBlack = caption.screen()->grabWindow(0, 40, 300, 720, 150).toImage();
    onBlack.save(QString(ORVTT_BUILD_DIR) + "/orvtt-caption-black.png");
    ExpectOnlyBoxesDrawn(onBlack, caption.Pieces(), qRgb(0, 0, 0));
    caption.Close();

    CompositingSelectionOwner compositor;
    ASSERT_TRUE(compositor.Owns());
    EXPECT_TRUE(DesktopComposites());
    form.OpenCaption(0x888);
    caption.OnVtxPage(0x888, Subtitle("\x0D\x0B\x0BHello\x0A\x0A"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&caption));
    QTest::qWait(300);
    EXPECT_TRUE(caption.Transparent());
    EXPECT_EQ(Depth(caption), 32);
    const QImage composited = caption.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    composited.save(QString(ORVTT_BUILD_DIR) + "/orvtt-caption-composited.png");
    ExpectOnlyBoxesDrawn(composited, caption.Pieces(), qRgba(0, 0, 0, 0));
    caption.Close();
}

}  // namespace
}  // namespace orv
