#include "windows/MainForm.h"

#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/Locale.h"
#include "platform/PrivateFolder.h"
#include "platform/Registry.h"
#include "tv/TVDriver.h"
#include "tv/UTVPanelDetect.h"
#include "platform/qt/QtLanguageModule.h"
#include "rendering/PageTextFile.h"
#include "windows/CaptionWindow.h"
#include "windows/ImageButton.h"
#include "windows/MultiPage.h"
#include "windows/SearchPanel.h"
#include "windows/Skin.h"
#include "windows/VideoWindow.h"

namespace orv {

namespace {

constexpr PageFormLayout kMainLayout{kMainWidth, kMainHeight, 48, "Panel1", "Panel2", "Click to select page"};
constexpr int kPageLeft = 6;

QLabel* BigLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    return KhakiLabel(parent, name, caption, 19, geometry);
}

std::string Trimmed(const QString& text) { return ToLatin1(text.trimmed()); }

std::shared_ptr<PageWindowShared> MakeShared(const MainFormServices& services) {
    auto shared = std::make_shared<PageWindowShared>(services.page);
    shared->versionString = services.versionString;
    return shared;
}

// The window's key preview: it sees every key of the application before the
// control that has the focus.
class KeyPreview : public QObject {
public:
    KeyPreview(QWidget& window, std::function<void(QKeyEvent*)> keyUp)
        : QObject(&window), window_(window), keyUp_(std::move(keyUp)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyRelease) return false;
        // Handled once, where the key arrives first: the focus widget of the
        // window, or the window itself.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != &window_) return false;
        QWidget* focus = QApplication::focusWidget();
        const QWidget* first = focus && focus->window() == &window_ ? focus : &window_;
        if (widget == first) keyUp_(static_cast<QKeyEvent*>(event));
        return false;
    }

private:
    QWidget& window_;
    std::function<void(QKeyEvent*)> keyUp_;
};

}  // namespace

TMainForm::TMainForm(MainFormServices services)
    : TPageForm(MakeShared(services), kMainLayout), services_(std::move(services)) {
    setObjectName("MainForm");
    setWindowTitle(kApplicationTitle);
    BuildComponents();
    BuildMainComponents();
    BuildTVComponents();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    qApp->installEventFilter(new KeyPreview(*this, [this](QKeyEvent* event) { FormKeyUp(event); }));
    tvStateRetry_.setSingleShot(true);
    tvStateRetry_.setInterval(kTVStateRetryInterval);
    connect(&tvStateRetry_, &QTimer::timeout, this, [this] { CheckTVState(); });
    FormCreate();
}

TMainForm::~TMainForm() { FormDestroy(); }

// ---------------------------------------------------------------- components

void TMainForm::BuildMainComponents() {
    using F = skin::Face;
    const int y = 5;
    bSource = AddButton(TopBar, "bSource", static_cast<int>(F::Source), {482, y, 26, 24}, "Select video source");
    bSource->hide();
    bSearch = AddButton(TopBar, "bSearch", static_cast<int>(F::Search), {510, y, 26, 24}, "Search text on pages");
    pSearch = new SearchPanel(*this, TopBar);
    eSearch = pSearch->eSearch;
    bStartSearch = pSearch->bStartSearch;
    eSearch->installEventFilter(this);
    connect(bSearch, &QAbstractButton::clicked, this, [this] { bSearchClick(); });

    sStationName = BigLabel(BottomBar, "sStationName", "Station", {14, 12, 236, 24});
    sStationName->installEventFilter(this);
    sChannelName = BigLabel(BottomBar, "sChannelName", "", {254, 12, 130, 24});
    cChannelNames = new QComboBox(BottomBar);
    cChannelNames->setObjectName("cChannelNames");
    cChannelNames->setGeometry(254, 10, 130, 28);
    cChannelNames->hide();
    bPagePrev = AddButton(BottomBar, "bPagePrev", static_cast<int>(F::PagePrev), {500, 9, 36, 30}, "Prev page");
    bPageNext = AddButton(BottomBar, "bPageNext", static_cast<int>(F::PageNext), {540, 9, 36, 30}, "Next page");
    bChannelUp = AddButton(BottomBar, "bChannelUp", static_cast<int>(F::ChannelUp), {588, 4, 32, 19}, "Channel up");
    bChannelDown =
        AddButton(BottomBar, "bChannelDown", static_cast<int>(F::ChannelDown), {588, 25, 32, 19}, "Channel down");
    bChannelUp->hide();
    bChannelDown->hide();
    connect(bPagePrev, &QAbstractButton::clicked, this, [this] { Reported([this] { bPagePrevClick(); }); });
    connect(bPageNext, &QAbstractButton::clicked, this, [this] { Reported([this] { bPageNextClick(); }); });

    pTVPanel = new QFrame(Panel3);
    pTVPanel->setObjectName("pTVPanel");
    pTVPanel->setGeometry(kPageLeft + kPageAreaWidth - kTVPanelWidth, 0, kTVPanelWidth, kPageAreaHeight);
    pTVPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetBackground(pTVPanel, FromColorRef(kKeyColour));
    pTVPanel->hide();

    const QRect newWindow = bNewWindow->geometry();
    bFavorite = AddButton(Panel3, "bFavorite", static_cast<int>(F::Favorite),
                          newWindow.translated(newWindow.width() + 4, 0), "Favorites");
    connect(bFavorite, &QAbstractButton::clicked, this, [this] { Reported([this] { bFavoriteClick(); }); });

    // The "+ TV" modes sit behind the plain mode of their kind.
    auto* group = mVTX->actionGroup();
    auto addTVMode = [&](const char* name, const char* caption, int tag, QAction* before) {
        auto* item = new QAction(caption, pm_VTX_Mode);
        item->setObjectName(name);
        item->setCheckable(true);
        item->setData(tag);
        group->addAction(item);
        pm_VTX_Mode->insertAction(before, item);
        return item;
    };
    mTV_VTX = addTVMode("mTV_VTX", "Teletext view + TV (mix)", 11, mText);
    mTV_Text = addTVMode("mTV_Text", "Text view + TV", 13, mLevelSeparator);
    connect(mTV_VTX, &QAction::triggered, this, [this] { mTV_VTXClick(); });
    connect(mTV_Text, &QAction::triggered, this, [this] { mTV_TextClick(); });

    m_SaveAll = AddSaveMenu("Save all pages", "m_SaveAll", true, m_SaveAllText, m_SaveAllPicture);

    m_Source = new QMenu(this);
    m_Source->setObjectName("m_Source");
    BuildFavoritesComponents();
    BuildCaptionComponents();
}

// ----------------------------------------------------------- start and end

void TMainForm::FormCreate() {
    // 1. Per-window state starts cleared (the members' initial values).
    // 2. Settings.
    settings_ = ReadSettings(services_.registry, services_.userLanguage);
    videoSource_ = settings_.VideoSource;
    tuner_ = TunerChannels{};
    tuner_.CurrentChannel = settings_.CurrentChannel;
    // 3. Language module, 4. font faces, 5. version.
    ApplyLanguageModule();
    shared_->renderer.SelectFontSet(settings_.NationalFont);
    shared_->level = settings_.Level;
    shared_->levelChanged = [this] {
        ApplyLevel();
        for (const auto& window : shared_->extraWindows) window->ApplyLevel();
    };
    ApplyLevel();
    // 6. Help.
    const auto dir = std::filesystem::path(services_.programPath).parent_path().string() + "/";
    shared_->helpFileName = FindHelpFile(dir, LanguageAbbreviation(settings_.Language),
                                         [](const std::string& f) { return std::filesystem::is_regular_file(f); });
    bHelp->setVisible(!shared_->helpFileName.empty());
    // 8. Font, 9. no page yet.
    InstallFont();
    view_.CurrentPage = 0;
    view_.CurrentSubPage = 0;
    view_.WaitingForPage = false;
    // 10. Acquisition; without it the program cannot run, and the program
    // says why.
    if (!StartAcquisition()) {
        if (startFailure_.empty()) startFailure_ = NoSourceText(tvLinkFailure_);
        QTimer::singleShot(0, this, [this] { close(); });
        return;
    }
    // 11. A "+ TV" mode needs the TV items.
    if (settings_.DisplayMode == kModeTeletextTV && !mTV_VTX->isEnabled()) settings_.DisplayMode = kModeTeletext;
    if (settings_.DisplayMode == kModeTextTV && !mTV_Text->isEnabled()) settings_.DisplayMode = kModeText;
    // 12. The favorites.
    LoadFavorites();
    // 13. Apply the mode through its menu item.
    view_.DisplayMode = settings_.DisplayMode;
    switch (settings_.DisplayMode) {
    case kModeTeletext: mVTXClick(); break;
    case kModeTeletextTV: mTV_VTXClick(); break;
    case kModeText: mTextClick(); break;
    case kModeTextTV: mTV_TextClick(); break;
    default: break;
    }
    // 14. Canvas, 15. page notifications, 16. page 100.
    shared_->renderer.PreparePageCanvas(canvas_.get());
    RegisterForPages();
    acquisition_->Dispatcher().SetStationChangeHandler([this] {
        bPage100Click();
        CaptionStationChanged();
    });
    bPage100Click();
    // 17. The idle handler consumes what 18. the detection thread raises.
    detect_ = std::make_unique<TTVDetect>(services_.probe, tvStateChanged_, [this] {
        QMetaObject::invokeMethod(
            this, [this] { QTimer::singleShot(0, this, [this] { CheckTVState(); }); }, Qt::QueuedConnection);
    });
    started_ = true;
}

void TMainForm::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // The extra windows go first, while the pipeline they show still runs.
    shared_->extraWindows.clear();
    caption_.reset();
    settings_.DisplayMode = view_.DisplayMode;
    settings_.VideoSource = videoSource_;
    settings_.CurrentChannel = tuner_.CurrentChannel;
    settings_.Level = shared_->level;
    try {
        WriteSettings(services_.registry, settings_);
    } catch (...) {
        // Runs from the destructor too: a failed write loses only the settings.
    }
    detect_.reset();  // woken from its wait, so this does not wait out an interval
    tvStateRetry_.stop();
    UnregisterFromPages();
    if (acquisition_) {
        acquisition_->Dispatcher().SetStationChangeHandler({});
        acquisition_->Dispatcher().StopDisplayDispatcher();
        acquisition_->Pages().ClearPageDatabase();
        acquisition_->Collectors().StopCollector();
        acquisition_->StopCapture();  // also when start-up ended before the threads ran
    }
    ReleaseTV();
    RemoveFont();
    services_.page.help.Quit();
    DeactivateVideoWindow();
    shared_->pipeline = nullptr;
    acquisition_.reset();
}

void TMainForm::ApplyLanguageModule() {
    if (!LoadLanguageModule(services_.programPath, settings_.Language, shared_->language)) return;
    ReloadAllWindows(shared_->language);
    ReloadWindowTexts(*this, shared_->language);
    new LanguageForNewWindows(shared_->language, this);  // owned by the window
}

void TMainForm::InstallFont() {
    const auto font = TeletextFontResource();
    // The font file goes into the program's private folder, created new. The
    // faces themselves are registered from the embedded bytes under the
    // file's name, so what is drawn never depends on what is on disk, and a
    // file that cannot be written (no folder, a full disk) costs nothing.
    fontFileWritten_ = !services_.fontFileName.empty() && WriteNewFile(services_.fontFileName, font);
    shared_->fonts.AddFontMemory(font, services_.fontFileName.empty() ? "TTX_FONT" : services_.fontFileName);
}

void TMainForm::RemoveFont() {
    shared_->fonts.RemoveFontResource(services_.fontFileName.empty() ? "TTX_FONT" : services_.fontFileName);
    if (fontFileWritten_) ::unlink(services_.fontFileName.c_str());  // only a file this program made
    fontFileWritten_ = false;
}

bool TMainForm::StartAcquisition() {
    try {
        if (firstStart_) {
            acquisition_ = std::make_unique<Acquisition>(services_.registry, services_.devices, services_.ui,
                                                         services_.page.windows);
            shared_->pipeline = acquisition_.get();
            view_.SetPages(&acquisition_->Pages());
        }
        CaptureSources& sources = acquisition_->Sources();
        sources.FieldRate = 50;
        // The capture library first; when it cannot be used, capture goes
        // through the VBI device from now on and needs the TV link.
        if (sources.UseCaptureDll()) sources.StartCapture();
        if (sources.UseCaptureDll()) {
            mTV_VTX->setEnabled(false);
            mTV_Text->setEnabled(false);
        } else {
            if (!StartTVLink()) return false;
            StartCaptureOrAsk();
        }
        if (firstStart_) {
            firstStart_ = false;
            if (settings_.TunerKeyPresent && noChannelNames_)
                services_.page.dialogs.MessageBox(DialogKind::Information,
                                                  "Start channel scan inside TV before using the teletext application",
                                                  {DialogButton::OK});
            Collector& collector = acquisition_->Collectors();
            collector.StartCollector();
            acquisition_->Dispatcher().StartDisplayDispatcher(collector.Display(), collector.PausedFlag(),
                                                              collector.Epoch());
        }
        return true;
    } catch (const std::exception& error) {
        startFailure_ = NoSourceText(error.what());
        return false;
    } catch (...) {
        return false;
    }
}

std::string TMainForm::NoSourceText(const std::string& vbiReason) const {
    std::string text = "No teletext source could be started.";
    const std::string dll = acquisition_ ? acquisition_->Sources().Dll().LastError() : std::string();
    if (!dll.empty()) text += "\nCapture library: " + dll;
    if (!vbiReason.empty()) text += "\nVBI device: " + vbiReason;
    return text;
}

void TMainForm::StartCaptureOrAsk() {
    while (!acquisition_->Sources().StartCapture()) {
        if (services_.page.dialogs.MessageBox(DialogKind::Confirmation, "Cannot start capturing",
                                              {DialogButton::Retry, DialogButton::Cancel}) != DialogButton::Retry)
            return;  // the viewer goes on without capture
    }
}

void TMainForm::RaiseTVStateChanged() {
    if (tvStateChanged_.exchange(true)) return;
    // Consumed when the event queue has been emptied.
    QTimer::singleShot(0, this, [this] { CheckTVState(); });
}

// The idle handler. A restart releases the TV driver and may ask questions
// of its own, so it never runs inside something else: while a dialog, a
// message box or a menu runs its own event loop, or a restart is under way,
// the flag stays raised and is looked at again shortly.
void TMainForm::CheckTVState() {
    if (!tvStateChanged_ || destroyed_) return;
    if (restarting_ || InNestedEventLoop()) {
        tvStateRetry_.start();
        return;
    }
    if (tvStateChanged_.exchange(false)) RestartTV();
}

bool TMainForm::InNestedEventLoop() {
    // The program's own loop is the first; a modal box shown before it runs
    // is seen as the modal widget it is.
    return QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
           QThread::currentThread()->loopLevel() > 1;
}

void TMainForm::RestartTV() {
    if (restarting_) return;
    restarting_ = true;
    const struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{restarting_};
    if (acquisition_) acquisition_->StopCapture();
    ReleaseTV();
    const std::uint8_t oldMode = view_.DisplayMode;
    if (oldMode == kModeTeletextTV) {
        view_.DisplayMode = kModeTeletext;
        ApplyDisplayMode();
    } else if (oldMode == kModeTextTV) {
        view_.DisplayMode = kModeText;
        ApplyDisplayMode();
    }
    if (!StartAcquisition()) {
        services_.page.dialogs.MessageBox(
            DialogKind::Plain, "Cannot restart Teletext collecting, please restart ORV Teletext application",
            {DialogButton::OK});
        return;
    }
    if (oldMode == kModeTeletextTV && mTV_VTX->isEnabled()) {
        view_.DisplayMode = kModeTeletextTV;
        ApplyDisplayMode();
    } else if (oldMode == kModeTextTV && mTV_Text->isEnabled()) {
        view_.DisplayMode = kModeTextTV;
        ApplyDisplayMode();
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    CloseDropDowns();
    event->accept();
    emit FormClosed();
}

// ------------------------------------------------------------------- pages

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    view_.RefreshPage(nullptr, 0);
}

void TMainForm::mTV_VTXClick() { SelectMode(mTV_VTX, kModeTeletextTV); }

void TMainForm::mTV_TextClick() { SelectMode(mTV_Text, kModeTextTV); }

bool TMainForm::SetPause(bool on) {
    const bool previous = acquisition_ ? acquisition_->Collectors().CapturePaused() : paused_;
    if (acquisition_) acquisition_->Collectors().SetCapturePaused(on);
    paused_ = on;
    UpdatePauseButton();
    return previous;
}

void TMainForm::bPauseClick() {
    CloseDropDowns();
    paused_ = !paused_;
    SetPause(paused_);
}

bool TMainForm::SaveCurrentText(const std::string& fileName, const tPageImage& page,
                                const PageEnhancements* enhancements) {
    return SavePageText(fileName, page, PageNumberText(page.PageNo), enhancements);
}

bool TMainForm::TextClicksIgnored() const {
    return acquisition_ && acquisition_->Collectors().CapturePaused();
}

// ------------------------------------------------------------ page choice

void TMainForm::PushHistory() {
    tPageInfo entry;
    entry.Source = videoSource_;
    entry.Channel = tuner_.CurrentChannel;
    entry.Page = view_.CurrentPage;
    entry.SubPageNr = static_cast<std::int32_t>(view_.CurrentSubPage);
    entry.ChannelName = Trimmed(videoSource_ == 1 ? sChannelName->text() : sStationName->text());
    history_.push_back(entry);
    historyIndex_ = static_cast<int>(history_.size()) - 1;
}

// The index moves first and the entry at the new index is shown: the entry
// appended last is the page that was left last, so one step back from the
// page on view goes to the page before it.
void TMainForm::bPagePrevClick() {
    CloseDropDowns();
    if (history_.empty() || historyIndex_ <= 0) return;
    --historyIndex_;
    GoToPageInfo(history_[static_cast<std::size_t>(historyIndex_)]);
}

void TMainForm::bPageNextClick() {
    CloseDropDowns();
    if (history_.empty() || historyIndex_ >= static_cast<int>(history_.size()) - 1) return;
    ++historyIndex_;
    GoToPageInfo(history_[static_cast<std::size_t>(historyIndex_)]);
}

void TMainForm::GoToPageInfo(const tPageInfo& entry) {
    // Without the TV link (the capture library delivers, a recording for one)
    // there is no source or channel to switch: the page is still shown.
    const bool tvLink = tvDriver_ && tvDriver_->Loaded();
    if (tvLink && entry.Source != videoSource_) SelectSource(entry.Source);
    favoriteJump_ = true;
    if (entry.Source == 1) {
        if (tvLink) {
            tuner_.CurrentChannel = static_cast<std::uint16_t>(entry.Channel);
            TuneCurrentChannel();
        }
    } else if (entry.NotifyChannel) {
        const std::string text = entry.ChannelName.empty()
                                     ? std::string("Please change your video source to the channel for this page")
                                     : "Please change your video source to channel:" + entry.ChannelName;
        services_.page.dialogs.MessageBox(DialogKind::Plain, text, {DialogButton::OK});
    }
    view_.PageEntry = PageNumberText(static_cast<unsigned>(entry.Page));
    view_.GoToEnteredPage(entry.SubPageNr);
}

void TMainForm::bPage100Click() {
    if (!favoriteJump_) {
        const std::string station = acquisition_ ? acquisition_->Dispatcher().CurrentStationName() : std::string();
        sStationName->setText(FromLatin1(station));
        if (!station.empty()) LearnChannelNameOnStation();
        view_.ShownPage.reset();
        view_.PageEntry = "100";
        view_.GoToEnteredPage(0);
    }
    favoriteJump_ = false;
}

void TMainForm::CloseDropDowns() {
    cChannelNames->hide();
    TPageForm::CloseDropDowns();
}

// ------------------------------------------------------------------ search

void TMainForm::bSearchClick() { pSearch->bSearchClick(); }

void TMainForm::bStartSearchClick() { pSearch->bStartSearchClick(); }

// ------------------------------------------------------------ frame commands

void TMainForm::bMinimizeClick() {
    CloseDropDowns();
    // The captions stay: they are what the user watches meanwhile.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window != caption_.get()) window->showMinimized();
}

void TMainForm::FormKeyUp(QKeyEvent* event) {
    if (!pSearch->isHidden() || event->isAutoRepeat()) return;
    if (HandleDigitKey(*event) || HandleNavigationKey(*event)) return;
    if (event->key() == Qt::Key_F3 && view_.SearchActive) bStartSearchClick();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == eSearch) {
        pSearch->eSearchKeyDown(*static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::KeyRelease && watched == eSearch) {
        pSearch->eSearchKeyUp(*static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::MouseButtonRelease && watched == sStationName) {
        CloseDropDowns();
    } else if (event->type() == QEvent::MouseButtonRelease && watched == sChannelName) {
        sChannelNameClick();
    } else if (event->type() == QEvent::FocusOut && watched == cChannelNames && !cChannelNames->view()->isVisible()) {
        cChannelNamesExit();  // the list's own popup takes the focus while it is open
    }
    return TPageForm::eventFilter(watched, event);
}

}  // namespace orv
