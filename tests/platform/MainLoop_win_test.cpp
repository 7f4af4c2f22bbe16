// Windows only: hand-overs and timers must run inside loops that know nothing of ours, as a
// modal dialog's, a message box's or a menu's loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/MainLoop.h"

namespace {

// A bare message loop, as a modal dialog runs, ended by WM_QUIT or after ms.
void RunForeignLoop(unsigned ms)
{
    const UINT_PTR guard = SetTimer(nullptr, 0, ms, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.wParam == guard)
            break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    KillTimer(nullptr, guard);
}

} // namespace

TEST(MainLoopWin32, SynchronizeCompletesInsideAForeignModalLoop)
{
    bool ran = false;
    bool returned = false;
    std::thread worker([&] {
        platform::Synchronize([&] {
            ran = platform::IsMainThread();
            PostQuitMessage(0);
        });
        returned = true;
    });
    RunForeignLoop(5000);
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(returned);
}

TEST(MainLoopWin32, TimersFireInsideAForeignModalLoop)
{
    platform::Timer timer;
    int ticks = 0;
    timer.OnTimer = [&] {
        if (++ticks == 2)
            PostQuitMessage(0);
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    RunForeignLoop(5000);
    EXPECT_EQ(ticks, 2);
}
