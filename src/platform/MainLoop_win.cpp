#include <windows.h>

#include <atomic>
#include <map>

#include "platform/MainLoop.h"
#include "platform/MainLoopDetail.h"

namespace platform {
namespace {

constexpr UINT kWakeMessage = WM_APP + 0x4B0;
// Far above the ids Timer hands out.
constexpr UINT_PTR kGoOnTimer = static_cast<UINT_PTR>(-2);
HWND gWindow = nullptr;
// A wake-up (message or timer) is on its way: while it is, posting work adds no other.
std::atomic<bool> gWakePosted{false};
bool gQuit = false;
std::map<UINT_PTR, Timer*> gTimers; // main thread only

// One pass over the work queued so far; what is posted meanwhile has woken the loop again
// (WakeMainThread).
void RunWork()
{
    gWakePosted = false;
    detail::RunPendingWork();
}

// Posted work and timers arrive through this window's procedure, so they run inside any loop
// the thread runs: ours, a modal dialog's, a message box's or a menu's.
LRESULT CALLBACK LoopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kWakeMessage) {
        RunWork();
        return 0;
    }
    if (message == WM_TIMER && wParam == kGoOnTimer) {
        KillTimer(gWindow, kGoOnTimer);
        RunWork();
        return 0;
    }
    if (message == WM_TIMER) {
        auto found = gTimers.find(wParam);
        if (found != gTimers.end())
            found->second->Fire();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

namespace detail {

void InitSystemLoop()
{
    if (gWindow)
        return;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = LoopWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KovraMainLoop";
    RegisterClassW(&windowClass);
    gWindow = CreateWindowExW(0, L"KovraMainLoop", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
}

void WakeMainThread()
{
    if (gWakePosted.exchange(true))
        return;
    // Work the main thread posts for itself while input, paint or a timer waits goes on after a
    // timer: the system hands out timer messages only when nothing else waits, so work that keeps
    // posting more (a stream of datagrams under load) cannot shut the user out. Anything else
    // wakes the loop at once, in its turn among the other messages (a call through COM, say).
    if (IsMainThread() && HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0)
        SetTimer(gWindow, kGoOnTimer, USER_TIMER_MINIMUM, nullptr);
    else
        PostMessageW(gWindow, kWakeMessage, 0, 0);
}

void ArmTimer(Timer* timer)
{
    gTimers[timer->Id()] = timer;
    SetTimer(gWindow, timer->Id(), timer->Interval() ? timer->Interval() : 1, nullptr);
}

void DisarmTimer(Timer* timer)
{
    KillTimer(gWindow, timer->Id());
    gTimers.erase(timer->Id());
}

} // namespace detail

void ProcessMessages(unsigned ms)
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
        MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            gQuit = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // Work posted before the window existed, or whose wake-up a nested loop swallowed.
    if (detail::HasPendingWork())
        detail::RunPendingWork();
}

void RequestQuit()
{
    gQuit = true;
    PostQuitMessage(0);
}

bool QuitRequested()
{
    return gQuit;
}

} // namespace platform
