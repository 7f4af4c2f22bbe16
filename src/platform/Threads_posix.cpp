#include "platform/Threads.h"

namespace platform {

// A thread's stack goes with the thread here.
void ReleaseStackBeforeExit()
{
}

} // namespace platform
