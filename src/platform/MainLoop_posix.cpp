#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/MainLoopDetail.h"

namespace platform {
namespace {

std::mutex gWakeMutex;
std::condition_variable gWake;
bool gWakePending = false;
bool gQuit = false;
std::vector<Timer*> gTimers; // main thread only

std::uint64_t NextTimerDue()
{
    std::uint64_t due = UINT64_MAX;
    for (Timer* timer : gTimers)
        due = std::min(due, timer->Due());
    return due;
}

void FireDueTimers()
{
    const std::uint64_t now = TickCount();
    const std::vector<Timer*> snapshot = gTimers;
    for (Timer* timer : snapshot) {
        // A handler may have destroyed or stopped any timer of the snapshot.
        if (std::find(gTimers.begin(), gTimers.end(), timer) == gTimers.end())
            continue;
        if (timer->Due() <= now)
            timer->Fire();
    }
}

} // namespace

namespace detail {

void InitSystemLoop()
{
}

void WakeMainThread()
{
    {
        std::lock_guard lock(gWakeMutex);
        gWakePending = true;
    }
    gWake.notify_all();
}

void ArmTimer(Timer* timer)
{
    if (std::find(gTimers.begin(), gTimers.end(), timer) == gTimers.end())
        gTimers.push_back(timer);
}

void DisarmTimer(Timer* timer)
{
    gTimers.erase(std::remove(gTimers.begin(), gTimers.end(), timer), gTimers.end());
}

} // namespace detail

void ProcessMessages(unsigned ms)
{
    const std::uint64_t deadline = std::min(TickCount() + ms, NextTimerDue());
    {
        std::unique_lock lock(gWakeMutex);
        while (!gWakePending) {
            const std::uint64_t now = TickCount();
            if (now >= deadline)
                break;
            gWake.wait_for(lock, std::chrono::milliseconds(deadline - now));
        }
        gWakePending = false;
    }
    detail::RunPendingWork();
    FireDueTimers();
}

void RequestQuit()
{
    gQuit = true;
    detail::WakeMainThread();
}

bool QuitRequested()
{
    return gQuit;
}

} // namespace platform
