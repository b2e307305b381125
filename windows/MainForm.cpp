#include "windows/MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/Locale.h"
#include "platform/Registry.h"
#include "platform/qt/QtLanguageModule.h"
#include "platform/qt/QtTextView.h"
#include "windows/AboutBox.h"
#include "windows/ImageButton.h"
#include "windows/PageBox.h"
#include "windows/Skin.h"

namespace orv {

namespace {

constexpr int kTopBarHeight = 33;
constexpr int kBottomBarHeight = 48;
constexpr int kPageLeft = 6;
constexpr int kPageWidth = 490;
constexpr int kPageHeight = 388;
constexpr int kPadLeft = kPageLeft + kPageWidth + 6;
constexpr int kTVPanelWidth = 200;

QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

void SetBackground(QWidget* w, QColor colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QLabel* BigLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    QFont font("Arial");
    font.setBold(true);
    font.setPixelSize(19);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, FromColorRef(kKhaki));
    label->setPalette(p);
    label->setGeometry(geometry);
    return label;
}

std::string Trimmed(const QString& text) { return text.trimmed().toStdString(); }

}  // namespace

TMainForm::TMainForm(MainFormServices services)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      services_(std::move(services)),
      canvas_(std::make_unique<Canvas>(kPageWidth, kPageHeight, fonts_)),
      view_(nullptr, renderer_, *this) {
    setObjectName("MainForm");
    setWindowTitle(kApplicationTitle);
    setFixedSize(kMainWidth, kMainHeight);
    SetBackground(this, Qt::black);
    setFocusPolicy(Qt::StrongFocus);
    setWindowIcon(QIcon(skin::ProgramIcon(64)));
    BuildComponents();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    qApp->installEventFilter(this);  // key preview: the window sees every key first
    FormCreate();
}

TMainForm::~TMainForm() {
    qApp->removeEventFilter(this);
    FormDestroy();
}

// ---------------------------------------------------------------- components

ImageButton* TMainForm::AddButton(QWidget* parent, const char* name, int face, QRect geometry, const char* hint) {
    auto* button = new ImageButton(name, static_cast<skin::Face>(face), geometry.size(), hint, parent);
    button->move(geometry.topLeft());
    button->installEventFilter(this);
    return button;
}

QLabel* TMainForm::AddFrameImage(QWidget* parent, const char* name, int part, QRect geometry) {
    auto* image = new QLabel(parent);
    image->setObjectName(name);
    image->setGeometry(geometry);
    image->setPixmap(skin::FramePicture(static_cast<skin::FramePart>(part), geometry.size()));
    image->setScaledContents(true);
    image->installEventFilter(this);
    FrameImages.push_back(image);
    return image;
}

void TMainForm::BuildComponents() {
    BuildDisplayPanel();
    BuildTopBar();
    BuildBottomBar();
    BuildMenus();
}

void TMainForm::BuildTopBar() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, kMainWidth, kTopBarHeight);
    AddFrameImage(Panel1, "Image1", static_cast<int>(skin::FramePart::TopBar), Panel1->rect());
    using F = skin::Face;
    bLogo = AddButton(Panel1, "bLogo", static_cast<int>(F::Logo), {6, 3, 44, 27}, "Info");
    sHeadline = new QLabel(kApplicationTitle, Panel1);
    sHeadline->setObjectName("sHeadline");
    sHeadline->setGeometry(56, 0, 300, kTopBarHeight);
    QFont headFont("Arial");
    headFont.setBold(true);
    headFont.setPixelSize(17);
    sHeadline->setFont(headFont);
    QPalette hp = sHeadline->palette();
    hp.setColor(QPalette::WindowText, FromColorRef(kKhaki));
    sHeadline->setPalette(hp);
    sHeadline->setAttribute(Qt::WA_TranslucentBackground);
    sHeadline->installEventFilter(this);
    sVersion = new QLabel(Panel1);
    sVersion->setObjectName("sVersion");
    sVersion->setGeometry(250, 8, 100, 17);
    sVersion->hide();

    const int y = 5;
    bSave = AddButton(Panel1, "bSave", static_cast<int>(F::Save), {370, y, 26, 24}, "Save");
    bPrint = AddButton(Panel1, "bPrint", static_cast<int>(F::Print), {398, y, 26, 24}, "Print");
    bCopy = AddButton(Panel1, "bCopy", static_cast<int>(F::Copy), {426, y, 26, 24}, "Copy");
    bDisplayMode = AddButton(Panel1, "bDisplayMode", static_cast<int>(F::DisplayMode), {454, y, 26, 24},
                             "Select display mode");
    bSource = AddButton(Panel1, "bSource", static_cast<int>(F::Source), {482, y, 26, 24}, "Select video source");
    bSource->hide();
    bSearch = AddButton(Panel1, "bSearch", static_cast<int>(F::Search), {510, y, 26, 24}, "Search");
    pSearch = new QFrame(Panel1);
    pSearch->setObjectName("pSearch");
    pSearch->setGeometry(200, 3, 166, 27);
    SetBackground(pSearch, FromColorRef(kKhaki));
    pSearch->hide();
    bHelp = AddButton(Panel1, "bHelp", static_cast<int>(F::Help), {548, y, 26, 24}, "Help");
    bMinimize = AddButton(Panel1, "bMinimize", static_cast<int>(F::Minimize), {576, y, 26, 24}, "Minimize");
    bClose = AddButton(Panel1, "bClose", static_cast<int>(F::Close), {604, y, 26, 24}, "Exit");
    // Saving, printing, copying and searching come with their own commands.
    for (ImageButton* later : {bSave, bPrint, bCopy, bSearch}) later->setEnabled(false);

    connect(bLogo, &QAbstractButton::clicked, this, [this] { bLogoClick(); });
    connect(bDisplayMode, &QAbstractButton::clicked, this, [this] {
        CloseDropDowns();
        pm_VTX_Mode->popup(QCursor::pos());
    });
    connect(bHelp, &QAbstractButton::clicked, this, [this] { bHelpClick(); });
    connect(bMinimize, &QAbstractButton::clicked, this, [this] { bMinimizeClick(); });
    connect(bClose, &QAbstractButton::clicked, this, [this] {
        CloseDropDowns();
        close();
    });
}

void TMainForm::BuildBottomBar() {
    Panel2 = new QWidget(this);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(0, kMainHeight - kBottomBarHeight, kMainWidth, kBottomBarHeight);
    AddFrameImage(Panel2, "Image2", static_cast<int>(skin::FramePart::BottomBar), Panel2->rect());
    sStationName = BigLabel(Panel2, "sStationName", "Station", {14, 12, 236, 24});
    sStationName->installEventFilter(this);
    sChannelName = BigLabel(Panel2, "sChannelName", "", {254, 12, 130, 24});
    cChannelNames = new QComboBox(Panel2);
    cChannelNames->setObjectName("cChannelNames");
    cChannelNames->setGeometry(254, 10, 130, 28);
    cChannelNames->hide();

    sSearchStr = BigLabel(Panel2, "sSearchStr", "100", {404, 12, 60, 24});
    sSearchStr->setToolTip("Click to select page");
    sSearchStr->setCursor(Qt::PointingHandCursor);
    sSearchStr->installEventFilter(this);
    cPageList = new QComboBox(Panel2);
    cPageList->setObjectName("cPageList");
    cPageList->setGeometry(398, 10, 84, 28);
    cPageList->setMaxVisibleItems(16);
    cPageList->hide();
    cPageList->installEventFilter(this);
    connect(cPageList, &QComboBox::activated, this, [this](int index) { cPageListChange(index); });

    using F = skin::Face;
    bPagePrev = AddButton(Panel2, "bPagePrev", static_cast<int>(F::PagePrev), {500, 9, 36, 30}, "Prev page");
    bPageNext = AddButton(Panel2, "bPageNext", static_cast<int>(F::PageNext), {540, 9, 36, 30}, "Next page");
    bChannelUp = AddButton(Panel2, "bChannelUp", static_cast<int>(F::ChannelUp), {588, 4, 32, 19}, "Channel up");
    bChannelDown =
        AddButton(Panel2, "bChannelDown", static_cast<int>(F::ChannelDown), {588, 25, 32, 19}, "Channel down");
    bChannelUp->hide();
    bChannelDown->hide();
    connect(bPagePrev, &QAbstractButton::clicked, this, [this] { bPagePrevClick(); });
    connect(bPageNext, &QAbstractButton::clicked, this, [this] { bPageNextClick(); });
}

void TMainForm::BuildDisplayPanel() {
    Panel3 = new QWidget(this);
    Panel3->setObjectName("Panel3");
    Panel3->setGeometry(0, kTopBarHeight, kMainWidth, kPageHeight);
    SetBackground(Panel3, FromColorRef(kKhaki));
    Panel3->installEventFilter(this);
    using P = skin::FramePart;
    AddFrameImage(Panel3, "Image3", static_cast<int>(P::LeftEdge), {0, 0, kPageLeft, kPageHeight});
    AddFrameImage(Panel3, "Image4", static_cast<int>(P::RightEdge), {kMainWidth - 6, 0, 6, kPageHeight});
    AddFrameImage(Panel3, "Image5", static_cast<int>(P::Divider), {kPageLeft + kPageWidth, 0, 6, kPageHeight});
    AddFrameImage(Panel3, "Image6", static_cast<int>(P::PadBack), {kPadLeft, 0, kMainWidth - 6 - kPadLeft, kPageHeight});
    AddFrameImage(Panel3, "Image7", static_cast<int>(P::PageTop), {kPadLeft, 0, kMainWidth - 6 - kPadLeft, 6});
    AddFrameImage(Panel3, "Image8", static_cast<int>(P::PageBottom),
                  {kPadLeft, kPageHeight - 60, kMainWidth - 6 - kPadLeft, 60});

    p_Teletext = new QWidget(Panel3);
    p_Teletext->setObjectName("p_Teletext");
    p_Teletext->setGeometry(kPageLeft, 0, kPageWidth, kPageHeight);
    SetBackground(p_Teletext, Qt::black);
    VTXBox = new PageBox(*canvas_, p_Teletext);
    VTXBox->setGeometry(p_Teletext->rect());  // aligned to fill the page area
    VTXBox->OnSystemPaint = [this] { view_.RefreshPage(nullptr, 0); };
    VTXBox->OnClick = [this](QPoint) { CloseDropDowns(); };

    p_Text = new QTextEdit(Panel3);
    p_Text->setObjectName("p_Text");
    p_Text->setGeometry(kPageLeft, 0, kPageWidth, kPageHeight);
    p_Text->setReadOnly(true);
    p_Text->setLineWrapMode(QTextEdit::NoWrap);
    QFont courier("Courier New");
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(12);
    p_Text->setFont(courier);
    p_Text->setFrameShape(QFrame::NoFrame);
    QPalette tp = p_Text->palette();
    tp.setColor(QPalette::Base, FromColorRef(kKhaki));
    tp.setColor(QPalette::Text, Qt::black);
    p_Text->setPalette(tp);
    p_Text->hide();
    textView_ = std::make_unique<QtTextView>(p_Text);
    textPage_ = std::make_unique<TextPageView>(textView_.get());

    pTVPanel = new QFrame(Panel3);
    pTVPanel->setObjectName("pTVPanel");
    pTVPanel->setGeometry(kPageLeft + kPageWidth - kTVPanelWidth, 0, kTVPanelWidth, kPageHeight);
    pTVPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SetBackground(pTVPanel, FromColorRef(kKeyColour));
    pTVPanel->hide();

    BuildNumberPad(Panel3);
}

void TMainForm::BuildNumberPad(QWidget* parent) {
    // Rows 7 8 9, 4 5 6, 1 2 3, then 0 (two keys wide) with the pause key.
    constexpr int kKeyW = 38, kKeyH = 34, kGap = 4, kTop = 14;
    const int left = kPadLeft + 2;
    auto keyRect = [&](int column, int row, int span = 1) {
        return QRect(left + column * (kKeyW + kGap), kTop + row * (kKeyH + kGap), span * kKeyW + (span - 1) * kGap,
                     kKeyH);
    };
    DigitButtons.assign(10, nullptr);
    for (int digit = 0; digit <= 9; ++digit) {
        const QString name = digit == 0 ? QString("b0") : QString("Image%1").arg(8 + digit);
        const QRect r = digit == 0 ? keyRect(0, 3, 2) : keyRect((digit - 1) % 3, 2 - (digit - 1) / 3);
        ImageButton* key = AddButton(parent, name.toUtf8().constData(), static_cast<int>(skin::DigitFace(digit)), r,
                                     "Select page");
        key->SetTag(digit);
        connect(key, &QAbstractButton::clicked, this, [this, digit] {
            CloseDropDowns();
            EnterDigit(static_cast<char>('0' + digit));
        });
        DigitButtons[static_cast<std::size_t>(digit)] = key;
    }
    using F = skin::Face;
    bPause = AddButton(parent, "bPause", static_cast<int>(F::Pause), keyRect(2, 3), "Pause");
    connect(bPause, &QAbstractButton::clicked, this, [this] { bPauseClick(); });
    const int wide = (3 * kKeyW + 2 * kGap - kGap) / 2;
    const int row5 = kTop + 4 * (kKeyH + kGap) + 8;
    bNewWindow = AddButton(parent, "bNewWindow", static_cast<int>(F::NewWindow), {left, row5, wide, kKeyH},
                           "New window");
    bFavorite = AddButton(parent, "bFavorite", static_cast<int>(F::Favorite),
                          {left + wide + kGap, row5, wide, kKeyH}, "Favorites");
    // Extra page windows and favorites come with their own commands.
    bNewWindow->setEnabled(false);
    bFavorite->setEnabled(false);

    // The two faces of the pause key.
    img_KPause = new QLabel(parent);
    img_KPause->setObjectName("img_KPause");
    img_KPause->setPixmap(skin::ButtonPicture(F::Pause, bPause->size()));
    img_KPause->hide();
    img_KPlay = new QLabel(parent);
    img_KPlay->setObjectName("img_KPlay");
    img_KPlay->setPixmap(skin::ButtonPicture(F::Play, bPause->size()));
    img_KPlay->hide();
    bPause->SetPicture(img_KPause->pixmap());
}

void TMainForm::BuildMenus() {
    pm_VTX_Mode = new QMenu(this);
    pm_VTX_Mode->setObjectName("pm_VTX_Mode");
    auto* group = new QActionGroup(pm_VTX_Mode);
    auto addMode = [&](const char* name, const char* caption, int tag) {
        QAction* item = pm_VTX_Mode->addAction(caption);
        item->setObjectName(name);
        item->setCheckable(true);
        item->setData(tag);
        group->addAction(item);
        return item;
    };
    mVTX = addMode("mVTX", "Teletext view", 10);
    mTV_VTX = addMode("mTV_VTX", "Teletext view + TV (mix)", 11);
    mText = addMode("mText", "Text view", 12);
    mTV_Text = addMode("mTV_Text", "Text view + TV", 13);
    connect(mVTX, &QAction::triggered, this, [this] { mVTXClick(); });
    connect(mTV_VTX, &QAction::triggered, this, [this] { mTV_VTXClick(); });
    connect(mText, &QAction::triggered, this, [this] { mTextClick(); });
    connect(mTV_Text, &QAction::triggered, this, [this] { mTV_TextClick(); });

    m_Save = new QMenu(this);
    m_Save->setObjectName("m_Save");
    m_Source = new QMenu(this);
    m_Source->setObjectName("m_Source");
    pmFavoriten = new QMenu(this);
    pmFavoriten->setObjectName("pmFavoriten");
}

// ----------------------------------------------------------- start and end

void TMainForm::FormCreate() {
    // 1. Per-window state starts cleared (the members' initial values).
    // 2. Settings.
    settings_ = ReadSettings(services_.registry, services_.userLanguage);
    videoSource_ = settings_.VideoSource;
    // 3. Language module, 4. font faces, 5. version.
    ApplyLanguageModule();
    renderer_.SelectFontSet(settings_.NationalFont);
    sVersion->setText(QString::fromStdString(services_.versionString));
    // 6. Help.
    const auto dir = std::filesystem::path(services_.programPath).parent_path().string() + "/";
    helpFileName_ = FindHelpFile(dir, LanguageAbbreviation(settings_.Language),
                                 [](const std::string& f) { return std::filesystem::is_regular_file(f); });
    bHelp->setVisible(!helpFileName_.empty());
    // 8. Font, 9. no page yet.
    InstallFont();
    view_.CurrentPage = 0;
    view_.CurrentSubPage = 0;
    view_.WaitingForPage = false;
    // 10. Acquisition; without it the program cannot run.
    if (!StartAcquisition()) {
        QTimer::singleShot(0, this, [this] { close(); });
        return;
    }
    // 11. A "+ TV" mode needs the TV items.
    if (settings_.DisplayMode == kModeTeletextTV && !mTV_VTX->isEnabled()) settings_.DisplayMode = kModeTeletext;
    if (settings_.DisplayMode == kModeTextTV && !mTV_Text->isEnabled()) settings_.DisplayMode = kModeText;
    // 13. Apply the mode through its menu item (a value outside 0-3 applies nothing).
    view_.DisplayMode = settings_.DisplayMode;
    switch (settings_.DisplayMode) {
    case kModeTeletext: mVTXClick(); break;
    case kModeTeletextTV: mTV_VTXClick(); break;
    case kModeText: mTextClick(); break;
    case kModeTextTV: mTV_TextClick(); break;
    default: break;
    }
    // 14. Canvas, 15. page notifications, 16. page 100.
    renderer_.PreparePageCanvas(canvas_.get());
    handle_ = services_.windows.Add(*this);
    acquisition_->Dispatcher().RegisterPageWindow(handle_);
    acquisition_->Dispatcher().SetStationChangeHandler([this] { bPage100Click(); });
    bPage100Click();
    started_ = true;
}

void TMainForm::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    settings_.DisplayMode = view_.DisplayMode;
    settings_.VideoSource = videoSource_;
    WriteSettings(services_.registry, settings_);
    if (acquisition_) {
        acquisition_->Dispatcher().UnregisterPageWindow(handle_);
        acquisition_->Dispatcher().SetStationChangeHandler({});
        acquisition_->Dispatcher().StopDisplayDispatcher();
        acquisition_->Pages().ClearPageDatabase();
        acquisition_->Collectors().StopCollector();
        acquisition_->StopCapture();  // also when start-up ended before the threads ran
    }
    if (handle_ != kNoWindow) services_.windows.Remove(handle_);
    RemoveFont();
    services_.help.Quit();
    acquisition_.reset();
}

void TMainForm::ApplyLanguageModule() {
    if (!LoadLanguageModule(services_.programPath, settings_.Language, languageModule_)) return;
    ReloadAllWindows(languageModule_);
    ReloadWindowTexts(*this, languageModule_);
}

void TMainForm::InstallFont() {
    const auto font = TeletextFontResource();
    {
        std::ofstream out(services_.fontFileName, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(font.data()), static_cast<std::streamsize>(font.size()));
    }  // a file that cannot be written is not fatal here: the faces are then missing
    fonts_.AddFontResource(services_.fontFileName);
}

void TMainForm::RemoveFont() {
    fonts_.RemoveFontResource(services_.fontFileName);
    std::error_code ignored;
    std::filesystem::remove(services_.fontFileName, ignored);
}

bool TMainForm::StartAcquisition() {
    try {
        if (firstStart_) {
            acquisition_ = std::make_unique<Acquisition>(services_.registry, services_.devices, services_.ui,
                                                         services_.windows);
            view_.SetPages(&acquisition_->Pages());
        }
        CaptureSources& sources = acquisition_->Sources();
        sources.FieldRate = 50;
        if (sources.UseCaptureDll()) sources.StartCapture();
        if (!sources.UseCaptureDll()) {
            // Capture through the VBI device needs the TV link, whose driver
            // is not part of this viewer yet: like a missing TV driver.
            mTV_VTX->setEnabled(false);
            mTV_Text->setEnabled(false);
            return false;
        }
        mTV_VTX->setEnabled(false);
        mTV_Text->setEnabled(false);
        if (firstStart_) {
            firstStart_ = false;
            Collector& collector = acquisition_->Collectors();
            collector.StartCollector();
            acquisition_->Dispatcher().StartDisplayDispatcher(collector.Display(), collector.PausedFlag());
        }
        return true;
    } catch (...) {
        return false;
    }
}

void TMainForm::RaiseTVStateChanged() {
    if (tvStateChanged_.exchange(true)) return;
    // Consumed when the event queue has been emptied.
    QMetaObject::invokeMethod(this, [this] { CheckTVState(); }, Qt::QueuedConnection);
}

void TMainForm::CheckTVState() {
    if (tvStateChanged_.exchange(false)) RestartTV();
}

void TMainForm::RestartTV() {
    if (acquisition_) acquisition_->StopCapture();
    const std::uint8_t oldMode = view_.DisplayMode;
    if (oldMode == kModeTeletextTV) {
        view_.DisplayMode = kModeTeletext;
        ApplyDisplayMode();
    } else if (oldMode == kModeTextTV) {
        view_.DisplayMode = kModeText;
        ApplyDisplayMode();
    }
    if (!StartAcquisition()) {
        services_.dialogs.MessageBox(DialogKind::Plain,
                                     "Cannot restart Teletext collecting, please restart ORV Teletext application",
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

void TMainForm::OnVtxPage(std::uint16_t pageNo, const PageRef& page) { view_.RefreshPage(page, pageNo); }

void TMainForm::PageCanvasChanged() { VTXBox->CanvasChanged(); }

QImage TMainForm::PageImage() const { return VTXBox->Image().copy(); }

void TMainForm::SetLabelCaption(QLabel* label, const QString& caption) {
    if (label->text() == caption) return;
    label->setText(caption);
    label->repaint();
}

void TMainForm::SetPageNumberCaption(const std::string& caption) {
    SetLabelCaption(sSearchStr, QString::fromStdString(caption));
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    view_.RefreshPage(nullptr, 0);
}

void TMainForm::ApplyDisplayMode() {
    const std::uint8_t mode = view_.DisplayMode;
    const bool text = mode == kModeText || mode == kModeTextTV;
    if (mode <= kModeTextTV) {
        pTVPanel->setVisible(mode == kModeTextTV);
        p_Teletext->setVisible(!text);
        p_Text->setVisible(text);
        p_Text->setGeometry(kPageLeft, 0, kPageWidth - (mode == kModeTextTV ? kTVPanelWidth : 0), kPageHeight);
        if (!text) SetBackground(p_Teletext, mode == kModeTeletextTV ? FromColorRef(kKeyColour) : QColor(Qt::black));
    }
    view_.RefreshPage(nullptr, view_.CurrentPage);
}

void TMainForm::mVTXClick() {
    mVTX->setChecked(true);
    view_.DisplayMode = kModeTeletext;
    ApplyDisplayMode();
}

void TMainForm::mTV_VTXClick() {
    mTV_VTX->setChecked(true);
    view_.DisplayMode = kModeTeletextTV;
    ApplyDisplayMode();
}

void TMainForm::mTextClick() {
    mText->setChecked(true);
    view_.DisplayMode = kModeText;
    ApplyDisplayMode();
}

void TMainForm::mTV_TextClick() {
    mTV_Text->setChecked(true);
    view_.DisplayMode = kModeTextTV;
    ApplyDisplayMode();
}

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

void TMainForm::UpdatePauseButton() { bPause->SetPicture((paused_ ? img_KPlay : img_KPause)->pixmap()); }

bool TMainForm::UseCaptureDll() const { return acquisition_ && acquisition_->Sources().UseCaptureDll(); }

int TMainForm::PageCount() const { return acquisition_ ? acquisition_->Pages().PageCount() : 0; }

// ------------------------------------------------------------ page choice

void TMainForm::EnterDigit(char digit) {
    if (!view_.EnterDigit(digit)) return;
    PushHistory();
    view_.GoToEnteredPage(0);
}

void TMainForm::PushHistory() {
    tPageInfo entry;
    entry.Source = videoSource_;
    entry.Channel = settings_.CurrentChannel;
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
    // Sources and channels are switched by the tuner control, which comes
    // with the TV link; without it an entry of another source can only be
    // announced.
    favoriteJump_ = true;
    if (entry.Source != 1 && entry.NotifyChannel) {
        const std::string text = entry.ChannelName.empty()
                                     ? std::string("Please change your video source to the channel for this page")
                                     : "Please change your video source to channel:" + entry.ChannelName;
        services_.dialogs.MessageBox(DialogKind::Plain, text, {DialogButton::OK});
    }
    view_.PageEntry = PageNumberText(static_cast<unsigned>(entry.Page));
    view_.GoToEnteredPage(entry.SubPageNr);
}

void TMainForm::bPage100Click() {
    if (!favoriteJump_) {
        const std::string station = acquisition_ ? acquisition_->Dispatcher().CurrentStationName() : std::string();
        sStationName->setText(QString::fromLatin1(station.data(), static_cast<qsizetype>(station.size())));
        view_.ShownPage.reset();
        view_.PageEntry = "100";
        view_.GoToEnteredPage(0);
    }
    favoriteJump_ = false;
}

void TMainForm::sSearchStrClick() {
    CloseDropDowns();
    cPageList->clear();
    std::vector<std::string> pages;
    if (!acquisition_ || !acquisition_->Pages().ListPages(pages)) pages = {"100"};
    for (const std::string& p : pages) cPageList->addItem(QString::fromStdString(p));
    cPageList->setCurrentIndex(cPageList->findText(QString::fromStdString(PageNumberText(view_.CurrentPage))));
    cPageList->show();
    cPageList->raise();
    cPageList->setFocus(Qt::OtherFocusReason);
}

void TMainForm::cPageListChange(int index) {
    if (cPageList->isHidden()) return;
    cPageList->hide();
    if (index < 0) return;
    view_.ShownPage.reset();
    view_.PageEntry = cPageList->itemText(index).toStdString();
    view_.GoToEnteredPage(0);
}

void TMainForm::CloseDropDowns() {
    cChannelNames->hide();
    cPageList->hide();
}

// ------------------------------------------------------------ frame commands

void TMainForm::bLogoClick() {
    CloseDropDowns();
    TAboutBox box(*this, services_.versionString, UseCaptureDll(), [this] { return PageCount(); });
    box.exec();
}

void TMainForm::bHelpClick() {
    CloseDropDowns();
    if (!helpFileName_.empty()) services_.help.OpenContents(helpFileName_);
}

void TMainForm::bMinimizeClick() {
    CloseDropDowns();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) window->showMinimized();
}

void TMainForm::sHeadlineMouse(QEvent* event) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint p = mouse->globalPosition().toPoint();
    if (event->type() == QEvent::MouseButtonPress) {
        dragOrigin_ = p;
        dragging_ = true;
    } else if (event->type() == QEvent::MouseMove && dragging_) {
        move(pos() + (p - dragOrigin_));
        dragOrigin_ = p;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        dragging_ = false;
    }
}

void TMainForm::FormKeyUp(QKeyEvent* event) {
    if (!pSearch->isHidden() || event->isAutoRepeat()) return;
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        // The keypad's digits arrive as digit keys with the keypad modifier.
        EnterDigit(static_cast<char>('0' + (key - Qt::Key_0)));
    } else if (key >= Qt::Key_A && key <= Qt::Key_F && !(event->modifiers() & Qt::KeypadModifier)) {
        EnterDigit(static_cast<char>('A' + (key - Qt::Key_A)));
    }
    // F3 continues a text search, which comes with the search panel.
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyRelease: {
        // Key preview: handled once, where the key arrives first (the focus
        // widget of this window, or the window itself).
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != this) break;
        QWidget* focus = QApplication::focusWidget();
        const QWidget* first = focus && focus->window() == this ? focus : this;
        if (widget == first) FormKeyUp(static_cast<QKeyEvent*>(event));
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        if (watched == sHeadline) {
            sHeadlineMouse(event);
        } else if (event->type() == QEvent::MouseButtonRelease && watched == sSearchStr) {
            sSearchStrClick();
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   (watched == Panel3 || watched == sStationName || watched == FrameImages[7])) {
            CloseDropDowns();
        }
        break;
    case QEvent::FocusOut:
        if (watched == cPageList && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            cPageList->hide();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace orv
