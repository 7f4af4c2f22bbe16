#include <windows.h>

#include <cstdint>

#include "platform/Threads.h"

namespace platform {

namespace {

// Left alone below the caller's frame: what the calls still to come use at once.
constexpr std::uintptr_t kKept = 16 * 1024;
constexpr std::uintptr_t kPage = 4096;

// mingw-w64's inline NtCurrentTeb reads through a segment register, which GCC takes for an
// access out of bounds.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
void* StackLimit()
{
    return reinterpret_cast<const NT_TIB*>(NtCurrentTeb())->StackLimit;
}
#pragma GCC diagnostic pop

} // namespace

void ReleaseUnusedStack()
{
    // The committed stack runs from the limit in the thread's information block up to the frame.
    const auto bottom = reinterpret_cast<std::uintptr_t>(StackLimit());
    const auto frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (frame < bottom + kKept + kPage)
        return;
    const std::uintptr_t top = (frame - kKept) & ~(kPage - 1);
    VirtualAlloc(reinterpret_cast<void*>(bottom), top - bottom, MEM_RESET, PAGE_READWRITE);
}

} // namespace platform
