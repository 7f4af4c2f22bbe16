#pragma once
// A function of a library loaded at run time, found by name and typed as the caller declares it.

#include <windows.h>

namespace platform {

template <typename Function> bool FindProc(HMODULE module, Function& function, const char* name)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

} // namespace platform
