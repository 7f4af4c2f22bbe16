#pragma once
// Synchronisation helpers shared by the worker threads.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

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

}  // namespace platform
