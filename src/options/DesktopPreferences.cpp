#include "options/DesktopPreferences.h"

#include <algorithm>
#include <cctype>

#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

using namespace settings;

namespace options {

const std::array<const char*, hkCount> TDesktopPreferences::kHotkeyNames = {"AnswerOrAlternate", "Drop",
                                                                            "HoldRetrieve", "DialClipboard"};

const std::array<const char*, hkCount> TDesktopPreferences::kHotkeyTitles = {
    "Answer / alternate", "Hang up", "Hold / retrieve", "Dial clipboard"};

namespace {

struct TNamedKey {
    const char* Name;
    std::uint16_t Key;
};

constexpr TNamedKey kModifiers[] = {
    {"Ctrl", kHotkeyCtrl}, {"Alt", kHotkeyAlt}, {"Shift", kHotkeyShift}, {"Win", kHotkeyWin}};

// Keys with names beside letters, digits and F1 to F24; the first name of a key is how it is written.
constexpr TNamedKey kKeys[] = {
    {"Space", 0x20},    {"Enter", 0x0D},  {"Tab", 0x09},  {"Esc", 0x1B},   {"Backspace", 0x08},
    {"Insert", 0x2D},   {"Delete", 0x2E}, {"Home", 0x24}, {"End", 0x23},   {"PageUp", 0x21},
    {"PageDown", 0x22}, {"Left", 0x25},   {"Up", 0x26},   {"Right", 0x27}, {"Down", 0x28},
    {"Pause", 0x13},    {"Escape", 0x1B}, {"Del", 0x2E},  {"Ins", 0x2D},   {"Return", 0x0D},
};

constexpr std::uint16_t kF1 = 0x70, kF24 = 0x87, kNumPad0 = 0x60;

bool IsFunctionKey(std::uint16_t key)
{
    return key >= kF1 && key <= kF24;
}

std::optional<std::uint16_t> KeyCode(std::string_view name)
{
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<std::uint16_t>(std::toupper(static_cast<unsigned char>(name[0])));
    for (const TNamedKey& key : kKeys)
        if (settings::SameText(name, key.Name))
            return key.Key;
    const auto numbered = [&](std::string_view prefix, int low, int high) -> std::optional<int> {
        if (name.size() <= prefix.size() || !settings::SameText(name.substr(0, prefix.size()), prefix))
            return std::nullopt;
        const std::string_view digits = name.substr(prefix.size());
        const auto value =
            digits[0] >= '0' && digits[0] <= '9' ? settings::ParseDecimal(digits) : std::nullopt;
        return value && *value >= low && *value <= high ? value : std::nullopt;
    };
    if (const auto f = numbered("F", 1, 24))
        return static_cast<std::uint16_t>(kF1 + *f - 1);
    if (const auto pad = numbered("NumPad", 0, 9))
        return static_cast<std::uint16_t>(kNumPad0 + *pad);
    return std::nullopt;
}

std::string KeyName(std::uint16_t key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        return std::string(1, static_cast<char>(key));
    if (IsFunctionKey(key))
        return "F" + std::to_string(key - kF1 + 1);
    if (key >= kNumPad0 && key <= kNumPad0 + 9)
        return "NumPad" + std::to_string(key - kNumPad0);
    for (const TNamedKey& named : kKeys)
        if (named.Key == key)
            return named.Name;
    return {};
}

std::optional<unsigned> ModifierBit(std::string_view name)
{
    for (const TNamedKey& modifier : kModifiers)
        if (settings::SameText(name, modifier.Name))
            return modifier.Key;
    if (settings::SameText(name, "Control"))
        return kHotkeyCtrl;
    return std::nullopt;
}

THotkeyText Refused(std::string_view text, const std::string& why)
{
    return {std::nullopt, "\"" + std::string(text) + "\" " + why};
}

} // namespace

THotkeyText ParseHotkey(std::string_view text)
{
    const std::string whole = settings::Trim(text);
    if (whole.empty())
        return {};
    THotkey hotkey;
    std::optional<std::uint16_t> key;
    std::size_t from = 0;
    while (from <= whole.size()) {
        const std::size_t plus = std::min(whole.find('+', from), whole.size());
        const std::string part = settings::Trim(std::string_view(whole).substr(from, plus - from));
        from = plus + 1;
        if (part.empty())
            return Refused(text, "has an empty part.");
        if (key)
            return Refused(text, "has something after its key.");
        if (const auto bit = ModifierBit(part)) {
            if (hotkey.Modifiers & *bit)
                return Refused(text, "names " + part + " twice.");
            hotkey.Modifiers |= *bit;
        } else if ((key = KeyCode(part))) {
            hotkey.Key = *key;
        } else {
            return Refused(text, "has no key called " + part + ".");
        }
    }
    if (!key)
        return Refused(text, "has no key besides Ctrl, Alt, Shift and Win.");
    if (!(hotkey.Modifiers & (kHotkeyCtrl | kHotkeyAlt | kHotkeyWin)) && !IsFunctionKey(hotkey.Key))
        return Refused(text, "needs Ctrl, Alt or Win, or it would take the key from every program.");
    return {hotkey, {}};
}

std::string FormatHotkey(const THotkey& key)
{
    std::string text;
    for (const TNamedKey& modifier : kModifiers)
        if (key.Modifiers & modifier.Key)
            text += std::string(modifier.Name) + "+";
    return text + KeyName(key.Key);
}

std::string ScreenPopRefusal(std::string_view address)
{
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")})
        if (address.empty() ||
            (address.size() > scheme.size() && settings::SameText(address.substr(0, scheme.size()), scheme)))
            return {};
    return settings::Substitute(LocalText("txtScreenPopRefused",
                                          "The screen-pop address \"%s\" is not opened: only http: and "
                                          "https: addresses are."),
                                "%s", address);
}

std::vector<std::string> TDesktopPreferences::Load(const TKovraAssistantConfig& config)
{
    std::vector<std::string> refused;
    for (int command = 0; command < hkCount; ++command) {
        const THotkeyText parsed = ParseHotkey(config.ReadString(kSection, kHotkeyNames[command], ""));
        if (!parsed.Error.empty())
            refused.push_back(parsed.Error);
        Hotkeys[command] = parsed.Key;
    }
    ScreenPop = config.ReadString(kSection, "ScreenPop", "");
    if (std::string why = ScreenPopRefusal(ScreenPop); !why.empty()) {
        refused.push_back(std::move(why));
        ScreenPop.clear();
    }
    return refused;
}

void TDesktopPreferences::Save(TKovraAssistantConfig& config) const
{
    for (int command = 0; command < hkCount; ++command)
        config.WriteString(kSection, kHotkeyNames[command],
                           Hotkeys[command] ? FormatHotkey(*Hotkeys[command]) : "");
    config.WriteString(kSection, "ScreenPop", ScreenPop);
}

} // namespace options
