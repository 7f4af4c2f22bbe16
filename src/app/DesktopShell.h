#pragma once
// What the running program asks of the desktop shell beyond its windows: global hotkeys on the
// main window, the clipboard's text, addresses opened in the default browser. Main thread only,
// except where said.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace app {

class TGlobalHotkeys {
public:
    // window gives the native main window (null before it has one); the keys are registered on it.
    explicit TGlobalHotkeys(std::function<void*()> window) : window_(std::move(window)) {}
    ~TGlobalHotkeys() { UnregisterAll(); }
    TGlobalHotkeys(const TGlobalHotkeys&) = delete;
    TGlobalHotkeys& operator=(const TGlobalHotkeys&) = delete;

    void SetHandler(std::function<void(int id)> handler) { handler_ = std::move(handler); }
    // False when the window has no native window yet or another program holds the key.
    bool Register(int id, unsigned modifiers, unsigned key);
    void UnregisterAll();
    // What the main window's procedure does with a pressed key.
    void Pressed(int id) const
    {
        if (handler_)
            handler_(id);
    }

private:
    std::function<void*()> window_;
    std::function<void(int)> handler_;
    [[maybe_unused]] void* hooked_ = nullptr; // Windows: the window whose messages pass through Pressed
    std::vector<int> ids_;
};

// The clipboard's text, empty when it holds none.
std::string ClipboardText();

// Opens addresses in the default browser on threads of their own: starting a browser may take
// seconds. The destructor waits for the ones still starting.
class TAddressOpener {
public:
    TAddressOpener() = default;
    ~TAddressOpener();
    TAddressOpener(const TAddressOpener&) = delete;
    TAddressOpener& operator=(const TAddressOpener&) = delete;
    void Open(const std::string& url);

private:
    struct TStart {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };
    std::vector<TStart> starts_;
};
// The shell's "open" of an address (runs on the opener's thread).
bool OpenInDefaultBrowser(const std::string& url);

} // namespace app
