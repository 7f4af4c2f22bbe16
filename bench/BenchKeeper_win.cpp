// The keeper of scripts/bench: a process that lives for the whole run, so that Wine's system
// processes stay up between the measured starts. It makes no window and imports only the core, so
// the pages it shares with the measured processes are few.

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Sleep(INFINITE);
    return 0;
}
