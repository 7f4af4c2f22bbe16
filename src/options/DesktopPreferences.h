#pragma once
// The desktop preferences of the "Desktop" section: the global hotkeys and the screen-pop address.
// Key texts read like "Ctrl+Alt+A"; the modifier bits and key codes are the window system's own.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {
class TKovraAssistantConfig;
}

namespace options {

constexpr unsigned kHotkeyAlt = 1, kHotkeyCtrl = 2, kHotkeyShift = 4, kHotkeyWin = 8;

struct THotkey {
    unsigned Modifiers = 0;
    std::uint16_t Key = 0; // virtual-key code
    bool operator==(const THotkey&) const = default;
};

// What a hotkey does; the value is its registration id.
enum THotkeyCommand { hkAnswerOrAlternate, hkDrop, hkHoldRetrieve, hkDialClipboard, hkCount };

struct THotkeyText {
    std::optional<THotkey> Key; // none for an empty text
    std::string Error;          // why the text was refused; empty when accepted
};

// Blank or empty text is no hotkey. A key without Ctrl, Alt or Win would take ordinary typing
// from every program, so only the function keys may go without one.
THotkeyText ParseHotkey(std::string_view text);
std::string FormatHotkey(const THotkey& key);

// Why a screen-pop address is not opened, empty when it may be: only web addresses go to the
// browser; anything else (a share, a local program) would be run by the shell.
std::string ScreenPopRefusal(std::string_view address);

struct TDesktopPreferences {
    static constexpr const char* kSection = "Desktop";
    // Configuration key of each command, in THotkeyCommand order.
    static const std::array<const char*, hkCount> kHotkeyNames;
    // How the user reads each command.
    static const std::array<const char*, hkCount> kHotkeyTitles;

    std::array<std::optional<THotkey>, hkCount> Hotkeys;
    // The address opened when a call starts ringing; "{number}" and "{name}" are replaced. Empty
    // when the stored one is refused (ScreenPopRefusal).
    std::string ScreenPop;

    // An entry that does not read as a key, or a refused screen-pop address, is left unset and
    // named in the result; the others load.
    std::vector<std::string> Load(const settings::TKovraAssistantConfig& config);
    void Save(settings::TKovraAssistantConfig& config) const;
};

} // namespace options
