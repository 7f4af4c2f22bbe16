#pragma once
// What the portable part of the main loop needs from each system's part.

#include <functional>

namespace platform {
class Timer;
}

namespace platform::detail {

// Any thread: makes sure the main thread runs the posted work soon.
void WakeMainThread();
// Main thread: runs the work queued before the call; work queued meanwhile waits for the next.
void RunPendingWork();
bool HasPendingWork();
void ArmTimer(Timer* timer);
void DisarmTimer(Timer* timer);
void InitSystemLoop();

} // namespace platform::detail
