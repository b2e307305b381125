// The help viewer: a small window of its own that shows a help file's HTML.
#pragma once

#include <QString>

#include <memory>

#include "platform/HelpViewer.h"

class QTextBrowser;

namespace orv {

class QtHelpViewer : public HelpViewer {
public:
    QtHelpViewer();
    ~QtHelpViewer() override;
    QtHelpViewer(const QtHelpViewer&) = delete;
    QtHelpViewer& operator=(const QtHelpViewer&) = delete;

    bool OpenContents(const std::string& helpFile) override;
    void Quit() override;

    // Whether the window is shown, and the help file it was last opened on.
    bool IsOpen() const;
    QString ShownFile() const;
    // The window, for looking at what it shows; null while there is none.
    const QTextBrowser* Window() const { return browser_.get(); }

private:
    std::unique_ptr<QTextBrowser> browser_;
    QString shownFile_;
};

}  // namespace orv
