// The main window on the simulated TV card: start-up through the VBI device
// with the TV link, tuning, the source menu, the video window in the four
// modes, restarts when the TV player comes and goes, and the start-up
// dialogs and failures.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QEventLoop>
#include <QMenu>
#include <QMessageBox>
#include <QCheckBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTextEdit>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <iterator>

#include "ViewerFixture.h"
#include "acquisition/ORVTTApi.h"
#include "drivers/dvb/DvbSettings.h"
#include "drivers/tv/SimCardSettings.h"
#include "platform/qt/X11WindowProbe.h"
#include "tv/TVDriver.h"
#include "tv/UTVPanelDetect.h"
#include "windows/AddFavoriteDialog.h"
#include "windows/ImageButton.h"
#include "windows/PageBox.h"
#include "windows/VideoWindow.h"

namespace orv {
namespace {

using test::Viewer;
using test::WaitFor;

const std::string kSimCard = std::string(ORVTT_DRIVER_DIR) + "/orvtt-simtv.so";

std::string ChannelKey(int n) { return std::string(kTunerChannelsKey) + "\\" + std::to_string(n); }

// The capture library steps aside; the VBI device plays what the card tunes.
std::function<void(Registry&)> SimulatedCard(const std::function<void(Registry&)>& more = {}) {
    return [more](Registry& registry) {
        registry.WriteString(kTVDriverKey, kTVDriverValue, kSimCard);
        registry.WriteString(kVbiSettingsKey, "Backend", "simcard");
        registry.WriteInteger(kVbiSettingsKey, "Rate", 16000);
        registry.WriteInteger(kTunerChannelsKey, "Current Channel", 2);
        for (int n = 1; n <= 12; ++n) registry.CreateKey(ChannelKey(n));
        registry.WriteString(ChannelKey(1), "Channel Name", "Demo One");
        registry.WriteString(ChannelKey(2), "Channel Name", "Demo Two");
        registry.WriteString(ChannelKey(3), "Channel Name", "Demo Three");
        if (more) more(registry);
    };
}

void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

std::string Text(const QLabel* label) { return label->text().toStdString(); }

bool WaitForStationOtherThan(Viewer& viewer, const std::string& old) {
    return WaitFor([&] {
        const std::string now = viewer.Form->Pipeline()->Dispatcher().CurrentStationName();
        return !now.empty() && now != old;
    }, 8000);
}

TEST(MainTV, StartsOnTheSimulatedCardAndTunesByButtonsAndList) {
    Viewer viewer("none", 16000, 0x0409, SimulatedCard());
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(form.Started());
    EXPECT_FALSE(form.UseCaptureDll());
    EXPECT_TRUE(form.mTV_VTX->isEnabled());
    ASSERT_NE(form.Video(), nullptr);
    EXPECT_EQ(form.Tuner().MinChannel, 1);
    EXPECT_EQ(form.Tuner().MaxChannel, 12);
    EXPECT_EQ(form.Tuner().CurrentChannel, 2);  // the TV player's channel
    EXPECT_EQ(Text(form.sChannelName), "Demo Two");
    EXPECT_TRUE(form.bSource->isVisibleTo(&form));
    EXPECT_TRUE(form.pm_Cable->isChecked());
    EXPECT_TRUE(form.bChannelDown->isVisibleTo(&form));
    ASSERT_TRUE(viewer.WaitForStation());
    const std::string two = form.Pipeline()->Dispatcher().CurrentStationName();

    Click(form.bChannelDown);  // "Next channel"
    EXPECT_EQ(form.Tuner().CurrentChannel, 3);
    EXPECT_EQ(Text(form.sChannelName), "Demo Three");
    ASSERT_TRUE(WaitForStationOtherThan(viewer, two));
    EXPECT_TRUE(viewer.WaitForShown(0x100));

    // Wrap-around at both ends; channel 12 carries no teletext.
    form.Tuner().CurrentChannel = 1;
    Click(form.bChannelUp);  // "Prev channel"
    EXPECT_EQ(form.Tuner().CurrentChannel, 12);
    EXPECT_EQ(Text(form.sChannelName), "12");  // the highest channel has no table entry
    QTest::qWait(500);  // what was already on its way from channel 1
    form.Pipeline()->Pages().ClearPageDatabase();
    QTest::qWait(500);
    EXPECT_EQ(form.Pipeline()->Pages().PageCount(), 0);
    Click(form.bChannelDown);
    EXPECT_EQ(form.Tuner().CurrentChannel, 1);

    // The list: the current channel selected, another one chosen.
    form.sChannelNameClick();
    EXPECT_EQ(form.cChannelNames->currentText().toStdString(), "Demo One");
    form.cChannelNames->setCurrentIndex(form.cChannelNames->findText("Demo Three"));
    emit form.cChannelNames->activated(form.cChannelNames->currentIndex());
    EXPECT_TRUE(form.cChannelNames->isHidden());
    EXPECT_EQ(form.Tuner().CurrentChannel, 3);

    // A history entry of the tuner source tunes its channel; its station
    // change does not send the window back to page 100.
    tPageInfo entry;
    entry.Source = 1;
    entry.Channel = 2;
    entry.Page = 0x101;
    form.GoToPageInfo(entry);
    EXPECT_EQ(form.Tuner().CurrentChannel, 2);
    ASSERT_TRUE(viewer.WaitForShown(0x101));
    QTest::qWait(300);
    EXPECT_EQ(form.View().CurrentPage, 0x101);

    // Another source: no tuner controls, the station name instead.
    form.pm_Composite->trigger();
    EXPECT_EQ(form.VideoSource(), 0);
    EXPECT_FALSE(form.bChannelUp->isVisibleTo(&form));
    EXPECT_TRUE(form.sStationName->isVisibleTo(&form));

    viewer.Stop();
    EXPECT_EQ(viewer.Reg().ReadInteger(kTeletextSettingsKey, "LastChannel"), 2u);
    EXPECT_EQ(viewer.Reg().ReadInteger(kTeletextSettingsKey, "LastSource"), 0u);
}

TEST(MainTV, AnUnnamedChannelLearnsItsNameFromTheFirstPage) {
    // Channel 4 sends a blank station name; its key exists without a name.
    Viewer viewer("none", 16000, 0x0409, SimulatedCard([](Registry& registry) {
        registry.WriteInteger(kTeletextSettingsKey, "LastChannel", 4);
    }));
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(form.Started());
    EXPECT_EQ(form.Tuner().CurrentChannel, 4);
    ASSERT_TRUE(WaitFor([&] { return Text(form.sChannelName) == "4 Name?"; }, 8000));
    EXPECT_EQ(viewer.Reg().ReadString(ChannelKey(4), "Channel Name"), "4 Name?");
    EXPECT_NE(form.cChannelNames->findText("4 Name?"), -1);
}

// A favorite of the tuner keeps its channel and tunes it back when chosen.
TEST(MainTV, AFavoriteOnTheTunerTunesItsChannelBack) {
    Viewer viewer("none", 16000, 0x0409, SimulatedCard());
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(viewer.WaitForStation());
    std::string channelShown;
    test::OnModal<TFAddFavorite>([&](TFAddFavorite& box) {
        channelShown = box.sChannel->text().toStdString();
        EXPECT_TRUE(box.cbNotifyChannel->isHidden());
        QTest::keyClicks(box.eFavorite, "Two");
        QTest::mouseClick(box.bOk, Qt::LeftButton);
    });
    form.mNewFavorite->trigger();
    EXPECT_EQ(channelShown, "Demo Two");
    ASSERT_EQ(form.Favorites().size(), 1u);
    EXPECT_EQ(form.Favorites()[0], (tPageInfo{"Two", 1, 2, 0x100, 0, false, "Demo Two"}));

    const std::string two = form.Pipeline()->Dispatcher().CurrentStationName();
    Click(form.bChannelDown);
    ASSERT_TRUE(WaitForStationOtherThan(viewer, two));
    form.BuildFavoritesMenu();
    form.pmFavoriteBase->actions().at(0)->trigger();
    EXPECT_EQ(form.Tuner().CurrentChannel, 2);
    EXPECT_EQ(Text(form.sChannelName), "Demo Two");
    EXPECT_TRUE(viewer.Dialogs.Shown.empty());
    ASSERT_TRUE(WaitFor([&] { return form.Pipeline()->Dispatcher().CurrentStationName() == two; }, 8000));
}

TEST(MainTV, TheVideoWindowDocksByModeAndMovesWithTheWindow) {
    Viewer viewer("none", 16000, 0x0409, SimulatedCard());
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(form.Started());
    VideoWindow* video = form.Video();
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->objectName().toStdString(), kVideoWindowClass);
    EXPECT_FALSE(video->isVisibleTo(&form));  // nothing to see in the plain mode
    EXPECT_FALSE(video->Ticking());           // and nothing asked for
    const auto idle = video->FramesShown();
    QTest::qWait(200);
    EXPECT_EQ(video->FramesShown(), idle);

    form.mTV_VTXClick();
    EXPECT_TRUE(video->Ticking());
    EXPECT_EQ(video->parentWidget(), form.p_Teletext);
    EXPECT_TRUE(video->isVisibleTo(&form));
    EXPECT_EQ(video->geometry(), form.p_Teletext->contentsRect());
    const auto frames = video->FramesShown();
    EXPECT_TRUE(WaitFor([&] { return video->FramesShown() > frames + 3; }));

    form.mTextClick();
    EXPECT_FALSE(video->Ticking());
    form.mTV_TextClick();
    EXPECT_TRUE(video->Ticking());
    EXPECT_EQ(video->parentWidget(), form.pTVPanel);
    EXPECT_EQ(video->geometry(), form.pTVPanel->contentsRect());
    EXPECT_TRUE(form.p_Text->isVisibleTo(&form));
    form.mVTXClick();
    EXPECT_EQ(video->parentWidget(), form.p_Teletext);
    EXPECT_FALSE(form.pTVPanel->isVisibleTo(&form));
    EXPECT_FALSE(video->Ticking());
}

TEST(MainTV, ThePlayerComingAndGoingRestartsTheLinkAndStepsTheModes) {
    Viewer viewer("none", 16000, 0x0409, SimulatedCard([](Registry& registry) {
        registry.WriteInteger(kTeletextSettingsKey, "VTXMode", 1);
    }));
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(form.Started());
    ASSERT_EQ(form.DisplayMode(), kModeTeletextTV);

    // The player's panel opens: the viewer gives up its own picture.
    viewer.Desktop.Set({{kPlayerPanelClass, "panel"}});
    ASSERT_TRUE(WaitFor([&] { return form.Video() == nullptr && !form.TVStateChanged(); }, 3000));
    EXPECT_FALSE(form.mTV_VTX->isEnabled());
    EXPECT_EQ(form.DisplayMode(), kModeTeletext);
    EXPECT_TRUE(form.Driver().Loaded());
    EXPECT_TRUE(form.bSource->isVisibleTo(&form));  // kept as it was

    // It ends: the own picture is back, without the mode stepped up (it was
    // 0 when this restart began).
    const auto gone = std::chrono::steady_clock::now();
    viewer.Desktop.Set({});
    ASSERT_TRUE(WaitFor([&] { return form.Video() != nullptr; }, 3000));
    EXPECT_LT(std::chrono::steady_clock::now() - gone, std::chrono::milliseconds(1500));
    EXPECT_TRUE(form.mTV_VTX->isEnabled());
    EXPECT_EQ(form.DisplayMode(), kModeTeletext);

    // A restart in mix mode steps down and back up.
    form.mTV_VTXClick();
    form.RestartTV();
    EXPECT_EQ(form.DisplayMode(), kModeTeletextTV);
    ASSERT_NE(form.Video(), nullptr);
    EXPECT_EQ(form.Video()->parentWidget(), form.p_Teletext);
    EXPECT_TRUE(viewer.Dialogs.Shown.empty());
}

// The restart waits for the idle main loop: never inside a dialog, a menu or
// another restart, however the flag comes up meanwhile.
TEST(MainTV, ARestartWaitsUntilNoDialogMenuOrRestartRuns) {
    using B = DialogButton;
    Viewer viewer("none", 16000, 0x0409, SimulatedCard());
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(form.Started());
    auto restarted = [&, handle = form.Driver().Handle()]() mutable {
        const bool changed = form.Driver().Handle() != handle;
        handle = form.Driver().Handle();
        return changed;
    };

    // A message box (a nested loop of its own) and a popup menu.
    QMessageBox box;
    QTimer::singleShot(50, [&] { form.RaiseTVStateChanged(); });
    QTimer::singleShot(400, &box, &QMessageBox::accept);
    box.exec();
    EXPECT_FALSE(restarted());
    EXPECT_TRUE(form.TVStateChanged());
    ASSERT_TRUE(WaitFor([&] { return !form.TVStateChanged(); }, 2000));
    EXPECT_TRUE(restarted());
    form.m_Save->popup(form.mapToGlobal(QPoint(10, 10)));
    form.RaiseTVStateChanged();
    QTest::qWait(300);
    EXPECT_FALSE(restarted());
    form.m_Save->hide();
    ASSERT_TRUE(WaitFor([&] { return !form.TVStateChanged(); }, 2000));
    EXPECT_TRUE(restarted());

    // A restart that asks a question: the flag raised meanwhile waits for its end.
    viewer.Reg().WriteString(kTVDriverKey, kTVDriverValue, std::string(ORVTT_DRIVER_DIR) + "/OrvTTCap.dll");
    viewer.Dialogs.Answers = {B::Cancel, B::OK, B::Cancel, B::OK};
    viewer.Dialogs.WhileShown = [&] {
        viewer.Dialogs.WhileShown = {};
        form.RaiseTVStateChanged();
        QEventLoop loop;  // the box's own loop
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    };
    form.RestartTV();
    const std::vector<std::string> once = {"Cannot start ORV TV display",
                                           "Cannot restart Teletext collecting, please restart ORV Teletext application"};
    std::vector<std::string> texts;
    for (const auto& shown : viewer.Dialogs.Shown) texts.push_back(shown.Text);
    EXPECT_EQ(texts, once);
    EXPECT_TRUE(form.TVStateChanged());
    ASSERT_TRUE(WaitFor([&] { return !form.TVStateChanged() && viewer.Dialogs.Shown.size() == 4; }, 2000));
    EXPECT_EQ(viewer.Dialogs.Shown[2].Text, once[0]);
}

TEST(MainTV, StartUpDialogsAndFailures) {
    using B = DialogButton;
    {   // A driver without the video window class: retried, then given up.
        Viewer viewer("none", 16000, 0x0409, SimulatedCard([](Registry& registry) {
            registry.WriteString(kTVDriverKey, kTVDriverValue, std::string(ORVTT_DRIVER_DIR) + "/OrvTTCap.dll");
        }), {}, {B::Retry, B::Cancel});
        EXPECT_FALSE(viewer.Form->Started());
        EXPECT_EQ(viewer.Form->StartFailure(),
                  "No teletext source could be started.\n"
                  "Capture library: " + std::string(ORVTT_DRIVER_DIR) + "/OrvTTCap.dll: ORVTTCAP_Open failed: "
                  "replay \"Source\" is \"none\"\n"
                  "VBI device: the TV driver's video window could not be started");
        ASSERT_EQ(viewer.Dialogs.Shown.size(), 2u);
        EXPECT_EQ(viewer.Dialogs.Shown[1].Text, "Cannot start ORV TV display");
        EXPECT_EQ(viewer.Dialogs.Shown[1].Kind, DialogKind::Confirmation);
        EXPECT_EQ(viewer.Dialogs.Shown[1].Buttons, (std::vector<B>{B::Retry, B::Cancel}));
    }
    {   // Capture cannot start: Cancel goes on without it.
        Viewer viewer("none", 16000, 0x0409, SimulatedCard([](Registry& registry) {
            registry.WriteString(kVbiSettingsKey, "Backend", "v4l2");
            registry.WriteString(kVbiSettingsKey, "Device", "/nonexistent/vbi0");
        }), {}, {B::Retry, B::Cancel});
        EXPECT_TRUE(viewer.Form->Started());
        ASSERT_EQ(viewer.Dialogs.Shown.size(), 2u);
        EXPECT_EQ(viewer.Dialogs.Shown[0].Text, "Cannot start capturing");
        EXPECT_NE(viewer.Form->Video(), nullptr);
    }
    {   // A range that ends below its start cannot be tabled: the program ends.
        Viewer viewer("none", 16000, 0x0409, SimulatedCard([](Registry& registry) {
            registry.WriteInteger(kSimCardKey, "MinChannel", 10);
            registry.WriteInteger(kSimCardKey, "MaxChannel", 5);
        }));
        EXPECT_FALSE(viewer.Form->Started());
        EXPECT_TRUE(viewer.Dialogs.Shown.empty());
        EXPECT_NE(viewer.Form->StartFailure().find("\nVBI device: "), std::string::npos);
    }
    {   // The DVB library with a source that is not there, and no TV driver:
        // each source tried and why it failed.
        Viewer viewer("demo", 16000, 0x0409, [](Registry& registry) {
            registry.WriteString(kCaptureDllKey, kCaptureDllValue, std::string(ORVTT_DRIVER_DIR) + "/dvb");
            registry.WriteString(kDvbKey, "Source", "/nonexistent/rec.ts");
            registry.WriteString(kDvbKey, "ServiceName", "Das Erste");
        });
        EXPECT_FALSE(viewer.Form->Started());
        EXPECT_EQ(viewer.Form->StartFailure(),
                  "No teletext source could be started.\n"
                  "Capture library: " + std::string(ORVTT_DRIVER_DIR) + "/dvb/OrvTTCap.dll: ORVTTCAP_Open failed: "
                  "DVB \"Source\" /nonexistent/rec.ts (\"ServiceName\" \"Das Erste\"): cannot open "
                  "/nonexistent/rec.ts: No such file or directory\n"
                  "VBI device: no TV driver: no \"driver\" value under "
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\ORV Technologies\\Capture Driver\\Settings\\Config");
    }
    {   // Channel 0 lists nothing: with the player's tuner key, ask for a scan.
        Viewer viewer("none", 16000, 0x0409, SimulatedCard([](Registry& registry) {
            registry.WriteInteger(kSimCardKey, "MinChannel", 0);
        }));
        EXPECT_TRUE(viewer.Form->Started());
        ASSERT_EQ(viewer.Dialogs.Shown.size(), 1u);
        EXPECT_EQ(viewer.Dialogs.Shown[0].Text, "Start channel scan inside TV before using the teletext application");
        EXPECT_EQ(viewer.Dialogs.Shown[0].Kind, DialogKind::Information);
        EXPECT_EQ(viewer.Form->cChannelNames->count(), 0);
    }
}

TEST(MainTV, ADriverErrorFromAChannelButtonIsReportedAndCaptureResumes) {
    Viewer viewer("none", 16000, 0x0409, SimulatedCard());
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(form.Started());
    form.bPauseClick();
    ASSERT_TRUE(form.Paused());
    form.ReleaseTV();  // as after a restart that failed: no library behind the buttons
    viewer.Dialogs.Answers = {DialogButton::OK};
    Click(form.bChannelDown);
    ASSERT_EQ(viewer.Dialogs.Shown.size(), 1u);
    EXPECT_EQ(viewer.Dialogs.Shown[0].Text, "16-bit routine not found");
    EXPECT_EQ(viewer.Dialogs.Shown[0].Kind, DialogKind::Plain);
    EXPECT_FALSE(form.Paused());
    EXPECT_FALSE(form.Pipeline()->Collectors().CapturePaused());
}

// A colour of the simulated card's test picture that no teletext page has:
// its bars at 75 % (each channel 0 or 0xC0) and the running band that
// inverts them (each channel 0x3F or 0xFF).
bool TestPictureColour(QRgb c) {
    const int channels[] = {qRed(c), qGreen(c), qBlue(c)};
    const auto all = [&](int a, int b) {
        return std::all_of(std::begin(channels), std::end(channels), [&](int v) { return v == a || v == b; });
    };
    const auto any = [&](int a) { return std::any_of(std::begin(channels), std::end(channels), [&](int v) { return v == a; }); };
    return (all(0, 0xC0) && any(0xC0)) || (all(0x3F, 0xFF) && any(0x3F));
}

// Under an X server: the picture really shows through the page's key colour.
TEST(Screenshot, MixModeShowsThePictureThroughThePageBackground) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server";
    Viewer viewer("none", 16000, 0x0409, SimulatedCard());
    TMainForm& form = *viewer.Form;
    ASSERT_TRUE(form.Started());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(viewer.WaitForShown(0x100));
    form.mTV_VTXClick();
    QTest::qWait(400);
    const QImage shot = form.screen()->grabWindow(form.winId()).toImage();
    // Row 5 of the page: below the header, mostly background on the demo's index.
    const QPoint page = form.VTXBox->mapTo(&form, QPoint(0, 0));
    const auto count = [&](const QImage& image) {
        std::pair<int, int> pictureAndKey{0, 0};
        for (int y = page.y() + 16; y < page.y() + 360; y += 7)
            for (int x = page.x(); x < page.x() + 480; x += 7) {
                const QRgb c = image.pixel(x, y) & 0xFFFFFF;
                if (c == 0xFF00FF) ++pictureAndKey.second;
                else if (TestPictureColour(c)) ++pictureAndKey.first;
            }
        return pictureAndKey;
    };
    const auto [picture, key] = count(shot);
    EXPECT_EQ(key, 0) << "the key colour is drawn instead of the picture";
    EXPECT_GT(picture, 500);
    // The plain teletext view of the same page has none of those colours.
    form.mVTXClick();
    QTest::qWait(400);
    EXPECT_EQ(count(form.screen()->grabWindow(form.winId()).toImage()).first, 0);
    shot.save(QString::fromStdString((viewer.Folder() / "mix.png").string()));
}

}  // namespace
}  // namespace orv
