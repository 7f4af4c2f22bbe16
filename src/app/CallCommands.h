#pragma once
// TCallCommands: the user's commands on the phone and its calls, which the main window's menus,
// links, hotkeys and start actions run. Every command passes the same preamble first: the phone in
// service, a session, the right the command needs and, for a command on a call, the selected call.
// It also keeps the dial-out list of a meet-me conference and shows it on the window's panel.
// Main thread only.

#include <optional>
#include <string>
#include <vector>

#include "api/KovraCodes.h"
#include "app/AssistantSeams.h"
#include "app/CallTracker.h"

namespace app {

class TfmKovraAssistant;
class TCallInfo;

class TCallCommands {
public:
    struct TDialoutEntry {
        std::string Number;
        bool Joined = false;
    };

    // The window outlives its commands; the services are the window's.
    TCallCommands(TfmKovraAssistant& form, TCallTracker& calls, const TAssistantServices& services);

    void OnMakeCall();
    void OnAnswerCall();
    void OnHoldCall();
    void OnResumeCall();
    void OnDropCall();
    void OnParkCall();
    void OnRedirectToVM();
    void OnRedirectToVRing();
    // The number the user types into the redirect dialog; RedirectTo a number already chosen.
    void miCallRedirectToClick();
    void RedirectTo(const std::string& number);
    // A number as written, dialled by the rules; a refused one is shown and nothing sent.
    void RedirectCallTo(const std::string& oid, const std::string& number);
    void OnCallLater();
    void OnTransferCall();
    void OnSetupConference();
    void OnTransferOnHold();
    void OnConferenceOnHold();
    void OnCompleteTransfer();
    void OnCompleteConference();
    void OnAddToConference();
    void OnLeaveConference();
    void OnShowConferenceList();
    void OnPickupCall();
    void OnListenVoiceMail();
    void OnSetDndOn();
    void OnSetDndOff();
    void OnForward();
    void OnPrivacyDigit(const std::string& digit);
    void OnAddToMeetme();

    // Dials the number, as written, by the dialing rules with the make-call options; a connected
    // call is held first and the number dialled once it is.
    void MakeCallTo(const std::string& number, int options);
    // Dials a number that is already what the phone dials (a call back), separators dropped.
    void MakeCallAsDialled(const std::string& number);
    void AnswerOrAlternate(const std::string& oid);
    // An action handed over at start or by another instance (paMakeCall, paDialout, ...).
    void RunAction(int action, const std::string& argument);

    // The dial-out panel.
    void FillDialout(const std::string& argument);
    void DialoutPrevious();
    void DialoutNext();
    void DialoutRemove();
    void DialoutDial();
    void DialoutClose();
    const std::vector<TDialoutEntry>& DialoutList() const { return dialoutList_; }
    int DialoutIndex() const { return dialoutIndex_; }
    const std::string& ConversationName() const { return conversationName_; }

private:
    // The preamble: in service, a session and, when one is named, the right.
    bool Allowed(std::optional<api::TKovraCapability> right = std::nullopt) const;
    // The preamble of a command on a call: the selected call when Allowed, else none.
    const TCallInfo* Target(std::optional<api::TKovraCapability> right = std::nullopt) const;
    std::vector<const TCallInfo*> SingleCallsOnHold() const;
    void ChooseHeldCall(bool conference);
    void RetrieveRestrictedCalls();
    void MarkDialoutJoined(const std::string& device);
    void AddToConference(const std::string& number);
    // What the phone dials for a number as written, by the stored dialing rules; a number they
    // refuse is shown in the status bar and dials nothing.
    std::optional<std::string> Dialled(const std::string& number) const;
    void PlaceCall(const std::string& written, const std::string& number, int options);
    void ListenVoiceMailWith(const std::string& argument);
    void ShowDialoutEntry();
    const std::string& Device() const;

    TfmKovraAssistant& form_;
    TCallTracker& calls_;
    const TAssistantServices& services_;
    std::vector<TDialoutEntry> dialoutList_;
    int dialoutIndex_ = 0;
    std::string conversationName_;
    // Per forwarding kind, the destination this program set and the number as the user wrote it.
    std::array<std::pair<std::string, std::string>, 4> forwardWritten_;
};

} // namespace app
