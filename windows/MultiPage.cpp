#include "windows/MultiPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <algorithm>

#include "windows/PageFiles.h"

namespace orv {

namespace {

constexpr PageFormLayout kMultiPageLayout{kMultiPageWidth, kMultiPageHeight, 42, "Panel2", "Panel1", "Page number"};

}  // namespace

TFMultiPage::TFMultiPage(std::shared_ptr<PageWindowShared> shared) : TPageForm(std::move(shared), kMultiPageLayout) {
    setObjectName("FMultiPage");
    view_.SetPages(shared_->pipeline ? &shared_->pipeline->Pages() : nullptr);
    BuildComponents();
    move(kMultiPageDesignedPosition);
    // FormCreate: no page yet, the teletext view, registered for pages.
    view_.CurrentPage = 0;
    view_.CurrentSubPage = 0;
    view_.WaitingForPage = false;
    shared_->renderer.PreparePageCanvas(canvas_.get());
    mVTXClick();
    RegisterForPages();
}

TFMultiPage::~TFMultiPage() { UnregisterFromPages(); }

void TFMultiPage::InitFromWindow(std::uint8_t displayMode, const tPageImage& page,
                                 std::shared_ptr<const PageEnhancements> enhancements, std::uint32_t subPage,
                                 std::uint16_t pageNo) {
    SetPause(true);
    view_.PageSnapshot = page;
    view_.SnapshotEnhancements = std::move(enhancements);
    view_.CurrentPage = pageNo;
    view_.CurrentSubPage = subPage;
    // An opener still waiting for another page shows the copy under that
    // page's number; the new window shows the copy as the page it is.
    if (page.PageNo != pageNo) {
        view_.CurrentPage = page.PageNo;
        view_.CurrentSubPage = static_cast<std::uint32_t>(page.SubCode);
    }
    DrawSnapshot();
    // The "+ TV" modes have no counterpart here.
    if (displayMode == kModeText || displayMode == kModeTextTV)
        mTextClick();
    else
        mVTXClick();
    pageHandedOver_ = true;
}

// Under its own number: while a page typed meanwhile is awaited, the copy
// only updates the header, and is never drawn as that other page.
void TFMultiPage::DrawSnapshot() {
    view_.RefreshPage(SharedPage(view_.PageSnapshot, view_.SnapshotEnhancements), view_.PageSnapshot.PageNo);
}

void TFMultiPage::showEvent(QShowEvent* event) {
    TPageForm::showEvent(event);
    if (pageHandedOver_) return;
    pageHandedOver_ = true;  // only the first show starts on page 100
    view_.ShownPage.reset();
    view_.PageEntry = "100";
    view_.GoToEnteredPage(0);
}

void TFMultiPage::closeEvent(QCloseEvent* event) {
    CloseDropDowns();
    event->accept();
    // Freed on closing: the list lets go of it once this event is over.
    std::weak_ptr<PageWindowShared> weak = shared_;
    QTimer::singleShot(0, qApp, [weak, self = this] {
        const auto shared = weak.lock();
        if (!shared) return;
        auto& windows = shared->extraWindows;
        const auto it = std::find_if(windows.begin(), windows.end(), [&](const auto& w) { return w.get() == self; });
        if (it != windows.end()) windows.erase(it);
    });
}

void TFMultiPage::OnVtxPage(std::uint16_t pageNo, const PageRef& page) {
    if (!paused_) TPageForm::OnVtxPage(pageNo, page);
}

void TFMultiPage::RedrawPage() {
    if (paused_)
        DrawSnapshot();
    else
        view_.RefreshPage(nullptr, 0);
}

void TFMultiPage::ApplyDisplayMode() {
    ShowPageArea(!view_.GraphicsMode(), kPageAreaWidth, 0x000000);
    if (paused_)
        DrawSnapshot();
    else
        view_.RefreshPage(nullptr, view_.CurrentPage);
}

bool TFMultiPage::SetPause(bool on) {
    const bool previous = paused_;
    paused_ = on;
    UpdatePauseButton();
    return previous;
}

void TFMultiPage::bPauseClick() {
    cPageList->hide();
    paused_ = !paused_;
    UpdatePauseButton();
}

bool TFMultiPage::TextClicksIgnored() const {
    return paused_ || (shared_->pipeline && shared_->pipeline->Collectors().CapturePaused());
}

bool TFMultiPage::SaveCurrentText(const std::string& fileName, const tPageImage& page,
                                  const PageEnhancements* enhancements) {
    return ReplacePageText(fileName, page, enhancements);
}

QString TFMultiPage::Caption() const {
    const std::string station = shared_->pipeline ? shared_->pipeline->Dispatcher().CurrentStationName() : "";
    return FromLatin1(station) + ":" + "Page" + " " +
           QString::fromStdString(PageNumberText(view_.CurrentPage));
}

void TFMultiPage::SetCaption() { setWindowTitle(Caption()); }

void TFMultiPage::PageDrawnInFull(std::uint16_t) { SetCaption(); }

void TFMultiPage::PageNumberTaken(std::uint16_t) { SetCaption(); }

void TFMultiPage::bMinimizeClick() {
    CloseDropDowns();
    SetCaption();
    showMinimized();
}

void TFMultiPage::keyReleaseEvent(QKeyEvent* event) {
    // Only keys that reach the window itself: none while one of its controls
    // (the page list, the text page) holds the focus.
    QWidget* focus = QApplication::focusWidget();
    if (!event->isAutoRepeat() && (!focus || focus == this) && (HandleDigitKey(*event) || HandleNavigationKey(*event)))
        return;
    TPageForm::keyReleaseEvent(event);
}

}  // namespace orv
