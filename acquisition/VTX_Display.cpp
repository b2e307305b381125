#include "acquisition/VTX_Display.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace orv {

using namespace std::chrono_literals;

namespace {
// Pages stored per trip to the UI thread at most, so that a long burst still
// lets the UI thread handle its own events in between.
constexpr std::size_t kPagesPerTrip = 32;
}  // namespace

DisplayDispatcher::DisplayDispatcher(PageDatabase& db, UiThread& ui, PageWindowTable& windows)
    : db_(db), ui_(ui), windows_(windows) {}

DisplayDispatcher::~DisplayDispatcher() {
    if (thread_.joinable()) StopDisplayDispatcher();
}

bool DisplayDispatcher::StartDisplayDispatcher(std::shared_ptr<DisplayQueue> queue,
                                               std::shared_ptr<const std::atomic<bool>> paused,
                                               std::shared_ptr<const std::atomic<std::uint64_t>> epoch) {
    {
        std::lock_guard guard(windowsMutex_);
        if (!pageWindows_) pageWindows_.emplace();
    }
    if (thread_.joinable() || !queue) return true;
    queue_ = std::move(queue);
    paused_ = std::move(paused);
    epoch_ = std::move(epoch);
    finished_ = false;
    // What counts as queued before a discard is decided now, not when the
    // thread gets going.
    const std::uint64_t epochNow = epoch_ ? epoch_->load() : 0;
    thread_ = std::jthread([this, epochNow](std::stop_token stop) { Run(stop, epochNow); });
    return true;
}

void DisplayDispatcher::StopDisplayDispatcher() {
    if (thread_.joinable()) {
        thread_.request_stop();
        queue_->Ready().Set();  // wake it now
        // The thread may be waiting for the UI thread (a page step): keep serving.
        ui_.ServeUntil([this] { return finished_.load(); });
        thread_.join();
    }
    std::lock_guard guard(windowsMutex_);
    pageWindows_.reset();
    queue_.reset();
}

bool DisplayDispatcher::RegisterPageWindow(WindowHandle window) {
    std::lock_guard guard(windowsMutex_);
    if (!pageWindows_) return false;
    if (std::find(pageWindows_->begin(), pageWindows_->end(), window) == pageWindows_->end())
        pageWindows_->push_back(window);
    return true;
}

bool DisplayDispatcher::UnregisterPageWindow(WindowHandle window) {
    std::lock_guard guard(windowsMutex_);
    if (!pageWindows_) return false;
    std::erase(*pageWindows_, window);
    return true;
}

std::string DisplayDispatcher::CurrentStationName() const {
    std::lock_guard guard(stationMutex_);
    return currentStation_;
}

void DisplayDispatcher::ClearStationName() {
    std::lock_guard guard(stationMutex_);
    currentStation_.clear();
}

void DisplayDispatcher::SetStationChangeHandler(std::function<void()> handler) {
    onStationChange_ = std::move(handler);
}

void DisplayDispatcher::Run(std::stop_token stop, std::uint64_t epoch) {
    std::vector<PagePtr> pages;
    while (!stop.stop_requested()) {
        try {
            pages.reserve(kPagesPerTrip);
            Drain(stop, epoch, pages);
        } catch (const std::bad_alloc&) {
            pages.clear();  // no memory for the trip to the UI thread: these pages are lost
        }
    }
    finished_ = true;
}

// One wake-up: everything queued by now, stored and announced in trips.
void DisplayDispatcher::Drain(const std::stop_token& stop, std::uint64_t& epoch,
                              std::vector<PagePtr>& pages) {
    if (!queue_->Ready().Wait(100ms)) return;
    queue_->Ready().Reset();
    while (!stop.stop_requested()) {
        std::optional<DisplayRecord> record = queue_->TakeFirst();
        if (!record) break;
        if (paused_ && paused_->load()) continue;  // dropped, whatever it is
        if (Discarded(epoch)) {
            // Queued before a discard: this record, the rest and what waits for a trip.
            epoch = epoch_->load();
            pages.clear();
            queue_->Clear();
            continue;
        }
        if (auto* page = std::get_if<PagePtr>(&*record)) {
            try {
                pages.push_back(std::move(*page));
            } catch (const std::bad_alloc&) {
                continue;  // no memory to keep it for the trip: this page is lost, the rest go on
            }
            if (pages.size() < kPagesPerTrip) continue;
        }
        StorePages(pages, epoch);  // the pages before this record come first
        if (!std::holds_alternative<PagePtr>(*record)) Handle(std::move(*record), epoch);
    }
    StorePages(pages, epoch);
}

void DisplayDispatcher::StorePages(std::vector<PagePtr>& pages, std::uint64_t epoch) {
    if (pages.empty()) return;
    // One trip to the UI thread for the pages that arrived in a burst; each is
    // still stored and announced on its own, in order. RunAndWait returns only
    // when the step has run, so the step may refer to the pages here. A
    // discard comes from the UI thread, so there it is seen for certain.
    ui_.RunAndWait([this, &pages, epoch] {
        if (Discarded(epoch)) return;
        for (auto& page : pages) PageStep(std::move(page));
    });
    pages.clear();
}

void DisplayDispatcher::Handle(DisplayRecord record, std::uint64_t epoch) {
    if (auto* name = std::get_if<std::unique_ptr<tStationName>>(&record)) {
        const tStationName& station = **name;
        ui_.RunAndWait([this, &station, epoch] {
            if (!Discarded(epoch)) StationStep(station);
        });
    } else {
        db_.ClearPageDatabase();  // a reset: the source started over
    }
}

void DisplayDispatcher::PageStep(PagePtr page) {
    const std::uint16_t pageNo = page->PageNo;
    const PageRef stored = db_.Store(std::move(page));
    if (!stored) return;
    if (subtitles_) subtitles_->PageSeen(*stored);
    std::vector<WindowHandle> targets;  // the list as it stands now
    try {
        std::lock_guard guard(windowsMutex_);
        if (!pageWindows_) return;
        targets = *pageWindows_;
    } catch (const std::bad_alloc&) {
        return;  // stored, but no memory to tell the windows now; they find it when they look
    }
    // A handle whose window is gone finds nothing and is skipped.
    for (const WindowHandle handle : targets)
        if (PageWindow* window = windows_.Find(handle)) window->OnVtxPage(pageNo, stored);
}

void DisplayDispatcher::StationStep(const tStationName& record) {
    const std::string name(StationNameText(record));
    {
        std::lock_guard guard(stationMutex_);
        if (name == currentStation_) return;
        currentStation_ = name;
    }
    db_.ClearPageDatabase();
    if (subtitles_) subtitles_->ClearSeen();
    if (onStationChange_) onStationChange_();
}

}  // namespace orv
