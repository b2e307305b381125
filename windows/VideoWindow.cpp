#include "windows/VideoWindow.h"

#include <QPaintEvent>
#include <QPainter>

#include "tv/TVDriver.h"

namespace orv {

std::unique_ptr<VideoWindow> VideoWindow::Create(const TVDriver& driver, QWidget* parent) {
    if (!driver.Loaded() || !driver.VideoWindowMessage() || !driver.VideoWindowFrame()) return nullptr;
    return std::make_unique<VideoWindow>(driver.VideoWindowMessage(), driver.VideoWindowFrame(), parent);
}

VideoWindow::VideoWindow(OrvVideoWindowMessage* message, OrvVideoWindowFrame* frame, QWidget* parent)
    : QWidget(parent), message_(message), frame_(frame) {
    setObjectName(kVideoWindowClass);
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(kVideoFrameInterval);
    connect(&timer_, &QTimer::timeout, this, [this] { NextFrame(); });
}

VideoWindow::~VideoWindow() {
    if (running_) message_(kVideoWindowStop, 0, 0);
}

std::intptr_t VideoWindow::SendMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    const std::intptr_t answer = message_(message, wParam, lParam);
    if (message == kVideoWindowStart && answer > 0) {
        running_ = true;
        FollowVisibility();
        NextFrame();
    } else if (message == kVideoWindowStop) {
        running_ = false;
        FollowVisibility();
        hasPicture_ = false;
        update();
    }
    return answer;
}

void VideoWindow::FollowVisibility() {
    if (running_ && isVisible()) {
        if (!timer_.isActive()) timer_.start();
    } else {
        timer_.stop();
    }
}

void VideoWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FollowVisibility();
    if (running_) NextFrame();  // no stale picture from before it was hidden
}

// Also when an ancestor is hidden (the text modes hide the page area) or the
// main window is minimised.
void VideoWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

void VideoWindow::NextFrame() {
    if (!isVisible() || width() <= 0 || height() <= 0) return;
    if (picture_.size() != size()) picture_ = QImage(size(), QImage::Format_RGB32);
    hasPicture_ = frame_(reinterpret_cast<std::uint32_t*>(picture_.bits()), picture_.width(), picture_.height(),
                         static_cast<int>(picture_.bytesPerLine() / 4)) > 0;
    ++frames_;
    if (BeforeFrame) BeforeFrame();
    update();
}

void VideoWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (hasPicture_ && picture_.size() == size())
        painter.drawImage(event->rect().topLeft(), picture_, event->rect());
    else
        painter.fillRect(event->rect(), Qt::black);
}

}  // namespace orv
