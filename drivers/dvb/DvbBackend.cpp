// The DVB library's source: a recording played at its own pace, or a live
// demux device.
#include <sys/stat.h>

#include "drivers/capture/CaptureBackend.h"
#include "drivers/dvb/DemuxSource.h"
#include "drivers/dvb/DvbSettings.h"
#include "platform/Registry.h"

namespace orv {

std::unique_ptr<PacedReplay> OpenCaptureBackend(const Registry& registry) {
    const DvbSettings settings = ReadDvbSettings(registry);
    std::string error;
    std::unique_ptr<PacketSource> source;
    struct stat info {};
    if (::stat(settings.Source.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        source = DvbRecording::Open(settings.Source, settings.Choice, error);
    else
        source = DemuxSource::Open(DemuxDevicePath(settings.Source), settings.Choice, error);
    if (!source) return nullptr;
    return std::make_unique<PacedReplay>(std::move(source), PacedReplay::Options{});
}

}  // namespace orv
