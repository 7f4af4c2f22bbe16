#include "api/KovraCodes.h"
#include "app/ClickToDial.h"
#include "app/MSNMain.h"
#include "app/ScreenPop.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

std::string TfmKovraAssistant::ApplyDesktopPreferences()
{
    services_.Desktop->UnregisterHotkeys();
    std::vector<std::string> problems = desktop_.Load(KovraAssistantConfig());
    if (!closing_)
        for (int command = 0; command < hkCount; ++command) {
            const std::optional<THotkey>& key = desktop_.Hotkeys[command];
            if (key && !services_.Desktop->RegisterHotkey(command, key->Modifiers, key->Key))
                problems.push_back(settings::Substitute(
                    LocalText("txtHotkeyInUse", "The hotkey %s is in use by another program."), "%s",
                    FormatHotkey(*key) + " (" + TDesktopPreferences::kHotkeyTitles[command] + ")"));
        }
    std::string text;
    for (const std::string& problem : problems)
        text += (text.empty() ? "" : " ") + problem;
    if (!text.empty()) {
        ShowError(text);
        if (options_)
            options_->AddTrafficLine(text);
    }
    return text;
}

bool TfmKovraAssistant::SelectCall(const std::string& oid)
{
    const TCallInfo* call = FindCall(oid);
    const int index = call ? lbCalls->Items().IndexOfObject(call) : -1;
    if (index < 0)
        return false;
    lbCalls->SetItemIndex(index);
    lbCallsClick();
    return true;
}

void TfmKovraAssistant::RunHotkey(int command)
{
    if (closing_ || !InService())
        return;
    switch (command) {
    case hkAnswerOrAlternate:
        AnswerHotkey();
        break;
    case hkDrop:
        if (SelectCall(calls_.ActiveCallId()))
            commands_->OnDropCall();
        break;
    case hkHoldRetrieve:
        if (SelectCall(calls_.ActiveCallId())) {
            if (FindCall(calls_.ActiveCallId())->LocalState == csConnected)
                commands_->OnHoldCall();
        } else if (SelectCall(calls_.HeldCallId())) {
            commands_->OnResumeCall();
        }
        break;
    case hkDialClipboard:
        DialClipboard();
        break;
    default:
        break;
    }
}

// The ringing call is answered as the pop-up answers it; without one, a held call changes places
// with the connected one. The remembered identifiers may name calls that have moved on since.
void TfmKovraAssistant::AnswerHotkey()
{
    const TCallInfo* ringing = FindCall(calls_.AlertingCallId());
    if (!ringing || ringing->LocalState != csRinging) {
        ringing = nullptr;
        for (const TCallInfo* call : Calls())
            if (call->LocalState == csRinging && !ringing)
                ringing = call;
    }
    if (ringing) {
        const std::string oid = ringing->CallId;
        SelectCall(oid);
        commands_->AnswerOrAlternate(oid);
        return;
    }
    const TCallInfo* active = FindCall(calls_.ActiveCallId());
    const TCallInfo* held = FindCall(calls_.HeldCallId());
    if (active && held && active != held && active->LocalState == csConnected && held->LocalState == csHeld &&
        HasCapability(Capabilities(), capAlternate)) {
        const std::string activeId = active->CallId, heldId = held->CallId;
        SelectCall(heldId);
        api_->AlternateCall(StartupInfo().Device, activeId, heldId);
        return;
    }
    ShowError(LocalText("txtHotkeyNothingToAnswer", "No call is ringing, and no held call to switch to."));
}

void TfmKovraAssistant::DialClipboard()
{
    const std::string text = settings::Trim(services_.Desktop->ClipboardText());
    if (text.empty()) {
        ShowError(LocalText("txtClipboardEmpty", "The clipboard holds no number to dial."));
        return;
    }
    const TCallLink number = IsCallLink(text) ? ParseCallLink(text) : ClipboardNumber(text);
    if (!number.Error.empty()) {
        ShowError(number.Error);
        return;
    }
    commands_->MakeCallTo(number.Number, 0);
}

void TfmKovraAssistant::ScreenPop(TCallInfo& call)
{
    // The address is checked where it is opened too: whatever filled the preferences, the shell
    // is never handed a program or a share to run.
    if (call.ScreenPopped || desktop_.ScreenPop.empty() || !ScreenPopRefusal(desktop_.ScreenPop).empty())
        return;
    call.ScreenPopped = true;
    services_.Desktop->OpenAddress(ScreenPopAddress(desktop_.ScreenPop, call.PartyNumber, call.PartyName));
}
