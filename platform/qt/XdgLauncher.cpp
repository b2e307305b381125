#include "platform/qt/XdgLauncher.h"

#include <QProcess>
#include <string_view>


namespace orv {

// The show value does not apply: the opener has no window of its own.
bool XdgLauncher::WinExec(const std::string& command, int /*show*/) {
    constexpr std::string_view kStart = "start ";
    if (!std::string_view(command).starts_with(kStart)) return false;
    const std::string_view target = std::string_view(command).substr(kStart.size());
    if (target.empty() || target.front() == '-') return false;
    // Detached: the browser outlives the viewer, and no child is left to reap.
    return QProcess::startDetached(QString::fromStdString(program_), {QString::fromUtf8(target.data(), static_cast<qsizetype>(target.size()))});
}

}  // namespace orv
