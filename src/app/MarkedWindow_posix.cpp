#include "app/MarkedWindow.h"

namespace app {

// No other programs to meet outside the window system: nothing is found, nothing is received.
TUtilWindow::TUtilWindow(std::uint32_t, std::function<void(const std::string&)> onText)
    : onText_(std::move(onText))
{
}
TUtilWindow::~TUtilWindow() = default;
void* FindMarkedWindow(std::uint32_t)
{
    return nullptr;
}
std::intptr_t SendCopyData(void*, const std::string&, unsigned)
{
    return 0;
}
void ForceForeground(void*)
{
}

} // namespace app
