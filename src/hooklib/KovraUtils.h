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
