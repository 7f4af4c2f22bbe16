#include "TestSupport.h"

#include <cstdint>

#include "platform/Clock.h"
#include "platform/MainLoop.h"

bool PumpUntil(const std::function<bool()>& done, unsigned ms)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (!done()) {
        if (platform::TickCount() >= until)
            return false;
        platform::ProcessMessages(5);
    }
    return true;
}

void PumpFor(unsigned ms)
{
    const std::uint64_t until = platform::TickCount() + ms;
    while (platform::TickCount() < until)
        platform::ProcessMessages(10);
}
