// The busy cursor shown while a command works through the pages.
#pragma once

namespace orv {

class BusyCursor {
public:
    virtual ~BusyCursor() = default;
    virtual void Begin() = 0;  // show the hourglass (nests)
    virtual void End() = 0;    // restore the cursor
};

// Hourglass for a scope; restored however the scope is left.
class HourglassGuard {
public:
    explicit HourglassGuard(BusyCursor& cursor) : cursor_(cursor) { cursor_.Begin(); }
    ~HourglassGuard() { cursor_.End(); }
    HourglassGuard(const HourglassGuard&) = delete;
    HourglassGuard& operator=(const HourglassGuard&) = delete;

private:
    BusyCursor& cursor_;
};

}  // namespace orv
