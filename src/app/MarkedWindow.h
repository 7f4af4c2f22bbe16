#pragma once
// Programs of the suite find each other by a hidden window of class "TPUtilWindow" whose user
// data holds the hash of the program's name. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace app {

constexpr const char* kUtilWindowClass = "TPUtilWindow";

// Sum over the characters of (upper-cased character code, a to z only) + position.
std::uint32_t NameHash(std::string_view name);

// The marked hidden window of a running program. Receives WM_COPYDATA texts: the sender is
// released at once (answered 1), then the handler runs with the copied text.
class TUtilWindow {
public:
    TUtilWindow(std::uint32_t mark, std::function<void(const std::string&)> onText);
    ~TUtilWindow();
    TUtilWindow(const TUtilWindow&) = delete;
    TUtilWindow& operator=(const TUtilWindow&) = delete;
    void* Handle() const { return handle_; }

private:
    void* handle_ = nullptr;
    std::function<void(const std::string&)> onText_;
    friend struct TUtilWindowAccess;
};

// The first top-level marked window with that hash in z-order, or null.
void* FindMarkedWindow(std::uint32_t mark);
// Sends text (with its terminating zero) by WM_COPYDATA and returns the window's answer; 0 when
// the receiver hangs or does not answer within timeoutMs.
std::intptr_t SendCopyData(void* window, const std::string& text, unsigned timeoutMs = 10000);
// Restores a window that is not maximized and makes it the foreground window.
void ForceForeground(void* window);

} // namespace app
