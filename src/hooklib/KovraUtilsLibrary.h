#pragma once
// The hook library reached through LoadLibraryW and GetProcAddress instead of an import: the
// program maps it only when the messaging-client coupling starts, not at every start. The exports
// carry plain names in both bitnesses. Main thread.

#include "KovraUtils.h"
#include "platform/ProcAddress_win.h"

namespace hooklib {

struct TKovraUtilsLibrary {
    decltype(&::InstallNotify) InstallNotify = nullptr;
    decltype(&::UninstallNotify) UninstallNotify = nullptr;
    decltype(&::GetListViewItem) GetListViewItem = nullptr;
    decltype(&::SetClientMenu) SetClientMenu = nullptr;
};

namespace detail {

inline TKovraUtilsLibrary& Library()
{
    static TKovraUtilsLibrary library;
    return library;
}

} // namespace detail

// The library's exports once it has been loaded; nullptr before.
inline const TKovraUtilsLibrary* LoadedKovraUtils()
{
    const TKovraUtilsLibrary& library = detail::Library();
    return library.SetClientMenu ? &library : nullptr;
}

// Maps the library (found beside the program first) on the first call; nullptr while it or one of
// its exports cannot be found, and the next call tries again.
inline const TKovraUtilsLibrary* LoadKovraUtils()
{
    if (const TKovraUtilsLibrary* loaded = LoadedKovraUtils())
        return loaded;
    HMODULE module = LoadLibraryW(L"KovraUtils.dll");
    if (!module)
        return nullptr;
    TKovraUtilsLibrary found;
    if (!platform::FindProc(module, found.InstallNotify, "InstallNotify") ||
        !platform::FindProc(module, found.UninstallNotify, "UninstallNotify") ||
        !platform::FindProc(module, found.GetListViewItem, "GetListViewItem") ||
        !platform::FindProc(module, found.SetClientMenu, "SetClientMenu")) {
        FreeLibrary(module);
        return nullptr;
    }
    detail::Library() = found;
    return LoadedKovraUtils();
}

} // namespace hooklib
