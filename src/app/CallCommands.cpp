#include "app/CallCommands.h"

#include <algorithm>
#include <array>

#include "app/ClickToDial.h"
#include "app/MSNMain.h"
#include "dialogs/MSNTransfer.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"
#include "settings/csvprop.h"
#include "settings/csvstr.h"
#include "settings/otutil.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace app {

namespace {

// Where REDIRECT_CALL sends the call.
enum TRedirectMode : std::uint32_t { rmNumber = 1, rmVoiceMail = 2, rmIgnore = 3, rmMeetme = 6 };

// VOICE_MAIL: the plain listen, and the listen to a given message of a folder.
enum TVoiceMailMode : std::uint32_t { vmListen = 0, vmMessage = 2 };

} // namespace

TCallCommands::TCallCommands(TfmKovraAssistant& form, TCallTracker& calls, const TAssistantServices& services)
    : form_(form), calls_(calls), services_(services)
{
}

bool TCallCommands::Allowed(std::optional<TKovraCapability> right) const
{
    return form_.InService() && form_.Api() && (!right || form_.Cap(*right));
}

const TCallInfo* TCallCommands::Target(std::optional<TKovraCapability> right) const
{
    return Allowed(right) ? form_.SelectedCall() : nullptr;
}

const std::string& TCallCommands::Device() const
{
    return StartupInfo().Device;
}

std::optional<std::string> TCallCommands::Dialled(const std::string& number) const
{
    const TDialledNumber dialled = DialableNumber(number, StoredDialingRules());
    if (dialled.Refusal == TDialRefusal::None)
        return dialled.Number;
    form_.ShowError(DialRefusalText(dialled.Refusal, number));
    return std::nullopt;
}

void TCallCommands::MakeCallTo(const std::string& written, int options)
{
    if (!Allowed())
        return;
    if (const auto dialled = Dialled(written))
        PlaceCall(written, *dialled, options);
}

void TCallCommands::MakeCallAsDialled(const std::string& number)
{
    if (!Allowed())
        return;
    // The rules would add their prefixes again; only what the phone cannot dial is refused.
    TDialledNumber dialled = DialableNumber(number, TDialingRules());
    if (dialled.Refusal == TDialRefusal::None)
        PlaceCall(number, DialableDigits(number), 0);
    else
        form_.ShowError(DialRefusalText(dialled.Refusal, number));
}

void TCallCommands::PlaceCall(const std::string& written, const std::string& number, int options)
{
    calls_.Dialling(written, number);
    TKovraAPI& api = *form_.Api();
    if (calls_.ActiveCallId().empty()) {
        api.MakeCall(Device(), number, static_cast<std::uint32_t>(options));
        return;
    }
    TCallInfo* active = form_.FindCall(calls_.ActiveCallId());
    if (!active)
        return;
    if (active->LocalState != csConnected) {
        api.MakeCall(Device(), number, static_cast<std::uint32_t>(options));
        return;
    }
    // Dialled once the server reports the call held.
    active->PendingNumber = number;
    active->PendingOptions = options;
    api.HoldCall(Device(), active->CallId);
}

void TCallCommands::AnswerOrAlternate(const std::string& oid)
{
    if (!Allowed())
        return;
    TKovraAPI& api = *form_.Api();
    if (!calls_.ActiveCallId().empty()) {
        const TCallInfo* active = form_.FindCall(calls_.ActiveCallId());
        if (active && active->LocalState == csDialing && form_.Cap(capAnswer))
            api.AnswerCall(Device(), oid);
        else if (form_.Cap(capAlternate))
            api.AlternateCall(Device(), calls_.ActiveCallId(), oid);
    } else if (form_.Cap(capAnswer)) {
        api.AnswerCall(Device(), oid);
    }
}

void TCallCommands::OnMakeCall()
{
    if (!Allowed())
        return;
    const auto answer = services_.Dialogs->MakeCall();
    if (!answer)
        return;
    const int options = (answer->Intercom ? 4 : 0) + (answer->Urgent ? 2 : 0) + (answer->DontShow ? 8 : 0);
    MakeCallTo(answer->Number, options);
}

void TCallCommands::OnAnswerCall()
{
    if (const TCallInfo* call = Target(); call && call->LocalState == csRinging)
        AnswerOrAlternate(call->CallId);
}

void TCallCommands::OnHoldCall()
{
    if (const TCallInfo* call = Target())
        form_.Api()->HoldCall(Device(), call->CallId);
}

void TCallCommands::OnResumeCall()
{
    const TCallInfo* call = Target();
    if (!call)
        return;
    if (calls_.ActiveCallId().empty())
        form_.Api()->RetrieveCall(Device(), call->CallId);
    else if (form_.Cap(capAlternate))
        form_.Api()->AlternateCall(Device(), calls_.ActiveCallId(), call->CallId);
}

void TCallCommands::OnDropCall()
{
    if (const TCallInfo* call = Target())
        form_.Api()->DropCall(Device(), call->CallId);
}

void TCallCommands::OnParkCall()
{
    const TCallInfo* call = Target();
    if (!call)
        return;
    const std::string oid = call->CallId;
    calls_.ParkRequested(oid);
    form_.Api()->ParkCall(Device(), oid);
}

void TCallCommands::OnRedirectToVM()
{
    if (const TCallInfo* call = Target())
        form_.Api()->RedirectCall(Device(), call->CallId, "", rmVoiceMail, 0);
}

void TCallCommands::OnRedirectToVRing()
{
    if (const TCallInfo* call = Target())
        form_.Api()->RedirectCall(Device(), call->CallId, "", rmIgnore, 0);
}

void TCallCommands::RedirectTo(const std::string& number)
{
    const TCallInfo* call = Target();
    if (call && !call->CallId.empty())
        RedirectCallTo(call->CallId, number);
}

void TCallCommands::RedirectCallTo(const std::string& oid, const std::string& number)
{
    if (form_.Api())
        if (const auto dialled = Dialled(number))
            form_.Api()->RedirectCall(Device(), oid, *dialled, rmNumber, 0);
}

void TCallCommands::miCallRedirectToClick()
{
    const TCallInfo* call = Target();
    if (!call || call->CallId.empty())
        return;
    const std::string oid = call->CallId;
    const auto number = services_.Dialogs->Redirect();
    // The session may have gone while the dialog was open.
    if (number && form_.Cap(capRedirect))
        RedirectCallTo(oid, *number);
}

void TCallCommands::OnCallLater()
{
    const TCallInfo* call = Target();
    if (!call)
        return;
    TCallLaterRequest request;
    request.HasMessenger = services_.Messenger->Attached();
    request.Contact = services_.Messenger->ContactFor(call->FirstDevice());
    request.Name = call->FirstName();
    request.Minutes = 10;
    request.Number = call->FirstDevice();
    if (form_.Cap(capVoiceMail) && form_.Cap(capRedirect))
        form_.Api()->RedirectCall(Device(), call->CallId, "", rmVoiceMail, 0);
    services_.Dialogs->CallLater(request);
}

void TCallCommands::OnTransferCall()
{
    const TCallInfo* call = Target();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const TImmediateChoice choice =
        ImmediateChoice(form_.Capabilities(), capSingleStepTransfer, capConsultTransfer);
    const auto answer = services_.Dialogs->Transfer({choice.Enabled, choice.Checked});
    if (answer && form_.Api())
        if (const auto dialled = Dialled(answer->Number))
            form_.Api()->Transfer(Device(), oid, *dialled, 0, answer->Immediate);
}

void TCallCommands::OnSetupConference()
{
    const TCallInfo* call = Target();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const TImmediateChoice choice =
        ImmediateChoice(form_.Capabilities(), capSingleStepConference, capConsultConference);
    const auto answer = services_.Dialogs->Conference({choice.Enabled, choice.Checked});
    if (answer && form_.Api())
        if (const auto dialled = Dialled(answer->Number))
            form_.Api()->Conference(Device(), oid, *dialled, 0, answer->Immediate);
}

std::vector<const TCallInfo*> TCallCommands::SingleCallsOnHold() const
{
    std::vector<const TCallInfo*> held;
    for (const TCallInfo* each : form_.CallsOnHold())
        if (!each->IsConference())
            held.push_back(each);
    return held;
}

// Asks which held call to join the selected one with: by transfer or into a conference.
void TCallCommands::ChooseHeldCall(bool conference)
{
    const TCallInfo* call = Target(conference ? std::nullopt : std::optional(capCompleteTransfer));
    if (!call)
        return;
    const std::string oid = call->CallId;
    const auto chosen = services_.Dialogs->ChooseHeldCall(
        conference, call->FirstName(), FormatPhoneNumber(call->FirstDevice()), SingleCallsOnHold());
    if (!chosen || chosen->empty() || !form_.Api())
        return;
    if (conference)
        form_.Api()->ConferenceCall(Device(), oid, *chosen);
    else
        form_.Api()->CompleteTransfer(Device(), oid, *chosen);
}

void TCallCommands::OnTransferOnHold()
{
    ChooseHeldCall(false);
}

void TCallCommands::OnConferenceOnHold()
{
    ChooseHeldCall(true);
}

void TCallCommands::OnCompleteTransfer()
{
    const TCallInfo* call = Target(capCompleteTransfer);
    if (!call || call->CallId.empty())
        return;
    if (!call->RelatedCallId.empty()) {
        form_.Api()->CompleteTransfer(Device(), call->CallId, call->RelatedCallId);
        return;
    }
    const auto held = form_.CallsOnHold();
    if (held.size() == 1) {
        if (!calls_.HeldCallId().empty())
            form_.Api()->CompleteTransfer(Device(), call->CallId, calls_.HeldCallId());
    } else if (held.size() > 1) {
        OnTransferOnHold();
    }
}

void TCallCommands::OnCompleteConference()
{
    const TCallInfo* call = Target(capCompleteConference);
    if (call && !call->CallId.empty() && !call->RelatedCallId.empty())
        form_.Api()->CompleteConference(Device(), call->CallId, call->RelatedCallId);
}

void TCallCommands::OnAddToConference()
{
    const TCallInfo* call = Target(capCompleteConference);
    if (!call)
        return;
    std::vector<const TCallInfo*> single;
    for (const TCallInfo* each : form_.CallsOnHold()) {
        // A held conference takes the call in before any single call.
        if (each->IsConference()) {
            form_.Api()->ConferenceCall(Device(), call->CallId, each->CallId);
            return;
        }
        single.push_back(each);
    }
    if (single.size() == 1) {
        if (!calls_.HeldCallId().empty())
            form_.Api()->ConferenceCall(Device(), call->CallId, calls_.HeldCallId());
    } else if (single.size() > 1) {
        OnConferenceOnHold();
    }
}

void TCallCommands::OnLeaveConference()
{
    if (const TCallInfo* call = Target())
        form_.Api()->DropConference(Device(), call->CallId, Device());
}

void TCallCommands::OnShowConferenceList()
{
    const TCallInfo* call = Target();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const auto member = services_.Dialogs->ConferenceMember(*call);
    if (member && form_.Api())
        form_.Api()->DropConference(Device(), oid, *member);
}

void TCallCommands::OnPrivacyDigit(const std::string& digit)
{
    if (const TCallInfo* call = Target(capPrivacyGuard))
        form_.Api()->DialDigits(Device(), call->CallId, digit);
}

void TCallCommands::OnPickupCall()
{
    if (!Allowed(capPickup))
        return;
    const auto number = services_.Dialogs->Pickup();
    if (number && form_.Api())
        form_.Api()->PickupCall(Device(), *number);
}

void TCallCommands::OnListenVoiceMail()
{
    if (!Allowed())
        return;
    if (!calls_.ActiveCallId().empty())
        form_.Api()->HoldCall(Device(), calls_.ActiveCallId());
    form_.Api()->VoiceMail(Device(), vmListen, "", 0, 0);
}

void TCallCommands::OnSetDndOn()
{
    if (Allowed())
        form_.Api()->SetDoNotDisturb(Device(), true);
}

void TCallCommands::OnSetDndOff()
{
    if (Allowed())
        form_.Api()->SetDoNotDisturb(Device(), false);
}

// Forwarding is set for a phone out of service too: it is what sends its calls elsewhere.
void TCallCommands::OnForward()
{
    if (form_.Closing() || !form_.Api())
        return;
    TKovraCallForwarding forwarding;
    form_.Api()->GetForwarding(Device(), forwarding);
    const std::array<std::string, 4> current{forwarding.ForwardAll, forwarding.ForwardBusy,
                                             forwarding.ForwardNoAnswer, forwarding.ForwardOutOfService};
    const std::array<bool, 4> enabled{form_.Cap(capForwardAlways), form_.Cap(capForwardBusy),
                                      form_.Cap(capForwardNoAnswer), form_.Cap(capForwardOutOfService)};
    // The server holds what the phone dials: a destination set here is shown as the user wrote
    // it, for the rules to dial again when edited; another is shown as dialled, and a box left as
    // it was changes nothing.
    std::array<std::string, 4> shown = current;
    for (std::size_t kind = 0; kind < 4; ++kind)
        if (!current[kind].empty() && forwardWritten_[kind].first == current[kind])
            shown[kind] = forwardWritten_[kind].second;
    const auto edited = services_.Dialogs->Forward(shown, enabled);
    if (!edited || !form_.Api())
        return;
    // An emptied box ends its forwarding; a refused number leaves the forwarding as it is.
    std::array<std::optional<std::string>, 4> destinations;
    for (std::size_t kind = 0; kind < 4; ++kind)
        if (enabled[kind] && WrittenDigits((*edited)[kind]) != WrittenDigits(shown[kind]))
            destinations[kind] = Trim((*edited)[kind]).empty() ? std::string() : Dialled((*edited)[kind]);
    ui::Application->SetScreenCursor(ui::TCursor::crHourGlass);
    for (std::uint32_t kind = 0; kind < 4 && form_.Api(); ++kind)
        if (destinations[kind]) {
            form_.Api()->SetForwarding(Device(), *destinations[kind], form_.Timings().ForwardWait, kind);
            forwardWritten_[kind] = {*destinations[kind], Trim((*edited)[kind])};
        }
    ui::Application->SetScreenCursor(ui::TCursor::crDefault);
}

void TCallCommands::OnAddToMeetme()
{
    const TCallInfo* call = Target(capRedirect);
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string firstDevice = call->FirstDevice();
    const std::uint32_t conference = services_.Desktop->MeetmeConferenceId();
    if (conference == 0)
        return;
    std::uint32_t error = 0;
    if (!form_.Api()->RedirectCallWait(error, Device(), oid, std::to_string(conference), rmMeetme, 0) ||
        error != 0)
        return;
    MarkDialoutJoined(firstDevice);
    RetrieveRestrictedCalls();
}

// The dial-out entry of the number that joined, matched in full, as the rules dial it or by its last
// digits, is marked and the panel moves on to the next.
void TCallCommands::MarkDialoutJoined(const std::string& device)
{
    const std::string& phone = StartupInfo().Phone;
    const TDialingRules rules = StoredDialingRules();
    for (std::size_t i = 0; i < dialoutList_.size(); ++i) {
        const std::string& entry = dialoutList_[i].Number;
        // An entry the rules refuse dials nothing: only its written digits can match.
        const TDialledNumber dialled = DialableNumber(entry, rules);
        bool match = !entry.empty() &&
                     (device == entry || (dialled.Refusal == TDialRefusal::None && device == dialled.Number));
        if (!match && !entry.empty() && entry.size() < phone.size())
            match = device == phone.substr(0, phone.size() - entry.size()) + entry;
        if (match) {
            dialoutList_[i].Joined = true;
            dialoutIndex_ = static_cast<int>(i);
            ShowDialoutEntry();
            DialoutNext();
            break;
        }
    }
}

// The calls whose far end withholds the meet-me move come back to the phone.
void TCallCommands::RetrieveRestrictedCalls()
{
    for (TCallInfo* each : form_.Calls()) {
        if (!form_.Api())
            return;
        if (each->RemoteState != psRestricted)
            continue;
        if (calls_.ActiveCallId().empty())
            form_.Api()->RetrieveCall(Device(), each->CallId);
        else if (form_.Cap(capAlternate))
            form_.Api()->AlternateCall(Device(), calls_.ActiveCallId(), each->CallId);
    }
}

void TCallCommands::AddToConference(const std::string& number)
{
    if (!Allowed())
        return;
    const TCallInfo* call = form_.SelectedCall();
    if (call && call->LocalState == csConnected) {
        if (const auto dialled = Dialled(number))
            form_.Api()->Conference(Device(), call->CallId, *dialled, 0, true);
        return;
    }
    form_.ShowError(LocalText("txtErrorNoActiveCall", "* No Active Call"));
}

void TCallCommands::ListenVoiceMailWith(const std::string& argument)
{
    if (!Allowed())
        return;
    TCsvProperties props(argument);
    const std::uint32_t folder = settings::SameText(props.Value("FOLDER"), "VOICE_MAIL_SAVED") ? 1 : 0;
    const int message = props.ValueInt("MSG", 0);
    form_.Api()->VoiceMail(Device(), vmMessage, props.Value("PWD"), folder,
                           static_cast<std::uint32_t>(message));
}

void TCallCommands::RunAction(int action, const std::string& argument)
{
    switch (action) {
    case paMakeCall: {
        TCsvProperties props(argument);
        MakeCallTo(props.Value("Phone"), props.ValueInt("Options", 0));
        break;
    }
    case paDialout:
        FillDialout(argument);
        break;
    case paVoiceMail:
        ListenVoiceMailWith(argument);
        break;
    case paAddConference:
        AddToConference(argument);
        break;
    default:
        break;
    }
}

void TCallCommands::FillDialout(const std::string& argument)
{
    if (!Allowed())
        return;
    if (services_.Desktop->MeetmeConferenceId() == 0) {
        form_.ShowError(
            LocalText("txtErrorNoMeetmeCall", "* No Meet-me conference or not logged in as moderator"));
        return;
    }
    dialoutList_.clear();
    TCsvString list(argument, false, '"');
    for (int i = 0; i < list.Count(); ++i)
        dialoutList_.push_back({WrittenDigits(list.Item(i)), false});
    if (dialoutList_.empty()) {
        DialoutClose();
        return;
    }
    dialoutIndex_ = 0;
    ShowDialoutEntry();
    form_.SetHeight(form_.pnDialout->Height() + 500);
    form_.pnDialout->SetVisible(true);
    form_.pnStatusBar->SetTop(form_.pnDialout->Top() + form_.pnDialout->Height());
}

void TCallCommands::ShowDialoutEntry()
{
    if (dialoutList_.empty())
        return;
    dialoutIndex_ = std::clamp(dialoutIndex_, 0, static_cast<int>(dialoutList_.size()) - 1);
    const TDialoutEntry& entry = dialoutList_[static_cast<std::size_t>(dialoutIndex_)];
    // A "+" number is shown as written: the national form would hide its country code.
    form_.txtPhone->SetCaption(entry.Number.starts_with('+') ? entry.Number
                                                             : FormatPhoneNumber(entry.Number));
    form_.txtJoined->SetVisible(entry.Joined);
}

void TCallCommands::DialoutPrevious()
{
    if (dialoutIndex_ > 0)
        --dialoutIndex_;
    ShowDialoutEntry();
}

void TCallCommands::DialoutNext()
{
    if (dialoutIndex_ + 1 < static_cast<int>(dialoutList_.size()))
        ++dialoutIndex_;
    ShowDialoutEntry();
}

void TCallCommands::DialoutRemove()
{
    if (dialoutList_.empty())
        return;
    dialoutList_.erase(dialoutList_.begin() +
                       std::clamp(dialoutIndex_, 0, static_cast<int>(dialoutList_.size()) - 1));
    if (dialoutList_.empty()) {
        DialoutClose();
        return;
    }
    ShowDialoutEntry();
}

void TCallCommands::DialoutDial()
{
    if (!Allowed() || !form_.miCallMakeCall->Enabled() || dialoutList_.empty())
        return;
    MakeCallTo(dialoutList_[static_cast<std::size_t>(dialoutIndex_)].Number, 0);
}

void TCallCommands::DialoutClose()
{
    form_.pnDialout->SetVisible(false);
    form_.SetHeight(500);
}

} // namespace app
