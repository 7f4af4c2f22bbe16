#pragma once
// The coupling of the messaging client and the phone: the two rule tables with their storage and
// display texts, the own-status and phone-state steps that apply them, and the contact look-ups
// the call dialogs use. Main thread only.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "messenger/Messenger_TLB.h"

namespace settings {
class TKovraAssistantConfig;
}

namespace messenger {

constexpr int kIMStateCount = 67;
constexpr int kPhoneStateCount = 7;

constexpr int MSTATE_INVISIBLE = 6;
constexpr int MSTATE_BUSY = 10;
constexpr int MSTATE_BE_RIGHT_BACK = 14;
constexpr int MSTATE_AWAY = 34;
constexpr int MSTATE_ON_THE_PHONE = 50;
constexpr int MSTATE_OUT_TO_LUNCH = 66;

enum TIMAction { imaNothing = 0, imaDisableDndFw = 1, imaEnableDnd = 2, imaForward = 3 };
enum TPhoneEvent {
    pePhoneNone = 0,
    peOffHook = 1,
    peBusy = 2,
    peHangup = 3,
    peDndOn = 4,
    peDndOff = 5,
    peForwarded = 6,
    peOutOfService = 7
};

struct TIMStateRec {
    std::string Name;
    int Code = 0; // 0: a status the program does not know
    int Action = imaNothing;
    std::string Number, Label;
};

struct TPhoneStateRec {
    std::string Name;
    int Code = 0;
    int Target = 0;              // the status to set; 0 sets none
    std::vector<int> Conditions; // empty: in every status
};

// Both tables, with their defaults, storage and display texts.
class TPresenceRules {
public:
    TPresenceRules();

    // The known statuses and the phone states with their localised names and default rules.
    void SetDefaults();
    // Stored rules over the defaults; absent or empty values leave a record as it is.
    void Load(const settings::TKovraAssistantConfig& config);
    void SaveIMRule(settings::TKovraAssistantConfig& config, int code) const;
    void SavePhoneRule(settings::TKovraAssistantConfig& config, int state) const;

    // Null outside 0..66 and 1..7.
    TIMStateRec* IMState(int code);
    const TIMStateRec* IMState(int code) const;
    TPhoneStateRec* PhoneState(int state);
    const TPhoneStateRec* PhoneState(int state) const;
    std::string StatusName(int code) const;

    std::string IMRuleText(int code) const;
    std::string PhoneRuleCaption(int state) const; // seven blanks leave room for the icon
    int PhoneRuleIcon(int state) const;            // entry of the state image list
    std::string PhoneRuleConditions(int state) const;

private:
    std::array<TIMStateRec, kIMStateCount> im_;
    std::array<TPhoneStateRec, kPhoneStateCount> phone_;
};

// The rules as the program applies them (filled when the options window initialises).
TPresenceRules& PresenceRules();

// What the coupling asks of the phone; the main window binds it to the session.
struct TPhoneControl {
    virtual ~TPhoneControl() = default;
    virtual bool Connected() const = 0;
    virtual bool DoNotDisturb() const = 0;
    virtual bool Forwarded() const = 0;
    virtual bool MayForward() const = 0; // the user's rights allow forwarding
    virtual void RequestDoNotDisturb(bool on) = 0;
    virtual void RequestForwarding(const std::string& destination) = 0; // empty cancels
    // The quiet period (tmDontChange) restarts before every phone request of a rule.
    virtual void RestartQuiet() = 0;
};

// The two directions of the coupling. The statuses the program itself set are remembered until
// their echoes come back, so that none of them runs a Messenger rule (two phone rules may fire
// before the first echo arrives); the main window's quiet period keeps the echo of a rule's phone
// request from running a phone rule.
class TPresenceCoupling {
public:
    TPresenceCoupling(TPresenceRules& rules, TPhoneControl& phone) : rules_(rules), phone_(phone) {}

    // The wrapper (null: no coupling); the last known status is read from it.
    void Attach(TMsgrObject* messenger);
    TMsgrObject* Messenger() const { return messenger_; }
    int LastStatus() const { return lastStatus_; }
    // Statuses set by the program whose change the client has not reported yet.
    bool OwnDoing() const { return !ownStatuses_.empty(); }

    // OnLocalStateChangeResult.
    void OwnStatusChanged(int status);
    // A phone event 1..7.
    void PhoneEvent(int event);

    // Sign-out (online to offline) and sign-in (offline to online) made by the user.
    std::function<void()> OnSignOut, OnSignIn;

private:
    void ApplyIMRule(int status);

    TPresenceRules& rules_;
    TPhoneControl& phone_;
    TMsgrObject* messenger_ = nullptr;
    int lastStatus_ = 0;
    std::vector<int> ownStatuses_;
};

// Contact look-ups; a failing client call finds nothing.
std::shared_ptr<IMsgrUser> FindContactByNumber(TMsgrObject* messenger, std::string_view number);
std::shared_ptr<IMsgrUser> FindContactByName(TMsgrObject* messenger, std::string_view name);
// Kind 0..2, or -1 for the first of them that is not empty.
std::string GetContactPhone(IMsgrUser* contact, int kind);
// The name in a contact list row: "Name (Away)" gives "Name".
std::string ContactNameFromListText(std::string_view text);
// The name in a conversation window's title: the text before " - ".
std::string ContactNameFromTitle(std::string_view title);
// Sends a canned message to the online contact with that number; false with the two-part error
// text when it cannot be sent.
bool SendMessageToNumber(TMsgrObject* messenger, std::string_view number, const std::string& text,
                         std::string& error);

} // namespace messenger
