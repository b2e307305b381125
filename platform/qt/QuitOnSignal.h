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

private:
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orv
