#include "app/Program.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <thread>

#include "drivers/vbi/VbiBackend.h"
#include "platform/Locale.h"
#include "platform/PrivateFolder.h"
#include "platform/Registry.h"
#include "platform/Version.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtHelpViewer.h"
#include "platform/qt/QtHourglass.h"
#include "platform/qt/QtSaveDialog.h"
#include "platform/qt/QtSingleInstance.h"
#include "platform/qt/QtUiThread.h"
#include "platform/qt/QuitOnSignal.h"
#include "platform/qt/X11WindowProbe.h"
#include "platform/qt/XdgLauncher.h"
#include "windows/MainForm.h"
#include "windows/Splash.h"

namespace orv {

namespace {

constexpr char kFontFolderPrefix[] = "orvtt-font.";
constexpr int kStartFailed = 1;  // exit status when no source could be started

void ShowSplashForASecond(TFSplash& splash) {
    splash.show();
    splash.repaint();
    QApplication::processEvents();
    // The splash stands still for its second: nothing else is going on yet.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
}

}  // namespace

int RunViewer(int argc, char** argv) {
    // Read before the X11 platform takes it off the command line.
    const QString displayArgument = DisplayArgument(argc, argv);
    QApplication app(argc, argv);

    X11WindowProbe probe;
    QtSingleInstance instance(probe, QtSingleInstance::CurrentDisplayKey(displayArgument));
    if (instance.OtherInstanceRunning()) return 0;
    // From here on a log-out or Ctrl+C ends the program in order, also while
    // start-up is still going on or a message box waits.
    QuitOnSignal quitOnSignal;

    const std::string version = ReadVersionInfo(ProgramFileName());
    auto splash = std::make_unique<TFSplash>(version);
    ShowSplashForASecond(*splash);
    // No application display name: the window system would append it to every
    // caption ("Information — ORV Teletext"), and the captions are the designed texts.

    Registry registry(Registry::DefaultPath());
    DeviceTable devices;
    RegisterVbiDevice(devices, registry);
    QtUiThread ui;
    PageWindowTable windows;
    QtDialogs dialogs(kApplicationTitle);
    QtHelpViewer help;
    QtSaveDialog saveDialog;
    QtPrintDialog printDialog;
    QtBusyCursor cursor;
    XdgLauncher launcher;
    const PageWindowServices pageServices{windows, dialogs, help, saveDialog, printDialog, cursor, launcher};
    // The font file's folder: this process's own, gone again when it ends.
    // Those of viewers that were killed are removed first.
    RemoveAbandonedFolders(PrivateFolderParent(), kFontFolderPrefix);
    const PrivateFolder fontFolder(PrivateFolderParent(), kFontFolderPrefix);
    auto form = std::make_unique<TMainForm>(MainFormServices{registry, devices, ui, probe, pageServices, ProgramFileName(),
                                                             GetUserDefaultLangID(), version,
                                                             orv::FontFileName(fontFolder.Path())});
    splash.reset();
    if (!form->Started()) {
        // Said aloud, on the terminal and on the screen, and ended as a failure.
        const std::string reason = form->StartFailure();
        form.reset();
        std::fprintf(stderr, "orvtt: %s\n", reason.c_str());
        std::fflush(stderr);
        if (!quitOnSignal.Requested()) dialogs.MessageBox(DialogKind::Plain, reason, {DialogButton::OK});
        return kStartFailed;
    }

    form->show();
    // Only the main window carries the class a second start looks for.
    if (QGuiApplication::platformName() == "xcb")
        X11WindowProbe::SetWindowClass(form->winId(), "orvtt", kMainWindowClass);
    instance.Claim();
    const auto damage = registry.TakeDamageReport();
    if (damage && !quitOnSignal.Requested())
        dialogs.MessageBox(DialogKind::Information, *damage, {DialogButton::OK});
    // Closing the main window ends the program, whatever else is open.
    QObject::connect(form.get(), &TMainForm::FormClosed, &app, &QApplication::quit, Qt::QueuedConnection);
    const int result = quitOnSignal.Requested() ? 0 : QApplication::exec();
    form.reset();  // shutdown: threads stopped, settings written, font removed
    return result;
}

}  // namespace orv
