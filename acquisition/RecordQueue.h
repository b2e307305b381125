// The queues between the collector threads: a first-in first-out list under
// its own lock, paired with a manual-reset event that the producer sets after
// each append. The consumer resets the event, then drains the list, so a
// record appended in between is still taken in the same pass.
//
// A queue holds a bounded number of records: a producer faster than its
// consumer waits for room (the source behind it then drops what it cannot
// hold, as a card does), so memory stays flat whatever the source delivers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"
#include "platform/ManualResetEvent.h"

namespace orv {

template <class Record>
class RecordQueue {
public:
    explicit RecordQueue(std::size_t capacity = std::numeric_limits<std::size_t>::max()) : capacity_(capacity) {}

    // Appends, waiting while the queue is full. False, with the record
    // dropped, when stopped() turns true during that wait.
    bool Append(Record record, const std::function<bool()>& stopped = {}) {
        {
            std::unique_lock lock(mutex_);
            while (records_.size() >= capacity_) {
                if (stopped && stopped()) return false;
                room_.wait_for(lock, kRoomCheck);  // a stop is seen within this time
            }
            records_.push_back(std::move(record));
        }
        ready_.Set();
        return true;
    }

    std::optional<Record> TakeFirst() {
        std::optional<Record> record;
        {
            std::lock_guard guard(mutex_);
            if (records_.empty()) return std::nullopt;
            record.emplace(std::move(records_.front()));
            records_.pop_front();
        }
        room_.notify_one();
        return record;
    }

    void Clear() {
        std::deque<Record> gone;
        {
            std::lock_guard guard(mutex_);
            records_.swap(gone);
        }
        room_.notify_all();
    }

    std::size_t Size() const {
        std::lock_guard guard(mutex_);
        return records_.size();
    }

    std::size_t Capacity() const { return capacity_; }
    ManualResetEvent& Ready() { return ready_; }

private:
    static constexpr auto kRoomCheck = std::chrono::milliseconds(20);

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<Record> records_;
    ManualResetEvent ready_;
};

// What the page assembly posts for the dispatcher.
using DisplayRecord =
    std::variant<PagePtr, std::unique_ptr<tStationName>, std::unique_ptr<tResetNotice>>;

using CaptureQueue = RecordQueue<std::unique_ptr<tVTXBatch>>;
using DisplayQueue = RecordQueue<DisplayRecord>;

// Batches of up to 500 packets: some 20 seconds of broadcast.
inline constexpr std::size_t kCaptureQueueCapacity = 64;
// Pages and notices: far more than a burst of a whole magazine.
inline constexpr std::size_t kDisplayQueueCapacity = 1024;

}  // namespace orv
