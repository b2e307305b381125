// The page commands of both page windows: save, print and copy the page on
// view (and, in the main window, every stored page), and follow what a click
// on the page names.
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTextEdit>

#include "platform/qt/QtTextView.h"
#include "rendering/PagePicture.h"
#include "windows/PageBox.h"
#include "windows/PageFiles.h"
#include "windows/PageForm.h"
#include "windows/PageLinks.h"

namespace orv {

namespace {

// The window is designed at this many pixels per inch; a printed page picture
// keeps its size on the screen.
constexpr int kWindowPixelsPerInch = 96;

}  // namespace

QImage TPageForm::SnapshotPicture() const {
    return CanvasImage(DrawPagePicture(shared_->renderer, shared_->fonts, view_.PageSnapshot, view_.SnapshotDrawn()))
        .copy();
}

// ------------------------------------------------------------------ save

void TPageForm::bSaveClick() {
    CloseDropDowns();
    m_Save->popup(QCursor::pos());
}

void TPageForm::SavePages(bool allPages, bool asImage) {
    // Nothing drawn yet: there is no page on view to save.
    if (!allPages && !view_.SnapshotTaken) return;
    CommandPause pause(*this, false);  // no page is stored or replaced meanwhile
    // The file is named after the page it holds, which is not the page
    // awaited while another number has been typed.
    std::string fileName;
    if (!shared_->services.saveDialog.Execute(SaveDialogFor(allPages, asImage, SnapshotPageNo()), fileName)) return;
    try {
        if (allPages) {
            if (shared_->pipeline)
                SaveAllPages(shared_->pipeline->Pages(), shared_->renderer, shared_->fonts, fileName, asImage,
                             view_.Level15);
        } else if (asImage) {
            // What the user sees: the copy of the page last drawn in full,
            // which stays whole when the stored record is replaced or cleared.
            SavePageImage(shared_->renderer, shared_->fonts, fileName, view_.PageSnapshot, view_.SnapshotDrawn());
        } else {
            SaveCurrentText(fileName, view_.PageSnapshot, view_.SnapshotDrawn());
        }
    } catch (...) {
        // A failed save leaves what is saved so far; nothing is reported.
    }
}

// ----------------------------------------------------------------- print

void TPageForm::bPrintClick() {
    CloseDropDowns();
    // Nothing drawn yet: there is no page to print.
    if (!view_.SnapshotTaken) return;
    QPrinter printer(QPrinter::HighResolution);
    // The document is named after the page printed, as a saved file is.
    const QString title = QString::fromStdString(PageNumberText(SnapshotPageNo()));
    if (!view_.GraphicsMode()) {
        if (!shared_->services.printDialog.Execute(printer)) return;
        printer.setDocName(title);
        p_Text->print(&printer);
        return;
    }
    const QImage picture = SnapshotPicture();  // the page as last drawn
    if (!shared_->services.printDialog.Execute(printer)) return;
    printer.setDocName(title);
    PrintPicture(printer, picture);
}

void TPageForm::PrintPicture(QPrinter& printer, const QImage& picture) {
    QPainter painter;
    if (!painter.begin(&printer)) return;
    // Sharp cells on paper: no JPEG in the print file.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    // Proportional: the picture keeps its physical size on the screen.
    const int w = picture.width(), h = picture.height();
    const int printedW = MulDiv(w, printer.logicalDpiX(), kWindowPixelsPerInch);
    const int printedH = MulDiv(h, printer.logicalDpiY(), kWindowPixelsPerInch);
    painter.drawImage(QRect(0, 0, printedW, printedH), picture, QRect(0, 0, w, h));
    painter.end();
}

// ------------------------------------------------------------------ copy

void TPageForm::bCopyClick() {
    CloseDropDowns();
    CommandPause pause(*this, true);
    if (!view_.GraphicsMode()) {
        QTextCursor cursor = p_Text->textCursor();
        if (cursor.hasSelection()) {
            p_Text->copy();
            return;
        }
        // The whole text; afterwards the caret is back, with no selection,
        // and the view is not scrolled to the end.
        const int scrolledTo = p_Text->verticalScrollBar()->value();
        p_Text->selectAll();
        p_Text->copy();
        p_Text->setTextCursor(cursor);
        p_Text->verticalScrollBar()->setValue(scrolledTo);
        return;
    }
    if (!CanCopyPicture()) return;
    QGuiApplication::clipboard()->setImage(SnapshotPicture());
}

// ---------------------------------------------------------------- clicks

void TPageForm::OpenWebAddress(const std::string& address) {
    // A command that cannot be started is not reported.
    shared_->services.launcher.WinExec(WebAddressCommand(address), kSwHide);
}

void TPageForm::VTXBoxClick(QPoint at) {
    CloseDropDowns();
    CommandPause pause(*this, false);
    if (FollowRow24Link(at)) return;
    std::string link;
    int found = 0;
    try {
        found = shared_->renderer.HitTest(view_.PageSnapshot, at.x(), at.y(), link);
    } catch (...) {
        found = 0;
    }
    if (found >= kFirstPage && found <= kLastPage) {
        view_.PageEntry = PageNumberText(static_cast<unsigned>(found));
        view_.GoToEnteredPage(0);
    } else if (found < 0) {
        OpenWebAddress(link);
    }
}

void TPageForm::p_TextMouseDown(int caret) {
    CloseDropDowns();
    if (TextClicksIgnored()) return;
    SetPause(true);
    struct Resume {
        TPageForm& form;
        ~Resume() { form.SetPause(false); }
    } resume{*this};
    const TextClick click = TextClickAt(*textView_, caret);
    if (click.Page != 0) {
        view_.PageEntry = PageNumberText(click.Page);
        view_.GoToEnteredPage(0);
    } else if (IsWebWord(click.Word)) {
        OpenWebAddress(click.Word);
    }
}

}  // namespace orv
