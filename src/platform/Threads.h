#pragma once
// Synchronisation helpers shared by the worker threads.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// Gives back the pages of the calling thread's stack below the caller's frame (a few pages kept
// for the calls still to come). Under Wine about 1 MB of every thread's stack is resident from the
// thread's start, however little it uses, and the stack of the thread that ended last stays until
// another thread ends. A worker calls this as its last step (a fetch thread's stack would
// otherwise stay for the whole session), a long-lived thread once it has started.
void ReleaseUnusedStack();

// An auto-reset event: signals given while nobody waits merge into one; a wait consumes it.
class AutoResetEvent {
public:
    void Signal()
    {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        cv_.notify_one();
    }
    void Wait()
    {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }
    // True when signalled within ms.
    bool WaitFor(unsigned ms)
    {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signalled_; }))
            return false;
        signalled_ = false;
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

// A lock whose acquisition can wait with a time-out; usable with std::unique_lock. Built on a
// condition variable, since the thread sanitizer does not follow std::timed_mutex's timed waits.
class TimedMutex {
public:
    void lock()
    {
        std::unique_lock guard(mutex_);
        cv_.wait(guard, [this] { return !held_; });
        held_ = true;
    }
    bool try_lock()
    {
        std::lock_guard guard(mutex_);
        if (held_)
            return false;
        held_ = true;
        return true;
    }
    template <typename Rep, typename Period> bool try_lock_for(const std::chrono::duration<Rep, Period>& wait)
    {
        std::unique_lock guard(mutex_);
        if (!cv_.wait_for(guard, wait, [this] { return !held_; }))
            return false;
        held_ = true;
        return true;
    }
    void unlock()
    {
        {
            std::lock_guard guard(mutex_);
            held_ = false;
        }
        cv_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool held_ = false;
};

} // namespace platform
