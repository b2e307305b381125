#include "windows/PageForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTextEdit>

#include "platform/qt/QtLanguageModule.h"
#include "platform/qt/QtTextView.h"
#include "rendering/VTX_TEXT_DISPLAY.h"
#include "windows/AboutBox.h"
#include "windows/ImageButton.h"
#include "windows/MultiPage.h"
#include "windows/PageBox.h"
#include "windows/Skin.h"

namespace orv {

namespace {

constexpr int kTopBarHeight = 33;
constexpr int kPageLeft = 6;
constexpr int kPadLeft = kPageLeft + kPageAreaWidth + 6;

}  // namespace

void SetBackground(QWidget* w, QColor colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QString FromLatin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLatin1(const QString& text) { return text.toLatin1().toStdString(); }

QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QLabel* KhakiLabel(QWidget* parent, const char* name, const QString& caption, int pixels, QRect geometry) {
    return skin::BoldLabel(parent, name, caption, pixels, FromColorRef(kKhaki), geometry);
}

PageWindowShared::PageWindowShared(const PageWindowServices& s) : services(s) {}
PageWindowShared::~PageWindowShared() = default;

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(number) * numerator;
    long long divisor = denominator;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    // Halves round away from zero.
    const long long quotient = product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor);
    return static_cast<int>(quotient);
}

CommandPause::CommandPause(TPageForm& form, bool hourglass)
    : form_(form), previous_(form.SetPause(true)), hourglass_(hourglass) {
    if (hourglass_) form_.Shared().services.cursor.Begin();
}

CommandPause::~CommandPause() {
    if (hourglass_) form_.Shared().services.cursor.End();
    form_.SetPause(previous_);
}

TPageForm::TPageForm(std::shared_ptr<PageWindowShared> shared, const PageFormLayout& layout)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      shared_(std::move(shared)),
      layout_(layout),
      canvas_(std::make_unique<Canvas>(kPageAreaWidth, kPageAreaHeight, shared_->fonts)),
      view_(nullptr, shared_->renderer, *this) {
    setFixedSize(layout_.Width, layout_.Height);
    SetBackground(this, Qt::black);
    setFocusPolicy(Qt::StrongFocus);
    setWindowIcon(QIcon(skin::ProgramIcon(64)));
}

TPageForm::~TPageForm() = default;

// ---------------------------------------------------------------- components

ImageButton* TPageForm::AddButton(QWidget* parent, const char* name, int face, QRect geometry, const char* hint) {
    auto* button = new ImageButton(name, static_cast<skin::Face>(face), geometry.size(), hint, parent);
    button->move(geometry.topLeft());
    button->installEventFilter(this);
    return button;
}

QLabel* TPageForm::AddFrameImage(QWidget* parent, const char* name, int part, QRect geometry) {
    auto* image = new QLabel(parent);
    image->setObjectName(name);
    image->setGeometry(geometry);
    image->setPixmap(skin::FramePicture(static_cast<skin::FramePart>(part), geometry.size()));
    image->setScaledContents(true);
    image->installEventFilter(this);
    FrameImages.push_back(image);
    return image;
}

void TPageForm::BuildComponents() {
    BuildDisplayPanel();
    BuildTopBar();
    BuildBottomBar();
    BuildMenus();
}

void TPageForm::BuildTopBar() {
    TopBar = new QWidget(this);
    TopBar->setObjectName(layout_.TopBarName);
    TopBar->setGeometry(0, 0, layout_.Width, kTopBarHeight);
    AddFrameImage(TopBar, "Image1", static_cast<int>(skin::FramePart::TopBar), TopBar->rect());
    using F = skin::Face;
    bLogo = AddButton(TopBar, "bLogo", static_cast<int>(F::Logo), {6, 3, 44, 27}, "Info");
    sHeadline = KhakiLabel(TopBar, "sHeadline", "ORV Teletext", 17, {56, 0, 300, kTopBarHeight});
    sHeadline->setAttribute(Qt::WA_TranslucentBackground);
    sHeadline->installEventFilter(this);
    sVersion = new QLabel(TopBar);
    sVersion->setObjectName("sVersion");
    sVersion->setTextFormat(Qt::PlainText);
    sVersion->setGeometry(250, 8, 100, 17);
    sVersion->setText(QString::fromStdString(shared_->versionString));
    sVersion->hide();

    const int y = 5, right = layout_.Width;
    bSave = AddButton(TopBar, "bSave", static_cast<int>(F::Save), {370, y, 26, 24}, "Save pages");
    bPrint = AddButton(TopBar, "bPrint", static_cast<int>(F::Print), {398, y, 26, 24}, "Print page");
    bCopy = AddButton(TopBar, "bCopy", static_cast<int>(F::Copy), {426, y, 26, 24}, "Copy to clipboard");
    bDisplayMode = AddButton(TopBar, "bDisplayMode", static_cast<int>(F::DisplayMode), {454, y, 26, 24},
                             "Select display mode");
    bHelp = AddButton(TopBar, "bHelp", static_cast<int>(F::Help), {right - 84, y, 26, 24}, "Help");
    bMinimize = AddButton(TopBar, "bMinimize", static_cast<int>(F::Minimize), {right - 56, y, 26, 24}, "Minimize");
    bClose = AddButton(TopBar, "bClose", static_cast<int>(F::Close), {right - 28, y, 26, 24}, "Exit");
    bHelp->setVisible(!shared_->helpFileName.empty());

    connect(bLogo, &QAbstractButton::clicked, this, [this] { bLogoClick(); });
    connect(bSave, &QAbstractButton::clicked, this, [this] { bSaveClick(); });
    connect(bPrint, &QAbstractButton::clicked, this, [this] { bPrintClick(); });
    connect(bCopy, &QAbstractButton::clicked, this, [this] { bCopyClick(); });
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

void TPageForm::BuildBottomBar() {
    BottomBar = new QWidget(this);
    BottomBar->setObjectName(layout_.BottomBarName);
    BottomBar->setGeometry(0, layout_.Height - layout_.BottomBarHeight, layout_.Width, layout_.BottomBarHeight);
    AddFrameImage(BottomBar, "Image2", static_cast<int>(skin::FramePart::BottomBar), BottomBar->rect());
    const int labelTop = (layout_.BottomBarHeight - 24) / 2;
    // Wide enough for a held sub-page beside the number: "100  2/4".
    sSearchStr = KhakiLabel(BottomBar, "sSearchStr", "100", 19, {404, labelTop, 92, 24});
    sSearchStr->setToolTip(layout_.PageNumberHint);
    sSearchStr->setCursor(Qt::PointingHandCursor);
    sSearchStr->installEventFilter(this);
    cPageList = new QComboBox(BottomBar);
    cPageList->setObjectName("cPageList");
    cPageList->setGeometry(398, labelTop - 2, 84, 28);
    cPageList->setMaxVisibleItems(16);
    cPageList->hide();
    cPageList->installEventFilter(this);
    connect(cPageList, &QComboBox::activated, this, [this](int index) { cPageListChange(index); });
}

void TPageForm::BuildDisplayPanel() {
    Panel3 = new QWidget(this);
    Panel3->setObjectName("Panel3");
    Panel3->setGeometry(0, kTopBarHeight, layout_.Width, kPageAreaHeight);
    SetBackground(Panel3, FromColorRef(kKhaki));
    Panel3->installEventFilter(this);
    using P = skin::FramePart;
    const int padWidth = layout_.Width - 6 - kPadLeft;
    AddFrameImage(Panel3, "Image3", static_cast<int>(P::LeftEdge), {0, 0, kPageLeft, kPageAreaHeight});
    AddFrameImage(Panel3, "Image4", static_cast<int>(P::RightEdge), {layout_.Width - 6, 0, 6, kPageAreaHeight});
    AddFrameImage(Panel3, "Image5", static_cast<int>(P::Divider), {kPageLeft + kPageAreaWidth, 0, 6, kPageAreaHeight});
    AddFrameImage(Panel3, "Image6", static_cast<int>(P::PadBack), {kPadLeft, 0, padWidth, kPageAreaHeight});
    AddFrameImage(Panel3, "Image7", static_cast<int>(P::PageTop), {kPadLeft, 0, padWidth, 6});
    Image8 = AddFrameImage(Panel3, "Image8", static_cast<int>(P::PageBottom),
                           {kPadLeft, kPageAreaHeight - 60, padWidth, 60});

    p_Teletext = new QWidget(Panel3);
    p_Teletext->setObjectName("p_Teletext");
    p_Teletext->setGeometry(kPageLeft, 0, kPageAreaWidth, kPageAreaHeight);
    SetBackground(p_Teletext, Qt::black);
    VTXBox = new PageBox(*canvas_, p_Teletext);
    VTXBox->setGeometry(p_Teletext->rect());  // aligned to fill the page area
    VTXBox->OnSystemPaint = [this] { RedrawPage(); };
    VTXBox->OnClick = [this](QPoint at) { VTXBoxClick(at); };

    p_Text = new QTextEdit(Panel3);
    p_Text->setObjectName("p_Text");
    p_Text->setGeometry(kPageLeft, 0, kPageAreaWidth, kPageAreaHeight);
    p_Text->setReadOnly(true);
    p_Text->setLineWrapMode(QTextEdit::NoWrap);
    p_Text->setFrameShape(QFrame::NoFrame);
    QFont courier("Courier New");
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(12);
    p_Text->setFont(FontForLines(*p_Text, courier, kTextRows, kTextColumns));
    QPalette tp = p_Text->palette();
    tp.setColor(QPalette::Base, FromColorRef(kKhaki));
    tp.setColor(QPalette::Text, Qt::black);
    p_Text->setPalette(tp);
    p_Text->viewport()->installEventFilter(this);
    p_Text->hide();
    textView_ = std::make_unique<QtTextView>(p_Text);
    textPage_ = std::make_unique<TextPageView>(textView_.get());

    BuildNumberPad();
}

void TPageForm::BuildNumberPad() {
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
        ImageButton* key = AddButton(Panel3, name.toUtf8().constData(), static_cast<int>(skin::DigitFace(digit)), r,
                                     "Select page");
        key->SetTag(digit);
        connect(key, &QAbstractButton::clicked, this, [this, digit] {
            CloseDropDowns();
            EnterDigit(static_cast<char>('0' + digit));
        });
        DigitButtons[static_cast<std::size_t>(digit)] = key;
    }
    using F = skin::Face;
    bPause = AddButton(Panel3, "bPause", static_cast<int>(F::Pause), keyRect(2, 3), "Pause");
    connect(bPause, &QAbstractButton::clicked, this, [this] { bPauseClick(); });
    const int wide = (3 * kKeyW + 2 * kGap - kGap) / 2;
    const int row5 = kTop + 4 * (kKeyH + kGap) + 8;
    bNewWindow =
        AddButton(Panel3, "bNewWindow", static_cast<int>(F::NewWindow), {left, row5, wide, kKeyH}, "New Window");
    connect(bNewWindow, &QAbstractButton::clicked, this, [this] { bNewWindowClick(); });

    // The two faces of the pause key.
    img_KPause = new QLabel(Panel3);
    img_KPause->setObjectName("img_KPause");
    img_KPause->setPixmap(skin::ButtonPicture(F::Pause, bPause->size()));
    img_KPause->hide();
    img_KPlay = new QLabel(Panel3);
    img_KPlay->setObjectName("img_KPlay");
    img_KPlay->setPixmap(skin::ButtonPicture(F::Play, bPause->size()));
    img_KPlay->hide();
    bPause->SetPicture(img_KPause->pixmap());
}

void TPageForm::BuildMenus() {
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
    mText = addMode("mText", "Text view", 12);
    connect(mVTX, &QAction::triggered, this, [this] { mVTXClick(); });
    connect(mText, &QAction::triggered, this, [this] { mTextClick(); });
    // The level the pages are drawn at, below the modes.
    mLevelSeparator = pm_VTX_Mode->addSeparator();
    mLevel = pm_VTX_Mode->addAction("Level 1.5 characters");
    mLevel->setObjectName("mLevel");
    mLevel->setCheckable(true);
    mLevel->setChecked(shared_->level != kLevel1);
    view_.Level15 = shared_->level != kLevel1;
    connect(mLevel, &QAction::triggered, this, [this] { mLevelClick(); });

    m_Save = new QMenu(this);
    m_Save->setObjectName("m_Save");
    m_SaveSingle = AddSaveMenu("Save current page", "m_SaveSingle", false, m_SaveSingleText, m_SaveSinglePicture);
}

QMenu* TPageForm::AddSaveMenu(const char* caption, const QString& name, bool allPages, QAction*& asText,
                              QAction*& asImage) {
    QMenu* menu = m_Save->addMenu(caption);
    menu->setObjectName(name);
    asText = menu->addAction("...as text");
    asText->setObjectName(name + "Text");
    asImage = menu->addAction("...as image");
    asImage->setObjectName(name + "Picture");
    connect(asText, &QAction::triggered, this, [this, allPages] { SavePages(allPages, false); });
    connect(asImage, &QAction::triggered, this, [this, allPages] { SavePages(allPages, true); });
    return menu;
}

// ------------------------------------------------------------------- pages

void TPageForm::OnVtxPage(std::uint16_t pageNo, const PageRef& page) { view_.RefreshPage(page, pageNo); }

void TPageForm::PageCanvasChanged() { VTXBox->CanvasChanged(VTXBox->rect()); }

void TPageForm::PageHeaderChanged() { VTXBox->CanvasChanged(QRect(0, 0, VTXBox->width(), kCellHeight)); }

QImage TPageForm::PageImage() const { return VTXBox->Image().copy(); }

void TPageForm::SetPageNumberCaption(const std::string& caption) {
    const QString text = QString::fromStdString(caption);
    if (sSearchStr->text() == text) return;
    sSearchStr->setText(text);
    sSearchStr->repaint();
}

void TPageForm::RegisterForPages() {
    handle_ = shared_->services.windows.Add(*this);
    if (shared_->pipeline) shared_->pipeline->Dispatcher().RegisterPageWindow(handle_);
}

void TPageForm::UnregisterFromPages() {
    if (handle_ == kNoWindow) return;
    if (shared_->pipeline) shared_->pipeline->Dispatcher().UnregisterPageWindow(handle_);
    shared_->services.windows.Remove(handle_);
    handle_ = kNoWindow;
}

int TPageForm::PageCount() const { return shared_->pipeline ? shared_->pipeline->Pages().PageCount() : 0; }

bool TPageForm::UseCaptureDll() const { return shared_->pipeline && shared_->pipeline->Sources().UseCaptureDll(); }

void TPageForm::ShowPageArea(bool text, int textWidth, std::uint32_t teletextBackground) {
    p_Teletext->setVisible(!text);
    p_Text->setVisible(text);
    p_Text->setGeometry(kPageLeft, 0, textWidth, kPageAreaHeight);
    if (!text) SetBackground(p_Teletext, FromColorRef(teletextBackground));
}

void TPageForm::SelectMode(QAction* item, std::uint8_t mode) {
    item->setChecked(true);
    view_.DisplayMode = mode;
    ApplyDisplayMode();
}

void TPageForm::mVTXClick() { SelectMode(mVTX, kModeTeletext); }

void TPageForm::mTextClick() { SelectMode(mText, kModeText); }

void TPageForm::ResetCanvasTools() {
    shared_->renderer.PreparePageCanvas(canvas_.get());
    canvas_->SetForeground(kTeletextColours[7]);
    canvas_->SetBackground(kTeletextColours[0]);
}

void TPageForm::UpdatePauseButton() { bPause->SetPicture((paused_ ? img_KPlay : img_KPause)->pixmap()); }

// ------------------------------------------------------------ page choice

void TPageForm::EnterDigit(char digit) {
    if (!view_.EnterDigit(digit)) return;
    PageEntered();
    view_.GoToEnteredPage(0);
}

bool TPageForm::HandleDigitKey(const QKeyEvent& event) {
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        // The keypad's digits arrive as digit keys with the keypad modifier.
        EnterDigit(static_cast<char>('0' + (key - Qt::Key_0)));
        return true;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_F && !(event.modifiers() & Qt::KeypadModifier)) {
        EnterDigit(static_cast<char>('A' + (key - Qt::Key_A)));
        return true;
    }
    return false;
}

void TPageForm::sSearchStrClick() {
    CloseDropDowns();
    cPageList->clear();
    std::vector<std::string> pages;
    if (!shared_->pipeline || !shared_->pipeline->Pages().ListPages(pages)) pages = {"100"};
    for (const std::string& p : pages) cPageList->addItem(QString::fromStdString(p));
    cPageList->setCurrentIndex(cPageList->findText(QString::fromStdString(PageNumberText(view_.CurrentPage))));
    cPageList->show();
    cPageList->raise();
    cPageList->setFocus(Qt::OtherFocusReason);
}

void TPageForm::cPageListChange(int index) {
    if (cPageList->isHidden()) return;
    cPageList->hide();
    if (index < 0) return;
    view_.ShownPage.reset();
    view_.PageEntry = cPageList->itemText(index).toStdString();
    view_.GoToEnteredPage(0);
}

void TPageForm::CloseDropDowns() { cPageList->hide(); }

// ------------------------------------------------------------ frame commands

void TPageForm::bLogoClick() {
    CloseDropDowns();
    TAboutBox box(*this, shared_->versionString, UseCaptureDll(), [this] { return PageCount(); });
    box.exec();
}

void TPageForm::bHelpClick() {
    CloseDropDowns();
    if (!shared_->helpFileName.empty()) shared_->services.help.OpenContents(shared_->helpFileName);
}

void TPageForm::bNewWindowClick() {
    CloseDropDowns();
    HourglassGuard hourglass(shared_->services.cursor);
    auto window = std::make_unique<TFMultiPage>(shared_);
    if (PlacesNewWindowBesideItself()) window->move(pos() + QPoint(10, 10));
    // A window that has drawn nothing yet hands over nothing: the new one
    // then starts on page 100.
    if (view_.SnapshotTaken)
        window->InitFromWindow(view_.DisplayMode, view_.PageSnapshot, view_.SnapshotEnhancements,
                               view_.CurrentSubPage, view_.CurrentPage);
    TFMultiPage& shown = *window;
    shared_->extraWindows.push_back(std::move(window));
    shown.show();
}

void TPageForm::sHeadlineMouse(QEvent* event) {
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

bool TPageForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (watched == p_Text->viewport()) {
            // The control puts the caret where the mouse went down, then the
            // click is looked at; a followed link takes the click for itself.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            p_Text->setTextCursor(p_Text->cursorForPosition(mouse->position().toPoint()));
            const std::uint16_t before = view_.CurrentPage;
            p_TextMouseDown(textView_->SelectionStart());
            if (view_.CurrentPage != before) return true;
            break;
        }
        [[fallthrough]];
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        if (watched == sHeadline) {
            sHeadlineMouse(event);
        } else if (event->type() == QEvent::MouseButtonRelease && watched == sSearchStr) {
            sSearchStrClick();
        } else if (event->type() == QEvent::MouseButtonRelease && (watched == Panel3 || watched == Image8)) {
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
