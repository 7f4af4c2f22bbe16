#include <algorithm>
#include <cstdio>

#include "app/MSNMain.h"
#include "platform/Clock.h"
#include "settings/KALookAndFeel.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/SkinBinding.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"
#include "ui/UnicodeText.h"

namespace {

const std::string kNoRelatedCall(24, '0');

ui::TColor Colour(int tag, ui::TColor fallback) { return ToToolkitColour(GetColour(tag, fallback)); }

std::uint32_t Now32() { return static_cast<std::uint32_t>(platform::TickCount()); }

}  // namespace

TCallInfo* TfmKovraAssistant::FindCall(const std::string& oid) const
{
    const int index = lbCalls->Items().IndexOf(oid);
    return index < 0 ? nullptr : lbCalls->Items().ObjectAs<TCallInfo>(index);
}

std::vector<TCallInfo*> TfmKovraAssistant::Calls() const
{
    std::vector<TCallInfo*> calls;
    for (int i = 0; i < lbCalls->Items().Count(); ++i)
        calls.push_back(lbCalls->Items().ObjectAs<TCallInfo>(i));
    return calls;
}

std::vector<TCallInfo*> TfmKovraAssistant::HeldCalls() const
{
    std::vector<TCallInfo*> held;
    for (TCallInfo* call : Calls())
        if (call->LocalState == 5 && call->RemoteState != 7 && call->RemoteState != 8 && call->RemoteState != 9)
            held.push_back(call);
    return held;
}

std::vector<TCallInfo*> TfmKovraAssistant::CallsOnHold() const
{
    std::vector<TCallInfo*> held;
    for (TCallInfo* call : Calls())
        if (call->LocalState == 5)
            held.push_back(call);
    return held;
}

void TfmKovraAssistant::ShowCallsOrSpeedDials()
{
    nbPages->SetPageIndex(lbCalls->Items().Count() > 0 ? 0 : 1);
}

TCallInfo* TfmKovraAssistant::NewCall(const std::string& oid)
{
    auto* call = new TCallInfo(oid);
    if (const auto cut = cutOff_.find(oid); cut != cutOff_.end()) {
        // Reported again after a lost session: the same call, which began, rang and was answered then.
        call->Began = cut->second.Start;
        call->Rang = cut->second.Incoming;
        call->Answered = cut->second.Answered;
        call->StartTick = Now32() - static_cast<std::uint32_t>(cut->second.Seconds) * 1000u;
    }
    const int index = lbCalls->Items().Add(oid, call);
    lbCalls->SetItemIndex(index);
    lbCallsClick();
    tmCallDuration->SetEnabled(true);
    ShowCallsOrSpeedDials();
    return call;
}

void TfmKovraAssistant::RemoveCall(const std::string& oid)
{
    const int index = lbCalls->Items().IndexOf(oid);
    if (index < 0)
        return;
    RecordCall(*lbCalls->Items().ObjectAs<TCallInfo>(index));
    delete lbCalls->Items().ObjectAs<TCallInfo>(index);
    lbCalls->Items().Delete(index);
    const int count = lbCalls->Items().Count();
    if (count > 0) {
        lbCalls->SetItemIndex(count - 1);
        lbCallsClick();
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

std::optional<TCallRecord> TfmKovraAssistant::RecordCall(const TCallInfo& call)
{
    // A call that never showed another party, never rang and was never answered leaves nothing to keep.
    if (!call.Rang && !call.Answered && call.PartyNumber.empty())
        return std::nullopt;
    TCallRecord record;
    record.Incoming = call.Rang;
    record.Name = call.PartyName;
    record.Number = call.PartyNumber;
    record.Start = call.Began;
    record.Answered = call.Answered;
    record.Seconds = call.Answered ? static_cast<int>((Now32() - call.StartTick) / 1000) : 0;
    const auto cut = cutOff_.find(call.CallId);
    if (cut == cutOff_.end() || !history_.Replace(cut->second, record))
        history_.Add(record);
    if (cut != cutOff_.end())
        cutOff_.erase(cut);
    history_.Save(KovraAssistantConfig());
    ShowTrayHint();
    if (options_)
        options_->HistoryChanged();
    return record;
}

void TfmKovraAssistant::HistorySeen()
{
    history_.MarkSeen();
    history_.Save(KovraAssistantConfig());
    ShowTrayHint();
}

void TfmKovraAssistant::SetTrayHint(const std::string& text)
{
    trayHint_ = text;
    ShowTrayHint();
}

void TfmKovraAssistant::ShowTrayHint()
{
    const std::string missed = history_.MissedText();
    if (missed.empty() || trayHint_.empty()) {
        tbIcon->SetHint(trayHint_ + missed);
        return;
    }
    // The shell cuts a long tip at its end: the first line gives way so the missed calls stay seen.
    const std::size_t room = ui::TTaskBarIcon::kMaxTipLength -
                             std::min(ui::Utf16Length(missed) + 1, ui::TTaskBarIcon::kMaxTipLength);
    tbIcon->SetHint(ui::TruncateUtf16(trayHint_, room) + "\n" + missed);
}

void TfmKovraAssistant::DropAllCalls()
{
    // Their end is unknown: each is kept as it stands, and one that the next session reports again
    // takes its entry over when it ends.
    std::map<std::string, TCallRecord> cutOff;
    for (TCallInfo* call : Calls()) {
        if (const auto record = RecordCall(*call))
            cutOff[call->CallId] = *record;
        delete call;
    }
    cutOff_ = std::move(cutOff);
    lbCalls->Items().Clear();
    // Identifiers of calls no longer listed would make the commands wait for calls that are gone.
    ActiveCallId.clear();
    AlertingCallId.clear();
    HeldCallId.clear();
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
    if (event != 0)
        services_.Messenger->ApplyPhoneRule(event);
}

void TfmKovraAssistant::OnCallConnection(std::uint32_t, const std::string& szDevice, const std::string& oidCall,
                                         const std::string& oidRelated, std::uint32_t dwEvent,
                                         std::uint32_t dwEventCause, int nCount,
                                         const std::vector<TKovraCallConnection>& Connections)
{
    if (closing_)
        return;
    // The count on the wire and the connections decoded may disagree on a malformed event.
    const int count = std::min<int>(std::max(nCount, 0), static_cast<int>(Connections.size()));
    auto conn = [&](int i) -> const TKovraCallConnection& { return Connections[static_cast<std::size_t>(i)]; };
    std::string related = oidRelated;
    std::string via;

    int far = 0;
    if (count == 1) {
        far = static_cast<int>(conn(0).PartyState);
    } else if (count == 2) {
        far = static_cast<int>(conn(1).PartyState);
    } else if (count > 2) {
        far = static_cast<int>(conn(1).PartyState);
        for (int i = 1; i < count; ++i) {
            const int state = static_cast<int>(conn(i).PartyState);
            if (state != 0 && state != 3) {
                far = state;
                if (state == 4)
                    via = conn(i).PartyName;
                break;
            }
        }
    }
    if (far == 9)
        related.clear();

    TCallInfo* call = FindCall(oidCall);
    if (!call)
        call = NewCall(oidCall);
    if (dwEventCause == 16)
        call->Urgent = true;
    call->RemoteState = far;

    const std::string& device = StartupInfo().Device;
    int mine = -1;
    for (int i = 0; i < count; ++i)
        if (conn(i).PartyNumber == device) {
            mine = static_cast<int>(conn(i).PartyConnState);
            break;
        }
    if (mine < 0)
        return;

    if (call->RemoteState == 4)
        call->ViaName = via;

    if (szDevice == device) {
        auto clearIf = [&](std::string& id) {
            if (id == oidCall)
                id.clear();
        };
        switch (dwEvent) {
        case 0:
            if (mine == 1 || mine == 3 || mine == 4)
                ActiveCallId = oidCall;
            else if (mine == 2)
                AlertingCallId = oidCall;
            else if (mine == 5)
                HeldCallId = oidCall;
            break;
        case 1: case 2: case 8: case 10: case 12:
            ActiveCallId = oidCall;
            break;
        case 3:
            AlertingCallId = oidCall;
            break;
        case 4:
            ActiveCallId = oidCall;
            clearIf(AlertingCallId);
            break;
        case 5:
            HeldCallId = oidCall;
            clearIf(ActiveCallId);
            break;
        case 6:
            ActiveCallId = oidCall;
            clearIf(HeldCallId);
            break;
        case 7: case 9: case 11:
            clearIf(HeldCallId);
            clearIf(AlertingCallId);
            clearIf(ActiveCallId);
            break;
        default:
            break;
        }
        if (related == kNoRelatedCall)
            related.clear();
        call->RelatedCallId = related;
    }

    if (dwEvent == 9 && call->RemoteState == 8 && !ParkedCallId.empty() && related == ParkedCallId &&
        count >= 3)
        services_.Dialogs->ParkNotice(conn(2).PartyName + "   (" + conn(2).PartyNumber + ")", conn(1).PartyNumber);

    const int previous = call->LocalState;
    if (mine == 4 && (previous == 1 || previous == 2 || previous == 3))
        call->StartTick = Now32();
    if (mine == 2)
        call->Rang = true;
    else if (mine == 4)
        call->Answered = true;
    if (mine == 5) {
        call->HoldTick = Now32();
        if (!call->PendingNumber.empty() && Cap(capSingleStepConference) && api_)
            api_->MakeCall(StartupInfo().Device, call->PendingNumber, static_cast<std::uint32_t>(call->PendingOptions));
        call->PendingNumber.clear();
        call->PendingOptions = 0;
    }
    call->LocalState = mine;
    if (options_)
        options_->LocalStateChanged(mine);

    if (call->LocalState == 0) {
        RemoveCall(oidCall);
        call = nullptr;
    } else {
        call->ClearParties();
        if (count == 1) {
            if (mine == 1)
                call->SetFirstName(MessageBundle().GetText("Dialing", "Dialing..."));
            else if (mine == 7)
                call->SetFirstName(MessageBundle().GetText("InvalidNumber", "Invalid Number"));
            else
                call->SetFirstName("");
            call->SetFirstDevice("");
        } else {
            for (int i = 1; i < count; ++i) {
                switch (conn(i).PartyConnState) {
                case 0:
                    if (count == 2)
                        call->AddParty(conn(i).PartyName, conn(i).PartyNumber);
                    break;
                case 7:
                    call->LocalState = 7;
                    call->AddParty("", conn(i).PartyNumber);
                    break;
                case 8:
                    break;
                default:
                    call->AddParty(conn(i).PartyName, conn(i).PartyNumber);
                    break;
                }
            }
            if (!call->IsConference() && !call->FirstDevice().empty()) {
                call->PartyName = call->FirstName();
                call->PartyNumber = call->FirstDevice();
            }
        }
    }

    UpdateControls();

    switch (mine) {
    case 0:
        ApplyPhoneRule(3);
        break;
    case 1:
        ApplyPhoneRule(1);
        break;
    case 2:
        if (call) {
            ScreenPop(*call);
            OpenCallPopup(*call);
        }
        break;
    case 4:
        ApplyPhoneRule(2);
        if (call)
            call->ClosePopup();
        break;
    case 5:
        ApplyPhoneRule(3);
        if (call)
            call->ClosePopup();
        break;
    default:
        break;
    }
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
        if (state.PhoneState == 1)
            ApplyPhoneRule(7);
        else if (state.PhoneState == 3)
            ApplyPhoneRule(state.DoNotDisturb ? 4 : 5);
        else if (state.PhoneState == 4 && state.Forwarded)
            ApplyPhoneRule(6);
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
    if (phoneState_.PhoneState == 8 && api_)
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
    case 1: image = 3; break;
    case 2: case 3: image = 0; break;
    case 5: image = 2; break;
    default: break;
    }
    if (call->IsConference())
        image = call->LocalState == 5 ? 5 : 4;
    canvas.DrawImage(*imCallStates, image, rect.Left + 1, rect.Top + 3,
                     selected ? ui::TDrawingStyle::dsNormal : ui::TDrawingStyle::dsSelected);

    canvas.BrushColor = selected ? Colour(153, ui::clGray) : Colour(150, ui::clWhite);
    const ui::TColor textColour = selected ? Colour(154, ui::clNavy) : Colour(152, ui::clGray);
    canvas.Font.SetName("Tahoma");
    canvas.Font.SetSize(8);
    canvas.Font.SetColor(textColour);
    const int x = rect.Left + imCallStates->Width() + 6;

    std::string first;
    if (call->IsConference()) {
        first = MessageBundle().GetText("Conference", "Conference");
    } else {
        first = call->FirstName();
        if (call->Urgent)
            first = MessageBundle().GetText("Urgent", "Urgent") + " " + first;
        if (call->RemoteState == 4)
            first += " (" + call->ViaName + ")";
    }
    canvas.Font.SetStyle(ui::fsBold);
    canvas.TextOut(x, rect.Top + 2, first);

    std::string second;
    if (call->IsConference()) {
        second = settings::Substitute(LocalText("ConferencePeople", "%d people."), "%d",
                                      std::to_string(call->DeviceCount()));
    } else {
        second = FormatPhoneNumber(call->FirstDevice());
    }
    canvas.Font.SetStyle(0);
    if (!selected)
        canvas.Font.SetColor(Colour(152, ui::clGray));
    canvas.TextOut(x, rect.Top + 18, second);

    if (call->LocalState == 5) {
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
