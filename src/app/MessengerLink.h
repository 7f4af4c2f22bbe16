#pragma once
// The main window's coupling with the messaging client: the wrapper while the coupling runs, the
// rules applied between it and the phone, the hook that puts the program's menu into the client's
// windows. The wrapper goes only after its own event handler has returned. Main thread only.

#include <functional>
#include <memory>
#include <vector>

#include "app/AssistantSeams.h"
#include "messenger/MSNUtils.h"
#include "options/MSNOptionsLists.h"

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

    bool Start() override;
    void Stop() override;
    bool Attached() const override { return msgr_ != nullptr; }
    void ApplyPhoneRule(int event) override;
    bool IsOnlineContact(const std::string& number) override;
    std::string ContactFor(const std::string& number) override;
    bool SendInstantMessage(const std::string& contact, const std::string& header, const std::string& text,
                            int type) override;
    void Bind(messenger::TPhoneControl* phone, std::function<void()> signOut,
              std::function<void()> signIn) override;

    // The client's contacts in its order, for the reminders; none without the wrapper.
    std::vector<TReminderContact> ReminderContacts();
    messenger::TMsgrObject* Messenger() const { return msgr_.get(); }
    // Wrappers stopped but not yet released.
    std::size_t Retired() const { return retired_.size(); }

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

    TFactory factory_;
    THook hook_;
    TPhoneRelay phone_;
    messenger::TPresenceCoupling coupling_;
    std::unique_ptr<messenger::TMsgrObject> msgr_;
    std::vector<std::unique_ptr<messenger::TMsgrObject>> retired_;
    int handlerDepth_ = 0;
    std::shared_ptr<TMessengerLink*> self_;
};
