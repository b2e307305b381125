// The DVB library's source: a recording played at its own pace, or a live
// demux device.
#include <sys/stat.h>

#include "drivers/capture/CaptureBackend.h"
#include "drivers/dvb/DemuxSource.h"
#include "drivers/dvb/DvbSettings.h"
#include "platform/Registry.h"

namespace orv {

namespace {

// What was looked for, as the settings say it.
std::string ChoiceText(const TsChoice& choice) {
    if (choice.ServiceId) return " (\"ServiceId\" " + std::to_string(*choice.ServiceId) + ")";
    if (!choice.ServiceName.empty()) return " (\"ServiceName\" \"" + choice.ServiceName + "\")";
    if (choice.Pid) return " (\"PID\" " + std::to_string(*choice.Pid) + ")";
    return {};
}

}  // namespace

std::unique_ptr<PacedReplay> OpenCaptureBackend(const Registry& registry, std::string& error) {
    const DvbSettings settings = ReadDvbSettings(registry);
    std::unique_ptr<PacketSource> source;
    struct stat info {};
    if (::stat(settings.Source.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        source = DvbRecording::Open(settings.Source, settings.Choice, error);
    else
        source = DemuxSource::Open(DemuxDevicePath(settings.Source), settings.Choice, error);
    if (!source) {
        error = "DVB \"Source\" " + settings.Source + ChoiceText(settings.Choice) + ": " + error;
        return nullptr;
    }
    return std::make_unique<PacedReplay>(std::move(source), PacedReplay::Options{});
}

}  // namespace orv
