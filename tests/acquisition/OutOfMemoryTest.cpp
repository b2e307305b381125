// The acquisition threads and the page store when memory runs out: while
// failures are switched on, every fifth allocation of any thread fails. What
// could not be allocated is lost, never the program, and once memory is back
// pages flow again. A program of its own, as it replaces operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "acquisition/VTX_Collect.h"
#include "acquisition/VTX_Display.h"
#include "drivers/broadcast/PacketEncoder.h"
#include "platform/UiThread.h"

namespace {

std::atomic<bool> failing{false};
std::atomic<std::uint64_t> allocations{0};
std::atomic<std::uint64_t> failed{0};

void* Allocate(std::size_t size) {
    if (failing.load(std::memory_order_relaxed) && allocations.fetch_add(1, std::memory_order_relaxed) % 5 == 0) {
        failed.fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace orv {
namespace {

using namespace std::chrono_literals;

// New pages as fast as they are taken, each with a sub-code never sent
// before; each read makes its packets anew, as a decoding source does.
class EndlessSource : public CaptureSource {
public:
    int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) override {
        std::vector<tVTXPacket> read;
        read.reserve(100);
        HeaderControl control;
        for (int i = 0; i < 50; ++i, ++next_) {
            const auto pageNo = static_cast<std::uint16_t>(0x100 + next_ % 0x100);
            control.SubCode = static_cast<int>(next_ / 0x100 % 0x80);
            read.push_back(EncodeHeader(pageNo, control, "OUT OF MEMORY"));
            read.push_back(EncodeRow(pageNo >> 8, 1, "row"));
        }
        packets = std::move(read);
        status = kStatusMoreWaiting;
        return static_cast<int>(packets.size());
    }
    void StopCapture() override {}

private:
    std::uint32_t next_ = 0;
};

class CountingWindow : public PageWindow {
public:
    void OnVtxPage(std::uint16_t, const PageRef&) override { ++pages; }
    int pages = 0;
};

TEST(OutOfMemory, AcquisitionThreadsAndThePageStoreLoseDataNotTheProgram) {
    PageDatabase db({.SubPagesPerPage = 8, .SubPages = 300});
    EventLoopUiThread ui;
    PageWindowTable windows;
    CountingWindow window;
    DisplayDispatcher dispatcher(db, ui, windows);
    Collector collector(std::make_shared<EndlessSource>());
    ASSERT_TRUE(collector.StartCollector());
    dispatcher.StartDisplayDispatcher(collector.Display(), collector.PausedFlag(), collector.Epoch());
    ASSERT_TRUE(dispatcher.RegisterPageWindow(windows.Add(window)));

    failing = true;
    ui.ServeFor(1500ms);
    failing = false;
    EXPECT_GT(failed.load(), 1000u);

    const int before = window.pages;
    const auto start = std::chrono::steady_clock::now();
    ui.ServeUntil([&] { return window.pages > before + 100 || std::chrono::steady_clock::now() - start > 5s; });
    EXPECT_GT(window.pages, before + 100);
    EXPECT_LE(db.PageCount(), 300);
    dispatcher.StopDisplayDispatcher();
    collector.StopCollector();
}

}  // namespace
}  // namespace orv
