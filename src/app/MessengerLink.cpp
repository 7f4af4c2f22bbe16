#include "app/MessengerLink.h"

#include "platform/MainLoop.h"
#include "platform/Text.h"
#include "settings/MessageBundle.h"
#include "ui/Menus.h"

using namespace settings;
using namespace options;
using namespace messenger;

namespace app {

TMessengerLink::TMessengerLink(TFactory factory, THook hook, TPresenceRules& rules)
    : factory_(std::move(factory)), hook_(std::move(hook)), coupling_(rules, phone_),
      self_(std::make_shared<TMessengerLink*>(this))
{
}

TMessengerLink::~TMessengerLink()
{
    *self_ = nullptr;
    Stop();
}

void TMessengerLink::Bind(TPhoneControl* phone, std::function<void()> signOut, std::function<void()> signIn)
{
    phone_.Target = phone;
    coupling_.OnSignOut = std::move(signOut);
    coupling_.OnSignIn = std::move(signIn);
}

bool TMessengerLink::Start()
{
    wanted_ = true;
    if (!pollTimer_.Enabled()) {
        pollTimer_.OnTimer = [this] { Poll(); };
        pollTimer_.SetInterval(PollInterval);
        pollTimer_.SetEnabled(true);
    }
    if (!msgr_ && !connecting_)
        BeginConnect();
    return msgr_ != nullptr;
}

void TMessengerLink::BeginConnect()
{
    std::unique_ptr<TMsgrObject> msgr = factory_ ? factory_() : nullptr;
    lost_ = !msgr;
    if (!msgr)
        return;
    connecting_ = std::move(msgr);
    ShowState("IMConnecting", "Connecting to Messenger...");
    std::weak_ptr<TMessengerLink*> self = self_;
    TMsgrObject* pending = connecting_.get();
    pending->BeginConnect([self, pending](bool ok) {
        auto link = self.lock();
        if (link && *link && (*link)->connecting_.get() == pending)
            (*link)->Connected(ok);
    });
}

void TMessengerLink::Connected(bool ok)
{
    std::unique_ptr<TMsgrObject> msgr = std::move(connecting_);
    if (ok && wanted_) {
        Attach(std::move(msgr));
        return;
    }
    if (ok) {
        // Stopped meanwhile: the client lets go of the sink a moment later.
        retired_.push_back(std::move(msgr));
        ReleaseRetired();
    } else if (wanted_) {
        lost_ = true;
        ShowState("IMNotAnswering", "Messenger does not answer");
    }
}

void TMessengerLink::Attach(std::unique_ptr<TMsgrObject> msgr)
{
    msgr->OnLocalStateChangeResult = [this](long, int state, const std::string&) { StatusChanged(state); };
    msgr->OnFindResult = [](long, long) {};
    msgr_ = std::move(msgr);
    coupling_.Attach(msgr_.get());
    if (msgr_->Gone()) {
        ClientGone();
        return;
    }
    if (hook_.Install)
        hook_.Install();
    ShowState("IMCoupled", "Messenger coupled");
}

void TMessengerLink::Stop()
{
    wanted_ = lost_ = false;
    pollTimer_.SetEnabled(false);
    // A connection still out is dropped; its end finds no wrapper and lets the client go.
    connecting_.reset();
    Detach();
}

void TMessengerLink::Close()
{
    Stop();
    releaseTimer_.SetEnabled(false);
    retired_.clear();
}

// A client that died or ended without saying Offline: the coupling goes, and comes back when the
// client does.
void TMessengerLink::ClientGone()
{
    Detach();
    lost_ = true;
    ShowState("IMGone", "Messenger has gone");
}

void TMessengerLink::Poll()
{
    if (!wanted_)
        return;
    if (msgr_) {
        try {
            msgr_->LocalState();
        } catch (const EOleError&) {
        }
        if (msgr_ && msgr_->Gone())
            ClientGone();
        return;
    }
    if (lost_ && !connecting_ && windows_ && windows_->ClientRunning())
        BeginConnect();
}

void TMessengerLink::ShowState(const char* key, const char* text)
{
    if (onState_)
        onState_(LocalText(key, text));
}

void TMessengerLink::Detach()
{
    if (!msgr_)
        return;
    if (hook_.Remove)
        hook_.Remove();
    // Removing the hook released the client's windows, and their popups went with them.
    clientWindows_.clear();
    clientMain_ = contactList_ = nullptr;
    coupling_.Attach(nullptr);
    retired_.push_back(std::move(msgr_));
    // A stop from inside the wrapper's own event waits for the handler to return.
    if (handlerDepth_ == 0)
        ReleaseRetired();
}

// Never inside the wrapper's own handler: a tick that comes while one runs waits for the next.
void TMessengerLink::ReleaseRetired()
{
    releaseTimer_.OnTimer = [this] {
        if (handlerDepth_ > 0)
            return;
        releaseTimer_.SetEnabled(false);
        retired_.clear();
    };
    releaseTimer_.SetInterval(ReleaseDelay);
    releaseTimer_.SetEnabled(false);
    releaseTimer_.SetEnabled(true);
}

void TMessengerLink::StatusChanged(int state)
{
    auto* current = msgr_.get();
    ++handlerDepth_;
    coupling_.OwnStatusChanged(state);
    --handlerDepth_;
    if (msgr_.get() != current && handlerDepth_ == 0)
        ReleaseRetired();
}

void TMessengerLink::ApplyPhoneRule(int event)
{
    coupling_.PhoneEvent(event);
    if (msgr_ && msgr_->Gone())
        ClientGone();
}

bool TMessengerLink::IsOnlineContact(const std::string& number)
{
    auto contact = FindContactByNumber(msgr_.get(), number);
    try {
        return contact && contact->State() == MSTATE_ONLINE;
    } catch (const EOleError&) {
        return false;
    }
}

std::string TMessengerLink::ContactFor(const std::string& number)
{
    auto contact = FindContactByNumber(msgr_.get(), number);
    try {
        return contact ? contact->FriendlyName() : std::string();
    } catch (const EOleError&) {
        return {};
    }
}

bool TMessengerLink::SendInstantMessage(const std::string& number, const std::string& header,
                                        const std::string& text, int type)
{
    auto user = FindContactByNumber(msgr_.get(), number);
    try {
        if (!user || user->State() != MSTATE_ONLINE)
            return false;
        user->SendText(header, text, type);
        return true;
    } catch (const EOleError&) {
        if (msgr_ && msgr_->Gone())
            ClientGone();
        return false;
    }
}

std::vector<TReminderContact> TMessengerLink::ReminderContacts()
{
    std::vector<TReminderContact> contacts;
    if (!msgr_)
        return contacts;
    try {
        auto users = msgr_->List(MLIST_CONTACT);
        const int count = users->Count();
        for (int i = 0; i < count; ++i) {
            auto user = users->Item(i);
            contacts.push_back({user->FriendlyName(),
                                user->State(),
                                {GetContactPhone(user.get(), 0), GetContactPhone(user.get(), 1),
                                 GetContactPhone(user.get(), 2)}});
        }
    } catch (const EOleError&) {
        // What was read so far stands.
    }
    return contacts;
}

namespace {

void AddClientMenuEntries(const ui::TUnicodeMenuItem& parent, int level,
                          std::vector<TClientMenuEntry>& entries)
{
    for (const ui::TUnicodeMenuItem* item : parent.Items()) {
        if (!item->Visible())
            continue;
        TClientMenuEntry entry;
        entry.Level = level;
        entry.Command = item->Command();
        entry.Separator = item->IsSeparator();
        entry.Popup = !entry.Separator && !item->Items().empty();
        // An item that would do nothing (an empty "I want to...") is shown greyed.
        entry.Enabled = item->Enabled() && (entry.Popup || item->OnClick);
        entry.Checked = item->Checked();
        if (!entry.Separator)
            entry.Text = item->Caption();
        entries.push_back(std::move(entry));
        if (entries.back().Popup)
            AddClientMenuEntries(*item, level + 1, entries);
    }
}

} // namespace

std::vector<TClientMenuEntry> ClientMenuEntries(const ui::TUnicodeMenuItem& popup)
{
    TClientMenuEntry head;
    head.Command = popup.Command();
    head.Popup = true;
    head.Text = popup.Caption();
    std::vector<TClientMenuEntry> entries{head};
    AddClientMenuEntries(popup, 1, entries);
    return entries;
}

void TMessengerLink::WindowSubclassed(void* window)
{
    if (!windows_)
        return;
    const std::string className = windows_->MenuBarClass(window);
    const bool main = platform::SameText(className, "MSBLClass");
    if (!main && !platform::SameText(className, "IMWindowClass"))
        return;
    if (main) {
        clientMain_ = window;
        contactList_ = windows_->ContactList(window);
    }
    clientWindows_[window] = TClientWindow{main, {}};
    ClientMenusChanged();
}

void TMessengerLink::WindowGone(void* window)
{
    clientWindows_.erase(window);
    if (window == clientMain_)
        clientMain_ = contactList_ = nullptr;
}

// Posted, so that the client's thread, which waits on the notification, is not asked back
// inside it, and so that several changes in one go send one popup.
void TMessengerLink::ClientMenusChanged()
{
    if (menusPending_ || clientWindows_.empty())
        return;
    menusPending_ = true;
    std::weak_ptr<TMessengerLink*> self = self_;
    platform::Post([self] {
        auto link = self.lock();
        if (link && *link)
            (*link)->SendMenus();
    });
}

void TMessengerLink::SendMenus()
{
    menusPending_ = false;
    for (auto& [window, client] : clientWindows_) {
        const ui::TUnicodeMenuItem* popup = client.Main ? menus_.Main : menus_.Conversation;
        if (!popup || !windows_)
            continue;
        auto entries = ClientMenuEntries(*popup);
        if (entries == client.Sent)
            continue;
        windows_->SetMenu(window, entries);
        client.Sent = std::move(entries);
    }
}

std::function<void()> TMessengerLink::ClientCommand(unsigned command, void* window)
{
    ui::TUnicodeMenuItem* item = nullptr;
    if (menus_.CallUser && command == menus_.CallUser->Command()) {
        conversationName_ = windows_ ? ContactNameFromTitle(windows_->Title(window)) : std::string();
        item = menus_.CallUser;
    } else if (menus_.FindCommand) {
        item = menus_.FindCommand(command);
    }
    if (!item)
        return {};
    // The handler is copied: running it may rebuild the menu that holds the item.
    return [item, click = item->OnClick, enabled = item->Enabled() && item->Visible()] {
        if (enabled && click)
            click(item);
    };
}

std::string TMessengerLink::SelectedContact()
{
    if (!msgr_ || !windows_ || !clientMain_ || !contactList_)
        return {};
    const std::string row = windows_->SelectedRowText(clientMain_, contactList_);
    auto contact = row.empty() ? nullptr : FindContactByName(msgr_.get(), ContactNameFromListText(row));
    try {
        return contact ? contact->FriendlyName() : std::string();
    } catch (const EOleError&) {
        return {};
    }
}

std::string TMessengerLink::ConversationContact()
{
    const std::string name = std::move(conversationName_);
    conversationName_.clear();
    auto contact = name.empty() ? nullptr : FindContactByName(msgr_.get(), name);
    try {
        return contact ? contact->FriendlyName() : std::string();
    } catch (const EOleError&) {
        return {};
    }
}

} // namespace app
