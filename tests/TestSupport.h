#pragma once
// Helpers every suite shares: bounded pumping of the main loop. Everything here runs on the main
// thread and waits no longer than it is told.

#include <functional>

// Pumps the main loop until done() holds or ms milliseconds pass; whether done() held.
bool PumpUntil(const std::function<bool()>& done, unsigned ms = 5000);

// Pumps the main loop for ms milliseconds, for work that shows no sign of having ended (a window
// settling on the display).
void PumpFor(unsigned ms);
