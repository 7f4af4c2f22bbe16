#include "platform/MainLoop.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Clock.h"
#include "platform/MainLoopDetail.h"

namespace platform {
namespace {

std::mutex gQueueMutex;
std::deque<std::function<void()>> gQueue;
std::thread::id gMainThread;
bool gInitialised = false;

// One hand-over: the worker waits on it; the main thread runs it unless the worker gave up first.
struct SyncCall {
    std::mutex mutex;
    std::condition_variable done;
    bool started = false;
    bool finished = false;
    bool abandoned = false;
};

} // namespace

void InitMainThread()
{
    if (gInitialised && gMainThread == std::this_thread::get_id())
        return;
    gMainThread = std::this_thread::get_id();
    gInitialised = true;
    detail::InitSystemLoop();
}

bool IsMainThread()
{
    return gInitialised && std::this_thread::get_id() == gMainThread;
}

void Post(std::function<void()> fn)
{
    {
        std::lock_guard lock(gQueueMutex);
        gQueue.push_back(std::move(fn));
    }
    detail::WakeMainThread();
}

bool Synchronize(const std::function<void()>& fn, const std::atomic<bool>* cancel)
{
    if (IsMainThread()) {
        fn();
        return true;
    }
    auto call = std::make_shared<SyncCall>();
    // The posted work copies nothing of the caller's but the shared record; fn is only touched
    // while the caller is known to be waiting.
    Post([call, &fn] {
        {
            std::lock_guard lock(call->mutex);
            if (call->abandoned)
                return;
            call->started = true;
        }
        fn();
        {
            std::lock_guard lock(call->mutex);
            call->finished = true;
        }
        call->done.notify_all();
    });
    std::unique_lock lock(call->mutex);
    while (!call->finished) {
        call->done.wait_for(lock, std::chrono::milliseconds(50));
        if (!call->started && cancel && cancel->load()) {
            call->abandoned = true;
            return false;
        }
    }
    return true;
}

namespace detail {

bool HasPendingWork()
{
    std::lock_guard lock(gQueueMutex);
    return !gQueue.empty();
}

void RunPendingWork()
{
    // Only what was queued before this pass: work that keeps posting more (a stream of datagrams
    // under load) must not keep the thread from its input, paint, timers and sent messages. What
    // is posted meanwhile has woken the loop again and runs in the next pass.
    std::size_t count;
    {
        std::lock_guard lock(gQueueMutex);
        count = gQueue.size();
    }
    for (; count > 0; --count) {
        std::function<void()> work;
        {
            std::lock_guard lock(gQueueMutex);
            if (gQueue.empty())
                return;
            work = std::move(gQueue.front());
            gQueue.pop_front();
        }
        work();
    }
}

} // namespace detail

namespace {
std::uintptr_t gNextTimerId = 1;
}

Timer::Timer() : id_(gNextTimerId++)
{
}

Timer::~Timer()
{
    if (destroyed_)
        *destroyed_ = true;
    if (enabled_)
        Disarm();
}

void Timer::SetInterval(unsigned ms)
{
    if (interval_ == ms)
        return;
    interval_ = ms;
    if (enabled_)
        Restart();
}

void Timer::SetEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    if (enabled)
        Arm();
    else
        Disarm();
}

void Timer::Restart()
{
    if (!enabled_)
        return;
    Disarm();
    Arm();
}

void Timer::Arm()
{
    due_ = TickCount() + interval_;
    detail::ArmTimer(this);
}

void Timer::Disarm()
{
    detail::DisarmTimer(this);
}

void Timer::Fire()
{
    if (firing_ || !enabled_)
        return;
    due_ = TickCount() + interval_;
    if (!OnTimer)
        return;
    bool destroyed = false;
    destroyed_ = &destroyed;
    firing_ = true;
    OnTimer();
    if (destroyed)
        return;
    firing_ = false;
    destroyed_ = nullptr;
}

} // namespace platform
