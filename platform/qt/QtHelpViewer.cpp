#include "platform/qt/QtHelpViewer.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

namespace orv {

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 480;

std::unique_ptr<QTextBrowser> MakeWindow() {
    auto browser = std::make_unique<QTextBrowser>();
    browser->setWindowTitle(QStringLiteral("ORV Teletext Help"));
    browser->resize(kWidth, kHeight);
    browser->setOpenExternalLinks(true);
    return browser;
}

}  // namespace

QtHelpViewer::QtHelpViewer() = default;
QtHelpViewer::~QtHelpViewer() = default;

bool QtHelpViewer::OpenContents(const std::string& helpFile) {
    const QFileInfo info(QString::fromStdString(helpFile));
    if (!info.isFile() || !info.isReadable()) return false;
    const QString path = info.absoluteFilePath();
    if (!browser_) browser_ = MakeWindow();
    const bool wasShown = browser_->isVisible();

    // Help files keep their old names (".HLP"), so the kind is given rather
    // than guessed from the name; the file's own URL lets relative links and
    // pictures resolve against its folder.
    const QUrl url = QUrl::fromLocalFile(path);
    browser_->setSearchPaths({info.absolutePath()});
    if (browser_->source() == url)
        browser_->reload();
    else
        browser_->setSource(url, QTextDocument::HtmlResource);
    shownFile_ = path;

    browser_->show();
    if (wasShown) {  // a window just shown is on top already
        browser_->raise();
        browser_->activateWindow();
    }
    return true;
}

void QtHelpViewer::Quit() {
    browser_.reset();
    shownFile_.clear();
}

bool QtHelpViewer::IsOpen() const {
    return browser_ && browser_->isVisible();
}

QString QtHelpViewer::ShownFile() const {
    return shownFile_;
}

}  // namespace orv
