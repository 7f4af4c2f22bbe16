#include "app/DesktopIntegration.h"

#include <algorithm>

#include "api/KovraCodes.h"
#include "app/ClickToDial.h"
#include "app/MSNMain.h"
#include "app/ScreenPop.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"
#include "ui/UnicodeText.h"

using namespace api;
using namespace settings;
using namespace options;

namespace app {

TDesktopIntegration::TDesktopIntegration(TfmKovraAssistant& form, const TCallTracker& calls,
                                         TCallHistory& history, const TAssistantServices& services)
    : form_(form), calls_(calls), history_(history), services_(services)
{
}

std::string TDesktopIntegration::ApplyPreferences()
{
    services_.Desktop->UnregisterHotkeys();
    std::vector<std::string> problems = preferences_.Load(KovraAssistantConfig());
    if (!form_.Closing())
        for (int command = 0; command < hkCount; ++command) {
            const std::optional<THotkey>& key = preferences_.Hotkeys[command];
            if (key && !services_.Desktop->RegisterHotkey(command, key->Modifiers, key->Key))
                problems.push_back(settings::Substitute(
                    LocalText("txtHotkeyInUse", "The hotkey %s is in use by another program."), "%s",
                    FormatHotkey(*key) + " (" + TDesktopPreferences::kHotkeyTitles[command] + ")"));
        }
    std::string text;
    for (const std::string& problem : problems)
        text += (text.empty() ? "" : " ") + problem;
    if (!text.empty()) {
        form_.ShowError(text);
        if (form_.Options())
            form_.Options()->AddTrafficLine(text);
    }
    return text;
}

bool TDesktopIntegration::SelectCall(const std::string& oid)
{
    const TCallInfo* call = calls_.Find(oid);
    const int index = call ? form_.lbCalls->Items().IndexOfObject(call) : -1;
    if (index < 0)
        return false;
    form_.lbCalls->SetItemIndex(index);
    form_.lbCallsClick();
    return true;
}

void TDesktopIntegration::RunHotkey(int command)
{
    if (form_.Closing() || !form_.InService())
        return;
    switch (command) {
    case hkAnswerOrAlternate:
        AnswerOrAlternate();
        break;
    case hkDrop:
        if (SelectCall(calls_.ActiveCallId()))
            form_.Commands().OnDropCall();
        break;
    case hkHoldRetrieve:
        HoldOrRetrieve();
        break;
    case hkDialClipboard:
        DialClipboard();
        break;
    default:
        break;
    }
}

void TDesktopIntegration::HoldOrRetrieve()
{
    if (SelectCall(calls_.ActiveCallId())) {
        if (calls_.Find(calls_.ActiveCallId())->LocalState == csConnected)
            form_.Commands().OnHoldCall();
    } else if (SelectCall(calls_.HeldCallId())) {
        form_.Commands().OnResumeCall();
    }
}

// The ringing call is answered as the pop-up answers it; without one, a held call changes places
// with the connected one. The remembered identifiers may name calls that have moved on since.
void TDesktopIntegration::AnswerOrAlternate()
{
    const TCallInfo* ringing = calls_.Find(calls_.AlertingCallId());
    if (!ringing || ringing->LocalState != csRinging) {
        ringing = nullptr;
        for (const TCallInfo* call : calls_.Calls())
            if (call->LocalState == csRinging && !ringing)
                ringing = call;
    }
    if (ringing) {
        const std::string oid = ringing->CallId;
        SelectCall(oid);
        form_.Commands().AnswerOrAlternate(oid);
        return;
    }
    const TCallInfo* active = calls_.Find(calls_.ActiveCallId());
    const TCallInfo* held = calls_.Find(calls_.HeldCallId());
    if (active && held && active != held && active->LocalState == csConnected && held->LocalState == csHeld &&
        HasCapability(form_.Capabilities(), capAlternate)) {
        const std::string activeId = active->CallId, heldId = held->CallId;
        SelectCall(heldId);
        form_.Api()->AlternateCall(StartupInfo().Device, activeId, heldId);
        return;
    }
    form_.ShowError(
        LocalText("txtHotkeyNothingToAnswer", "No call is ringing, and no held call to switch to."));
}

void TDesktopIntegration::DialClipboard()
{
    const std::string text = settings::Trim(services_.Desktop->ClipboardText());
    if (text.empty()) {
        form_.ShowError(LocalText("txtClipboardEmpty", "The clipboard holds no number to dial."));
        return;
    }
    const TDialingRules rules = StoredDialingRules();
    const TCallLink number = IsCallLink(text) ? ParseCallLink(text, &rules) : ClipboardNumber(text, rules);
    if (!number.Error.empty()) {
        form_.ShowError(number.Error);
        return;
    }
    // The call list shows a number as the user copied it beside what the phone dialled.
    form_.Commands().MakeCallTo(IsCallLink(text) ? number.Number : text, 0);
}

void TDesktopIntegration::ScreenPop(TCallInfo& call)
{
    // The address is checked where it is opened too: whatever filled the preferences, the shell
    // is never handed a program or a share to run.
    const std::string& pattern = preferences_.ScreenPop;
    if (call.ScreenPopped || pattern.empty() || !ScreenPopRefusal(pattern).empty())
        return;
    call.ScreenPopped = true;
    services_.Desktop->OpenAddress(ScreenPopAddress(pattern, call.PartyNumber, call.PartyName));
}

void TDesktopIntegration::SetTrayHint(const std::string& text)
{
    trayHint_ = text;
    ShowTrayHint();
}

void TDesktopIntegration::ShowTrayHint()
{
    const std::string missed = history_.MissedText();
    if (missed.empty() || trayHint_.empty()) {
        form_.tbIcon->SetHint(trayHint_ + missed);
        return;
    }
    // The shell cuts a long tip at its end: the first line gives way so the missed calls stay seen.
    const std::size_t room = ui::TTaskBarIcon::kMaxTipLength -
                             std::min(ui::Utf16Length(missed) + 1, ui::TTaskBarIcon::kMaxTipLength);
    form_.tbIcon->SetHint(ui::TruncateUtf16(trayHint_, room) + "\n" + missed);
}

void TDesktopIntegration::HistorySeen()
{
    history_.MarkSeen();
    history_.Save(KovraAssistantConfig());
    ShowTrayHint();
}

} // namespace app
