// The viewer program as a user starts it: one instance, orderly end on a
// signal, and (under Xvfb) a look at the window.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestRegistry.h"
#include "acquisition/ORVTTApi.h"
#include "drivers/dvb/DvbSettings.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/qt/X11WindowProbe.h"
#include "windows/MainSettings.h"
#include "windows/ViewerFixture.h"

namespace orv {
namespace {

// A home of the program's own: registry, temp folder, runtime folder.
class ProgramHome {
public:
    ProgramHome() {
        static int counter = 0;
        folder_ = std::filesystem::temp_directory_path() /
                  ("orvtt_prog_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        for (const char* sub : {"tmp", "run", "config"}) std::filesystem::create_directories(folder_ / sub);
        std::filesystem::permissions(folder_ / "run", std::filesystem::perms::owner_all);
    }
    ~ProgramHome() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Registry() const { return (folder_ / "registry.reg").string(); }
    // The font file in the program's private folder under its runtime folder.
    std::filesystem::path FontFile() const {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder_ / "run", ec))
            if (entry.path().filename().string().rfind("orvtt-font.", 0) == 0) return entry.path() / "ORVTTX.FON";
        return folder_ / "run" / "orvtt-font.none" / "ORVTTX.FON";
    }
    // Private folders of the program left in the runtime folder.
    int FontFolders() const {
        int count = 0;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder_ / "run", ec))
            count += entry.path().filename().string().rfind("orvtt-font.", 0) == 0;
        return count;
    }

    // extra: more environment, over the home's own.
    std::unique_ptr<QProcess> Start(const std::vector<std::pair<QString, QString>>& extra = {}) const {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVTT_REGISTRY", QString::fromStdString(Registry()));
        env.insert("TMPDIR", QString::fromStdString((folder_ / "tmp").string()));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((folder_ / "run").string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((folder_ / "config").string()));
        if (!env.contains("QT_QPA_PLATFORM")) env.insert("QT_QPA_PLATFORM", "offscreen");
        for (const auto& [name, value] : extra) env.insert(name, value);
        process->setProcessEnvironment(env);
        process->start(ORVTT_VIEWER, {});
        return process;
    }

private:
    std::filesystem::path folder_;
};

// SIGTERM, as a log-out sends it; only to a viewer still running (a pid of 0
// would reach the whole process group).
void Terminate(QProcess& viewer) {
    const qint64 pid = viewer.processId();
    if (pid > 0) ::kill(static_cast<pid_t>(pid), SIGTERM);
}

// SIGTERM (a log-out): exit 0 with threads stopped, font file removed and the
// settings written.
void ExpectEndInOrderOnSignal(QProcess& viewer, const ProgramHome& home) {
    Terminate(viewer);
    ASSERT_TRUE(viewer.waitForFinished(5000));
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer.exitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(home.FontFile()));
    EXPECT_EQ(home.FontFolders(), 0);  // the private folder went with the program
    Registry registry(home.Registry());
    EXPECT_EQ(registry.ReadInteger(kTeletextSettingsKey, "VTXMode"), 0u);
    EXPECT_TRUE(registry.ReadString(kTeletextSettingsKey, "Language").has_value());
}

TEST(Program, SecondInstanceEndsAtOnceAndTheFirstEndsInOrderOnASignal) {
    ProgramHome home;
    // A viewer killed outright leaves its font folder; the next start removes it.
    auto killed = home.Start();
    ASSERT_TRUE(killed->waitForStarted(5000));
    ASSERT_TRUE(test::WaitFor([&] { return std::filesystem::exists(home.FontFile()); }, 10000));
    const auto killedFolder = home.FontFile().parent_path();
    killed->kill();
    ASSERT_TRUE(killed->waitForFinished(5000));
    ASSERT_TRUE(std::filesystem::exists(killedFolder));

    auto first = home.Start();
    ASSERT_TRUE(first->waitForStarted(5000));
    // Running once its font file is written and its splash second is over.
    ASSERT_TRUE(test::WaitFor([&] {
        return !std::filesystem::exists(killedFolder) && std::filesystem::exists(home.FontFile());
    }, 10000));
    QTest::qWait(500);
    ASSERT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(home.FontFolders(), 1);  // its own only

    QElapsedTimer clock;
    clock.start();
    auto second = home.Start();
    ASSERT_TRUE(second->waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), 1000);  // no splash second
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    ExpectEndInOrderOnSignal(*first, home);
}

// Settings with which no teletext source can start: the DVB library on a
// recording that is not there, and no TV driver for the VBI device.
void NoSourceSettings(const ProgramHome& home) {
    Registry registry(home.Registry());
    registry.WriteString(kCaptureDllKey, kCaptureDllValue, std::string(ORVTT_DRIVER_DIR) + "/dvb");
    registry.WriteString(kDvbKey, "Source", "/nonexistent/rec.ts");
}

// The viewer says why on standard error and on the screen, and ends with a
// failure, also when the box is ended by a signal.
TEST(Program, ASourceThatCannotStartIsReportedAndEndsAsAFailure) {
    ProgramHome home;
    NoSourceSettings(home);
    auto viewer = home.Start();
    ASSERT_TRUE(viewer->waitForStarted(5000));
    QByteArray said;
    ASSERT_TRUE(test::WaitFor([&] {
        said += viewer->readAllStandardError();
        return said.contains("/nonexistent/rec.ts") && said.contains("\"driver\"");
    }, 10000)) << said.toStdString();
    EXPECT_TRUE(said.startsWith("orvtt: No teletext source could be started.")) << said.toStdString();
    QTest::qWait(300);
    EXPECT_EQ(viewer->state(), QProcess::Running);  // the box waits for the user
    Terminate(*viewer);
    ASSERT_TRUE(viewer->waitForFinished(5000));
    EXPECT_EQ(viewer->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer->exitCode(), 1);
    EXPECT_EQ(home.FontFolders(), 0);
}

// An X server of a test's own, on the first free display.
class OwnXServer {
public:
    OwnXServer() {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty()) return;
        // The server writes its display number once it takes connections.
        server_.start(xvfb, {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        if (!server_.waitForStarted(5000)) return;
        QElapsedTimer clock;
        clock.start();
        while (!server_.canReadLine() && clock.elapsed() < 10000) server_.waitForReadyRead(200);
        const QByteArray number = server_.readLine().trimmed();
        if (!number.isEmpty()) display_ = ":" + QString::fromLatin1(number);
    }
    ~OwnXServer() {
        server_.terminate();
        if (!server_.waitForFinished(3000)) server_.kill();
        server_.waitForFinished(1000);
    }
    const QString& Display() const { return display_; }  // empty: none

private:
    QProcess server_;
    QString display_;
};

// One user on two desktops: a viewer on each; a second start on either one
// still ends at once.
TEST(Program, EachDisplayOfAUserRunsOneViewer) {
    OwnXServer one, two;
    if (one.Display().isEmpty() || two.Display().isEmpty()) GTEST_SKIP() << "no Xvfb";
    ProgramHome home;
    const auto on = [&](const QString& display) {
        return home.Start({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display}});
    };
    auto first = on(one.Display());
    ASSERT_TRUE(test::WaitFor([&] { return home.FontFolders() == 1; }, 10000));
    QTest::qWait(1500);  // its splash second is over and its window shown
    auto second = on(two.Display() + ".0");
    ASSERT_TRUE(test::WaitFor([&] { return home.FontFolders() == 2; }, 10000));
    QTest::qWait(1500);
    ASSERT_EQ(first->state(), QProcess::Running);
    ASSERT_EQ(second->state(), QProcess::Running);

    for (const QString& display : {QString("unix") + one.Display(), two.Display()}) {
        QElapsedTimer clock;
        clock.start();
        auto again = on(display);
        ASSERT_TRUE(again->waitForFinished(5000)) << display.toStdString();
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(again->exitCode(), 0);
    }
    for (auto* viewer : {first.get(), second.get()}) {
        Terminate(*viewer);
        ASSERT_TRUE(viewer->waitForFinished(5000));
        EXPECT_EQ(viewer->exitCode(), 0);
    }
    EXPECT_EQ(home.FontFolders(), 0);
}

TEST(Program, ASignalWhileTheDamagedSettingsBoxWaitsStillEndsInOrder) {
    ProgramHome home;
    const std::string damaged = "not a registry file\n\xff\n";
    std::ofstream(home.Registry(), std::ios::binary) << damaged;
    auto viewer = home.Start();
    ASSERT_TRUE(viewer->waitForStarted(5000));
    ASSERT_TRUE(test::WaitFor([&] { return std::filesystem::exists(home.FontFile()); }, 10000));
    QTest::qWait(1500);  // the splash second is over; the box about the damaged file waits
    ASSERT_EQ(viewer->state(), QProcess::Running);

    ExpectEndInOrderOnSignal(*viewer, home);
    std::ifstream kept(home.Registry() + ".bad", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);  // the damaged file is kept
}

// Under Xvfb (the test command runs this one with xvfb-run): the window as the
// X server shows it, saved next to the build for a person to look at.
TEST(Screenshot, MainWindowShowsPage100) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server";
    test::Viewer viewer("demo", 1600);
    TMainForm& form = *viewer.Form;
    form.show();
    X11WindowProbe::SetWindowClass(form.winId(), "orvtt", kMainWindowClass);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(viewer.WaitForShown(0x100));
    QTest::qWait(300);
    X11WindowProbe probe;
    EXPECT_TRUE(HasWindowOfClass(probe, kMainWindowClass));

    const QPixmap shot = form.screen()->grabWindow(form.winId());
    EXPECT_EQ(shot.size(), QSize(632, 467));
    ASSERT_TRUE(shot.save(ORVTT_SCREENSHOT));
    // The page area is not empty: page 100 is drawn in several colours.
    const QImage page = shot.toImage().copy(6, 33, 490, 375);
    std::set<QRgb> colours;
    for (int y = 0; y < page.height(); y += 3)
        for (int x = 0; x < page.width(); x += 3) colours.insert(page.pixel(x, y));
    EXPECT_GE(colours.size(), 4u);
}

// Under Xvfb: the boxes the program shows (about a damaged settings file,
// about no source) carry exactly their captions on the X server, with
// nothing appended.
TEST(Screenshot, TheProgramsBoxesCarryExactlyTheirCaptions) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server";
    ProgramHome home;
    std::ofstream(home.Registry(), std::ios::binary) << "not a registry file\n";
    auto viewer = home.Start();
    ASSERT_TRUE(viewer->waitForStarted(5000));
    X11WindowProbe probe;
    EXPECT_TRUE(test::WaitFor([&] { return HasWindowTitled(probe, "Information"); }, 10000));
    for (const TopLevelWindow& window : probe.TopLevelWindows())
        EXPECT_EQ(window.Title.find(" \xE2\x80\x94 "), std::string::npos) << window.Title;  // " — "
    ExpectEndInOrderOnSignal(*viewer, home);

    // No source: the main window never shows, the box does, under the program's title.
    ProgramHome failing;
    NoSourceSettings(failing);
    auto alone = failing.Start();
    ASSERT_TRUE(alone->waitForStarted(5000));
    EXPECT_TRUE(test::WaitFor([&] { return HasWindowTitled(probe, "ORV Teletext"); }, 10000));
    EXPECT_FALSE(HasWindowOfClass(probe, kMainWindowClass));
    Terminate(*alone);
    ASSERT_TRUE(alone->waitForFinished(5000));
    EXPECT_EQ(alone->exitCode(), 1);
}

}  // namespace
}  // namespace orv
