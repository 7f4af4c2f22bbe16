#include "platform/MainLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/Threads.h"

using namespace platform;

TEST(MainLoop, PostedWorkRunsOnTheMainThreadInOrder)
{
    std::vector<int> order;
    std::thread worker([&] {
        Post([&] { order.push_back(1); });
        Post([&] { order.push_back(2); });
    });
    worker.join();
    ProcessMessages(0);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

// From a worker it waits for the main thread to run the work; from the main thread it runs at once.
TEST(MainLoop, SynchronizeRunsOnMainThreadAndWaits)
{
    bool ranOnMain = false;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        Synchronize([&] { ranOnMain = IsMainThread(); });
        returned = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return returned.load(); }, 2000));
    worker.join();
    EXPECT_TRUE(ranOnMain);
    int runs = 0;
    EXPECT_TRUE(Synchronize([&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST(MainLoop, CancelledSynchronizeSkipsTheWorkAndReturns)
{
    std::atomic<bool> cancel{false};
    bool ran = false;
    bool result = true;
    std::thread worker([&] { result = Synchronize([&] { ran = true; }, &cancel); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cancel = true;
    worker.join(); // returns although the main thread never pumped
    ProcessMessages(0);
    EXPECT_FALSE(result);
    EXPECT_FALSE(ran);
}

TEST(MainLoop, ProcessMessagesReturnsWhenWorkArrivesNotWhenItsWaitEnds)
{
    bool ran = false;
    std::thread worker([&ran] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Post([&ran] { ran = true; });
    });
    // A wait far beyond the test's time-out: a loop that did not wake for work would hang here.
    ProcessMessages(30 * 60 * 1000);
    worker.join();
    EXPECT_TRUE(ran);
}

// Work that posts more as it runs (datagrams arriving under load) must not keep the loop from
// everything else: a timer due meanwhile fires while the stream goes on.
TEST(MainLoop, TimersFireWhileWorkKeepsPostingMore)
{
    constexpr int kMany = 200000;
    Timer timer;
    bool fired = false;
    timer.OnTimer = [&] { fired = true; };
    timer.SetInterval(1);
    timer.SetEnabled(true);
    int runs = 0;
    bool queued = true;
    std::function<void()> again = [&] {
        queued = ++runs < kMany && !fired;
        if (queued)
            Post(again);
    };
    Post(again);
    PumpUntil([&] { return !queued; }, 10000); // the chain ends before its locals do
    EXPECT_TRUE(fired);
    EXPECT_LT(runs, kMany);
}

TEST(Timer, FiresRepeatedlyThroughTheLoopAndStopsWhenDisabled)
{
    Timer timer;
    int ticks = 0;
    timer.OnTimer = [&] {
        if (++ticks == 3)
            timer.SetEnabled(false);
    };
    timer.SetInterval(5);
    timer.SetEnabled(true);
    PumpUntil([&] { return !timer.Enabled(); }, 2000);
    EXPECT_EQ(ticks, 3);
    ProcessMessages(30);
    EXPECT_EQ(ticks, 3);
    timer.Fire(); // a stopped timer ignores a manual tick as well
    EXPECT_EQ(ticks, 3);
}

TEST(Timer, DoesNotReenterItsOwnHandler)
{
    Timer timer;
    int depth = 0;
    int maxDepth = 0;
    int ticks = 0;
    timer.OnTimer = [&] {
        ++ticks;
        maxDepth = std::max(maxDepth, ++depth);
        PumpFor(30); // a wait inside a handler, as the protocol waits do
        --depth;
        if (ticks >= 2)
            timer.SetEnabled(false);
    };
    timer.SetInterval(2);
    timer.SetEnabled(true);
    PumpUntil([&] { return !timer.Enabled(); }, 2000);
    EXPECT_EQ(maxDepth, 1);
}

namespace {

// Fills a frame of its own at every level, and counts what each level still finds there once the
// deeper levels have returned.
int Deep(int depth)
{
    volatile char frame[2048];
    for (auto& c : frame)
        c = static_cast<char>(depth);
    int kept = depth > 0 ? Deep(depth - 1) : 0;
    for (auto& c : frame)
        kept += c == static_cast<char>(depth);
    return kept;
}

} // namespace

// The pages given back are below the caller: its own frame keeps its contents, and calls that go
// deeper than anything before still run.
TEST(Threads, GivingBackTheUnusedStackKeepsTheCallersFrameAndDeeperCallsRun)
{
    bool intact = true;
    int kept = 0;
    std::thread worker([&] {
        volatile char frame[8192];
        for (std::size_t i = 0; i < sizeof frame; ++i)
            frame[i] = static_cast<char>(i * 7);
        ReleaseUnusedStack();
        for (std::size_t i = 0; i < sizeof frame; ++i)
            intact = intact && frame[i] == static_cast<char>(i * 7);
        kept = Deep(200);
        ReleaseUnusedStack();
        kept += Deep(10);
    });
    worker.join();
    EXPECT_TRUE(intact);
    EXPECT_EQ(kept, 201 * 2048 + 11 * 2048);
}
