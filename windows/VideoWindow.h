// "ORVVideoWindow": the TV picture as a child window. The class exists only
// while a TV driver library that provides it is loaded; the window asks the
// library for a picture 25 times a second between the start (1027) and the
// stop (1028) messages and passes it the window-moved messages.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "tv/TVDriverAbi.h"

namespace orv {

class TVDriver;

inline constexpr char kVideoWindowClass[] = "ORVVideoWindow";
inline constexpr int kVideoFrameInterval = 40;  // milliseconds: 25 pictures a second

class VideoWindow : public QWidget {
    Q_OBJECT
public:
    // None when the loaded driver provides no video window class.
    static std::unique_ptr<VideoWindow> Create(const TVDriver& driver, QWidget* parent);

    VideoWindow(OrvVideoWindowMessage* message, OrvVideoWindowFrame* frame, QWidget* parent);
    ~VideoWindow() override;

    // A message sent to the window; the library's answer.
    std::intptr_t SendMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

    // Before each new picture is shown: lets the page drawn over it know that
    // the repaint is the picture's.
    std::function<void()> BeforeFrame;

    std::uint64_t FramesShown() const { return frames_; }
    // Pictures are asked for: started, and shown (a hidden window wakes no one).
    bool Ticking() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void NextFrame();
    // The timer runs while the window is started and can be seen.
    void FollowVisibility();

    OrvVideoWindowMessage* message_;
    OrvVideoWindowFrame* frame_;
    QTimer timer_;
    QImage picture_;
    bool running_ = false;
    bool hasPicture_ = false;
    std::uint64_t frames_ = 0;
};

}  // namespace orv
