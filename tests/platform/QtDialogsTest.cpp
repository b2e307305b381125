// Message boxes, the busy cursor and the UI thread on the Qt event loop.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtHourglass.h"
#include "platform/qt/QtUiThread.h"

namespace orv {
namespace {

// Presses a button of the message box that is open once the loop runs,
// noting the caption and button texts it found.
struct BoxAnswer {
    QString Caption;
    QStringList Buttons;
    Qt::TextFormat Format = Qt::AutoText;
};

void AnswerNextBox(const QString& press, BoxAnswer& seen) {
    QTimer::singleShot(50, [press, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.Caption = box->windowTitle();
        seen.Format = box->textFormat();
        for (QAbstractButton* b : box->buttons()) seen.Buttons << b->text();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == press) b->click();
    });
}

TEST(QtDialogs, GermanCaptionsAndButtonsAndTheAnswerPressed) {
    QtDialogs dialogs;
    BoxAnswer seen;
    AnswerNextBox("&Wiederholen", seen);
    EXPECT_EQ(dialogs.MessageBox(DialogKind::Confirmation, "Cannot start capturing",
                                 {DialogButton::Retry, DialogButton::Cancel}),
              DialogButton::Retry);
    EXPECT_EQ(seen.Caption, QString::fromUtf8("Bestätigung"));
    EXPECT_EQ(seen.Buttons, (QStringList{"&Wiederholen", "Abbrechen"}));

    AnswerNextBox("Abbrechen", seen = {});
    EXPECT_EQ(dialogs.MessageBox(DialogKind::Confirmation, "x", {DialogButton::Retry, DialogButton::Cancel}),
              DialogButton::Cancel);

    AnswerNextBox("OK", seen = {});
    EXPECT_EQ(dialogs.MessageBox(DialogKind::Information, "Start channel scan", {DialogButton::OK}),
              DialogButton::OK);
    EXPECT_EQ(seen.Caption, "Information");

    // A station's name in the text is shown as it is, never as markup.
    AnswerNextBox("OK", seen = {});
    dialogs.MessageBox(DialogKind::Plain, "Please change your video source to channel:<b>X</b><img src=a>",
                       {DialogButton::OK});
    EXPECT_EQ(seen.Format, Qt::PlainText);

    // Closed without a button: Cancel where there is one.
    QTimer::singleShot(50, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    EXPECT_EQ(dialogs.MessageBox(DialogKind::Confirmation, "x", {DialogButton::Retry, DialogButton::Cancel}),
              DialogButton::Cancel);
}

TEST(QtUiThread, WorkerStepsAreServedByTheLoopInsideAModalBoxAndWhileWaiting) {
    QtUiThread ui;
    std::atomic<int> ranOnUi{0};
    const auto uiThread = std::this_thread::get_id();
    auto step = [&] {
        if (std::this_thread::get_id() == uiThread) ++ranOnUi;
    };

    // While a modal box runs its own loop.
    std::atomic<bool> workerDone{false};
    std::thread modalWorker;
    QTimer::singleShot(0, [&] {
        modalWorker = std::thread([&] {
            ui.RunAndWait(step);
            workerDone = true;
        });
    });
    // The box is closed once the worker's step has run inside its loop.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget(); box && workerDone) box->close();
    });
    closer.start(10);
    QtDialogs().MessageBox(DialogKind::Information, "waiting", {DialogButton::OK});
    modalWorker.join();
    EXPECT_TRUE(workerDone);
    EXPECT_EQ(ranOnUi, 1);

    // While the UI thread waits for a worker that needs it.
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < 10; ++i) ui.RunAndWait(step);
        finished = true;
    });
    ui.ServeUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(ranOnUi, 11);

    // On the UI thread itself a step runs at once.
    ui.RunAndWait(step);
    EXPECT_EQ(ranOnUi, 12);
}

TEST(QtBusyCursor, TheHourglassLastsForTheScopeAndNests) {
    QtBusyCursor cursor;
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        HourglassGuard outer(cursor);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            HourglassGuard inner(cursor);
        }
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace orv
