#include "platform/qt/QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace orv {

namespace {

// The one thing a signal handler may do here: write a byte.
volatile int gSignalFd = -1;

void OnSignal(int) {
    const char byte = 1;
    if (gSignalFd >= 0) [[maybe_unused]] auto written = ::write(gSignalFd, &byte, 1);
}

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

QuitOnSignal::QuitOnSignal() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0) return;
    gSignalFd = fds_[0];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] auto got = ::read(fds_[1], &byte, 1);
        requested_ = true;
        // exit(), not quit(): quit() does nothing unless the main loop runs,
        // and a box at start-up runs only its own loop.
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal() {
    for (int s : kSignals) ::signal(s, SIG_DFL);
    gSignalFd = -1;
    notifier_.reset();
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

}  // namespace orv
