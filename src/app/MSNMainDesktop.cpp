#include "app/ClickToDial.h"
#include "app/MSNMain.h"
#include "app/ScreenPop.h"
#include "settings/MSNConfig.h"
#include "settings/TextUtil.h"

std::string TfmKovraAssistant::ApplyDesktopPreferences()
{
    services_.Desktop->UnregisterHotkeys();
    std::vector<std::string> problems = desktop_.Load(KovraAssistantConfig());
    if (!closing_)
        for (int command = 0; command < hkCount; ++command) {
            const std::optional<THotkey>& key = desktop_.Hotkeys[command];
            if (key && !services_.Desktop->RegisterHotkey(command, key->Modifiers, key->Key))
                problems.push_back("The hotkey " + FormatHotkey(*key) + " (" +
                                   TDesktopPreferences::kHotkeyTitles[command] +
                                   ") is in use by another program.");
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
        // The ringing call, else the held one when another is up: what the pop-up's answer does.
        if (SelectCall(AlertingCallId))
            AnswerOrAlternate(AlertingCallId);
        else if (!ActiveCallId.empty() && SelectCall(HeldCallId))
            AnswerOrAlternate(HeldCallId);
        break;
    case hkDrop:
        if (SelectCall(ActiveCallId))
            OnDropCall();
        break;
    case hkHoldRetrieve:
        if (SelectCall(ActiveCallId)) {
            if (FindCall(ActiveCallId)->LocalState == 4)
                OnHoldCall();
        } else if (SelectCall(HeldCallId)) {
            OnResumeCall();
        }
        break;
    case hkDialClipboard:
        DialClipboard();
        break;
    default:
        break;
    }
}

void TfmKovraAssistant::DialClipboard()
{
    const std::string text = settings::Trim(services_.Desktop->ClipboardText());
    if (text.empty()) {
        ShowError("The clipboard holds no number to dial.");
        return;
    }
    const TCallLink number = IsCallLink(text) ? ParseCallLink(text) : NumberToDial(text);
    if (!number.Error.empty()) {
        ShowError(IsCallLink(text) ? number.Error : "The clipboard's text " + number.Error);
        return;
    }
    MakeCallTo(number.Number, 0);
}

void TfmKovraAssistant::ScreenPop(TCallInfo& call)
{
    if (call.ScreenPopped || desktop_.ScreenPop.empty())
        return;
    call.ScreenPopped = true;
    services_.Desktop->OpenAddress(ScreenPopAddress(desktop_.ScreenPop, call.PartyNumber, call.PartyName));
}
