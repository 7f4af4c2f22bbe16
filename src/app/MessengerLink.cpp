#include "app/MessengerLink.h"

#include "platform/MainLoop.h"

using namespace messenger;

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
    if (msgr_)
        return true;
    std::unique_ptr<TMsgrObject> msgr = factory_ ? factory_() : nullptr;
    if (!msgr)
        return false;
    try {
        msgr->Connect();
    } catch (const EOleError&) {
        return false;
    }
    msgr->OnLocalStateChangeResult = [this](long, int state, const std::string&) { StatusChanged(state); };
    msgr->OnFindResult = [](long, long) {};
    msgr_ = std::move(msgr);
    coupling_.Attach(msgr_.get());
    if (hook_.Install)
        hook_.Install();
    return true;
}

void TMessengerLink::Stop()
{
    if (!msgr_)
        return;
    if (hook_.Remove)
        hook_.Remove();
    coupling_.Attach(nullptr);
    retired_.push_back(std::move(msgr_));
    // A stop from inside the wrapper's own event waits for the handler to return.
    if (handlerDepth_ == 0)
        ReleaseRetired();
}

void TMessengerLink::ReleaseRetired()
{
    std::weak_ptr<TMessengerLink*> self = self_;
    platform::Post([self] {
        auto link = self.lock();
        if (link && *link && (*link)->handlerDepth_ == 0)
            (*link)->retired_.clear();
    });
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

bool TMessengerLink::SendInstantMessage(const std::string& contact, const std::string& header,
                                        const std::string& text, int type)
{
    auto user = FindContactByName(msgr_.get(), contact);
    try {
        if (!user || user->State() != MSTATE_ONLINE)
            return false;
        user->SendText(header, text, type);
        return true;
    } catch (const EOleError&) {
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
