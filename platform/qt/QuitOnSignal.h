// Ends the event loop on SIGTERM, SIGINT or SIGHUP (log-out, Ctrl+C), so that
// the program shuts down in order: threads stopped, settings written, the
// temporary font file removed.
#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace orv {

class QuitOnSignal : public QObject {
public:
    QuitOnSignal();
    ~QuitOnSignal() override;

    // A signal has been taken. A quit that ends only a modal box (one shown
    // before the main loop runs) is otherwise forgotten by the loop after it.
    bool Requested() const { return requested_; }

private:
    bool requested_ = false;
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orv
