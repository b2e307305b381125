#include "windows/AboutBox.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include "windows/ImageButton.h"
#include "windows/Skin.h"

namespace orv {

namespace {

QFrame* Bevel(QWidget* parent, const char* name, QRect geometry, QFrame::Shadow shadow) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    frame->setFrameStyle(QFrame::Panel | shadow);
    frame->setLineWidth(1);
    return frame;
}

QLabel* Text(QWidget* parent, const char* name, const QString& text, QRect geometry, int pixels, bool bold,
             Qt::Alignment align) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    QFont font("Arial");
    font.setPixelSize(pixels);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget& owner, const std::string& versionString, bool useCaptureDll,
                     std::function<int()> pageCount)
    : QDialog(&owner, Qt::Dialog | Qt::FramelessWindowHint), pageCount_(std::move(pageCount)) {
    setObjectName("AboutBox");
    setWindowTitle("Info");
    setFixedSize(297, 236);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xBF, 0xB2, 0x9A));  // 10138303
    setPalette(p);
    setAutoFillBackground(true);
    BuildPanels();

    // FormCreate
    Version->setText(QString::fromStdString(versionString) + (useCaptureDll ? "DShow" : ""));
    Timer1Timer();
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
    if (QScreen* screen = owner.screen()) move(screen->availableGeometry().center() - rect().center());
}

void TAboutBox::BuildPanels() {
    Panel3 = Bevel(this, "Panel3", rect(), QFrame::Raised);
    Panel3->installEventFilter(this);
    bClose = new ImageButton("bClose", skin::Face::BoxClose, {20, 18}, "Close", Panel3);
    bClose->move(width() - 26, 6);
    connect(bClose, &QAbstractButton::clicked, this, [this] { close(); });

    Panel1 = Bevel(Panel3, "Panel1", {12, 28, 273, 128}, QFrame::Sunken);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setGeometry(10, 10, 48, 48);
    ProgramIcon->setPixmap(skin::ProgramIcon(48));
    ProductName = Text(Panel1, "ProductName", "ORV Teletext", {66, 14, 200, 30}, 22, true, Qt::AlignLeft);
    Version = Text(Panel1, "Version", "V 3.0", {10, 66, 253, 22}, 15, true, Qt::AlignHCenter);
    Copyright = Text(Panel1, "Copyright", QString::fromUtf8("Teletext for Linux \u00b7 free software"),
                     {10, 96, 253, 20}, 12, false, Qt::AlignHCenter);

    Panel2 = Bevel(Panel3, "Panel2", {12, 166, 273, 56}, QFrame::Sunken);
    Label1 = Text(Panel2, "Label1", "Pages in cache", {12, 16, 140, 24}, 14, false, Qt::AlignLeft);
    sPageCount = Text(Panel2, "sPageCount", "0", {160, 14, 100, 28}, 14, true, Qt::AlignRight);
    sPageCount->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    sPageCount->setMargin(4);
}

void TAboutBox::Timer1Timer() { sPageCount->setText(QString::number(pageCount_ ? pageCount_() : 0)); }

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Panel3) return QDialog::eventFilter(watched, event);
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QDialog::eventFilter(watched, event);
    const QPoint p = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    if (type == QEvent::MouseButtonPress) {
        lastPos_ = p;
        dragging_ = true;
    } else if (type == QEvent::MouseMove && dragging_) {
        move(pos() + (p - lastPos_));
        lastPos_ = p;
    } else if (type == QEvent::MouseButtonRelease) {
        dragging_ = false;
    }
    return true;
}

}  // namespace orv
