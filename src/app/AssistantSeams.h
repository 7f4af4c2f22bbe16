#pragma once
// What the main window asks of the parts that arrive later or belong to the window system: the
// call-control dialogs, the incoming-call pop-up, the options window, the messaging client and
// the desktop. Each interface has a default that does nothing (or answers "no"), so the window is
// complete without them; tests script them. Main thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/KovraAPIEvents.h"

namespace messenger {
struct TPhoneControl;
}

namespace ui {
class TUnicodeMenuItem;
}

namespace app {

class TCallInfo;

// The pop-up for a ringing call (owned by its call record).
class ICallPopup {
public:
    virtual ~ICallPopup() = default;
    virtual void SetUp(api::TKovraAPI* api, TCallInfo& call, std::uint32_t capabilities, bool messenger) = 0;
    virtual void ClosePopup() = 0;
};

struct TMakeCallAnswer {
    std::string Number;
    bool Intercom = false;
    bool Urgent = false;
    bool DontShow = false;
};

// A number-entry answer of the transfer and conference dialogs.
struct TNumberAnswer {
    std::string Number;
    bool Immediate = false;
};

// The immediate box of the transfer and conference dialogs.
struct TImmediateBox {
    bool Enabled = false;
    bool Ticked = false;
};

struct TCallLaterRequest {
    bool HasMessenger = false;
    std::string Contact;
    std::string Name;
    int Minutes = 0;
    std::string Number;
};

// The dialogs of the call-control set. Each returns the user's answer, or nothing on cancel.
class IAssistantDialogs {
public:
    virtual ~IAssistantDialogs() = default;
    virtual std::optional<TMakeCallAnswer> MakeCall() { return std::nullopt; }
    // The chosen forward-list entry's number.
    virtual std::optional<std::string> Redirect() { return std::nullopt; }
    virtual std::optional<std::string> Pickup() { return std::nullopt; }
    virtual std::optional<TNumberAnswer> Transfer(TImmediateBox) { return std::nullopt; }
    virtual std::optional<TNumberAnswer> Conference(TImmediateBox) { return std::nullopt; }
    // Held-call choice for a transfer (conference false) or conference; returns the chosen oid.
    virtual std::optional<std::string> ChooseHeldCall(bool /*conference*/, const std::string& /*name*/,
                                                      const std::string& /*number*/,
                                                      const std::vector<const TCallInfo*>& /*held*/)
    {
        return std::nullopt;
    }
    // A member of the call's conference to drop.
    virtual std::optional<std::string> ConferenceMember(const TCallInfo&) { return std::nullopt; }
    // The four boxes (always, busy, not answered, out of service) after editing.
    virtual std::optional<std::array<std::string, 4>> Forward(const std::array<std::string, 4>& /*current*/,
                                                              const std::array<bool, 4>& /*enabled*/)
    {
        return std::nullopt;
    }
    virtual void CallLater(const TCallLaterRequest&) {}
    // The exit confirmation; yes unless a box says otherwise.
    virtual bool Confirm(const std::string& /*text*/) { return true; }
    virtual void About(const std::string& /*serverVersion*/, const std::string& /*apiVersion*/) {}
    virtual void ParkNotice(const std::string& /*from*/, const std::string& /*parkedAt*/) {}
    // Nothing until the pop-up exists.
    virtual std::unique_ptr<ICallPopup>
    CreateCallPopup(std::function<void(const std::string& oid)> /*answer*/,
                    std::function<void(ICallPopup*)> /*closed*/)
    {
        return nullptr;
    }
    // The forward list's entries as name and number.
    virtual std::vector<std::pair<std::string, std::string>> ForwardList() { return {}; }
};

// The long-lived options window.
class IOptionsWindow {
public:
    virtual ~IOptionsWindow() = default;
    virtual void SetTitle(const std::string&) {}
    virtual void SetSession(api::TKovraAPI*, const std::string& /*phone*/, const std::string& /*server1*/,
                            const std::string& /*server2*/)
    {
    }
    virtual void SetCapabilities(std::uint32_t) {}
    virtual void ShowPage(int) {}
    virtual void AddTrafficLine(const std::string&) {}
    virtual void RefreshConnection() {}
    // The options window runs its own reconnect.
    virtual bool Reconnecting() const { return false; }
    virtual void ClearReconnecting() {}
    virtual void LocalStateChanged(int) {}
    // The settings document was read from the server again; lists loaded earlier are stale.
    virtual void SettingsLoaded() {}
    // A call went into the history: an open History page shows it.
    virtual void HistoryChanged() {}
    // The settings-changed event.
    std::function<void()> OnSettingsChanged;
};

// The program's popups for the client's main window and conversation windows, the conversation's
// "&Call..." (which needs the window's title), and the main window's items by command.
struct TClientMenus {
    ui::TUnicodeMenuItem* Main = nullptr;
    ui::TUnicodeMenuItem* Conversation = nullptr;
    ui::TUnicodeMenuItem* CallUser = nullptr;
    std::function<ui::TUnicodeMenuItem*(unsigned command)> FindCommand;
};

// The coupling with the messaging client: Start attaches the wrapper and the hook, at once or once
// the client answers; the session never waits for it.
class IMessengerLink {
public:
    virtual ~IMessengerLink() = default;
    virtual bool Start() { return false; }
    virtual void Stop() {}
    // Where the coupling stands, for the status line: connecting, coupled, not answering, gone.
    virtual void SetStateHandler(std::function<void(const std::string& text)>) {}
    virtual bool Attached() const { return false; }
    virtual void ApplyPhoneRule(int /*event*/) {}
    virtual bool IsOnlineContact(const std::string& /*number*/) { return false; }
    virtual std::string ContactFor(const std::string& /*number*/) { return {}; }
    // To the contact with that number (display names need not be unique).
    virtual bool SendInstantMessage(const std::string& /*number*/, const std::string& /*header*/,
                                    const std::string& /*text*/, int /*type*/)
    {
        return false;
    }
    // The main window's phone for the rules, and what a sign-out or sign-in in the client starts.
    virtual void Bind(messenger::TPhoneControl* /*phone*/, std::function<void()> /*signOut*/,
                      std::function<void()> /*signIn*/)
    {
    }
    virtual void SetClientMenus(TClientMenus) {}
    // The popups changed ("I want to..." was rebuilt); the client's windows get them soon after.
    virtual void ClientMenusChanged() {}
    // The contact selected in the client's contact list, and the one of the conversation whose
    // "&Call..." was chosen (asked once); empty when none.
    virtual std::string SelectedContact() { return {}; }
    virtual std::string ConversationContact() { return {}; }
};

// The desktop: foreground, marked windows of other programs, help.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    virtual void ForceForeground() {}
    // The meet-me application's current conference, 0 when it does not run or has none.
    virtual std::uint32_t MeetmeConferenceId() { return 0; }
    virtual void OpenHelp(const std::string& /*url*/) {}
    // Global hotkeys: the handler runs on the main thread with the id of the key pressed.
    virtual void SetHotkeyHandler(std::function<void(int id)> /*handler*/) {}
    // False when the key cannot be had (another program holds it).
    virtual bool RegisterHotkey(int /*id*/, unsigned /*modifiers*/, unsigned /*key*/) { return false; }
    virtual void UnregisterHotkeys() {}
    virtual std::string ClipboardText() { return {}; }
    // Opens an address in the default browser; the caller never waits for the browser.
    virtual void OpenAddress(const std::string& /*url*/) {}
};

struct TAssistantServices {
    std::shared_ptr<IAssistantDialogs> Dialogs = std::make_shared<IAssistantDialogs>();
    std::function<std::unique_ptr<IOptionsWindow>()> CreateOptions;
    std::shared_ptr<IMessengerLink> Messenger = std::make_shared<IMessengerLink>();
    std::shared_ptr<IDesktop> Desktop = std::make_shared<IDesktop>();
};

} // namespace app
