// A main window on the demo broadcast for the viewer benchmarks, with its own
// registry file and font folder, and services that answer nothing.
#pragma once

#include <QApplication>
#include <QTest>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>

#include "drivers/replay/ReplaySettings.h"
#include "drivers/vbi/VbiBackend.h"
#include "tests/DesktopProbe.h"
#include "platform/Registry.h"
#include "platform/qt/QtUiThread.h"
#include "windows/MainForm.h"

namespace orv::bench {

class NoDialogs : public Dialogs {
public:
    DialogButton MessageBox(DialogKind, const std::string&, const std::vector<DialogButton>& b) override {
        return b.empty() ? DialogButton::OK : b.front();
    }
};
class NoHelp : public HelpViewer {
public:
    bool OpenContents(const std::string&) override { return false; }
    void Quit() override {}
};
class NoSaveDialog : public SaveDialog {
public:
    bool Execute(const SaveDialogSettings&, std::string&) override { return false; }
};
class NoPrintDialog : public PrintDialog {
public:
    bool Execute(QPrinter&) override { return false; }
};
class NoCursor : public BusyCursor {
public:
    void Begin() override {}
    void End() override {}
};
class NoLauncher : public Launcher {
public:
    bool WinExec(const std::string&, int) override { return false; }
};

inline std::filesystem::path BenchFolder() {
    const auto folder = std::filesystem::temp_directory_path() / ("orvtt_viewer_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

class BenchViewer {
public:
    // rate: the replay's packets per second (0: as fast as it can).
    // prepare: more settings before the window starts.
    explicit BenchViewer(int rate = 16000, const std::function<void(Registry&)>& prepare = {})
        : folder_(BenchFolder()), registryPath_((folder_ / "registry.reg").string()), registry_(registryPath_) {
        ::setenv("ORVTT_REGISTRY", registryPath_.c_str(), 1);
        registry_.WriteInteger(kReplayKey, "Rate", static_cast<std::uint32_t>(rate));
        if (prepare) prepare(registry_);
        RegisterVbiDevice(devices_, registry_);
        const PageWindowServices page{windows_, dialogs_, help_, save_, print_, cursor_, launcher_};
        Form = std::make_unique<TMainForm>(MainFormServices{registry_, devices_, ui_, desktop_, page,
                                                            (folder_ / "orvtt").string(), 0x0409, "0.1.0.0",
                                                            (folder_ / "ORVTTX.FON").string()});
        Form->show();
    }
    ~BenchViewer() {
        Form.reset();
        ::unsetenv("ORVTT_REGISTRY");
        std::filesystem::remove_all(folder_);
    }
    // Waits until the window is on the screen and the page is stored.
    bool WaitForPage(std::uint16_t pageNo, int milliseconds = 10000) {
        return QTest::qWaitForWindowExposed(Form.get()) &&
               QTest::qWaitFor([&] { return Form->Pipeline()->Pages().FindPage(pageNo, 0) != nullptr; },
                               milliseconds);
    }
    const std::filesystem::path& Folder() const { return folder_; }
    test::DesktopProbe& Desktop() { return desktop_; }

    std::unique_ptr<TMainForm> Form;

private:
    std::filesystem::path folder_;
    std::string registryPath_;
    Registry registry_;
    DeviceTable devices_;
    QtUiThread ui_;
    PageWindowTable windows_;
    NoDialogs dialogs_;
    NoHelp help_;
    NoSaveDialog save_;
    NoPrintDialog print_;
    NoCursor cursor_;
    NoLauncher launcher_;
    test::DesktopProbe desktop_;
};

// The main of a benchmark program with windows: offscreen unless there is a display.
inline int RunWindowBenchmarks(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace orv::bench
