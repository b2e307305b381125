// The main window driven through its own controls, on a live pipeline fed by
// the replay capture library.
#include "windows/MainForm.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "drivers/broadcast/DemoBroadcast.h"
#include "rendering/VTX_TEXT_DISPLAY.h"
#include "TestSupport.h"
#include "windows/AboutBox.h"
#include "windows/AddFavoriteDialog.h"
#include "windows/EditFavoritesDialog.h"
#include "windows/ImageButton.h"
#include "windows/MultiPage.h"
#include "windows/PageBox.h"
#include "windows/Splash.h"
#include "windows/ViewerFixture.h"

namespace orv {
namespace {

using test::Viewer;
using test::WaitFor;

// The header band as the window would draw a text there: for comparing the
// window's page canvas with what should be on it.
class Reference {
public:
    Reference() : canvas_(490, 388, fonts_) {
        fonts_.AddFontMemory(TeletextFontResource(), "TTX_FONT");
        renderer_.PreparePageCanvas(&canvas_);
    }
    Canvas& Draw(const std::function<void(GraphicsRenderer&, Canvas&)>& draw) {
        draw(renderer_, canvas_);
        return canvas_;
    }
    const orv::Canvas& Result() const { return canvas_; }

private:
    FontTable fonts_;
    GraphicsRenderer renderer_;
    orv::Canvas canvas_;
};

bool SameCells(const Canvas& a, const Canvas& b, int row, int firstColumn, int lastColumn) {
    for (int y = row * kCellHeight; y < (row + 1) * kCellHeight; ++y)
        for (int x = firstColumn * kCellWidth; x < (lastColumn + 1) * kCellWidth; ++x)
            if (a.ColourAt(x, y) != b.ColourAt(x, y)) return false;
    return true;
}

std::vector<std::uint32_t> HeaderPixels(const Canvas& canvas, int firstColumn, int lastColumn) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < kCellHeight; ++y)
        for (int x = firstColumn * kCellWidth; x < (lastColumn + 1) * kCellWidth; ++x)
            pixels.push_back(canvas.ColourAt(x, y));
    return pixels;
}

void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

void EnterKey(TMainForm& form, char c) {
    const int key = c >= 'A' && c <= 'Z' ? Qt::Key_A + (c - 'A') : Qt::Key_0 + (c - '0');
    QTest::keyClick(&form, static_cast<Qt::Key>(key));
}

void Type(TMainForm& form, const std::string& keys) {
    for (char c : keys) EnterKey(form, c);
}

TEST(MainForm, FirstStartWithoutSettingsAndTheValuesWrittenAtExit) {
    Viewer viewer("demo", 16000, 0x0407);
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(form.Started());
    EXPECT_EQ(form.size(), QSize(632, 467));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.DisplayMode(), kModeTeletext);
    EXPECT_TRUE(form.mVTX->isChecked());
    EXPECT_FALSE(form.mTV_VTX->isEnabled());
    EXPECT_FALSE(form.mTV_Text->isEnabled());
    EXPECT_EQ(form.Settings().Language, 0x0407);
    EXPECT_EQ(form.NationalFont(), 0);
    EXPECT_EQ(form.Settings().CurrentChannel, 0);
    EXPECT_EQ(form.Settings().VideoSource, -1);
    EXPECT_TRUE(form.UseCaptureDll());
    EXPECT_TRUE(form.HelpFileName().empty());
    EXPECT_FALSE(form.bHelp->isVisibleTo(&form));
    EXPECT_EQ(form.View().CurrentPage, 0x100);  // start-up goes to page 100
    EXPECT_TRUE(std::filesystem::exists(viewer.FontFile()));

    // Components by their names, hints and faces.
    EXPECT_EQ(form.sSearchStr->toolTip(), "Click to select page");
    EXPECT_EQ(form.bLogo->toolTip(), "Info");
    EXPECT_EQ(form.bPagePrev->toolTip(), "Prev page");
    EXPECT_EQ(form.bClose->toolTip(), "Exit");
    ASSERT_EQ(form.DigitButtons.size(), 10u);
    for (int digit = 0; digit <= 9; ++digit) {
        ImageButton* key = form.DigitButtons[static_cast<std::size_t>(digit)];
        EXPECT_EQ(key->Tag(), digit);
        EXPECT_EQ(key->toolTip(), "Select page");
        EXPECT_EQ(key->objectName(), digit == 0 ? QString("b0") : QString("Image%1").arg(8 + digit));
    }
    // Pad rows 7 8 9 / 4 5 6 / 1 2 3 / 0 and pause.
    EXPECT_LT(form.DigitButtons[7]->y(), form.DigitButtons[4]->y());
    EXPECT_LT(form.DigitButtons[4]->y(), form.DigitButtons[1]->y());
    EXPECT_LT(form.DigitButtons[1]->y(), form.DigitButtons[0]->y());
    EXPECT_EQ(form.bPause->y(), form.DigitButtons[0]->y());
    EXPECT_GT(form.bPause->x(), form.DigitButtons[0]->x());
    EXPECT_FALSE(form.bSource->isVisibleTo(&form));
    EXPECT_FALSE(form.sVersion->isVisibleTo(&form));
    EXPECT_EQ(form.sVersion->text(), "0.1.0.0");
    EXPECT_EQ(form.VTXBox->size(), QSize(490, 388));

    ASSERT_TRUE(viewer.WaitForShown(0x100));
    viewer.Stop();
    EXPECT_FALSE(std::filesystem::exists(viewer.FontFile()));
    EXPECT_EQ(viewer.Help.Quits, 1);
    const auto names = viewer.Reg().ValueNames(kTeletextSettingsKey);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"VTXMode", "Language", "LastChannel", "LastSource", "Level"}));
    EXPECT_EQ(viewer.Reg().ReadString(kTeletextSettingsKey, "Language"), "0407");
    EXPECT_EQ(viewer.Reg().ReadInteger(kTeletextSettingsKey, "Level"), 15u);
    EXPECT_EQ(viewer.Reg().ReadInteger(kTeletextSettingsKey, "VTXMode"), 0u);
    EXPECT_EQ(viewer.Reg().ReadInteger(kTeletextSettingsKey, "LastSource"), 0xFFFFFFFFu);
}

TEST(MainForm, StoredSettingsAreReadAndWrittenBack) {
    Viewer viewer("demo", 16000, 0x0409, [](Registry& registry) {
        registry.WriteString(kTeletextSettingsKey, "Language", "407");
        registry.WriteInteger(kTeletextSettingsKey, "VTXMode", 3);  // text + TV, but there is no TV
        registry.WriteInteger(kTeletextSettingsKey, "LastChannel", 7);
    });
    TMainForm& form = *viewer.Form;
    EXPECT_EQ(form.Settings().Language, 0x0407);
    EXPECT_EQ(form.DisplayMode(), kModeText);
    EXPECT_TRUE(form.mText->isChecked());
    EXPECT_TRUE(form.p_Text->isVisibleTo(&form));
    EXPECT_FALSE(form.p_Teletext->isVisibleTo(&form));
    viewer.Stop();
    EXPECT_EQ(viewer.Reg().ReadString(kTeletextSettingsKey, "Language"), "0407");
    EXPECT_EQ(viewer.Reg().ReadInteger(kTeletextSettingsKey, "VTXMode"), 2u);
    EXPECT_EQ(viewer.Reg().ReadInteger(kTeletextSettingsKey, "LastChannel"), 7u);
}

TEST(MainForm, PagesAreDrawnWhenTheFontFileCannotBeWrittenAndWhatIsAtItsPlaceIsLeftAlone) {
    const auto folder = std::filesystem::temp_directory_path() / ("orvtt-planted-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto victim = folder / "victim.txt";
    std::ofstream(victim) << "the user's own file";
    std::ofstream(folder / "planted.FON") << "planted";
    std::filesystem::create_symlink(victim, folder / "link.FON");
    std::filesystem::create_directory(folder / "folder.FON");
    for (const std::string& name : std::vector<std::string>{"/nonexistent-orvtt-folder/ORVTTX.FON", (folder / "planted.FON").string(),
                                   (folder / "link.FON").string(), (folder / "folder.FON").string()}) {
        {
            Viewer viewer("demo", 16000, 0x0409, {}, name);
            ASSERT_TRUE(viewer.WaitForShown(0x100));
            const Canvas& canvas = viewer.Form->PageCanvasForTest();
            int lit = 0;
            for (int y = kCellHeight; y < 25 * kCellHeight; ++y)
                for (int x = 0; x < 40 * kCellWidth; ++x) lit += canvas.ColourAt(x, y) != 0;
            EXPECT_GT(lit, 5000) << name;  // the faces came from the embedded font
        }
        // Nothing there was written to, followed or removed.
        const auto read = [](const std::filesystem::path& p) {
            std::ifstream in(p);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        EXPECT_EQ(read(victim), "the user's own file");
        EXPECT_EQ(read(folder / "planted.FON"), "planted");
        EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.FON"));
        EXPECT_TRUE(std::filesystem::is_directory(folder / "folder.FON"));
    }
    std::filesystem::remove_all(folder);
}

TEST(MainForm, WithoutTheCaptureLibraryTheWindowCloses) {
    // The library cannot open its source; the VBI device path would need the
    // TV link, which is not there either: the program cannot run.
    Viewer viewer("/nonexistent/recording.t42");
    EXPECT_FALSE(viewer.Form->Started());
    EXPECT_FALSE(viewer.Form->UseCaptureDll());
    EXPECT_TRUE(viewer.Dialogs.Shown.empty());  // ends without a message
    viewer.Stop();
    EXPECT_FALSE(std::filesystem::exists(viewer.FontFile()));
}

TEST(MainForm, RestartAfterATVStateChangeKeepsTheViewerRunningOrSaysWhyNot) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    form.mTextClick();
    form.RaiseTVStateChanged();  // consumed at the next idle moment
    QTest::qWait(50);
    EXPECT_TRUE(form.UseCaptureDll());
    EXPECT_EQ(form.DisplayMode(), kModeText);
    EXPECT_TRUE(viewer.Dialogs.Shown.empty());
    const PageRef before = form.View().ShownPage;  // page 100 keeps coming in again
    EXPECT_TRUE(WaitFor([&] { return form.View().ShownPage != before; }));

    // The capture source has gone away: the viewer goes on without capture.
    viewer.Reg().WriteString(kReplayKey, "Source", "/nonexistent/recording.t42");
    form.RestartTV();
    ASSERT_EQ(viewer.Dialogs.Shown.size(), 1u);
    EXPECT_EQ(viewer.Dialogs.Shown[0].Text,
              "Cannot restart Teletext collecting, please restart ORV Teletext application");
    EXPECT_EQ(viewer.Dialogs.Shown[0].Kind, DialogKind::Plain);
    Type(form, "101");  // stored pages can still be read
    EXPECT_EQ(form.View().CurrentPage, 0x101);
}

TEST(MainForm, HelpButtonOpensTheHelpFileOfTheLanguage) {
    std::filesystem::path helpFile;
    Viewer viewer("demo", 16000, 0x0407, [&](Registry& registry) {
        const auto bin = std::filesystem::path(registry.Path()).parent_path() / "bin";
        std::filesystem::create_directories(bin);
        helpFile = bin / "ENU.HLP";
        std::ofstream(helpFile) << "<html><body>Help</body></html>";
    });
    TMainForm& form = *viewer.Form;
    EXPECT_EQ(form.HelpFileName(), helpFile.string());  // no DEU.HLP, so ENU.HLP
    EXPECT_TRUE(form.bHelp->isVisibleTo(&form));
    Click(form.bHelp);
    ASSERT_EQ(viewer.Help.Opened.size(), 1u);
    EXPECT_EQ(viewer.Help.Opened[0], helpFile.string());
}

TEST(MainForm, LanguageModuleBesideTheProgramReplacesTheTexts) {
    Viewer viewer("demo", 16000, 0x0407, [](Registry& registry) {
        const auto bin = std::filesystem::path(registry.Path()).parent_path() / "bin";
        std::filesystem::create_directories(bin);
        std::ofstream(bin / "orvtt.DE") << "[TMainForm]\nbClose.Hint=Beenden\nmText.Caption=Textansicht\n"
                                           "[TPageForm]\nbNewWindow.Hint=Neues Fenster\n"
                                           "[TFMultiPage]\nsSearchStr.Hint=Seitennummer\n"
                                           "[TAboutBox]\nLabel1.Caption=Seiten im Speicher\n"
                                           "[TFAddFavorite]\nbCancel.Caption=Abbrechen\n";
    });
    EXPECT_EQ(viewer.Form->bClose->toolTip(), "Beenden");  // "orvtt.DEU" missing, "orvtt.DE" found
    EXPECT_EQ(viewer.Form->mText->text(), "Textansicht");
    EXPECT_EQ(viewer.Form->bPause->toolTip(), "Pause");     // not in the module: stays
    EXPECT_EQ(viewer.Form->bNewWindow->toolTip(), "Neues Fenster");
    EXPECT_EQ(viewer.Form->sSearchStr->toolTip(), "Click to select page");

    // A window opened later gets the texts of its own class and of the shared core.
    Click(viewer.Form->bNewWindow);
    const TFMultiPage& extra = *viewer.Form->Shared().extraWindows.back();
    EXPECT_EQ(extra.bNewWindow->toolTip(), "Neues Fenster");
    EXPECT_EQ(extra.sSearchStr->toolTip(), "Seitennummer");
    EXPECT_EQ(extra.bClose->toolTip(), "Exit");  // the main window's section is not its own
    QString label;
    QTimer::singleShot(200, [&] {
        if (auto* about = qobject_cast<TAboutBox*>(QApplication::activeModalWidget())) {
            label = about->Label1->text();
            about->close();
        }
    });
    Click(viewer.Form->bLogo);
    EXPECT_EQ(label, "Seiten im Speicher");
    test::OnModal<TFAddFavorite>([&](TFAddFavorite& box) {
        label = box.bCancel->text();
        box.reject();
    });
    viewer.Form->mNewFavorite->trigger();
    EXPECT_EQ(label, "Abbrechen");
}

TEST(MainForm, TypingPageNumbers) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    ASSERT_TRUE(WaitFor([&] { return form.Pipeline()->Pages().FindPage(0x101, 0) != nullptr; }));
    Click(form.bPause);  // nothing arrives from here on: the page stays still
    const QImage before = form.PageImage();

    Click(form.DigitButtons[1]);
    Click(form.DigitButtons[2]);
    EXPECT_EQ(form.sSearchStr->text(), "12");
    EXPECT_EQ(form.PageImage(), before);  // two digits show only in the label
    EXPECT_EQ(form.View().CurrentPage, 0x100);
    EXPECT_TRUE(form.History().empty());

    Click(form.DigitButtons[3]);
    EXPECT_EQ(form.View().CurrentPage, 0x123);
    EXPECT_TRUE(form.View().WaitingForPage);  // the demo has no page 123
    ASSERT_EQ(form.History().size(), 1u);
    EXPECT_EQ(form.History()[0].Page, 0x100);  // the page that was left
    Reference waiting;
    const Canvas& expected =
        waiting.Draw([](GraphicsRenderer& r, Canvas& c) { r.DrawWaitingHeader(c, 0x123, "000", false); });
    EXPECT_TRUE(SameCells(form.PageCanvasForTest(), expected, 0, 0, 20));  // "Search page 123...000"

    // A fourth digit starts a new entry.
    Click(form.DigitButtons[4]);
    EXPECT_EQ(form.sSearchStr->text(), "4");
    EXPECT_EQ(form.View().PageEntry, "4");

    // Keyboard and keypad; letters A to F only on the keyboard.
    Type(form, "01");
    EXPECT_EQ(form.View().CurrentPage, 0x401);
    Type(form, "89");
    Type(form, "A");   // 89A is refused
    EXPECT_EQ(form.View().CurrentPage, 0x401);
    EXPECT_EQ(form.sSearchStr->text(), "");
    const std::size_t entries = form.History().size();
    Type(form, "999");
    Type(form, "050");
    EXPECT_EQ(form.View().CurrentPage, 0x401);
    EXPECT_EQ(form.History().size(), entries + 2);  // refused entries are recorded too
    QTest::keyClick(&form, Qt::Key_G);
    QTest::keyClick(&form, Qt::Key_1, Qt::KeypadModifier);
    QTest::keyClick(&form, Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(form.sSearchStr->text(), "10");  // G did nothing
    QTest::keyClick(&form, Qt::Key_1, Qt::KeypadModifier);
    EXPECT_EQ(form.View().CurrentPage, 0x101);
    EXPECT_FALSE(form.View().WaitingForPage);  // stored: shown at once, also while paused
    ASSERT_TRUE(form.View().ShownPage);
    EXPECT_EQ(form.View().ShownPage->PageNo, 0x101);
    EXPECT_EQ(form.sSearchStr->text(), "101");
    Type(form, "899");
    EXPECT_EQ(form.View().CurrentPage, 0x899);
    Type(form, "1A0");
    EXPECT_EQ(form.View().CurrentPage, 0x1A0);
}

TEST(MainForm, WaitingHeaderShowsEachArrivingPageUntilTheWantedOneComes) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    Type(form, "123");
    // Every arriving page rewrites the header with its number.
    const std::vector<std::uint16_t> demoPages = {0x100, 0x101, 0x102, 0x150, 0x160, 0x170, 0x190,
                                                  0x1A0, 0x200, 0x300, 0x400, 0x470, 0x480, 0x500};
    std::vector<std::unique_ptr<Reference>> references;
    for (std::uint16_t page : demoPages) {
        references.push_back(std::make_unique<Reference>());
        references.back()->Draw([&](GraphicsRenderer& r, Canvas& c) {
            r.DrawWaitingHeader(c, 0x123, PageNumberText(page), false);
        });
    }
    std::set<std::uint16_t> seen;
    WaitFor([&] {
        for (std::size_t i = 0; i < demoPages.size(); ++i)
            if (SameCells(form.PageCanvasForTest(), references[i]->Result(), 0, 0, 20)) seen.insert(demoPages[i]);
        return seen.size() >= 3;
    }, 8000);
    EXPECT_GE(seen.size(), 3u);
    EXPECT_TRUE(form.View().WaitingForPage);

    Type(form, "150");  // a carousel: each sub-page that arrives is drawn in full
    ASSERT_TRUE(viewer.WaitForShown(0x150));
    std::set<int> subPages;
    WaitFor([&] {
        if (form.View().ShownPage) subPages.insert(static_cast<int>(form.View().ShownPage->SubCode));
        return subPages.size() >= 2;
    }, 15000);
    EXPECT_GE(subPages.size(), 2u);
}

TEST(MainForm, HeaderClockRunsWhileTheFirstCellsKeepTheWindowsPage) {
    const auto folder = std::filesystem::temp_directory_path() / ("orvtt_pages_" + std::to_string(::getpid()));
    test::WriteTtiPage(folder, 123, {"Page one two three"});
    test::WriteTtiPage(folder, 456, {"Page four five six"});
    Viewer viewer(folder.string(), 1600);
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation(false));
    Type(form, "123");
    ASSERT_TRUE(viewer.WaitForShown(0x123));
    Reference reference;
    const Canvas& own = reference.Draw([](GraphicsRenderer& r, Canvas& c) { r.DrawHeaderPageNumber(c, 0x123, false); });
    const auto clock = HeaderPixels(form.PageCanvasForTest(), 32, 39);
    // Page 456 keeps arriving: the clock moves on, the first eleven cells stay "123".
    EXPECT_TRUE(WaitFor([&] { return HeaderPixels(form.PageCanvasForTest(), 32, 39) != clock; }, 4000));
    EXPECT_TRUE(SameCells(form.PageCanvasForTest(), own, 0, 0, 10));
    EXPECT_EQ(form.View().CurrentPage, 0x123);
    EXPECT_EQ(form.sSearchStr->text(), "123");
    // A subtitle page with its header suppressed leaves the running header alone.
    form.SetPause(true);
    const auto header = HeaderPixels(form.PageCanvasForTest(), 11, 39);
    auto subtitle = test::MakePage(0x888, 0, {});
    subtitle->SuppressHeader = 1;
    form.View().RefreshPage(SharedPage(*subtitle, nullptr), 0x888);
    EXPECT_EQ(HeaderPixels(form.PageCanvasForTest(), 11, 39), header);
    std::filesystem::remove_all(folder);
}

TEST(MainForm, DisplayModesShowTheStoredPageWithoutWaiting) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    form.SetPause(true);
    const PageRef page = form.View().ShownPage;

    form.mText->trigger();
    EXPECT_EQ(form.DisplayMode(), kModeText);
    EXPECT_TRUE(form.p_Text->isVisibleTo(&form));
    EXPECT_FALSE(form.p_Teletext->isVisibleTo(&form));
    const std::u16string text = PageText(*page);
    const QString shown = form.p_Text->toPlainText();
    EXPECT_TRUE(shown.contains(QString::fromStdU16String(text.substr(42 * 2, 40))));

    form.mVTX->trigger();
    EXPECT_TRUE(form.p_Teletext->isVisibleTo(&form));
    EXPECT_FALSE(form.p_Text->isVisibleTo(&form));
    Reference reference;
    const Canvas& expected = reference.Draw([&](GraphicsRenderer& r, Canvas& c) { r.DrawPage(c, *page, false, false); });
    for (int row = 1; row < 25; ++row) EXPECT_TRUE(SameCells(form.PageCanvasForTest(), expected, row, 0, 39)) << row;

    // The mode menu offers the four modes, then the level, then the subtitles;
    // the two with TV are off without a TV.
    const auto items = form.pm_VTX_Mode->actions();
    ASSERT_EQ(items.size(), 8);
    EXPECT_EQ(items[1]->text(), "Teletext view + TV (mix)");
    EXPECT_EQ(items[3]->data().toInt(), 13);
    EXPECT_TRUE(items[4]->isSeparator());
    EXPECT_EQ(items[5], form.mLevel);
    EXPECT_EQ(items[7]->menu(), form.mSubtitles);
}

TEST(MainForm, PauseStopsTheDisplayAndSwapsTheButtonFace) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    const QImage playing = form.bPause->Picture().toImage();
    EXPECT_EQ(playing, form.img_KPause->pixmap().toImage());

    Click(form.bPause);
    EXPECT_TRUE(form.Paused());
    EXPECT_TRUE(form.Pipeline()->Collectors().CapturePaused());
    EXPECT_EQ(form.bPause->Picture().toImage(), form.img_KPlay->pixmap().toImage());
    QTest::qWait(300);  // what was queued before the pause is dropped
    const int count = form.PageCount();
    const QImage still = form.PageImage();
    QTest::qWait(600);
    EXPECT_EQ(form.PageCount(), count);
    EXPECT_EQ(form.PageImage(), still);  // the clock stands still

    Click(form.bPause);
    EXPECT_FALSE(form.Paused());
    EXPECT_EQ(form.bPause->Picture().toImage(), playing);
    EXPECT_TRUE(WaitFor([&] { return form.PageImage() != still; }, 4000));
}

TEST(MainForm, PageListOffersDecimalPagesOnly) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    ASSERT_TRUE(WaitFor([&] { return form.Pipeline()->Pages().FindPage(0x1A0, 0) != nullptr; }, 8000));
    ASSERT_TRUE(WaitFor([&] { return form.Pipeline()->Pages().FindPage(0x500, 0) != nullptr; }, 8000));

    Click(form.sSearchStr);
    ASSERT_TRUE(form.cPageList->isVisibleTo(&form));
    QStringList items;
    for (int i = 0; i < form.cPageList->count(); ++i) items << form.cPageList->itemText(i);
    EXPECT_FALSE(items.contains("1A0"));
    EXPECT_TRUE(items.contains("100"));
    EXPECT_TRUE(items.contains("500"));
    QStringList sorted = items;
    sorted.sort();
    EXPECT_EQ(items, sorted);
    EXPECT_EQ(form.cPageList->currentText(), "100");

    const int index = form.cPageList->findText("101");
    ASSERT_GE(index, 0);
    emit form.cPageList->activated(index);
    EXPECT_FALSE(form.cPageList->isVisibleTo(&form));
    EXPECT_EQ(form.View().CurrentPage, 0x101);
    EXPECT_TRUE(form.History().empty());  // no history entry from the list

    Click(form.sSearchStr);
    Click(form.Panel3);  // a click beside it closes the list
    EXPECT_FALSE(form.cPageList->isVisibleTo(&form));
    Click(form.sSearchStr);
    Click(form.Image8);  // and one on the picture below the pad
    EXPECT_FALSE(form.cPageList->isVisibleTo(&form));
}

TEST(MainForm, HistorySteppingStaysWithinItsBounds) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    Click(form.bPagePrev);  // empty history: nothing
    EXPECT_EQ(form.HistoryIndex(), -1);
    Type(form, "101");
    Type(form, "102");
    ASSERT_EQ(form.History().size(), 2u);
    EXPECT_EQ(form.History()[0].Page, 0x100);
    EXPECT_EQ(form.History()[1].Page, 0x101);
    EXPECT_EQ(form.HistoryIndex(), 1);
    EXPECT_TRUE(form.History()[1].Name.empty());
    EXPECT_EQ(form.History()[1].Source, -1);

    Click(form.bPageNext);  // at the last entry: nothing
    EXPECT_EQ(form.HistoryIndex(), 1);
    EXPECT_EQ(form.View().CurrentPage, 0x102);
    Click(form.bPagePrev);
    EXPECT_EQ(form.HistoryIndex(), 0);
    EXPECT_EQ(form.View().CurrentPage, 0x100);
    Click(form.bPagePrev);  // at index 0: nothing
    EXPECT_EQ(form.HistoryIndex(), 0);
    EXPECT_EQ(form.View().CurrentPage, 0x100);
    Click(form.bPageNext);
    EXPECT_EQ(form.HistoryIndex(), 1);
    EXPECT_EQ(form.View().CurrentPage, 0x101);
    EXPECT_EQ(form.History().size(), 2u);  // stepping never appends
}

// Two stations one after the other in a looping recording.
std::filesystem::path TwoStationRecording() {
    const auto file = std::filesystem::temp_directory_path() / ("orvtt_two_" + std::to_string(::getpid()) + ".t42");
    std::ofstream out(file, std::ios::binary);
    for (const char* station : {"ALPHA TV", "BRAVO TV"}) {
        BroadcastOptions options;
        options.StationName = station;
        DemoBroadcast broadcast(BuiltInDemoPages(), options);
        std::vector<tVTXPacket> packets(1600 * 4);
        broadcast.Fill(packets);
        out.write(reinterpret_cast<const char*>(packets.data()), static_cast<std::streamsize>(packets.size() * 42));
    }
    return file;
}

TEST(MainForm, StationChangeGoesToPage100UnlessAJumpCameJustBefore) {
    const auto recording = TwoStationRecording();
    Viewer viewer(recording.string(), 3200);
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(WaitFor([&] { return !form.sStationName->text().startsWith("Station"); }, 8000));
    ASSERT_TRUE(viewer.WaitForShown(0x100));
    const QString first = form.sStationName->text().trimmed();
    Type(form, "101");
    ASSERT_TRUE(viewer.WaitForShown(0x101));
    ASSERT_TRUE(WaitFor([&] { return form.sStationName->text().trimmed() != first; }, 10000));
    EXPECT_EQ(form.View().CurrentPage, 0x100);
    EXPECT_TRUE(form.sStationName->text().contains("TV"));

    // A history jump absorbs the next change.
    Type(form, "102");
    Type(form, "101");      // history: 100, 100, 102
    Click(form.bPagePrev);  // back to 100 ...
    Click(form.bPageNext);  // ... and forward to 102: a jump
    EXPECT_EQ(form.View().CurrentPage, 0x102);
    const QString station = form.sStationName->text();
    ASSERT_TRUE(WaitFor([&] { return form.Pipeline()->Dispatcher().CurrentStationName() != station.toStdString(); },
                        10000));
    QTest::qWait(50);
    EXPECT_EQ(form.View().CurrentPage, 0x102);
    EXPECT_EQ(form.sStationName->text(), station);
    std::filesystem::remove(recording);
}

// Every label of a window shows its text as it stands, never as markup.
void ExpectPlainTextLabels(const QWidget& window) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) continue;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << window.objectName().toStdString() << "."
                                                      << label->objectName().toStdString();
    }
}

// A station's name (packet 30) and its page headers are the broadcaster's
// text: markup in them reaches no window as markup.
TEST(MainForm, BroadcastTextIsShownAsPlainTextInEveryWindow) {
    const std::string hostile = "<b>X</b><img src=a>";  // fits the 20 characters of packet 30
    const auto recording =
        std::filesystem::temp_directory_path() / ("orvtt_markup_" + std::to_string(::getpid()) + ".t42");
    {
        BroadcastOptions options;
        options.StationName = hostile;
        options.HeaderLabel = "<b>H</b>";
        DemoBroadcast broadcast(BuiltInDemoPages(), options);
        std::vector<tVTXPacket> packets(1600 * 4);
        broadcast.Fill(packets);
        std::ofstream(recording, std::ios::binary)
            .write(reinterpret_cast<const char*>(packets.data()), static_cast<std::streamsize>(packets.size() * 42));
    }
    Viewer viewer(recording.string(), 3200);
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    EXPECT_EQ(form.sStationName->text().toStdString(), hostile);
    ExpectPlainTextLabels(form);
    form.mTextClick();
    EXPECT_EQ(form.p_Text->document()->toPlainText().indexOf("<b>H</b>"), 12);  // line 0, column 12

    QTest::mouseClick(form.bNewWindow, Qt::LeftButton);
    TFMultiPage& extra = *form.Shared().extraWindows.back();
    EXPECT_EQ(extra.windowTitle().toStdString(), hostile + ":Page 100");
    ExpectPlainTextLabels(extra);

    test::OnModal<TFAddFavorite>([&](TFAddFavorite& box) {
        ExpectPlainTextLabels(box);
        QTest::mouseClick(box.bOk, Qt::LeftButton);
    });
    form.mNewFavorite->trigger();
    ASSERT_EQ(form.Favorites().size(), 1u);
    EXPECT_EQ(form.Favorites()[0].ChannelName, hostile);
    std::string channelShown;
    test::OnModal<TFFavorite>([&](TFFavorite& editor) {
        editor.lFavorite->setCurrentRow(0);
        editor.lFavoriteClick();
        channelShown = editor.sChannel->text().toStdString();
        ExpectPlainTextLabels(editor);
        QTest::mouseClick(editor.bClose, Qt::LeftButton);
    });
    form.mEditFavorites->trigger();
    EXPECT_EQ(channelShown, hostile);
    TAboutBox about(form, "1.2.3.4", false, [] { return 0; });
    ExpectPlainTextLabels(about);
    ExpectPlainTextLabels(TFSplash("1.2.3.4"));
    std::filesystem::remove(recording);
}

TEST(MainForm, AboutBoxCountsPagesWhileOpen) {
    Viewer viewer("demo", 1600);
    TMainForm& form = *viewer.Form;
    TAboutBox box(form, form.VersionString(), form.UseCaptureDll(), [&] { return form.PageCount(); });
    EXPECT_EQ(box.Version->text(), "0.1.0.0DShow");
    EXPECT_EQ(box.size(), QSize(297, 236));
    EXPECT_EQ(box.windowTitle(), "Info");
    EXPECT_EQ(box.Label1->text(), "Pages in cache");
    EXPECT_EQ(box.Timer1->interval(), 500);
    box.show();
    const QString first = box.sPageCount->text();
    EXPECT_TRUE(WaitFor([&] { return box.sPageCount->text() != first; }, 3000));
    EXPECT_EQ(box.sPageCount->text().toInt() > 0, true);

    // The logo button opens it modally; its close button ends it.
    QTimer::singleShot(200, [] {
        auto* modal = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
        if (modal) QTest::mouseClick(modal->bClose, Qt::LeftButton);
    });
    Click(form.bLogo);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MainForm, HeadlineAndAboutPanelDragTheirWindows) {
    Viewer viewer;
    TMainForm& form = *viewer.Form;
    const QPoint start = form.pos();
    QTest::mousePress(form.sHeadline, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(form.sHeadline, QPoint(40, 30));
    QTest::mouseRelease(form.sHeadline, Qt::LeftButton, {}, QPoint(40, 30));
    EXPECT_EQ(form.pos() - start, QPoint(30, 20));
    QTest::mouseMove(form.sHeadline, QPoint(60, 60));  // released: no more moving
    EXPECT_EQ(form.pos() - start, QPoint(30, 20));

    TAboutBox box(form, "1.2.3.4", false, [] { return 7; });
    box.show();
    EXPECT_EQ(box.Version->text(), "1.2.3.4");  // no "DShow" without the capture library
    EXPECT_EQ(box.sPageCount->text(), "7");
    const QPoint boxStart = box.pos();
    QTest::mousePress(box.Panel3, Qt::LeftButton, {}, QPoint(100, 10));
    QTest::mouseMove(box.Panel3, QPoint(90, 25));
    QTest::mouseRelease(box.Panel3, Qt::LeftButton, {}, QPoint(90, 25));
    EXPECT_EQ(box.pos() - boxStart, QPoint(-10, 15));
}

TEST(Splash, PictureSizeNameAndVersion) {
    TFSplash splash("3.0.0.141");
    EXPECT_EQ(splash.size(), QSize(400, 270));
    EXPECT_EQ(splash.sName1->text(), "ORV Teletext");
    EXPECT_EQ(splash.sName2->geometry().topLeft() - splash.sName1->geometry().topLeft(), QPoint(1, 1));
    EXPECT_EQ(splash.sVer1->text(), "3.0.0.141");
    EXPECT_EQ(splash.sVer2->text(), "3.0.0.141");
    EXPECT_EQ(splash.sVer1->width(), 200);
    EXPECT_EQ(splash.sName1->font().pixelSize(), 35);
    EXPECT_TRUE(splash.sName1->font().bold());
    EXPECT_TRUE(TFSplash("").sVer1->text().isEmpty());  // no version: shown empty
}

}  // namespace
}  // namespace orv
