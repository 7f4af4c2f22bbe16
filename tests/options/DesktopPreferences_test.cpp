// Hotkey texts and the "Desktop" section, and their editing on the Preferences page.

#include "DialogTestSupport.h"
#include "options/DesktopPreferences.h"
#include "options/MSNOptions.h"

using namespace settings;
using namespace options;

namespace {

TEST(DesktopPreferences, KeyTextsParseInAnyCaseAndRoundTripInOneWritingEach)
{
    const std::pair<const char*, const char*> accepted[] = {
        {"ctrl+alt+a", "Ctrl+Alt+A"},     {" Control + Shift + F5 ", "Ctrl+Shift+F5"},
        {"Alt+Ctrl+0", "Ctrl+Alt+0"},     {"F13", "F13"},
        {"win+numpad7", "Win+NumPad7"},   {"Ctrl+Alt+Del", "Ctrl+Alt+Delete"},
        {"Alt+pagedown", "Alt+PageDown"}, {"Shift+Win+Space", "Shift+Win+Space"},
    };
    for (const auto& [text, written] : accepted) {
        const THotkeyText parsed = ParseHotkey(text);
        ASSERT_TRUE(parsed.Key) << text << ": " << parsed.Error;
        EXPECT_EQ(FormatHotkey(*parsed.Key), written);
        EXPECT_EQ(ParseHotkey(written).Key, parsed.Key) << written;
    }
    const THotkey ctrlAltA = *ParseHotkey("Ctrl+Alt+A").Key;
    EXPECT_EQ(ctrlAltA.Modifiers, kHotkeyCtrl | kHotkeyAlt);
    EXPECT_EQ(ctrlAltA.Key, 'A');
    EXPECT_EQ(ParseHotkey("Ctrl+F1").Key->Key, 0x70);
    EXPECT_EQ(ParseHotkey("Ctrl+F24").Key->Key, 0x87);

    // A blank text clears the key (the Preferences page's case) and is no error.
    EXPECT_TRUE(ParseHotkey("  ").Error.empty());

    for (const char* text : {"A", "Shift+A", "Ctrl+", "+A", "Ctrl++A", "Ctrl+Alt", "Ctrl+Ctrl+A", "Ctrl+A+B",
                             "Ctrl+Q1", "Alt+F25", "Ctrl+F0", "Ctrl+F-1", "Ctrl+\xC3\xA9"}) {
        const THotkeyText refused = ParseHotkey(text);
        EXPECT_FALSE(refused.Key) << text;
        EXPECT_EQ(refused.Error.rfind("\"" + std::string(text) + "\" ", 0), 0u) << refused.Error;
    }
}

TEST(DesktopPreferences, SectionRoundTripsThroughTheDocumentAndABadEntryLosesOnlyItself)
{
    TDesktopPreferences stored;
    stored.Hotkeys[hkAnswerOrAlternate] = ParseHotkey("Ctrl+Alt+A").Key;
    stored.Hotkeys[hkDialClipboard] = ParseHotkey("Win+F9").Key;
    stored.ScreenPop = "https://crm.example/find?q={number}&who=\"{name}\"|x,y";
    TKovraAssistantConfig config;
    stored.Save(config);
    TKovraAssistantConfig reread;
    reread.SetText(config.GetText());
    TDesktopPreferences loaded;
    EXPECT_TRUE(loaded.Load(reread).empty());
    EXPECT_EQ(loaded.Hotkeys, stored.Hotkeys);
    EXPECT_EQ(loaded.ScreenPop, stored.ScreenPop);

    reread.WriteString(TDesktopPreferences::kSection, "Drop", "Ctrl+Hyper+D");
    const std::vector<std::string> refused = loaded.Load(reread);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("Ctrl+Hyper+D"), std::string::npos);
    EXPECT_FALSE(loaded.Hotkeys[hkDrop]);
    EXPECT_EQ(loaded.Hotkeys[hkAnswerOrAlternate], stored.Hotkeys[hkAnswerOrAlternate]);
    EXPECT_EQ(loaded.Hotkeys[hkDialClipboard], stored.Hotkeys[hkDialClipboard]);
    EXPECT_EQ(loaded.ScreenPop, stored.ScreenPop);
}

// The stored address comes from the server: only web addresses reach the browser, anything the
// shell would run instead is refused with its reason and never loaded.
TEST(DesktopPreferences, ScreenPopAddressMustBeAWebAddress)
{
    for (const char* address : {"https://crm.example/?q={number}", "HTTP://crm/{name}", ""})
        EXPECT_EQ(ScreenPopRefusal(address), "") << address;
    TKovraAssistantConfig config;
    for (const char* address :
         {"\\\\server\\share\\run.bat", "C:\\Windows\\calc.exe", "file:///C:/x.exe?{number}", "calc",
          "http:", "https://", " https://crm/", "javascript:alert(1)"}) {
        SCOPED_TRACE(address);
        const std::string why = ScreenPopRefusal(address);
        EXPECT_EQ(why, "The screen-pop address \"" + std::string(address) +
                           "\" is not opened: only http: and https: addresses are.");
        config.WriteString(TDesktopPreferences::kSection, "ScreenPop", address);
        TDesktopPreferences loaded;
        EXPECT_EQ(loaded.Load(config), std::vector<std::string>{why});
        EXPECT_EQ(loaded.ScreenPop, "");
    }
}

using PreferencesPage = DialogTest;

TEST_F(PreferencesPage, AcceptedKeysAreStoredAsWrittenAndRefusedOnesKeepTheStoredKey)
{
    KovraAssistantConfig().WriteString(TDesktopPreferences::kSection, "Drop", "Ctrl+Alt+D");
    KovraAssistantConfig().WriteString(TDialingRules::kSection, "InternalLength", "99");
    TOptionsLists lists;
    auto options = std::make_unique<TfmOptions>(nullptr, lists);
    options->Initialise(0);
    EXPECT_EQ(options->txtDesktopStatus->Caption(),
              "The dialing rule \"Internal up to\" cannot be \"99\": a number has at most 15 digits.");
    EXPECT_EQ(options->edDialing[TDialingRules::dfInternalLength]->Text(), "");
    int changes = 0;
    std::string answer;
    options->OnDesktopChanged = [&] {
        ++changes;
        return answer;
    };
    // The user types into a box and leaves it.
    auto Enter = [](ui::TEdit& edit, const std::string& text) {
        edit.SetText(text);
        edit.Exit();
    };
    auto Stored = [](const char* key) {
        return KovraAssistantConfig().ReadString(TDesktopPreferences::kSection, key, "?");
    };
    ui::TEdit& answerKey = *options->edHotkeys[hkAnswerOrAlternate];
    ui::TEdit& dropKey = *options->edHotkeys[hkDrop];
    EXPECT_EQ(dropKey.Text(), "Ctrl+Alt+D");

    answer = "The hotkey Ctrl+Alt+A (Answer / alternate) is in use by another program.";
    Enter(answerKey, "alt+ctrl+a");
    EXPECT_EQ(answerKey.Text(), "Ctrl+Alt+A");
    EXPECT_EQ(Stored("AnswerOrAlternate"), "Ctrl+Alt+A");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(options->txtDesktopStatus->Caption(), answer);

    Enter(dropKey, "Ctrl+Alt+Nothing");
    EXPECT_EQ(dropKey.Text(), "Ctrl+Alt+D");
    EXPECT_EQ(Stored("Drop"), "Ctrl+Alt+D");
    Enter(dropKey, "Ctrl+Alt+A");
    EXPECT_EQ(dropKey.Text(), "Ctrl+Alt+D");
    EXPECT_EQ(options->txtDesktopStatus->Caption(), "Ctrl+Alt+A is already the key for Answer / alternate.");
    EXPECT_EQ(changes, 1);

    // Leaving a box unchanged stores nothing and registers nothing again; emptying one removes the key.
    Enter(answerKey, "Ctrl+Alt+A");
    EXPECT_EQ(changes, 1);
    Enter(dropKey, "");
    EXPECT_EQ(Stored("Drop"), "");
    EXPECT_EQ(changes, 2);

    Enter(*options->edScreenPop, "https://crm.example/?q={number}");
    EXPECT_EQ(Stored("ScreenPop"), "https://crm.example/?q={number}");
    EXPECT_EQ(changes, 3);
    Enter(*options->edScreenPop, "\\\\files\\tools\\lookup.exe");
    EXPECT_EQ(Stored("ScreenPop"), "https://crm.example/?q={number}");
    EXPECT_EQ(options->edScreenPop->Text(), "https://crm.example/?q={number}");
    EXPECT_EQ(options->txtDesktopStatus->Caption(),
              "The screen-pop address \"\\\\files\\tools\\lookup.exe\" is not opened: only http: and https: "
              "addresses are.");
    EXPECT_EQ(changes, 3);

    // The dialing rules take digits only and register nothing.
    ui::TEdit& outside = *options->edDialing[TDialingRules::dfOutsideLine];
    Enter(outside, " 9 ");
    EXPECT_EQ(KovraAssistantConfig().ReadString(TDialingRules::kSection, "OutsideLine", "?"), "9");
    Enter(outside, "9a");
    EXPECT_EQ(outside.Text(), "9");
    EXPECT_EQ(options->txtDesktopStatus->Caption(),
              "The dialing rule \"Outside line\" cannot be \"9a\": only digits are.");
    EXPECT_EQ(changes, 3);
    Enter(*options->edDialing[TDialingRules::dfLongDistance], "0");
    EXPECT_EQ(options->txtDesktopStatus->Caption(), "");
    Enter(*options->edDialing[TDialingRules::dfAreaCode], "020");
    EXPECT_EQ(options->txtDesktopStatus->Caption(),
              "The dialing rule \"Area code\" cannot be \"020\": the area "
              "code is written without the long-distance prefix.");

    // Enter takes a key at once; closing the window takes what a box still holds.
    dropKey.SetText("Win+F2");
    dropKey.PressKey(13);
    EXPECT_EQ(Stored("Drop"), "Win+F2");
    options->edHotkeys[hkDialClipboard]->SetText("Ctrl+Shift+V");
    outside.SetText("8");
    options->HideOptions();
    EXPECT_EQ(Stored("DialClipboard"), "Ctrl+Shift+V");
    EXPECT_EQ(KovraAssistantConfig().ReadString(TDialingRules::kSection, "OutsideLine", "?"), "8");
    EXPECT_EQ(changes, 5);
}

} // namespace
