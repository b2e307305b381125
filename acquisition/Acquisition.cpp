#include "acquisition/Acquisition.h"

namespace orv {

Acquisition::Acquisition(const Registry& registry, DeviceIo& devices, UiThread& ui, PageWindowTable& windows)
    : sources_(std::make_shared<CaptureSources>(registry, devices)),
      collector_(sources_),
      dispatcher_(pages_, ui, windows) {
    dispatcher_.SetSubtitlePages(subtitles_.get());
    sources_->SetSubtitlePages(subtitles_);
}

Acquisition::~Acquisition() { Stop(); }

bool Acquisition::StartAcquisition() {
    if (!sources_->StartCapture()) return false;
    if (!collector_.Running()) {
        collector_.StartCollector();
        dispatcher_.StartDisplayDispatcher(collector_.Display(), collector_.PausedFlag(), collector_.Epoch());
    }
    return true;
}

void Acquisition::Stop() {
    dispatcher_.StopDisplayDispatcher();
    collector_.StopCollector();
}

}  // namespace orv
