#include "options/MSNOptions.h"

#include "settings/TextUtil.h"

using namespace dialogs;
using namespace settings;

namespace options {

namespace {

constexpr std::uint16_t kEnter = 13;

// A box whose value is taken when the keyboard leaves it or Enter is pressed in it.
void TakeOnExitOrEnter(ui::TEdit* edit, const std::function<void()>& take)
{
    edit->Font().SetColor(ui::clBlack);
    edit->OnExit = [take](ui::TComponent*) { take(); };
    edit->OnKeyDown = [take](ui::TComponent*, std::uint16_t& key, ui::TShiftState) {
        if (key == kEnter)
            take();
    };
}

} // namespace

void TfmOptions::BuildDesktopPreferences(ui::TPage* page)
{
    auto* keys = Add<ui::TUnicodeGroupBox>(page, "pnTitleHotkeys", 284, 8, 224, 128, crBody);
    keys->SetCaption(" Hotkeys ");
    int top = 22;
    for (int command = 0; command < hkCount; ++command) {
        AddLabel(keys, std::string("txt") + TDesktopPreferences::kHotkeyNames[command],
                 TDesktopPreferences::kHotkeyTitles[command], 8, top + 2, 114);
        ui::TEdit* edit = Add<ui::TEdit>(keys, std::string("ed") + TDesktopPreferences::kHotkeyNames[command],
                                         124, top, 90, 20, crBody);
        TakeOnExitOrEnter(edit, [this, command] { HotkeyExit(command); });
        edHotkeys[command] = edit;
        top += 25;
    }
    auto* pop = Add<ui::TUnicodeGroupBox>(page, "pnTitleScreenPop", 12, 144, 496, 70, crBody);
    pop->SetCaption(" Open when a call rings ");
    AddLabel(pop, "txtScreenPop", "Address ({number} and {name} are filled in):", 10, 20, 470);
    edScreenPop = Add<ui::TEdit>(pop, "edScreenPop", 10, 40, 476, 20, crBody);
    edScreenPop->Font().SetColor(ui::clBlack);
    edScreenPop->OnExit = [this](ui::TComponent*) { ScreenPopExit(); };
    auto* dialing = Add<ui::TUnicodeGroupBox>(page, "pnTitleDialing", 12, 220, 496, 64, crBody);
    dialing->SetCaption(" Dialing ");
    // Three columns of two, in field order: the codes, two prefixes, the last prefix and the length.
    for (int field = 0; field < TDialingRules::dfCount; ++field) {
        const int left = 8 + field / 2 * 162, top = 16 + field % 2 * 22;
        const std::string name = TDialingRules::kNames[field];
        AddLabel(dialing, "txt" + name, TDialingRules::kTitles[field], left, top + 2, 84);
        ui::TEdit* edit = Add<ui::TEdit>(dialing, "ed" + name, left + 86, top, 60, 20, crBody);
        TakeOnExitOrEnter(edit, [this, field] { DialingExit(field); });
        edDialing[field] = edit;
    }
    txtDesktopStatus = AddLabel(page, "txtDesktopStatus", "", 12, 288, 496);
}

void TfmOptions::LoadDesktopPreferences()
{
    TDesktopPreferences preferences;
    const std::vector<std::string> refused = preferences.Load(config_);
    for (int command = 0; command < hkCount; ++command)
        edHotkeys[command]->SetText(preferences.Hotkeys[command] ? FormatHotkey(*preferences.Hotkeys[command])
                                                                 : "");
    // A refused address is shown as stored, beside the reason it is not opened.
    edScreenPop->SetText(config_.ReadString(TDesktopPreferences::kSection, "ScreenPop", ""));
    TDialingRules rules;
    const std::vector<std::string> broken = rules.Load(config_);
    for (int field = 0; field < TDialingRules::dfCount; ++field)
        edDialing[field]->SetText(rules.Values[field]);
    txtDesktopStatus->SetCaption(!refused.empty() ? refused.front() : !broken.empty() ? broken.front() : "");
}

void TfmOptions::DialingExit(int field)
{
    const auto rule = static_cast<TDialingRules::TField>(field);
    const std::string text = Trim(edDialing[field]->Text());
    const std::string stored = config_.ReadString(TDialingRules::kSection, TDialingRules::kNames[field], "");
    const std::string longDistance =
        config_.ReadString(TDialingRules::kSection, TDialingRules::kNames[TDialingRules::dfLongDistance], "");
    if (const std::string refused = DialingRuleRefusal(rule, text, longDistance); !refused.empty()) {
        edDialing[field]->SetText(DialingRuleRefusal(rule, stored, longDistance).empty() ? stored : "");
        txtDesktopStatus->SetCaption(refused);
        return;
    }
    edDialing[field]->SetText(text);
    if (text != stored) {
        config_.WriteString(TDialingRules::kSection, TDialingRules::kNames[field], text);
        // An earlier refusal no longer stands once a value is taken.
        txtDesktopStatus->SetCaption("");
    }
}

void TfmOptions::HotkeyExit(int command)
{
    const char* name = TDesktopPreferences::kHotkeyNames[command];
    const std::string stored = config_.ReadString(TDesktopPreferences::kSection, name, "");
    const THotkeyText parsed = ParseHotkey(edHotkeys[command]->Text());
    const std::string text = parsed.Key ? FormatHotkey(*parsed.Key) : "";
    std::string refused = parsed.Error;
    for (int other = 0; other < hkCount && refused.empty() && !text.empty(); ++other)
        if (other != command && edHotkeys[other]->Text() == text)
            refused = text + " is already the key for " + TDesktopPreferences::kHotkeyTitles[other] + ".";
    if (!refused.empty()) {
        const THotkeyText kept = ParseHotkey(stored);
        edHotkeys[command]->SetText(kept.Key ? FormatHotkey(*kept.Key) : "");
        txtDesktopStatus->SetCaption(refused);
        return;
    }
    edHotkeys[command]->SetText(text);
    if (text != stored) {
        config_.WriteString(TDesktopPreferences::kSection, name, text);
        DesktopChanged();
    }
}

void TfmOptions::ScreenPopExit()
{
    const std::string text = edScreenPop->Text();
    const std::string stored = config_.ReadString(TDesktopPreferences::kSection, "ScreenPop", "");
    if (text == stored)
        return;
    if (const std::string refused = ScreenPopRefusal(text); !refused.empty()) {
        edScreenPop->SetText(stored);
        txtDesktopStatus->SetCaption(refused);
        return;
    }
    config_.WriteString(TDesktopPreferences::kSection, "ScreenPop", text);
    DesktopChanged();
}

void TfmOptions::DesktopChanged()
{
    txtDesktopStatus->SetCaption(OnDesktopChanged ? OnDesktopChanged() : std::string());
}

} // namespace options
