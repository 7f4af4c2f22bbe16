#include "app/DesktopShell.h"

namespace app {

// Outside the window system there are no global keys, no clipboard and no browser to start.
bool TGlobalHotkeys::Register(int, unsigned, unsigned)
{
    return false;
}
void TGlobalHotkeys::UnregisterAll()
{
}
std::string ClipboardText()
{
    return {};
}
bool OpenInDefaultBrowser(const std::string&)
{
    return false;
}

} // namespace app
