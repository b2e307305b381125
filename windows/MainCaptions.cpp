// The main window's way to the caption window: the "Subtitles" submenu of
// the display-mode menu.
#include <QAction>
#include <QMenu>

#include "windows/CaptionWindow.h"
#include "windows/MainForm.h"

namespace orv {

namespace {

// "888 fra (hard of hearing)", "777 ita", "150", "190 (newsflash)".
QString SubtitleCaption(const SubtitlePage& page) {
    QString caption = QString::fromStdString(PageNumberText(page.Page));
    if (!page.Language.empty()) {
        caption += ' ';
        caption += FromLatin1(page.Language);
    }
    if (page.Type == kDescriptorHardOfHearing) caption += " (hard of hearing)";
    else if (page.Newsflash) caption += " (newsflash)";
    return caption.replace('&', "&&");
}

}  // namespace

void TMainForm::BuildCaptionComponents() {
    pm_VTX_Mode->addSeparator();
    mSubtitles = pm_VTX_Mode->addMenu("Subtitles");
    mSubtitles->setObjectName("mSubtitles");
    connect(mSubtitles, &QMenu::aboutToShow, this, [this] { FillSubtitlesMenu(); });
    FillSubtitlesMenu();
}

// Filled each time it opens: the pages found so far.
void TMainForm::FillSubtitlesMenu() {
    mSubtitles->clear();
    const std::vector<SubtitlePage> pages =
        acquisition_ ? acquisition_->Subtitles().List() : std::vector<SubtitlePage>{};
    for (const SubtitlePage& page : pages) {
        QAction* item = mSubtitles->addAction(SubtitleCaption(page));
        item->setData(page.Page);
        const std::uint16_t pageNo = page.Page;
        connect(item, &QAction::triggered, this, [this, pageNo] { OpenCaption(pageNo); });
    }
    if (pages.empty()) mSubtitles->addAction("none found yet")->setEnabled(false);
    mSubtitles->addSeparator();
    mCaptionPageOnView = mSubtitles->addAction("Page on view");
    mCaptionPageOnView->setObjectName("mCaptionPageOnView");
    mCaptionPageOnView->setEnabled(view_.CurrentPage != 0);
    connect(mCaptionPageOnView, &QAction::triggered, this, [this] { OpenCaption(view_.CurrentPage); });
}

void TMainForm::OpenCaption(std::uint16_t pageNo) {
    CloseDropDowns();
    if (pageNo < 0x100 || pageNo > 0x8FF) return;
    if (!caption_) caption_ = std::make_unique<CaptionWindow>(shared_, services_.registry);
    caption_->ShowPage(pageNo);
}

void TMainForm::CaptionStationChanged() {
    if (caption_ && caption_->isVisible()) caption_->StationChanged();
}

}  // namespace orv
