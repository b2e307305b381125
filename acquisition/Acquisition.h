// Everything between a capture source and the page windows, started and
// stopped in the right order: the capture sources, the collector threads, the
// page database and the display dispatcher.
#pragma once

#include <memory>

#include "acquisition/Pages.h"
#include "acquisition/VTX_Collect.h"
#include "acquisition/VTX_Display.h"

namespace orv {

class Acquisition {
public:
    Acquisition(const Registry& registry, DeviceIo& devices, UiThread& ui, PageWindowTable& windows);
    ~Acquisition();

    // Starts capture (the capture library, else the VBI device); the first
    // time also the collector threads and the dispatcher. False when no
    // source could be started.
    bool StartAcquisition();
    // Stops capture only, keeping the threads (a restart follows).
    void StopCapture() { sources_->StopCapture(); }
    // The dispatcher, then the collector threads and capture. On the UI thread.
    void Stop();

    PageDatabase& Pages() { return pages_; }
    CaptureSources& Sources() { return *sources_; }
    Collector& Collectors() { return collector_; }
    DisplayDispatcher& Dispatcher() { return dispatcher_; }
    SubtitlePages& Subtitles() { return *subtitles_; }

private:
    PageDatabase pages_;
    // Shared with the capture thread, which may outlive a stop while its read hangs.
    std::shared_ptr<SubtitlePages> subtitles_ = std::make_shared<SubtitlePages>();
    std::shared_ptr<CaptureSources> sources_;
    Collector collector_;
    DisplayDispatcher dispatcher_;
};

}  // namespace orv
