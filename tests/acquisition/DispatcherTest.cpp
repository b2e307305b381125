#include "acquisition/VTX_Display.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

// A window that records its notifications and what the database held then.
class RecordingWindow : public PageWindow {
public:
    RecordingWindow(std::string name, std::vector<std::string>& log, PageDatabase& db)
        : name_(std::move(name)), log_(log), db_(db) {}
    void OnVtxPage(std::uint16_t pageNo, const PageRef& page) override {
        const bool stored = db_.FindPage(pageNo, page->SubCode) == page;
        char line[64];
        std::snprintf(line, sizeof line, "%s %03X%s", name_.c_str(), pageNo, stored ? "" : " (not stored)");
        log_.emplace_back(line);
    }

private:
    std::string name_;
    std::vector<std::string>& log_;
    PageDatabase& db_;
};

std::unique_ptr<tStationName> Station(std::string_view name) {
    auto record = std::make_unique<tStationName>();
    record->Name[0] = static_cast<std::uint8_t>(name.size());
    std::memcpy(record->Name.data() + 1, name.data(), name.size());
    return record;
}

class Dispatcher : public ::testing::Test {
protected:
    PageDatabase db;
    EventLoopUiThread ui;
    PageWindowTable windows;
    std::vector<std::string> log;
    std::shared_ptr<DisplayQueue> queue = std::make_shared<DisplayQueue>();
    std::shared_ptr<std::atomic<bool>> paused = std::make_shared<std::atomic<bool>>(false);
    DisplayDispatcher dispatcher{db, ui, windows};

    void Post(DisplayRecord record) { queue->Append(std::move(record)); }
    void Serve() { ui.ServeFor(150ms); }
};

TEST_F(Dispatcher, NotifiesEachWindowOnceInRegistrationOrderAfterStoring) {
    RecordingWindow first("first", log, db), second("second", log, db);
    const WindowHandle a = windows.Add(first), b = windows.Add(second);
    EXPECT_FALSE(dispatcher.RegisterPageWindow(a));  // no list before the start
    dispatcher.StartDisplayDispatcher(queue, paused);
    ASSERT_TRUE(dispatcher.RegisterPageWindow(b));
    ASSERT_TRUE(dispatcher.RegisterPageWindow(a));
    ASSERT_TRUE(dispatcher.RegisterPageWindow(b));  // again: still once

    Post(test::MakePage(0x100, 0, {{1, "x"}}));
    Serve();
    EXPECT_EQ(log, (std::vector<std::string>{"second 100", "first 100"}));

    // A destroyed window that never unregistered is skipped.
    windows.Remove(b);
    Post(test::MakePage(0x101, 0, {{1, "x"}}));
    Serve();
    EXPECT_EQ(log.back(), "first 101");
    EXPECT_EQ(log.size(), 3u);

    EXPECT_TRUE(dispatcher.UnregisterPageWindow(a));
    Post(test::MakePage(0x102, 0, {{1, "x"}}));
    Serve();
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(db.PageCount(), 3);

    dispatcher.StopDisplayDispatcher();
    EXPECT_FALSE(dispatcher.RegisterPageWindow(a));
    EXPECT_FALSE(dispatcher.UnregisterPageWindow(a));
}

TEST_F(Dispatcher, PauseDropsEverything) {
    RecordingWindow window("w", log, db);
    dispatcher.StartDisplayDispatcher(queue, paused);
    dispatcher.RegisterPageWindow(windows.Add(window));
    *paused = true;
    Post(test::MakePage(0x100, 0));
    Post(Station("Paused TV"));
    Serve();
    EXPECT_EQ(db.PageCount(), 0);
    EXPECT_EQ(dispatcher.CurrentStationName(), "");
    *paused = false;
    Post(test::MakePage(0x200, 0));
    Serve();
    EXPECT_EQ(log, (std::vector<std::string>{"w 200"}));
    dispatcher.StopDisplayDispatcher();
}

TEST_F(Dispatcher, StationChangesClearOnceAndResetsClearWithoutNotifying) {
    RecordingWindow window("w", log, db);
    int page100 = 0;
    dispatcher.SetStationChangeHandler([&] { ++page100; });
    dispatcher.StartDisplayDispatcher(queue, paused);
    dispatcher.RegisterPageWindow(windows.Add(window));

    Post(test::MakePage(0x100, 0));
    Post(Station("ORV One"));  // the first name differs from the empty one: clear
    Post(test::MakePage(0x101, 0));
    Post(Station("ORV One"));  // unchanged: nothing
    Serve();
    EXPECT_EQ(db.PageCount(), 1);
    EXPECT_TRUE(db.FindPage(0x101, 0));
    EXPECT_EQ(page100, 1);
    EXPECT_EQ(dispatcher.CurrentStationName(), "ORV One");

    Post(Station("ORV Two"));
    Serve();
    EXPECT_EQ(db.PageCount(), 0);
    EXPECT_EQ(page100, 2);

    Post(test::MakePage(0x102, 0));
    Serve();
    const std::size_t notified = log.size();
    const PageRef held = db.FindPage(0x102, 0);
    Post(std::make_unique<tResetNotice>());
    Serve();
    EXPECT_EQ(db.PageCount(), 0);
    EXPECT_EQ(log.size(), notified);
    EXPECT_EQ(held->PageNo, 0x102);  // a reader's record survives the clear

    dispatcher.ClearStationName();
    Post(Station("ORV Two"));
    Serve();
    EXPECT_EQ(page100, 3);  // after a channel change the same name counts again
    dispatcher.StopDisplayDispatcher();
}

TEST_F(Dispatcher, StopServesAStepThatIsWaitingForTheUiThread) {
    dispatcher.StartDisplayDispatcher(queue, paused);
    for (int i = 0; i < 50; ++i) Post(test::MakePage(static_cast<std::uint16_t>(0x100 + i), 0));
    // Nobody serves the UI thread until the stop, which must not hang.
    std::this_thread::sleep_for(50ms);
    dispatcher.StopDisplayDispatcher();
    EXPECT_FALSE(dispatcher.Running());
    EXPECT_GE(db.PageCount(), 1);
}

TEST_F(Dispatcher, WhatWasQueuedBeforeADiscardIsNeverStored) {
    auto epoch = std::make_shared<std::atomic<std::uint64_t>>(0);
    dispatcher.StartDisplayDispatcher(queue, paused, epoch);
    Post(test::MakePage(0x100, 0, {{1, "old"}}));
    Post(Station("OLD CHANNEL"));
    ++*epoch;  // retuned before the dispatcher came round to them
    Serve();
    EXPECT_EQ(db.PageCount(), 0);
    EXPECT_EQ(dispatcher.CurrentStationName(), "");
    Post(test::MakePage(0x101, 0, {{1, "new"}}));
    Serve();
    EXPECT_EQ(db.PageCount(), 1);
}

}  // namespace
}  // namespace orv
