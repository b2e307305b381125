// A main window on a real pipeline fed by our replay capture library, with
// scripted dialogs and help viewer, its own registry file and font folder.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QPrinter>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TestRegistry.h"
#include "drivers/replay/ReplaySettings.h"
#include "drivers/vbi/VbiBackend.h"
#include "platform/Dialogs.h"
#include "platform/HelpViewer.h"
#include "platform/Hourglass.h"
#include "platform/Launcher.h"
#include "platform/SaveDialog.h"
#include "DesktopProbe.h"
#include "platform/qt/PrintDialog.h"
#include "platform/qt/QtUiThread.h"
#include "windows/MainForm.h"

namespace orv::test {

struct ShownBox {
    DialogKind Kind;
    std::string Text;
    std::vector<DialogButton> Buttons;
};

// Records each box and answers with the next scripted button (else the first).
class ScriptedDialogs : public Dialogs {
public:
    DialogButton MessageBox(DialogKind kind, const std::string& text,
                            const std::vector<DialogButton>& buttons) override {
        Shown.push_back({kind, text, buttons});
        if (WhileShown) WhileShown();
        if (!Answers.empty()) {
            const DialogButton answer = Answers.front();
            Answers.erase(Answers.begin());
            return answer;
        }
        return buttons.empty() ? DialogButton::OK : buttons.front();
    }
    std::vector<ShownBox> Shown;
    std::vector<DialogButton> Answers;
    std::function<void()> WhileShown;  // what the user does while the box is open
};

class ScriptedHelpViewer : public HelpViewer {
public:
    bool OpenContents(const std::string& helpFile) override {
        Opened.push_back(helpFile);
        return true;
    }
    void Quit() override { ++Quits; }
    std::vector<std::string> Opened;
    int Quits = 0;
};

// Records each save dialog and answers with the next scripted name (none: cancel).
class ScriptedSaveDialog : public SaveDialog {
public:
    bool Execute(const SaveDialogSettings& settings, std::string& fileName) override {
        Shown.push_back(settings);
        if (WhileShown) WhileShown();
        if (Answers.empty()) return false;
        fileName = Answers.front();
        Answers.erase(Answers.begin());
        return !fileName.empty();
    }
    std::vector<SaveDialogSettings> Shown;
    std::vector<std::string> Answers;
    std::function<void()> WhileShown;
};

// Confirms with the PDF printer writing to PdfFile, or cancels while that is empty.
class PdfPrintDialog : public PrintDialog {
public:
    bool Execute(QPrinter& printer) override {
        ++Runs;
        if (PdfFile.empty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(PdfFile));
        return true;
    }
    std::string PdfFile;
    int Runs = 0;
};

class CountingCursor : public BusyCursor {
public:
    void Begin() override { ++Depth, ++Shown; }
    void End() override { --Depth; }
    int Depth = 0;
    int Shown = 0;
};

class RecordingLauncher : public Launcher {
public:
    bool WinExec(const std::string& command, int show) override {
        Commands.push_back(command);
        Shows.push_back(show);
        return true;
    }
    std::vector<std::string> Commands;
    std::vector<int> Shows;
};

// Runs the event loop until the condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    return QTest::qWaitFor(condition, milliseconds);
}

class Viewer {
public:
    // Replay settings go into the registry before the window starts.
    // fontFile: where the font is written (empty: in the test's own folder).
    explicit Viewer(const std::string& source = "demo", int rate = 16000, std::uint16_t userLanguage = 0x0409,
                    const std::function<void(Registry&)>& prepare = {}, std::string fontFile = {},
                    std::vector<DialogButton> answers = {})
        : fontFile_(std::move(fontFile)) {
        Dialogs.Answers = std::move(answers);
        registry_->WriteString(kReplayKey, "Source", source);
        registry_->WriteInteger(kReplayKey, "Rate", static_cast<std::uint32_t>(rate));
        if (prepare) prepare(*registry_);
        program_ = (registry_.Folder() / "bin" / "orvtt").string();
        std::filesystem::create_directories(registry_.Folder() / "bin");
        RegisterVbiDevice(devices_, *registry_);
        Start(userLanguage);
    }
    ~Viewer() { Form.reset(); }

    void Start(std::uint16_t userLanguage) {
        const PageWindowServices page{windows_, Dialogs, Help, SaveDialog, Printer, Cursor, Launch};
        Form = std::make_unique<TMainForm>(
            MainFormServices{*registry_, devices_, ui_, Desktop, page, program_, userLanguage, "0.1.0.0", FontFile()});
        if (Form->Started()) Form->show();
    }
    void Stop() { Form.reset(); }

    Registry& Reg() { return *registry_; }
    const std::filesystem::path& Folder() const { return registry_.Folder(); }
    std::string FontFile() const {
        return fontFile_.empty() ? (registry_.Folder() / "ORVTTX.FON").string() : fontFile_;
    }
    std::string ProgramPath() const { return program_; }

    // Waits for the first station name, whose arrival sends the window to
    // page 100 (a change from no station at all); and for page 100 itself.
    bool WaitForStation(bool andPage100 = true, int milliseconds = 8000) {
        return WaitFor([&] {
            const std::string name = Form->Pipeline()->Dispatcher().CurrentStationName();
            return !name.empty() && Form->sStationName->text().toStdString() == name;
        }, milliseconds) && (!andPage100 || WaitForShown(0x100, milliseconds));
    }

    // Waits for the page to be drawn in full.
    bool WaitForShown(std::uint16_t pageNo, int milliseconds = 8000) {
        return WaitFor([&] { return Form->View().ShownPage && Form->View().ShownPage->PageNo == pageNo; },
                       milliseconds);
    }

    ScriptedDialogs Dialogs;
    DesktopProbe Desktop;
    ScriptedHelpViewer Help;
    ScriptedSaveDialog SaveDialog;
    PdfPrintDialog Printer;
    CountingCursor Cursor;
    RecordingLauncher Launch;
    std::unique_ptr<TMainForm> Form;

private:
    std::string fontFile_;
    ScopedRegistry registry_;
    DeviceTable devices_;
    QtUiThread ui_;
    PageWindowTable windows_;
    std::string program_;
};

// Acts on the modal dialog of that class once it is open (poll for up to 5 s).
template <class Dialog, class Act>
void OnModal(Act act, int tries = 250) {
    QTimer::singleShot(20, [act, tries] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
            act(*dialog);
        else if (tries > 0)
            OnModal<Dialog>(act, tries - 1);
    });
}

// Writes a .tti page file: one sub-page, rows as text.
inline void WriteTtiPage(const std::filesystem::path& folder, int page, const std::vector<std::string>& rows) {
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / ("P" + std::to_string(page) + ".tti"));
    out << "PN," << page << "00\r\nSC,0000\r\nPS,8000\r\nCT,8,T\r\n";
    for (std::size_t i = 0; i < rows.size(); ++i) out << "OL," << (i + 1) << "," << rows[i] << "\r\n";
}

}  // namespace orv::test
