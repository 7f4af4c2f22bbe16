#pragma once
// The desktop as the running program meets it: its own window brought forward, the meet-me
// application asked through its marked window, help in the registered browser, global hotkeys on
// the main window, the clipboard, screen-pop addresses in the default browser.

#include <functional>

#include "app/AssistantSeams.h"
#include "app/DesktopShell.h"

namespace app {

class TSystemDesktop : public IDesktop {
public:
    // mainWindow gives the native handle of the main window (null before it has one).
    explicit TSystemDesktop(std::function<void*()> mainWindow) : mainWindow_(mainWindow), hotkeys_(mainWindow)
    {
    }
    void ForceForeground() override;
    std::uint32_t MeetmeConferenceId() override;
    void OpenHelp(const std::string& url) override;
    void SetHotkeyHandler(std::function<void(int id)> handler) override
    {
        hotkeys_.SetHandler(std::move(handler));
    }
    bool RegisterHotkey(int id, unsigned modifiers, unsigned key) override
    {
        return hotkeys_.Register(id, modifiers, key);
    }
    void UnregisterHotkeys() override { hotkeys_.UnregisterAll(); }
    std::string ClipboardText() override { return app::ClipboardText(); }
    void OpenAddress(const std::string& url) override { opener_.Open(url); }

private:
    std::function<void*()> mainWindow_;
    TGlobalHotkeys hotkeys_;
    TAddressOpener opener_;
};

} // namespace app
