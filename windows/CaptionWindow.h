// The caption window: the boxed text of one subtitle or newsflash page over
// the desktop, as a TV set shows it over the picture. Borderless, on top, on
// a transparent background (on black where the desktop does not composite).
// It follows its page number through station and channel changes, clears on
// an erase, and after a while without a new transmission of the page.
#pragma once

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <memory>

#include "acquisition/VTX_Display.h"
#include "rendering/CaptionPicture.h"
#include "windows/PageForm.h"

class QMenu;

namespace orv {

class Registry;

// The caption clears when its page has not been sent again for this long:
// longer than any subtitle stays on screen, and than the cycle of a service
// that sends its subtitle or newsflash page again with every round, yet short
// enough that a caption whose erase was lost in reception does not linger.
inline constexpr std::chrono::milliseconds kCaptionTimeout{30'000};

class CaptionWindow : public QWidget, public PageWindow {
    Q_OBJECT
public:
    CaptionWindow(std::shared_ptr<PageWindowShared> shared, Registry& registry);
    ~CaptionWindow() override;

    // Shows the window for that page number (0x100-0x8FF), with the stored
    // copy of the page until the next transmission.
    void ShowPage(std::uint16_t pageNo);
    std::uint16_t PageNo() const { return pageNo_; }
    // Another station or channel: the text goes, the page number stays.
    void StationChanged();
    // Closes: the place is kept, the page no longer followed.
    void Close();

    void OnVtxPage(std::uint16_t pageNo, const PageRef& page) override;

    // Whether the window is drawn with a transparent background (decided
    // each time it is shown).
    bool Transparent() const { return transparent_; }
    bool Showing() const { return !picture_.Empty(); }
    // Where the boxed runs are drawn now.
    std::vector<CaptionPiece> Pieces() const { return picture_.Layout(width(), height()); }
    // How often the window was painted, for the tests and the benchmark.
    int Paints() const { return paints_; }
    void SetTimeout(std::chrono::milliseconds timeout) { timeout_.setInterval(timeout); }
    // The place the window takes when none is kept: the lower part of the
    // screen, centred, 80 % of its width.
    static QRect DefaultPlace(const QRect& screen);

    QMenu* ContextMenu = nullptr;
    QAction* mCaptionClose = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Follow(bool on);
    void TimedOut();
    void ClearText();
    void PlaceWindow();
    void KeepPlace();
    Qt::Edges EdgesAt(QPoint at) const;

    std::shared_ptr<PageWindowShared> shared_;
    Registry& registry_;
    CaptionPicture picture_;
    std::uint16_t pageNo_ = 0;
    WindowHandle handle_ = kNoWindow;
    bool transparent_ = true;
    bool placed_ = false;
    int paints_ = 0;
    QTimer timeout_;
    QTimer keepPlace_;  // the place is written once a move or resize has settled
    // A drag the window does itself where the window system cannot.
    Qt::Edges dragEdges_;
    bool dragging_ = false;
    QPoint dragStart_;
    QRect dragGeometry_;
};

}  // namespace orv
