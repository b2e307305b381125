// Where the page assembly step delivers its records: finished pages, station
// names and reset notices. The collector thread posts them to the display
// queue; tools that run the assembly synchronously handle them at once.
#pragma once

#include <memory>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

class DisplaySink {
public:
    virtual ~DisplaySink() = default;
    virtual void PostPage(PagePtr page) = 0;
    virtual void PostStationName(std::unique_ptr<tStationName> name) = 0;
    virtual void PostReset(std::unique_ptr<tResetNotice> notice) = 0;
};

}  // namespace orv
