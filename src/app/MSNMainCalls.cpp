#include <cstdio>

#include "app/MSNMain.h"
#include "dialogs/SkinBinding.h"
#include "platform/Clock.h"
#include "settings/KALookAndFeel.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"

using namespace api;
using namespace settings;
using namespace dialogs;

namespace app {

namespace {

ui::TColor Colour(int tag, ui::TColor fallback)
{
    return ToToolkitColour(GetColour(tag, fallback));
}

std::uint32_t Now32()
{
    return static_cast<std::uint32_t>(platform::TickCount());
}

} // namespace

void TfmKovraAssistant::ShowCallsOrSpeedDials()
{
    nbPages->SetPageIndex(lbCalls->Items().Count() > 0 ? 0 : 1);
}

void TfmKovraAssistant::NewCall(TCallInfo& call)
{
    const int index = lbCalls->Items().Add(call.CallId, &call);
    lbCalls->SetItemIndex(index);
    UpdateControlsSoon();
    tmCallDuration->SetEnabled(true);
    ShowCallsOrSpeedDials();
}

void TfmKovraAssistant::RemoveCall(std::unique_ptr<TCallInfo> call)
{
    const int index = lbCalls->Items().IndexOfObject(call.get());
    if (index >= 0)
        lbCalls->Items().Delete(index);
    call.reset();
    const int count = lbCalls->Items().Count();
    if (count > 0) {
        lbCalls->SetItemIndex(count - 1);
        UpdateControlsSoon();
    } else {
        tmCallDuration->SetEnabled(false);
    }
    ShowCallsOrSpeedDials();
}

TCallInfo* TfmKovraAssistant::SelectedCall() const
{
    const int index = lbCalls->ItemIndex();
    if (lbCalls->Items().Count() == 0 || index < 0)
        return nullptr;
    return lbCalls->Items().ObjectAs<TCallInfo>(index);
}

void TfmKovraAssistant::HistoryRecorded()
{
    history_.Save(KovraAssistantConfig());
    desktop_->ShowTrayHint();
    if (options_)
        options_->HistoryChanged();
}

void TfmKovraAssistant::DropAllCalls()
{
    // The lines go before the records they point to.
    lbCalls->Items().Clear();
    if (calls_.DropAll())
        HistoryRecorded();
    tmCallDuration->SetEnabled(false);
    ShowCallsOrSpeedDials();
}

void TfmKovraAssistant::lbCallsClick()
{
    if (lbCalls->Items().Count() > 0 && lbCalls->ItemIndex() >= 0)
        UpdateControls();
}

void TfmKovraAssistant::ApplyPhoneRule(int event)
{
    if (event != messenger::pePhoneNone)
        services_.Messenger->ApplyPhoneRule(event);
}

void TfmKovraAssistant::OnCallConnection(std::uint32_t, const std::string& szDevice,
                                         const std::string& oidCall, const std::string& oidRelated,
                                         std::uint32_t dwEvent, std::uint32_t dwEventCause, int nCount,
                                         const std::vector<TKovraCallConnection>& Connections)
{
    if (closing_)
        return;
    const std::string& device = StartupInfo().Device;
    TCallOutcome outcome = calls_.Apply(
        {szDevice, oidCall, oidRelated, dwEvent, dwEventCause, nCount, Connections}, device, Capabilities());
    // The pop-up is what the user waits for: it shows first, the row and the page follow.
    if (outcome.Tracked && outcome.OpenPopup)
        OpenCallPopup(*outcome.Call);
    if (outcome.Created)
        NewCall(*outcome.Call);
    if (!outcome.Tracked)
        return;
    if (outcome.ParkNotice)
        services_.Dialogs->ParkNotice(outcome.ParkNotice->From, outcome.ParkNotice->ParkedAt);
    if (outcome.Dial && api_)
        api_->MakeCall(device, outcome.Dial->Number, static_cast<std::uint32_t>(outcome.Dial->Options));
    if (options_)
        options_->LocalStateChanged(outcome.OwnState);
    if (outcome.Ended) {
        if (outcome.Recorded)
            HistoryRecorded();
        RemoveCall(std::move(outcome.Ended));
    }
    UpdateControlsSoon();
    ApplyPhoneRule(outcome.PhoneEvent);
    if (outcome.OpenPopup)
        desktop_->ScreenPop(*outcome.Call);
    if (outcome.ClosePopup)
        outcome.Call->ClosePopup();
    lbCalls->Invalidate();
}

void TfmKovraAssistant::OpenCallPopup(TCallInfo& call)
{
    if (!call.Popup) {
        const std::string oid = call.CallId;
        auto popup = services_.Dialogs->CreateCallPopup(
            [this](const std::string& answered) {
                if (InService())
                    commands_->AnswerOrAlternate(answered);
            },
            [this](ICallPopup* closing) { PopupClosed(closing); });
        call.Popup = popup.release();
    }
    if (call.Popup)
        call.Popup->SetUp(api_.get(), call, Capabilities(), services_.Messenger->Attached());
}

void TfmKovraAssistant::PopupClosed(ICallPopup* popup)
{
    // The window frees itself: only forget it.
    for (TCallInfo* call : Calls())
        if (call->Popup == popup)
            call->Popup = nullptr;
}

void TfmKovraAssistant::OnPhoneState(const TKovraPhoneState& state)
{
    if (closing_)
        return;
    phoneState_ = state;
    if (options_)
        options_->AddTrafficLine("PhoneStateEvent Device: " + state.Device);
    if (!tmDontChange->Enabled()) {
        if (state.PhoneState == phsOutOfService)
            ApplyPhoneRule(messenger::peOutOfService);
        else if (state.PhoneState == phsDoNotDisturb)
            ApplyPhoneRule(state.DoNotDisturb ? messenger::peDndOn : messenger::peDndOff);
        else if (state.PhoneState == phsForwarding && state.Forwarded)
            ApplyPhoneRule(messenger::peForwarded);
    }
    tmUpdatePhoneState->SetEnabled(false);
    tmUpdatePhoneState->SetEnabled(true);
}

void TfmKovraAssistant::tmUpdatePhoneStateTimer()
{
    tmUpdatePhoneState->SetEnabled(false);
    if (closing_)
        return;
    RefreshPhoneStatus(false);
    if (phoneState_.PhoneState == phsConfigChanged && api_)
        api_->QueryPhoneConfig(StartupInfo().Device, phoneConfig_);
    if (!closing_)
        UpdateControls();
}

std::string TfmKovraAssistant::DurationText(std::uint32_t sinceTick)
{
    const std::uint32_t seconds = (Now32() - sinceTick) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%.2u:%.2u", seconds / 60, seconds % 60);
    return text;
}

namespace {

// The two lines a call's row shows: who (the conference, or the first party with its marks) and
// the number (a number dialled by the rules beside it as written).
std::pair<std::string, std::string> CallRowLines(const TCallInfo& call)
{
    if (call.IsConference())
        return {MessageBundle().GetText("Conference", "Conference"),
                settings::Substitute(LocalText("ConferencePeople", "%d people."), "%d",
                                     std::to_string(call.DeviceCount()))};
    std::string who = call.FirstName();
    if (call.Urgent)
        who = MessageBundle().GetText("Urgent", "Urgent") + " " + who;
    if (call.RemoteState == psVia)
        who += " (" + call.ViaName + ")";
    std::string number = FormatPhoneNumber(call.FirstDevice());
    if (!call.Written.empty() && call.FirstDevice() == call.PartyNumber)
        number = call.Written + " (" + call.FirstDevice() + ")";
    return {who, number};
}

} // namespace

void TfmKovraAssistant::lbCallsDrawItem(ui::TCustomListBox* sender, int index, const ui::TRect& rect,
                                        ui::TOwnerDrawState state)
{
    TCallInfo* call = sender->Items().ObjectAs<TCallInfo>(index);
    if (!call)
        return;
    ui::TCanvas& canvas = sender->Canvas();
    const bool selected = ui::HasState(state, ui::TOwnerDrawState::odSelected);
    canvas.BrushColor = Colour(selected ? 153 : 150, ui::clWhite);
    canvas.FillRect(rect);

    int image = 1;
    switch (call->LocalState) {
    case csDialing:
        image = 3;
        break;
    case csRinging:
    case csAttempting:
        image = 0;
        break;
    case csHeld:
        image = 2;
        break;
    default:
        break;
    }
    if (call->IsConference())
        image = call->LocalState == csHeld ? 5 : 4;
    canvas.DrawImage(*imCallStates, image, rect.Left + 1, rect.Top + 3,
                     selected ? ui::TDrawingStyle::dsNormal : ui::TDrawingStyle::dsSelected);

    canvas.BrushColor = selected ? Colour(153, ui::clGray) : Colour(150, ui::clWhite);
    const ui::TColor textColour = selected ? Colour(154, ui::clNavy) : Colour(152, ui::clGray);
    canvas.Font.SetName("Tahoma");
    canvas.Font.SetSize(8);
    canvas.Font.SetColor(textColour);
    const int x = rect.Left + imCallStates->Width() + 6;

    const auto [first, second] = CallRowLines(*call);
    canvas.Font.SetStyle(ui::fsBold);
    canvas.TextOut(x, rect.Top + 2, first);
    canvas.Font.SetStyle(0);
    if (!selected)
        canvas.Font.SetColor(Colour(152, ui::clGray));
    canvas.TextOut(x, rect.Top + 18, second);

    if (call->LocalState == csHeld) {
        canvas.Font.SetColor(ui::clRed);
        canvas.TextOut(rect.Right - 35, rect.Top + 20, DurationText(call->HoldTick));
        canvas.Font.SetColor(textColour);
    }
    canvas.TextOut(rect.Right - 35, rect.Top + 32, DurationText(call->StartTick));
}

void TfmKovraAssistant::lbSpeedButtonsDrawItem(ui::TCustomListBox* sender, int index, const ui::TRect& rect,
                                               ui::TOwnerDrawState state)
{
    const std::string& line = sender->Items().Strings(index);
    const auto eq = line.find('=');
    const std::string name = eq == std::string::npos ? line : line.substr(0, eq);
    const std::string number = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    ui::TCanvas& canvas = sender->Canvas();
    const bool selected = ui::HasState(state, ui::TOwnerDrawState::odSelected);
    canvas.BrushColor = Colour(selected ? 153 : 150, ui::clWhite);
    canvas.FillRect(rect);
    canvas.BrushColor = selected ? Colour(153, ui::clGray) : Colour(150, ui::clWhite);
    canvas.Font.SetColor(selected ? Colour(154, ui::clNavy) : Colour(152, ui::clGray));
    canvas.Font.SetStyle(ui::fsBold);
    canvas.TextOut(rect.Left + 6, rect.Top + 5, name);
    canvas.Font.SetStyle(0);
    canvas.TextOut(rect.Left + 6, rect.Top + 21, FormatPhoneNumber(number));
}

std::string TfmKovraAssistant::CallRowText(const TCallInfo& call) const
{
    // What the row shows, read in order: who, the number, the state, how long.
    const auto [who, number] = CallRowLines(call);
    std::string state;
    switch (call.LocalState) {
    case csDialing:
        state = LocalText("CallStateDialing", "Dialing");
        break;
    case csRinging:
        state = LocalText("CallStateRinging", "Ringing");
        break;
    case csAttempting:
        state = LocalText("CallStateAttempting", "Calling");
        break;
    case csConnected:
        state = LocalText("CallStateConnected", "Connected");
        break;
    case csHeld:
        state = LocalText("CallStateHeld", "On hold") + " " + DurationText(call.HoldTick);
        break;
    case csQueued:
        state = LocalText("CallStateQueued", "Queued");
        break;
    case csFailed:
        state = LocalText("CallStateFailed", "Failed");
        break;
    default:
        break;
    }
    std::string text = who;
    for (const std::string& part : {number, state})
        if (!part.empty())
            text += (text.empty() ? "" : ", ") + part;
    return text + (text.empty() ? "" : ", ") + DurationText(call.StartTick);
}

} // namespace app
