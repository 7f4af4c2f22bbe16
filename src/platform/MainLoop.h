#pragma once
// The program's one main thread and its loop: posted work, synchronous hand-over from worker
// threads, and timers. On Windows this is the thread's message queue, so windows, modal loops
// and menus share it; elsewhere a portable queue with a condition variable.

#include <atomic>
#include <cstdint>
#include <functional>

namespace platform {

// Makes the calling thread the main thread. Call once at start, before any other function here.
void InitMainThread();
bool IsMainThread();

// Main thread: waits up to ms for work to arrive, then runs all pending work (posted functions,
// hand-overs, due timers; on Windows every pending window message). Re-entrant: a handler may
// call it again. kWaitForever waits until something arrives: a loop whose condition only
// changes inside what it runs needs no other wake-up.
constexpr unsigned kWaitForever = 0xFFFFFFFFu;
void ProcessMessages(unsigned ms);

// Main thread: asks the loop that runs the program to end (the window system's quit message on
// Windows); QuitRequested tells a loop that polls.
void RequestQuit();
bool QuitRequested();

// Any thread: queues fn to run on the main thread and returns at once.
void Post(std::function<void()> fn);

// Any thread: runs fn on the main thread and waits until it has returned. From the main thread
// fn runs at once. When cancel becomes true before fn has started, fn is skipped and the result
// is false, so a worker being abandoned never waits on a main thread that no longer pumps.
bool Synchronize(const std::function<void()>& fn, const std::atomic<bool>* cancel = nullptr);

// Main thread: a periodic timer fired from ProcessMessages (and, on Windows, from any modal
// loop). A timer does not fire again while its own handler runs.
class Timer {
public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Stops and starts again, so the next tick comes a full interval from now.
    void Restart();

    std::function<void()> OnTimer;

    // Used by the loop implementation.
    void Fire();
    std::uint64_t Due() const { return due_; }
    std::uintptr_t Id() const { return id_; }

private:
    void Arm();
    void Disarm();

    unsigned interval_ = 1000;
    bool enabled_ = false;
    bool firing_ = false;
    bool* destroyed_ = nullptr;
    std::uint64_t due_ = 0;
    std::uintptr_t id_ = 0;
};

} // namespace platform
