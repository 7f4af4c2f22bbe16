// Hotkeys, the clipboard dial and the screen-pop of the main window, against the scripted server.

#include <gtest/gtest.h>

#include "SessionTest.h"
#include "app/ScreenPop.h"
#include "settings/DialingRules.h"
#include "settings/MSNConfig.h"
#include "settings/MessageBundle.h"

using namespace api;
using namespace settings;
using namespace options;
using namespace app;

namespace {

const std::string kCall = "0000000000000000000000A1";
const std::string kOther = "0000000000000000000000B2";

class Desktop : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.LogIn()); }
    TfmKovraAssistant& form() { return *session.app->form; }
    FakeDesktop& desktop() { return *session.app->desktop; }
    void Keys(const std::vector<std::pair<const char*, const char*>>& keys)
    {
        for (const auto& [name, text] : keys)
            KovraAssistantConfig().WriteString(TDesktopPreferences::kSection, name, text);
    }
    void Press(int command) { desktop().hotkeyHandler(command); }
    ScriptedSession session;
};

TEST_F(Desktop, HotkeysRunTheWindowsCommandsOnTheCallsTheyAreFor)
{
    Keys({{"AnswerOrAlternate", "Ctrl+Alt+A"}, {"Drop", "Ctrl+Alt+D"}, {"HoldRetrieve", "Ctrl+Alt+H"}});
    EXPECT_EQ(form().Desktop().ApplyPreferences(), "");
    EXPECT_EQ(desktop().hotkeys, (std::map<int, std::pair<unsigned, unsigned>>{
                                     {hkAnswerOrAlternate, {kHotkeyCtrl | kHotkeyAlt, 'A'}},
                                     {hkDrop, {kHotkeyCtrl | kHotkeyAlt, 'D'}},
                                     {hkHoldRetrieve, {kHotkeyCtrl | kHotkeyAlt, 'H'}}}));

    session.app->Ring(kCall);
    Press(hkAnswerOrAlternate);
    EXPECT_EQ(Nth(session, KovraMsg::ANSWER_CALL_REQ).ReadOid(), kCall);
    session.app->Answer(kCall);
    Press(hkHoldRetrieve);
    EXPECT_EQ(Nth(session, KovraMsg::HOLD_CALL_REQ).ReadOid(), kCall);
    session.app->Hold(kCall);
    Press(hkHoldRetrieve);
    EXPECT_EQ(Nth(session, KovraMsg::RETRIEVE_CALL_REQ).ReadOid(), kCall);

    // A second call rings while the first is held: the key answers it, and then alternates.
    session.app->Ring(kOther, "4255550177");
    form().lbCalls->SetItemIndex(form().lbCalls->Items().IndexOfObject(form().FindCall(kCall)));
    Press(hkAnswerOrAlternate);
    EXPECT_EQ(Nth(session, KovraMsg::ANSWER_CALL_REQ, 2).ReadOid(), kOther);
    session.app->Answer(kOther, "4255550177");
    Press(hkAnswerOrAlternate);
    TKovraAPIMsg alternate = Nth(session, KovraMsg::ALTERNATE_CALL_REQ);
    EXPECT_EQ(alternate.ReadOid(), kOther);
    EXPECT_EQ(alternate.ReadOid(), kCall);
    // Hang up takes the call that is up, whichever call the list shows.
    Press(hkDrop);
    EXPECT_EQ(Nth(session, KovraMsg::DROP_CONNECTION_REQ).ReadOid(), kOther);
    EXPECT_EQ(session.CountWhenAtLeast(KovraMsg::ANSWER_CALL_REQ, 2), 2u);
}

// The remembered identifiers outlive what they named: a held call is never answered while another
// is dialling, and a ringing call that connected meanwhile is not alternated with itself.
TEST_F(Desktop, AnswerKeyAnswersOnlyARingingCallAndAlternatesOnlyHeldWithConnected)
{
    const std::string nothing = "No call is ringing, and no held call to switch to.";
    session.app->Answer(kCall);
    session.app->Hold(kCall);
    session.app->Event(kOther, ceDialing, {Party("1001", csDialing)});
    ASSERT_EQ(form().Tracker().ActiveCallId(), kOther);
    ASSERT_EQ(form().Tracker().HeldCallId(), kCall);
    Press(hkAnswerOrAlternate);
    EXPECT_EQ(form().txtError->Caption(), nothing);

    // The dialled call is answered: now the key swaps it with the held one.
    session.app->Answer(kOther, "4255550177");
    form().txtError->SetCaption("");
    Press(hkAnswerOrAlternate);
    TKovraAPIMsg alternate = Nth(session, KovraMsg::ALTERNATE_CALL_REQ);
    EXPECT_EQ(alternate.ReadOid(), kOther);
    EXPECT_EQ(alternate.ReadOid(), kCall);
    EXPECT_EQ(form().txtError->Caption(), "");

    // A ringing call reported connected by a snapshot stays remembered as ringing.
    const std::string third = "0000000000000000000000C3";
    session.app->Event(kOther, ceCleared, {Party("1001", csGone), Party("4255550177", csGone)});
    session.app->Event(kCall, ceCleared, {Party("1001", csGone), Party("4255550123", csGone)});
    session.app->Ring(third, "4255550199");
    session.app->Event(third, ceState, {Party("1001", csConnected), Party("4255550199", csConnected)});
    ASSERT_EQ(form().Tracker().AlertingCallId(), third);
    Press(hkAnswerOrAlternate);
    EXPECT_EQ(form().txtError->Caption(), nothing);
    PumpFor(100);
    EXPECT_EQ(session.Count(KovraMsg::ANSWER_CALL_REQ), 0u);
    EXPECT_EQ(session.CountWhenAtLeast(KovraMsg::ALTERNATE_CALL_REQ, 1), 1u);
}

TEST_F(Desktop, ClipboardDialsItsDigitsAndRefusesWhatIsNoNumber)
{
    desktop().clipboard = " tel:+1 (425) 555-1234 ";
    form().Desktop().DialClipboard();
    EXPECT_EQ(Nth(session, KovraMsg::MAKE_CALL_REQ).ReadStr(), "14255551234");

    const std::pair<const char*, const char*> refused[] = {
        {"\r\n", "The clipboard holds no number to dial."},
        {"call me on 555", "The clipboard's text is not a phone number that can be dialled."},
        {"+44 20 7946 0000", "The clipboard's text has a country code other than +1; set the dialing rules "
                             "on the Preferences page "
                             "to dial it."},
        {"callto:%3", "The link \"callto:%3\" has a broken escape."},
    };
    for (const auto& [text, shown] : refused) {
        desktop().clipboard = text;
        form().Desktop().DialClipboard();
        EXPECT_EQ(form().txtError->Caption(), shown) << text;
    }

    // Through the key, with its line end; the refused texts dialled nothing in between.
    Keys({{"DialClipboard", "Win+F9"}});
    form().Desktop().ApplyPreferences();
    desktop().clipboard = "(425) 555-0199\r\n";
    Press(hkDialClipboard);
    EXPECT_EQ(Nth(session, KovraMsg::MAKE_CALL_REQ, 2).ReadStr(), "4255550199");
    session.app->Event(kCall, ceDialing, {Party("1001", csDialing), Party("4255550199", csAttempting)});
    EXPECT_EQ(form().FindCall(kCall)->Written, ""); // nothing to show beside the same digits
    session.app->Event(kCall, ceCleared, {Party("1001", csGone), Party("4255550199", csGone)});

    // With rules a number abroad is dialled by them; the list and the history show it as copied
    // beside what the phone dialled, and a refusal names the number.
    TDialingRules uk;
    uk.Values = {"44", "20", "9", "00", "0", "4"};
    uk.Save(KovraAssistantConfig());
    desktop().clipboard = "+44 20 7946 0000";
    Press(hkDialClipboard);
    EXPECT_EQ(Nth(session, KovraMsg::MAKE_CALL_REQ, 3).ReadStr(), "979460000");
    session.app->Event(kCall, ceDialing, {Party("1001", csDialing), Party("979460000", csAttempting)});
    EXPECT_EQ(form().FindCall(kCall)->Written, "+44 20 7946 0000");
    session.app->Event(kCall, ceCleared, {Party("1001", csGone), Party("979460000", csGone)});
    const TCallRecord& made = form().History().Calls().front();
    EXPECT_EQ(made.Number + " (" + made.Dialled + ")", "+44 20 7946 0000 (979460000)");
    form().Commands().MakeCallTo("+44 20 CALL", 0);
    EXPECT_EQ(form().txtError->Caption(), "\"+44 20 CALL\" is not a phone number that can be dialled.");
    // A presence rule's forward the rules refuse is reported, as nobody sees it act.
    session.app->messenger->phone->RequestForwarding("+44 20 CALL");
    EXPECT_EQ(session.app->traffic.back(), "\"+44 20 CALL\" is not a phone number that can be dialled.");
    // A number as the phone dialled it (a call back) gets no outside line again.
    form().Commands().MakeCallAsDialled("902079460000");
    EXPECT_EQ(Nth(session, KovraMsg::MAKE_CALL_REQ, 4).ReadStr(), "902079460000");
}

TEST_F(Desktop, KeysThatCannotBeHadAreReportedTheOthersRegisteredAndAllGoAtClose)
{
    Keys({{"AnswerOrAlternate", "Ctrl+Alt+A"}, {"Drop", "Ctrl+Alt+D"}, {"HoldRetrieve", "Ctrl+Alt+Hyper"}});
    desktop().taken = {{kHotkeyCtrl | kHotkeyAlt, 'D'}};
    const std::string problems = form().Desktop().ApplyPreferences();
    EXPECT_NE(problems.find("\"Ctrl+Alt+Hyper\""), std::string::npos) << problems;
    EXPECT_NE(problems.find("The hotkey Ctrl+Alt+D (Hang up) is in use by another program."),
              std::string::npos);
    EXPECT_EQ(form().txtError->Caption(), problems);
    EXPECT_EQ(session.app->traffic.back(), problems);
    EXPECT_EQ(desktop().hotkeys.size(), 1u);
    EXPECT_TRUE(desktop().hotkeys.count(hkAnswerOrAlternate));

    // Changed keys replace the registered ones.
    desktop().taken.clear();
    Keys({{"AnswerOrAlternate", ""}, {"HoldRetrieve", "Ctrl+Alt+H"}});
    EXPECT_EQ(form().Desktop().ApplyPreferences(), "");
    EXPECT_EQ(desktop().hotkeys.size(), 2u);
    EXPECT_FALSE(desktop().hotkeys.count(hkAnswerOrAlternate));

    KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
    ASSERT_TRUE(form().CloseWindow());
    EXPECT_TRUE(desktop().hotkeys.empty());
    // Settings that arrive while closing register nothing again.
    form().Desktop().ApplyPreferences();
    EXPECT_TRUE(desktop().hotkeys.empty());
}

// What the keys, the clipboard and the tray tell the user is the portal's text when it has one.
TEST_F(Desktop, MessagesAreTakenFromTheMessageBundle)
{
    struct ClearBundle {
        ~ClearBundle() { MessageBundle().Clear(); }
    } clear;
    MessageBundle().LoadProperties("txtClipboardEmpty=Presse-papiers vide\r"
                                   "txtClipboardCountryCode=Indicatif refuse\r"
                                   "txtLinkNotANumber=Lien %s refuse\r"
                                   "txtHotkeyInUse=Touche %s occupee\r"
                                   "txtHotkeyNothingToAnswer=Rien a repondre\r"
                                   "txtMissedCall=%d appel manque\r"
                                   "txtMissedCalls=%d appels manques\r");
    const std::pair<const char*, const char*> clipboard[] = {
        {"", "Presse-papiers vide"},
        {"+33 1 2345 6789", "Indicatif refuse"},
        {"tel:abc", "Lien tel:abc refuse"},
    };
    for (const auto& [text, shown] : clipboard) {
        desktop().clipboard = text;
        form().Desktop().DialClipboard();
        EXPECT_EQ(form().txtError->Caption(), shown) << text;
    }
    desktop().taken = {{kHotkeyCtrl | kHotkeyAlt, 'D'}};
    Keys({{"Drop", "Ctrl+Alt+D"}});
    EXPECT_EQ(form().Desktop().ApplyPreferences(), "Touche Ctrl+Alt+D (Hang up) occupee");
    Press(hkAnswerOrAlternate);
    EXPECT_EQ(form().txtError->Caption(), "Rien a repondre");

    TCallHistory history;
    history.Add({true, "Dana", "4255550123", 1700000000, 0, false});
    EXPECT_EQ(history.MissedText(), "1 appel manque");
    history.Add({true, "Dana", "4255550123", 1700000100, 0, false});
    EXPECT_EQ(history.MissedText(), "2 appels manques");
}

TEST(ScreenPop, AddressEncodesTheCallerAndKeepsTheRestOfThePattern)
{
    EXPECT_EQ(UrlEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(UrlEncode(" +&/?#%\"\x01\xC3\xAB"), "%20%2B%26%2F%3F%23%25%22%01%C3%AB");
    EXPECT_EQ(
        ScreenPopAddress("https://crm/?n={number}&c={name}&x={other}{", "+1 425", "Zo\xC3\xAB & Co/{number}"),
        "https://crm/?n=%2B1%20425&c=Zo%C3%AB%20%26%20Co%2F%7Bnumber%7D&x={other}{");
    EXPECT_EQ(ScreenPopAddress("{name}{number}", "", ""), "");
}

TEST_F(Desktop, ScreenPopOpensOncePerRingingCall)
{
    KovraAssistantConfig().WriteString(TDesktopPreferences::kSection, "ScreenPop",
                                       "https://crm/?q={number}&n={name}");
    form().Desktop().ApplyPreferences();
    session.app->Ring(kCall, "4255550123", "Dana Fox");
    session.app->Ring(kCall, "4255550123", "Dana Fox");
    session.app->Ring(kOther, "4255550177", "");
    session.app->Answer(kOther, "4255550177");
    EXPECT_EQ(desktop().addresses, (std::vector<std::string>{"https://crm/?q=4255550123&n=Dana%20Fox",
                                                             "https://crm/?q=4255550177&n="}));

    // An address the shell would run instead of browsing is reported and never opened.
    KovraAssistantConfig().WriteString(TDesktopPreferences::kSection, "ScreenPop",
                                       "\\\\files\\run.bat {number}");
    EXPECT_EQ(form().Desktop().ApplyPreferences(),
              "The screen-pop address \"\\\\files\\run.bat {number}\" is not opened: only http: and https: "
              "addresses are.");
    session.app->Ring("0000000000000000000000C3", "4255550199");
    EXPECT_EQ(desktop().addresses.size(), 2u);
}

} // namespace
