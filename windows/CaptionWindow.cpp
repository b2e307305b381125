#include "windows/CaptionWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "platform/qt/X11Compositing.h"
#include "windows/MainSettings.h"

namespace orv {

namespace {

constexpr int kEdgeMargin = 8;   // pixels at the border where a drag resizes
constexpr int kSmallest = 40;    // the smallest width and height a drag leaves
constexpr int kDefaultRows = 4;  // two double-height lines, as most subtitles are
constexpr std::chrono::milliseconds kPlaceSettles{1000};

}  // namespace

CaptionWindow::CaptionWindow(std::shared_ptr<PageWindowShared> shared, Registry& registry)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      shared_(std::move(shared)),
      registry_(registry),
      picture_(shared_->fonts) {
    setObjectName("CaptionWindow");
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(kSmallest, kSmallest / 2);
    ContextMenu = new QMenu(this);
    ContextMenu->setObjectName("pmCaption");
    mCaptionClose = ContextMenu->addAction("Close");
    mCaptionClose->setObjectName("mCaptionClose");
    connect(mCaptionClose, &QAction::triggered, this, [this] { Close(); });
    timeout_.setSingleShot(true);
    timeout_.setInterval(kCaptionTimeout);
    connect(&timeout_, &QTimer::timeout, this, [this] { TimedOut(); });
    keepPlace_.setSingleShot(true);
    keepPlace_.setInterval(kPlaceSettles);
    connect(&keepPlace_, &QTimer::timeout, this, [this] { KeepPlace(); });
}

CaptionWindow::~CaptionWindow() {
    if (isVisible()) KeepPlace();
    Follow(false);
}

QRect CaptionWindow::DefaultPlace(const QRect& screen) {
    const int width = screen.width() * 4 / 5;
    const int height = std::max(kSmallest / 2, width * kCellHeight * kDefaultRows / (kCellWidth * 40));
    // The lowest tenth of the screen stays free, as a TV set keeps its
    // subtitles inside the picture's safe area.
    const int bottom = screen.top() + screen.height() * 9 / 10;
    return {screen.left() + (screen.width() - width) / 2, std::max(screen.top(), bottom - height), width, height};
}

void CaptionWindow::ShowPage(std::uint16_t pageNo) {
    pageNo_ = pageNo;
    setWindowTitle(QString::fromStdString("ORV Teletext " + PageNumberText(pageNo)));
    // A transparent background needs a window made for it; the desktop may
    // have started or stopped compositing since the last time.
    const bool transparent = DesktopComposites();
    if (transparent != transparent_ && testAttribute(Qt::WA_WState_Created)) destroy();
    transparent_ = transparent;
    setAttribute(Qt::WA_TranslucentBackground, transparent_);
    picture_.Clear();
    timeout_.stop();
    Follow(true);
    if (shared_->pipeline)
        if (const PageRef stored = shared_->pipeline->Pages().FindPage(pageNo, 0)) OnVtxPage(pageNo, stored);
    PlaceWindow();
    const bool wasShown = isVisible();
    show();
    if (wasShown) raise();  // above what covered it since
    activateWindow();
    update();
}

void CaptionWindow::Follow(bool on) {
    if (on == (handle_ != kNoWindow)) return;
    PageWindowTable& windows = shared_->services.windows;
    if (on) {
        handle_ = windows.Add(*this);
        if (shared_->pipeline) shared_->pipeline->Dispatcher().RegisterPageWindow(handle_);
    } else {
        if (shared_->pipeline) shared_->pipeline->Dispatcher().UnregisterPageWindow(handle_);
        windows.Remove(handle_);
        handle_ = kNoWindow;
    }
}

void CaptionWindow::OnVtxPage(std::uint16_t pageNo, const PageRef& page) {
    if (pageNo != pageNo_ || !page) return;
    timeout_.start();
    // Every transmission is a whole page: an erased one without text clears
    // the caption, one with the same text as before changes nothing.
    const PageEnhancements* enhancements = shared_->level != kLevel1 ? EnhancementsOf(page) : nullptr;
    if (picture_.Take(*page, enhancements, shared_->renderer)) update();
}

void CaptionWindow::StationChanged() {
    timeout_.stop();
    ClearText();
}

void CaptionWindow::TimedOut() { ClearText(); }

void CaptionWindow::ClearText() {
    if (picture_.Clear()) update();
}

void CaptionWindow::Close() {
    if (isVisible()) KeepPlace();
    keepPlace_.stop();
    timeout_.stop();
    Follow(false);
    picture_.Clear();
    dragging_ = false;
    hide();
}

// ------------------------------------------------------------------ drawing

void CaptionWindow::paintEvent(QPaintEvent*) {
    ++paints_;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), transparent_ ? QColor(Qt::transparent) : QColor(Qt::black));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (picture_.Empty()) return;
    const Canvas& page = picture_.Page();
    const QImage image(reinterpret_cast<const uchar*>(page.Pixels().data()), page.Width(), page.Height(),
                       page.Width() * 4, QImage::Format_RGB32);
    for (const CaptionPiece& piece : picture_.Layout(width(), height())) {
        const QRect target(QPoint(piece.Target.Left, piece.Target.Top),
                           QPoint(piece.Target.Right - 1, piece.Target.Bottom - 1));
        const QRect source(QPoint(piece.Source.Left, piece.Source.Top),
                           QPoint(piece.Source.Right - 1, piece.Source.Bottom - 1));
        painter.fillRect(target, FromColorRef(piece.Box));
        painter.drawImage(target, image, source);
    }
}

// ------------------------------------------------------------- place, size

void CaptionWindow::PlaceWindow() {
    if (placed_) return;
    placed_ = true;
    QRect geometry;
    if (const auto kept = ReadCaptionPlace(registry_)) {
        geometry = QRect(kept->Left, kept->Top, kept->Width, kept->Height);
        // A place on a screen that is no longer there would hide the window.
        if (!QGuiApplication::screenAt(geometry.center())) geometry = QRect();
    }
    if (geometry.isNull()) {
        // The screen the user works on: where the pointer chose the page.
        const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (screen) geometry = DefaultPlace(screen->geometry());
    }
    if (!geometry.isNull()) setGeometry(geometry);
}

void CaptionWindow::KeepPlace() {
    keepPlace_.stop();
    const QRect g = geometry();
    try {
        WriteCaptionPlace(registry_, {g.left(), g.top(), g.width(), g.height()});
    } catch (...) {
        // A registry that cannot be written loses only the place.
    }
}

void CaptionWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) keepPlace_.start();
}

void CaptionWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isVisible()) keepPlace_.start();
}

Qt::Edges CaptionWindow::EdgesAt(QPoint at) const {
    Qt::Edges edges;
    if (at.x() < kEdgeMargin) edges |= Qt::LeftEdge;
    if (at.x() >= width() - kEdgeMargin) edges |= Qt::RightEdge;
    if (at.y() < kEdgeMargin) edges |= Qt::TopEdge;
    if (at.y() >= height() - kEdgeMargin) edges |= Qt::BottomEdge;
    return edges;
}

namespace {

Qt::CursorShape CursorFor(Qt::Edges edges) {
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical)
        return edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge) ? Qt::SizeFDiagCursor
                                                                                                  : Qt::SizeBDiagCursor;
    if (horizontal) return Qt::SizeHorCursor;
    if (vertical) return Qt::SizeVerCursor;
    return Qt::SizeAllCursor;
}

}  // namespace

void CaptionWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragEdges_ = EdgesAt(event->position().toPoint());
    dragStart_ = event->globalPosition().toPoint();
    dragGeometry_ = geometry();
    dragging_ = false;
}

// A drag moves the window, or resizes it from a border. The window system
// does it where it can (a window manager knows the screens and edges);
// where it cannot, the window follows the pointer itself.
void CaptionWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        setCursor(CursorFor(EdgesAt(event->position().toPoint())));
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - dragStart_;
    if (!dragging_) {
        if (delta.manhattanLength() < QApplication::startDragDistance()) return;
        QWindow* window = windowHandle();
        const bool bySystem = window && (dragEdges_ ? window->startSystemResize(dragEdges_) : window->startSystemMove());
        if (bySystem) return;
        dragging_ = true;
    }
    QRect g = dragGeometry_;
    if (!dragEdges_) {
        move(g.topLeft() + delta);
        return;
    }
    if (dragEdges_ & Qt::LeftEdge) g.setLeft(std::min(g.left() + delta.x(), g.right() - kSmallest));
    if (dragEdges_ & Qt::RightEdge) g.setRight(std::max(g.right() + delta.x(), g.left() + kSmallest));
    if (dragEdges_ & Qt::TopEdge) g.setTop(std::min(g.top() + delta.y(), g.bottom() - kSmallest / 2));
    if (dragEdges_ & Qt::BottomEdge) g.setBottom(std::max(g.bottom() + delta.y(), g.top() + kSmallest / 2));
    setGeometry(g);
}

void CaptionWindow::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

// ------------------------------------------------------------------ closing

void CaptionWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Close();
}

void CaptionWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return Close();
    QWidget::keyPressEvent(event);
}

void CaptionWindow::closeEvent(QCloseEvent* event) {
    Close();  // closed by the window system (a key of the window manager)
    event->accept();
}

void CaptionWindow::contextMenuEvent(QContextMenuEvent* event) { ContextMenu->popup(event->globalPos()); }

}  // namespace orv
