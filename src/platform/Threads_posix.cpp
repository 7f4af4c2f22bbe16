#include "platform/Threads.h"

namespace platform {

// A thread's stack goes with the thread here.
void ReleaseUnusedStack()
{
}

} // namespace platform
