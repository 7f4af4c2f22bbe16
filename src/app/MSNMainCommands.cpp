#include <algorithm>

#include "app/MSNMain.h"
#include "dialogs/MSNTransfer.h"
#include "platform/Threads.h"
#include "settings/MessageBundle.h"
#include "settings/SpeedDials.h"
#include "settings/TextUtil.h"
#include "settings/csvprop.h"
#include "settings/csvstr.h"
#include "settings/otutil.h"

namespace {

using settings::SameText;
using settings::Trim;

}  // namespace

void TfmKovraAssistant::OnRequestResult(std::uint32_t dwError)
{
    if (dwError == 0)
        SetStatus("pnStatusDone", "Done");
    else
        SetStatusText(ErrorStatus(dwError));
}

void TfmKovraAssistant::MakeCallTo(const std::string& number, int options)
{
    if (!InService() || !api_)
        return;
    const std::string& device = StartupInfo().Device;
    if (calls_.ActiveCallId().empty()) {
        api_->MakeCall(device, number, static_cast<std::uint32_t>(options));
        return;
    }
    TCallInfo* active = FindCall(calls_.ActiveCallId());
    if (!active)
        return;
    if (active->LocalState != 4) {
        api_->MakeCall(device, number, static_cast<std::uint32_t>(options));
        return;
    }
    active->PendingNumber = number;
    active->PendingOptions = options;
    api_->HoldCall(device, active->CallId);
}

void TfmKovraAssistant::AnswerOrAlternate(const std::string& oid)
{
    if (!InService() || !api_)
        return;
    const std::string& device = StartupInfo().Device;
    if (!calls_.ActiveCallId().empty()) {
        const TCallInfo* active = FindCall(calls_.ActiveCallId());
        if (active && active->LocalState == 1 && Cap(5))
            api_->AnswerCall(device, oid);
        else if (Cap(4))
            api_->AlternateCall(device, calls_.ActiveCallId(), oid);
    } else if (Cap(5)) {
        api_->AnswerCall(device, oid);
    }
}

void TfmKovraAssistant::OnMakeCall()
{
    if (!InService())
        return;
    const auto answer = services_.Dialogs->MakeCall();
    if (!answer)
        return;
    const int options = (answer->Intercom ? 4 : 0) + (answer->Urgent ? 2 : 0) + (answer->DontShow ? 8 : 0);
    MakeCallTo(answer->Number, options);
}

void TfmKovraAssistant::OnAnswerCall()
{
    const TCallInfo* call = SelectedCall();
    if (InService() && call && call->LocalState == 2)
        AnswerOrAlternate(call->CallId);
}

const TCallInfo* TfmKovraAssistant::CommandCall() const
{
    return InService() && api_ ? SelectedCall() : nullptr;
}

void TfmKovraAssistant::OnHoldCall()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    api_->HoldCall(device, oid);
}

void TfmKovraAssistant::OnResumeCall()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    if (calls_.ActiveCallId().empty())
        api_->RetrieveCall(device, oid);
    else if (Cap(4))
        api_->AlternateCall(device, calls_.ActiveCallId(), oid);
}

void TfmKovraAssistant::OnDropCall()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    api_->DropCall(device, oid);
}

void TfmKovraAssistant::OnParkCall()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    calls_.ParkRequested(oid);
    api_->ParkCall(device, oid);
}

void TfmKovraAssistant::OnRedirectToVM()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    api_->RedirectCall(device, oid, "", 2, 0);
}

void TfmKovraAssistant::OnRedirectToVRing()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    api_->RedirectCall(device, oid, "", 3, 0);
}

void TfmKovraAssistant::cbRedirectToClick()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    const int index = cbRedirectTo->ItemIndex();
    if (oid.empty() || index < 1 || index > static_cast<int>(redirectEntries_.size()))
        return;
    api_->RedirectCall(device, oid, redirectEntries_[static_cast<std::size_t>(index - 1)].second, 1, 0);
}

void TfmKovraAssistant::miCallRedirectToClick()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    if (oid.empty())
        return;
    const auto number = services_.Dialogs->Redirect();
    if (number && Cap(12) && api_)
        api_->RedirectCall(device, oid, *number, 1, 0);
}

void TfmKovraAssistant::OnCallLater()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    TCallLaterRequest request;
    request.HasMessenger = services_.Messenger->Attached();
    request.Contact = services_.Messenger->ContactFor(call->FirstDevice());
    request.Name = call->FirstName();
    request.Minutes = 10;
    request.Number = call->FirstDevice();
    if (Cap(2) && Cap(12))
        api_->RedirectCall(device, oid, "", 2, 0);
    services_.Dialogs->CallLater(request);
}

void TfmKovraAssistant::OnTransferCall()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    const TImmediateChoice choice = ImmediateChoice(Capabilities(), 16, 27);
    const auto answer = services_.Dialogs->Transfer({choice.Enabled, choice.Checked});
    if (answer && api_)
        api_->Transfer(device, oid, answer->Number, 0, answer->Immediate);
}

void TfmKovraAssistant::OnSetupConference()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    const TImmediateChoice choice = ImmediateChoice(Capabilities(), 17, 28);
    const auto answer = services_.Dialogs->Conference({choice.Enabled, choice.Checked});
    if (answer && api_)
        api_->Conference(device, oid, answer->Number, 0, answer->Immediate);
}

void TfmKovraAssistant::OnTransferOnHold()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    std::vector<const TCallInfo*> held;
    for (const TCallInfo* each : CallsOnHold())
        if (!each->IsConference())
            held.push_back(each);
    const auto chosen =
        services_.Dialogs->ChooseHeldCall(false, call->FirstName(), FormatPhoneNumber(call->FirstDevice()), held);
    if (chosen && !chosen->empty() && Cap(14) && api_)
        api_->CompleteTransfer(device, oid, *chosen);
}

void TfmKovraAssistant::OnConferenceOnHold()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    std::vector<const TCallInfo*> held;
    for (const TCallInfo* each : CallsOnHold())
        if (!each->IsConference())
            held.push_back(each);
    const auto chosen =
        services_.Dialogs->ChooseHeldCall(true, call->FirstName(), FormatPhoneNumber(call->FirstDevice()), held);
    if (chosen && !chosen->empty() && api_)
        api_->ConferenceCall(device, oid, *chosen);
}

void TfmKovraAssistant::OnCompleteTransfer()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    if (oid.empty() || !Cap(14))
        return;
    if (!call->RelatedCallId.empty()) {
        api_->CompleteTransfer(device, oid, call->RelatedCallId);
        return;
    }
    const auto held = CallsOnHold();
    if (held.size() == 1) {
        if (!calls_.HeldCallId().empty())
            api_->CompleteTransfer(device, oid, calls_.HeldCallId());
    } else if (held.size() > 1) {
        OnTransferOnHold();
    }
}

void TfmKovraAssistant::OnCompleteConference()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    if (!oid.empty() && !call->RelatedCallId.empty() && Cap(15))
        api_->CompleteConference(device, oid, call->RelatedCallId);
}

void TfmKovraAssistant::OnAddToConference()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    if (!Cap(15))
        return;
    std::vector<const TCallInfo*> single;
    for (const TCallInfo* each : CallsOnHold()) {
        if (each->IsConference()) {
            api_->ConferenceCall(device, oid, each->CallId);
            return;
        }
        single.push_back(each);
    }
    if (single.size() == 1) {
        if (!calls_.HeldCallId().empty())
            api_->ConferenceCall(device, oid, calls_.HeldCallId());
    } else if (single.size() > 1) {
        OnConferenceOnHold();
    }
}

void TfmKovraAssistant::OnLeaveConference()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    api_->DropConference(device, oid, device);
}

void TfmKovraAssistant::OnShowConferenceList()
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    const auto member = services_.Dialogs->ConferenceMember(*call);
    if (member && api_)
        api_->DropConference(device, oid, *member);
}

void TfmKovraAssistant::OnPrivacyDigit(const std::string& digit)
{
    const TCallInfo* call = CommandCall();
    if (!call)
        return;
    const std::string oid = call->CallId;
    const std::string device = StartupInfo().Device;
    if (Cap(6))
        api_->DialDigits(device, oid, digit);
}

void TfmKovraAssistant::OnPickupCall()
{
    if (!InService() || !Cap(10) || !api_)
        return;
    const auto number = services_.Dialogs->Pickup();
    if (number && api_)
        api_->PickupCall(StartupInfo().Device, *number);
}

void TfmKovraAssistant::OnListenVoiceMail()
{
    if (!InService() || !api_)
        return;
    const std::string& device = StartupInfo().Device;
    if (!calls_.ActiveCallId().empty())
        api_->HoldCall(device, calls_.ActiveCallId());
    api_->VoiceMail(device, 0, "", 0, 0);
}

void TfmKovraAssistant::OnSetDndOn()
{
    if (InService() && api_)
        api_->SetDoNotDisturb(StartupInfo().Device, true);
}

void TfmKovraAssistant::OnSetDndOff()
{
    if (InService() && api_)
        api_->SetDoNotDisturb(StartupInfo().Device, false);
}

void TfmKovraAssistant::OnForward()
{
    if (closing_ || !api_)
        return;
    const std::string device = StartupInfo().Device;
    TKovraCallForwarding forwarding;
    api_->GetForwarding(device, forwarding);
    const std::array<std::string, 4> current{forwarding.ForwardAll, forwarding.ForwardBusy,
                                             forwarding.ForwardNoAnswer, forwarding.ForwardOutOfService};
    const std::array<bool, 4> enabled{Cap(1), Cap(23), Cap(24), Cap(25)};
    const auto edited = services_.Dialogs->Forward(current, enabled);
    if (!edited || !api_)
        return;
    ui::Application->SetScreenCursor(ui::TCursor::crHourGlass);
    for (std::uint32_t kind = 0; kind < 4 && api_; ++kind)
        if (enabled[kind] && (*edited)[kind] != current[kind])
            api_->SetForwarding(device, (*edited)[kind], timings_.ForwardWait, kind);
    ui::Application->SetScreenCursor(ui::TCursor::crDefault);
}

void TfmKovraAssistant::OnAddToMeetme()
{
    const TCallInfo* call = SelectedCall();
    if (!InService() || !call || !api_)
        return;
    const std::string oid = call->CallId;
    const std::string firstDevice = call->FirstDevice();
    const std::uint32_t conference = MeetmeConference();
    if (conference == 0 || !Cap(12))
        return;
    std::uint32_t error = 0;
    if (!api_->RedirectCallWait(error, StartupInfo().Device, oid, std::to_string(conference), 6, 0) || error != 0)
        return;

    const std::string& phone = StartupInfo().Phone;
    for (std::size_t i = 0; i < DialoutList.size(); ++i) {
        const std::string& entry = DialoutList[i].Number;
        bool match = firstDevice == entry;
        if (!match && entry.size() < phone.size())
            match = firstDevice == phone.substr(0, phone.size() - entry.size()) + entry;
        if (match) {
            DialoutList[i].Joined = true;
            DialoutIndex = static_cast<int>(i);
            ShowDialoutEntry();
            DialoutNext();
            break;
        }
    }
    if (!api_)
        return;
    for (TCallInfo* each : Calls()) {
        if (each->RemoteState != 7)
            continue;
        if (calls_.ActiveCallId().empty())
            api_->RetrieveCall(StartupInfo().Device, each->CallId);
        else if (Cap(4))
            api_->AlternateCall(StartupInfo().Device, calls_.ActiveCallId(), each->CallId);
    }
}

void TfmKovraAssistant::AddToConference(const std::string& number)
{
    if (!InService() || !api_)
        return;
    const TCallInfo* call = SelectedCall();
    if (call && call->LocalState == 4) {
        api_->Conference(StartupInfo().Device, call->CallId, number, 0, true);
        return;
    }
    ShowError(LocalText("txtErrorNoActiveCall", "* No Active Call"));
}

void TfmKovraAssistant::ListenVoiceMailWith(const std::string& argument)
{
    if (!InService() || !api_)
        return;
    TCsvProperties props(argument);
    const std::uint32_t folder = SameText(props.Value("FOLDER"), "VOICE_MAIL_SAVED") ? 1 : 0;
    const int message = props.ValueInt("MSG", 0);
    api_->VoiceMail(StartupInfo().Device, 2, props.Value("PWD"), folder, static_cast<std::uint32_t>(message));
}

void TfmKovraAssistant::FillDialout(const std::string& argument)
{
    if (!InService())
        return;
    if (MeetmeConference() == 0) {
        ShowError(LocalText("txtErrorNoMeetmeCall", "* No Meet-me conference or not logged in as moderator"));
        return;
    }
    DialoutList.clear();
    TCsvString list(argument, false, '"');
    for (int i = 0; i < list.Count(); ++i)
        DialoutList.push_back({DialableDigits(list.Item(i)), false});
    if (DialoutList.empty()) {
        DialoutClose();
        return;
    }
    DialoutIndex = 0;
    ShowDialoutEntry();
    SetHeight(pnDialout->Height() + 500);
    pnDialout->SetVisible(true);
    pnStatusBar->SetTop(pnDialout->Top() + pnDialout->Height());
}

void TfmKovraAssistant::ShowDialoutEntry()
{
    if (DialoutList.empty())
        return;
    DialoutIndex = std::clamp(DialoutIndex, 0, static_cast<int>(DialoutList.size()) - 1);
    const TDialoutEntry& entry = DialoutList[static_cast<std::size_t>(DialoutIndex)];
    txtPhone->SetCaption(FormatPhoneNumber(entry.Number));
    txtJoined->SetVisible(entry.Joined);
}

void TfmKovraAssistant::DialoutPrevious()
{
    if (DialoutIndex > 0)
        --DialoutIndex;
    ShowDialoutEntry();
}

void TfmKovraAssistant::DialoutNext()
{
    if (DialoutIndex + 1 < static_cast<int>(DialoutList.size()))
        ++DialoutIndex;
    ShowDialoutEntry();
}

void TfmKovraAssistant::DialoutRemove()
{
    if (DialoutList.empty())
        return;
    DialoutList.erase(DialoutList.begin() + std::clamp(DialoutIndex, 0, static_cast<int>(DialoutList.size()) - 1));
    if (DialoutList.empty()) {
        DialoutClose();
        return;
    }
    ShowDialoutEntry();
}

void TfmKovraAssistant::DialoutDial()
{
    if (!InService() || !miCallMakeCall->Enabled() || DialoutList.empty())
        return;
    MakeCallTo(DialoutList[static_cast<std::size_t>(DialoutIndex)].Number, 0);
}

void TfmKovraAssistant::DialoutClose()
{
    pnDialout->SetVisible(false);
    SetHeight(500);
}

void TfmKovraAssistant::UpdateSpeedDialsClick()
{
    if (!HasSwitch(parameters_, "webportal")) {
        ShowSpeedDials({});
        return;
    }
    // A fetch under way answers this request too.
    if (speedDialRunning_)
        return;
    if (speedDialFetch_.joinable())
        speedDialFetch_.join();
    speedDialRunning_ = true;
    speedDialFetch_ = std::thread(
        [this, user = SwitchValue(parameters_, "user"), portal = SwitchValue(parameters_, "webportal")] {
            TSpeedDials dials(user, portal);
            const std::vector<std::string> lines = dials.LoadSpeedDials(&speedDialStop_);
            // Done as seen from the main thread once the list is shown, so the next request
            // starts a new fetch.
            platform::Synchronize(
                [this, &lines] {
                    speedDialRunning_ = false;
                    if (!closing_)
                        ShowSpeedDials(lines);
                },
                &speedDialStop_);
            speedDialRunning_ = false;
            platform::ReleaseStackBeforeExit();
        });
}

// Main thread: the form joins the worker before it goes, so the worker never outlives it.
void TfmKovraAssistant::StopSpeedDialFetch()
{
    speedDialStop_ = true;
    if (speedDialFetch_.joinable())
        speedDialFetch_.join();
}

void TfmKovraAssistant::ShowSpeedDials(const std::vector<std::string>& lines)
{
    lbSpeedButtons->Items().Assign(lines);
    if (!lines.empty())
        lbSpeedButtons->SetItemIndex(0);
    ShowCallsOrSpeedDials();
}

void TfmKovraAssistant::lbSpeedButtonsDblClick()
{
    if (!phoneState_.FlagA)
        return;
    const std::string line = lbSpeedButtons->Items().Strings(lbSpeedButtons->ItemIndex());
    const auto eq = line.find('=');
    const std::string number = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
    if (!number.empty())
        MakeCallTo(number, 0);
}

void TfmKovraAssistant::miHelpAboutClick()
{
    services_.Dialogs->About(api_ ? api_->ServerVersion() : std::string(), api_ ? api_->ApiVersion() : std::string());
}

void TfmKovraAssistant::miHelpHelpClick()
{
    if (!helpAddress_.empty())
        services_.Desktop->OpenHelp(helpAddress_ + "&topic=ka_functionality");
}

void TfmKovraAssistant::OpenOptions(int page)
{
    if (!options_)
        return;
    options_->SetCapabilities(Capabilities());
    options_->ShowPage(page);
}

void TfmKovraAssistant::RunAction(int action, const std::string& argument)
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
