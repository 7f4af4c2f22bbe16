#pragma once
// The main window's coupling with the messaging client: the wrapper while the coupling runs, the
// rules applied between it and the phone, the hook that puts the program's menu into the client's
// windows. The wrapper goes only after its own event handler has returned. Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/AssistantSeams.h"
#include "messenger/MSNUtils.h"
#include "options/MSNOptionsLists.h"
#include "platform/MainLoop.h"

namespace ui {
class TUnicodeMenuItem;
}

namespace app {

// One entry of a popup as the client's menu bar gets it (level 0: the popup's caption).
struct TClientMenuEntry {
    int Level = 0;
    unsigned Command = 0;
    bool Popup = false, Separator = false, Enabled = true, Checked = false;
    std::string Text;
    bool operator==(const TClientMenuEntry&) const = default;
};
// The visible part of a popup, in menu order.
std::vector<TClientMenuEntry> ClientMenuEntries(const ui::TUnicodeMenuItem& popup);

// The client's windows, which the hook reports by handle; Windows reaches them through the hook
// library (MessengerLink_win.cpp).
class IClientWindows {
public:
    virtual ~IClientWindows() = default;
    // Empty for a window without a menu bar.
    virtual std::string MenuBarClass(void* window) = 0;
    // The first "SysListView32" below the window, depth first.
    virtual void* ContactList(void* window) = 0;
    virtual std::string Title(void* window) = 0;
    // The text of the first selected row; empty when none is selected or the read fails.
    virtual std::string SelectedRowText(void* window, void* listView) = 0;
    // A main window of the client exists (the client runs), asked without waiting on it.
    virtual bool ClientRunning() { return false; }
    // No entries take the popup away.
    virtual void SetMenu(void* window, const std::vector<TClientMenuEntry>& entries) = 0;
};

class TMessengerLink : public IMessengerLink {
public:
    using TFactory = std::function<std::unique_ptr<messenger::TMsgrObject>()>;
    // Installs the hook for the client's main and conversation windows, or removes it.
    struct THook {
        std::function<void()> Install, Remove;
    };

    explicit TMessengerLink(TFactory factory, THook hook = {},
                            messenger::TPresenceRules& rules = messenger::PresenceRules());
    ~TMessengerLink() override;

    // Connects without waiting: true when attached at once. A client that never answers leaves
    // the coupling "connecting" while everything else goes on.
    bool Start() override;
    void Stop() override;
    // Program end: stops, and releases every wrapper now (before COM is left).
    void Close();
    void SetStateHandler(std::function<void(const std::string& text)> handler) override
    {
        onState_ = std::move(handler);
    }
    bool Attached() const override { return msgr_ != nullptr; }
    bool Connecting() const { return connecting_ != nullptr; }
    void ApplyPhoneRule(int event) override;
    bool IsOnlineContact(const std::string& number) override;
    std::string ContactFor(const std::string& number) override;
    bool SendInstantMessage(const std::string& number, const std::string& header, const std::string& text,
                            int type) override;
    void Bind(messenger::TPhoneControl* phone, std::function<void()> signOut,
              std::function<void()> signIn) override;
    void SetClientMenus(TClientMenus menus) override { menus_ = std::move(menus); }
    void ClientMenusChanged() override;
    std::string SelectedContact() override;
    std::string ConversationContact() override;

    // The hook's notifications. A command returns what runs it, to be run after the client's
    // thread has been answered; nothing when the command is not the program's.
    void SetClientWindows(IClientWindows* windows) { windows_ = windows; }
    void SetHook(THook hook) { hook_ = std::move(hook); }
    void WindowSubclassed(void* window);
    void WindowGone(void* window);
    std::function<void()> ClientCommand(unsigned command, void* window);

    // The client's contacts in its order, for the reminders; none without the wrapper.
    std::vector<options::TReminderContact> ReminderContacts();
    messenger::TMsgrObject* Messenger() const { return msgr_.get(); }
    // Wrappers stopped but not yet released.
    std::size_t Retired() const { return retired_.size(); }
    // How long a stopped wrapper is kept, so the client can finish with its connection.
    unsigned ReleaseDelay = 2000;
    // While the coupling is wanted: how often a lost client is looked for, and a coupled one
    // asked whether it is still there.
    unsigned PollInterval = 3000;
    // The poll's work, for tests.
    void Poll();

private:
    struct TPhoneRelay : messenger::TPhoneControl {
        messenger::TPhoneControl* Target = nullptr;
        bool Connected() const override { return Target && Target->Connected(); }
        bool DoNotDisturb() const override { return Target && Target->DoNotDisturb(); }
        bool Forwarded() const override { return Target && Target->Forwarded(); }
        bool MayForward() const override { return Target && Target->MayForward(); }
        void RequestDoNotDisturb(bool on) override
        {
            if (Target)
                Target->RequestDoNotDisturb(on);
        }
        void RequestForwarding(const std::string& to) override
        {
            if (Target)
                Target->RequestForwarding(to);
        }
        void RestartQuiet() override
        {
            if (Target)
                Target->RestartQuiet();
        }
    };

    void StatusChanged(int state);
    void ReleaseRetired();
    void SendMenus();
    void BeginConnect();
    void Connected(bool ok);
    void Attach(std::unique_ptr<messenger::TMsgrObject> msgr);
    void Detach();
    void ClientGone();
    void ShowState(const char* key, const char* text);

    // The client's windows that carry a popup, with what they were last given.
    struct TClientWindow {
        bool Main = false;
        std::vector<TClientMenuEntry> Sent;
    };
    IClientWindows* windows_ = nullptr;
    TClientMenus menus_;
    std::map<void*, TClientWindow> clientWindows_;
    void* clientMain_ = nullptr;
    void* contactList_ = nullptr;
    std::string conversationName_;
    bool menusPending_ = false;

    TFactory factory_;
    THook hook_;
    TPhoneRelay phone_;
    messenger::TPresenceCoupling coupling_;
    std::unique_ptr<messenger::TMsgrObject> msgr_;
    std::unique_ptr<messenger::TMsgrObject> connecting_; // its connection still out
    bool wanted_ = false;                                // between Start and Stop
    bool lost_ = false; // the client did not answer or went: look for it again
    std::function<void(const std::string&)> onState_;
    platform::Timer pollTimer_;
    std::vector<std::unique_ptr<messenger::TMsgrObject>> retired_;
    int handlerDepth_ = 0;
    platform::Timer releaseTimer_; // the link's own: it cannot fire after the link has gone
    std::shared_ptr<TMessengerLink*> self_;
};

// Windows: the hook library's notification window, which feeds the link, and the client's windows
// reached through the library; installs itself as the link's hook. Main thread; outlived by the link.
std::unique_ptr<IClientWindows> CreateClientHook(TMessengerLink& link);

} // namespace app
