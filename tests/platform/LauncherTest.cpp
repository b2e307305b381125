// The web-address launcher and the save dialog's filters. The launcher runs a
// stand-in opener that writes down the arguments it got, so the test sees
// exactly what a real xdg-open would receive.
#include "platform/qt/XdgLauncher.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

#include "platform/qt/QtSaveDialog.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

class Launch : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("orvtt_launch_" + std::to_string(::getpid()));
        fs::create_directories(folder);
        opener = folder / "opener";
        std::ofstream(opener) << "#!/bin/sh\n"
                                 "{ echo \"$#\"; for a in \"$@\"; do printf '%s|' \"$a\"; done; } > \""
                              << (folder / "args.tmp").string() << "\"\n"
                              << "mv \"" << (folder / "args.tmp").string() << "\" \"" << (folder / "args").string()
                              << "\"\n";
        fs::permissions(opener, fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(folder); }

    // The arguments the opener got: their count, then each followed by "|".
    std::string Received() {
        if (!QTest::qWaitFor([&] { return fs::exists(folder / "args"); }, 5000)) return "nothing";
        std::ifstream in(folder / "args");
        std::ostringstream text;
        text << in.rdbuf();
        fs::remove(folder / "args");
        return text.str();
    }

    fs::path folder, opener;
};

TEST_F(Launch, AnAddressFromThePageIsOneArgumentAndRunsNothing) {
    XdgLauncher launcher(opener.string());
    const std::string marker = (folder / "ran").string();
    const std::string hostile = "http://www.x.de/a;touch " + marker + ";$(touch " + marker + ")`touch " + marker +
                                "`'\"&|>" + marker;
    ASSERT_TRUE(launcher.WinExec("start " + hostile, kSwHide));
    EXPECT_EQ(Received(), "1\n" + hostile + "|");
    ASSERT_TRUE(launcher.WinExec("start http://a b  c", kSwHide));
    EXPECT_EQ(Received(), "1\nhttp://a b  c|");
    EXPECT_FALSE(fs::exists(marker));

    // Nothing that the opener could take for an option, nothing but "start".
    EXPECT_FALSE(launcher.WinExec("start -www.x.de", kSwHide));
    EXPECT_FALSE(launcher.WinExec("start --help", kSwHide));
    EXPECT_FALSE(launcher.WinExec("start ", kSwHide));
    EXPECT_FALSE(launcher.WinExec("rm -rf /tmp/x", kSwHide));
    QTest::qWait(200);
    EXPECT_FALSE(fs::exists(folder / "args"));

    // No opener installed: a quiet failure.
    EXPECT_FALSE(XdgLauncher((folder / "missing").string()).WinExec("start http://x", kSwHide));
    EXPECT_FALSE(XdgLauncher("orvtt-no-such-opener").WinExec("start http://x", kSwHide));
}

// Answers the next modal file dialog: looks at it, then chooses a name or cancels.
void AnswerFileDialog(std::function<void(QFileDialog&)> answer) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        timer->stop();
        timer->deleteLater();
        answer(*dialog);
    });
    timer->start(20);
}

TEST(QtSaveDialog, TheSettingsReachTheDialogAndTheChosenNameComesBack) {
    const fs::path folder = fs::temp_directory_path() / ("orvtt_savedialog_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const SaveDialogSettings settings{"TXT", "Textfiles (*.TXT)|*.TXT", "Save page as text", "Page123.TXT",
                                      kOverwritePrompt | kEnableSizing};
    QtSaveDialog dialog;
    QString title, suffix, offered;
    QStringList filters;
    bool confirms = false;
    AnswerFileDialog([&](QFileDialog& d) {
        title = d.windowTitle();
        suffix = d.defaultSuffix();
        filters = d.nameFilters();
        confirms = !d.testOption(QFileDialog::DontConfirmOverwrite);
        offered = d.selectedFiles().value(0);
        // Typed as a user types it: a whole path into the name field.
        auto* name = d.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString((folder / "mine").string()));
        QMetaObject::invokeMethod(&d, "accept");
    });
    std::string chosen;
    ASSERT_TRUE(dialog.Execute(settings, chosen));
    EXPECT_EQ(title, "Save page as text");
    EXPECT_EQ(suffix, "TXT");
    EXPECT_EQ(filters, QStringList{"Textfiles (*.TXT)"});
    EXPECT_TRUE(confirms);
    EXPECT_TRUE(offered.endsWith("Page123.TXT"));
    EXPECT_EQ(chosen, (folder / "mine.TXT").string());  // the default extension added

    AnswerFileDialog([](QFileDialog& d) { d.reject(); });
    EXPECT_FALSE(dialog.Execute(settings, chosen));
    fs::remove_all(folder);
}

TEST(QtSaveDialogFilters, DescriptionAndPatternPairs) {
    EXPECT_EQ(QtNameFilters("Textfiles (*.TXT)|*.TXT"), QStringList{"Textfiles (*.TXT)"});
    EXPECT_EQ(QtNameFilters("Images|*.BMP;*.DIB|All (*.*)|*.*"), (QStringList{"Images (*.BMP *.DIB)", "All (*.*)"}));
    EXPECT_TRUE(QtNameFilters("").isEmpty());
}

}  // namespace
}  // namespace orv
