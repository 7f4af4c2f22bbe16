#pragma once
// The hook library's exports, for the program that installs it. The item record of
// GetListViewItem is the system's LVITEMA; its text capacity must not exceed KovraUtilsTextCapacity.

#include <windows.h>

#include <commctrl.h>

#ifdef KOVRAUTILS_BUILD
#define KOVRAUTILS_API extern "C" __declspec(dllexport)
#else
#define KOVRAUTILS_API extern "C"
#endif

constexpr int KovraUtilsTextCapacity = 1027;

// classNames: 8-bit names, each ended by a zero byte, the list ended by an empty name.
KOVRAUTILS_API void WINAPI InstallNotify(HWND notifyWindow, const char* classNames);
KOVRAUTILS_API void WINAPI UninstallNotify();
KOVRAUTILS_API BOOL WINAPI GetListViewItem(HWND subclassedWindow, HWND listView, LVITEMA* item);

// One entry of a popup for a client window's menu bar, in menu order. Level 0 is the popup's own
// caption in the bar, level 1 its items, level 2 the items of a level-1 entry flagged MF_POPUP.
// Flags: MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED.
struct KovraMenuEntry {
    int Level;
    UINT Command;
    UINT Flags;
    const wchar_t* Text;
};
constexpr int KovraMenuEntriesMax = 512;
constexpr int KovraMenuTextMax = 256;

// Puts the popup right-aligned at the end of a subclassed window's menu bar, in place of the one
// put there before; no entries take it away. The window's own thread changes its menu (another
// process may not), and the popup goes when the window is released. True when the popup is there
// (or gone, for no entries).
// In the client's window the items take identifiers that none of the bar's own items uses; a pick
// of one is posted to the notification window as WM_USER with the entry's Command (low word) and
// the window. Nothing else the window is commanded (its own items, accelerators, its controls'
// notifications) is told to the program. A popup whose program has gone (its notification window
// gone or replaced) is taken out of the bar at its next pick instead.
KOVRAUTILS_API BOOL WINAPI SetClientMenu(HWND subclassedWindow, const KovraMenuEntry* entries, int count);
