// The display dispatcher: empties the display queue, stores each page in the
// page database and tells every registered window, clears the database on a
// source reset or a new station name, and sends the main window to page 100
// on a station change. Storing, notifying and the station change run on the
// user-interface thread, in step with the windows; the reset clear runs on the
// dispatcher thread (readers keep their PageRef, so nothing is freed under them).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/Pages.h"
#include "acquisition/RecordQueue.h"
#include "acquisition/SubtitlePages.h"
#include "platform/UiThread.h"
#include "platform/WindowTable.h"

namespace orv {

// A window that shows pages: the page notification (message 1034,
// kWM_VTX_PAGE) is a call of OnVtxPage on the user-interface thread, after the
// page is in the database.
class PageWindow {
public:
    virtual ~PageWindow() = default;
    virtual void OnVtxPage(std::uint16_t pageNo, const PageRef& page) = 0;
};

using PageWindowTable = WindowTable<PageWindow>;

class DisplayDispatcher {
public:
    DisplayDispatcher(PageDatabase& db, UiThread& ui, PageWindowTable& windows);
    ~DisplayDispatcher();

    // Starts draining the queue of a running collector. With the collector's
    // discard count, what was queued before a discard is dropped.
    bool StartDisplayDispatcher(std::shared_ptr<DisplayQueue> queue, std::shared_ptr<const std::atomic<bool>> paused,
                                std::shared_ptr<const std::atomic<std::uint64_t>> epoch = nullptr);
    // Stops and waits, serving the thread's calls to the UI thread meanwhile.
    // Must be called on the UI thread.
    void StopDisplayDispatcher();

    // False when the window list does not exist (before start, after stop).
    bool RegisterPageWindow(WindowHandle window);
    bool UnregisterPageWindow(WindowHandle window);

    // The last station name taken over; the main window empties it when it
    // tunes another channel, so that the next name counts as a change.
    std::string CurrentStationName() const;
    void ClearStationName();
    // What a station change does besides the clear: the main window's page-100 command.
    void SetStationChangeHandler(std::function<void()> handler);
    // Told of every page stored (subtitle and newsflash pages are noted) and
    // of station changes; none: nothing is noted.
    void SetSubtitlePages(SubtitlePages* subtitles) { subtitles_ = subtitles; }

    bool Running() const { return thread_.joinable(); }

private:
    void Run(std::stop_token stop, std::uint64_t epoch);
    void Drain(const std::stop_token& stop, std::uint64_t& epoch, std::vector<PagePtr>& pages);
    void StorePages(std::vector<PagePtr>& pages, std::uint64_t epoch);
    void Handle(DisplayRecord record, std::uint64_t epoch);
    bool Discarded(std::uint64_t epoch) const { return epoch_ && epoch_->load() != epoch; }
    void PageStep(PagePtr page);
    void StationStep(const tStationName& name);

    SubtitlePages* subtitles_ = nullptr;
    PageDatabase& db_;
    UiThread& ui_;
    PageWindowTable& windows_;
    std::shared_ptr<DisplayQueue> queue_;
    std::shared_ptr<const std::atomic<bool>> paused_;
    std::shared_ptr<const std::atomic<std::uint64_t>> epoch_;

    mutable std::mutex windowsMutex_;  // guards pageWindows_
    std::optional<std::vector<WindowHandle>> pageWindows_;

    mutable std::mutex stationMutex_;
    std::string currentStation_;
    std::function<void()> onStationChange_;  // UI thread only

    std::atomic<bool> finished_{false};
    std::jthread thread_;
};

}  // namespace orv
