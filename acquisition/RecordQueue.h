// The queues between the collector threads: a first-in first-out list under
// its own lock, paired with a manual-reset event that the producer sets after
// each append. The consumer resets the event, then drains the list, so a
// record appended in between is still taken in the same pass.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

#include "acquisition/UTeletextTypes.h"
#include "platform/ManualResetEvent.h"

namespace orv {

template <class Record>
class RecordQueue {
public:
    void Append(Record record) {
        {
            std::lock_guard guard(mutex_);
            records_.push_back(std::move(record));
        }
        ready_.Set();
    }

    std::optional<Record> TakeFirst() {
        std::lock_guard guard(mutex_);
        if (records_.empty()) return std::nullopt;
        Record record = std::move(records_.front());
        records_.pop_front();
        return record;
    }

    void Clear() {
        std::deque<Record> gone;
        std::lock_guard guard(mutex_);
        records_.swap(gone);
    }

    std::size_t Size() const {
        std::lock_guard guard(mutex_);
        return records_.size();
    }

    ManualResetEvent& Ready() { return ready_; }

private:
    mutable std::mutex mutex_;
    std::deque<Record> records_;
    ManualResetEvent ready_;
};

// What the page assembly posts for the dispatcher.
using DisplayRecord =
    std::variant<std::unique_ptr<tPageImage>, std::unique_ptr<tStationName>, std::unique_ptr<tResetNotice>>;

using CaptureQueue = RecordQueue<std::unique_ptr<tVTXBatch>>;
using DisplayQueue = RecordQueue<DisplayRecord>;

}  // namespace orv
