// The main window's TV side: the TV link that StartAcquisition sets up and
// RestartTV renews, the video window over the page or beside the text, the
// video source, the channel buttons and list, and the learning of channel
// names from the station name.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMoveEvent>
#include <QTextEdit>

#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "tv/TVDriver.h"
#include "tv/UTVPanelDetect.h"
#include "windows/ImageButton.h"
#include "windows/MainForm.h"
#include "windows/PageBox.h"
#include "windows/VideoWindow.h"

namespace orv {

namespace {

// Acquisition goes on after a tuning, whatever happened in between.
class ResumeAfterTuning {
public:
    explicit ResumeAfterTuning(TMainForm& form) : form_(form) { form_.SetPause(true); }
    ~ResumeAfterTuning() { form_.SetPause(false); }
    ResumeAfterTuning(const ResumeAfterTuning&) = delete;
    ResumeAfterTuning& operator=(const ResumeAfterTuning&) = delete;

private:
    TMainForm& form_;
};

}  // namespace

void TMainForm::BuildTVComponents() {
    tvDriver_ = std::make_unique<TVDriver>(services_.registry);
    bChannelUp->setToolTip("Prev channel");
    bChannelDown->setToolTip("Next channel");
    sChannelName->setToolTip("Select channel");
    sChannelName->hide();
    sChannelName->installEventFilter(this);
    cChannelNames->installEventFilter(this);
    connect(bChannelUp, &QAbstractButton::clicked, this, [this] { Reported([this] { bChannelUpClick(); }); });
    connect(bChannelDown, &QAbstractButton::clicked, this, [this] { Reported([this] { bChannelDownClick(); }); });
    connect(cChannelNames, &QComboBox::activated, this, [this] { Reported([this] { cChannelNamesChange(); }); });
    connect(bSource, &QAbstractButton::clicked, this, [this] { bSourceClick(); });

    auto* sources = new QActionGroup(m_Source);
    auto addSource = [&](const char* name, const char* caption, void (TMainForm::*handler)()) {
        auto* item = m_Source->addAction(caption);
        item->setObjectName(name);
        item->setCheckable(true);
        sources->addAction(item);
        connect(item, &QAction::triggered, this, [this, handler] { Reported([this, handler] { (this->*handler)(); }); });
        return item;
    };
    pm_Composite = addSource("pm_Composite", "Composite", &TMainForm::pm_CompositeClick);
    pm_Cable = addSource("pm_Cable", "Cable", &TMainForm::pm_CableClick);
    pm_SVideo = addSource("pm_SVideo", "SVideo", &TMainForm::pm_SVideoClick);
}

void TMainForm::Reported(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        services_.page.dialogs.MessageBox(DialogKind::Plain, error.what(), {DialogButton::OK});
    }
}

// ------------------------------------------------------------ the TV link

bool TMainForm::StartTVLink() {
    tvLinkFailure_.clear();
    tvDriver_->LoadTVDriver();
    if (!tvDriver_->Loaded()) {
        tvLinkFailure_ = tvDriver_->LoadError();
        return false;
    }
    videoWindow_.reset();
    if (!IsPlayerRunning(services_.probe)) {
        while (!CreateVideoWindow(p_Teletext)) {
            if (services_.page.dialogs.MessageBox(DialogKind::Confirmation, "Cannot start ORV TV display",
                                                  {DialogButton::Retry, DialogButton::Cancel}) != DialogButton::Retry) {
                tvLinkFailure_ = "the TV driver's video window could not be started";
                return false;
            }
        }
    }
    if (!videoWindow_) {
        mTV_VTX->setEnabled(false);
        mTV_Text->setEnabled(false);
        return true;
    }
    videoWindow_->hide();
    VTXBox->raise();
    ActivateVideoWindow();
    mTV_VTX->setEnabled(true);
    mTV_Text->setEnabled(true);
    tvDriver_->DriverGetChannelRange(tuner_.MaxChannel, tuner_.MinChannel);
    if (tuner_.CurrentChannel == 0) tuner_.CurrentChannel = ReadTunerCurrentChannel(services_.registry, 0);
    noChannelNames_ = !LoadChannelNames(services_.registry, tuner_);
    cChannelNames->clear();
    for (const std::string& entry : tuner_.ListEntries) cChannelNames->addItem(FromLatin1(entry));
    bSource->show();
    if (videoSource_ < 0) videoSource_ = static_cast<std::int32_t>(tvDriver_->DriverGetSource());
    SelectSource(videoSource_);
    TuneCurrentChannel();
    return true;
}

void TMainForm::ReleaseTV() {
    // The window goes before the library whose code draws its picture.
    videoWindow_.reset();
    if (tvDriver_) tvDriver_->Release();
}

bool TMainForm::CreateVideoWindow(QWidget* parent) {
    try {
        videoWindow_ = VideoWindow::Create(*tvDriver_, parent);
        if (!videoWindow_) return false;
        videoWindow_->setGeometry(parent->contentsRect());
        videoWindow_->BeforeFrame = [this] { VTXBox->KeepCanvas(); };
        videoWindow_->show();
        return true;
    } catch (...) {
        videoWindow_.reset();
        return false;
    }
}

void TMainForm::PlaceVideoWindow(const QRect& area) {
    if (videoWindow_) videoWindow_->setGeometry(area);
}

std::intptr_t TMainForm::ForwardToVideoWindow(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return videoWindow_ ? videoWindow_->SendMessage(message, wParam, lParam) : 0;
}

bool TMainForm::ActivateVideoWindow() { return ForwardToVideoWindow(kVideoWindowStart, 0, 0) > 0; }

void TMainForm::DeactivateVideoWindow() {
    if (videoWindow_) videoWindow_->SendMessage(kVideoWindowStop, 0, 0);
}

void TMainForm::moveEvent(QMoveEvent* event) {
    const QPoint at = event->pos();
    ForwardToVideoWindow(kWindowMoved, 0, (at.x() & 0xFFFF) | ((at.y() & 0xFFFF) << 16));
    TPageForm::moveEvent(event);
}

void TMainForm::ApplyDisplayMode() {
    const std::uint8_t mode = view_.DisplayMode;
    // The picture goes back over the page area when it leaves the side panel.
    const auto undock = [this] {
        if (pTVPanel->isHidden() || !videoWindow_) return;
        videoWindow_->setParent(p_Teletext);
        PlaceVideoWindow(p_Teletext->contentsRect());
    };
    if (mode <= kModeTextTV) {
        if (mode != kModeTextTV) undock();
        pTVPanel->setVisible(mode == kModeTextTV);
        ShowPageArea(!view_.GraphicsMode(), kPageAreaWidth - (mode == kModeTextTV ? kTVPanelWidth : 0),
                     mode == kModeTeletextTV ? kKeyColour : 0x000000);
        if (mode == kModeTextTV && videoWindow_) {
            videoWindow_->setParent(pTVPanel);
            PlaceVideoWindow(pTVPanel->contentsRect());
        }
        VTXBox->SetKeyColourTransparent(mode == kModeTeletextTV);
        if (videoWindow_) {
            VTXBox->raise();
            // The picture is drawn only where it can be seen.
            videoWindow_->setVisible(mode == kModeTeletextTV || mode == kModeTextTV);
        }
    }
    view_.RefreshPage(nullptr, view_.CurrentPage);
}

// ------------------------------------------------------- source and tuner

void TMainForm::SelectSource(std::int32_t source) {
    videoSource_ = source;
    tvDriver_->DriverSetSource(static_cast<std::uint32_t>(source));
    QAction* item = source == 0 ? pm_Composite : source == 1 ? pm_Cable : source == 2 ? pm_SVideo : nullptr;
    if (!item) return;
    item->setChecked(true);
    const bool tuner = source == 1;
    ShowChannelControls(tuner);
    sStationName->setVisible(!tuner);
}

void TMainForm::ShowChannelControls(bool visible) {
    sChannelName->setVisible(visible);
    bChannelUp->setVisible(visible);
    bChannelDown->setVisible(visible);
}

void TMainForm::TuneCurrentChannel() {
    ResumeAfterTuning resume(*this);
    if (acquisition_) acquisition_->Dispatcher().ClearStationName();
    sChannelName->clear();
    sStationName->clear();
    if (acquisition_) {
        // Nothing of the old channel that is still on its way may be stored.
        acquisition_->Collectors().DiscardCaptured();
        acquisition_->Pages().ClearPageDatabase();
    }
    sChannelName->setText(FromLatin1(tuner_.TuneCaption()));
    p_Text->clear();
    tvDriver_->DriverSetChannel(tuner_.CurrentChannel);
    view_.ShownPage.reset();
    CaptionStationChanged();
}

void TMainForm::bChannelUpClick() {
    CloseDropDowns();
    tuner_.StepDown();
    TuneCurrentChannel();
}

void TMainForm::bChannelDownClick() {
    CloseDropDowns();
    tuner_.StepUp();
    TuneCurrentChannel();
}

void TMainForm::sChannelNameClick() {
    cChannelNames->setCurrentIndex(tuner_.ListIndexOfCurrent());
    cChannelNames->show();
    cChannelNames->raise();
    cChannelNames->setFocus();
    cChannelNames->showPopup();
}

void TMainForm::cChannelNamesChange() {
    if (cChannelNames->isHidden()) return;
    cChannelNames->hide();
    const int selected = cChannelNames->currentIndex();
    if (selected < 0) return;
    if (acquisition_) acquisition_->Dispatcher().ClearStationName();
    sChannelName->clear();
    sStationName->clear();
    sChannelName->repaint();
    sStationName->repaint();
    const auto channel = tuner_.ChannelOfListIndex(selected);
    if (!channel) return;
    tuner_.CurrentChannel = *channel;
    TuneCurrentChannel();
}

void TMainForm::cChannelNamesExit() { cChannelNames->hide(); }

void TMainForm::bSourceClick() {
    CloseDropDowns();
    m_Source->popup(QCursor::pos());
}

// ------------------------------------------------------ channel names

void TMainForm::ShowLearnedName(const LearnedName& learned) {
    sChannelName->setText(FromLatin1(learned.Name));
    if (learned.Appended)
        cChannelNames->addItem(FromLatin1(learned.Name));
    else
        cChannelNames->setItemText(learned.ListIndex, FromLatin1(learned.Name));
    SaveChannelName(services_.registry, tuner_.CurrentChannel, learned.Name);
}

void TMainForm::LearnChannelNameOnPage() {
    try {
        const std::string station = acquisition_ ? acquisition_->Dispatcher().CurrentStationName() : std::string();
        if (const auto learned = orv::LearnChannelNameOnPage(tuner_, station)) ShowLearnedName(*learned);
    } catch (...) {
        // A name that cannot be learned now is learned another time.
    }
}

void TMainForm::LearnChannelNameOnStation() {
    try {
        const std::string station = acquisition_ ? acquisition_->Dispatcher().CurrentStationName() : std::string();
        if (const auto learned = orv::LearnChannelNameOnStation(tuner_, station)) ShowLearnedName(*learned);
    } catch (...) {
    }
}

void TMainForm::PageDrawnInFull(std::uint16_t) {
    if (view_.GraphicsMode() && tuner_.ChannelNameWanted) LearnChannelNameOnPage();
}

}  // namespace orv
