// Hotkeys, the clipboard dial and the screen-pop of the main window, against the scripted server.

#include <gtest/gtest.h>

#include "ScriptedSession.h"
#include "app/ScreenPop.h"
#include "settings/MSNConfig.h"

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
    // The request of a type number n (from 1) once it has arrived.
    TKovraAPIMsg Nth(std::uint32_t type, std::size_t n)
    {
        EXPECT_TRUE(session.WaitFor([&] { return session.Count(type) >= n; })) << type;
        return session.Count(type) >= n ? session.Requests(type)[n - 1] : TKovraAPIMsg();
    }
    ScriptedSession session;
};

TEST_F(Desktop, HotkeysRunTheWindowsCommandsOnTheCallsTheyAreFor)
{
    Keys({{"AnswerOrAlternate", "Ctrl+Alt+A"}, {"Drop", "Ctrl+Alt+D"}, {"HoldRetrieve", "Ctrl+Alt+H"}});
    EXPECT_EQ(form().ApplyDesktopPreferences(), "");
    EXPECT_EQ(desktop().hotkeys, (std::map<int, std::pair<unsigned, unsigned>>{
                                     {hkAnswerOrAlternate, {kHotkeyCtrl | kHotkeyAlt, 'A'}},
                                     {hkDrop, {kHotkeyCtrl | kHotkeyAlt, 'D'}},
                                     {hkHoldRetrieve, {kHotkeyCtrl | kHotkeyAlt, 'H'}}}));

    session.app->Ring(kCall);
    Press(hkAnswerOrAlternate);
    EXPECT_EQ(Nth(KovraMsg::ANSWER_CALL_REQ, 1).ReadOid(), kCall);
    session.app->Answer(kCall);
    Press(hkHoldRetrieve);
    EXPECT_EQ(Nth(KovraMsg::HOLD_CALL_REQ, 1).ReadOid(), kCall);
    session.app->Hold(kCall);
    Press(hkHoldRetrieve);
    EXPECT_EQ(Nth(KovraMsg::RETRIEVE_CALL_REQ, 1).ReadOid(), kCall);

    // A second call rings while the first is held: the key answers it, and then alternates.
    session.app->Ring(kOther, "4255550177");
    form().lbCalls->SetItemIndex(form().lbCalls->Items().IndexOfObject(form().FindCall(kCall)));
    Press(hkAnswerOrAlternate);
    EXPECT_EQ(Nth(KovraMsg::ANSWER_CALL_REQ, 2).ReadOid(), kOther);
    session.app->Answer(kOther, "4255550177");
    Press(hkAnswerOrAlternate);
    TKovraAPIMsg alternate = Nth(KovraMsg::ALTERNATE_CALL_REQ, 1);
    EXPECT_EQ(alternate.ReadOid(), kOther);
    EXPECT_EQ(alternate.ReadOid(), kCall);
    // Hang up takes the call that is up, whichever call the list shows.
    Press(hkDrop);
    EXPECT_EQ(Nth(KovraMsg::DROP_CONNECTION_REQ, 1).ReadOid(), kOther);
    EXPECT_EQ(session.Count(KovraMsg::ANSWER_CALL_REQ), 2u);
}

TEST_F(Desktop, ClipboardDialsItsDigitsAndRefusesWhatIsNoNumber)
{
    desktop().clipboard = " tel:+1 (425) 555-1234 ";
    form().DialClipboard();
    EXPECT_EQ(Nth(KovraMsg::MAKE_CALL_REQ, 1).ReadStr(), "14255551234");

    desktop().clipboard = "\r\n";
    form().DialClipboard();
    EXPECT_EQ(form().txtError->Caption(), "The clipboard holds no number to dial.");
    desktop().clipboard = "call me on 555";
    form().DialClipboard();
    EXPECT_EQ(form().txtError->Caption(), "The clipboard's text is not a phone number that can be dialled.");
    desktop().clipboard = "callto:%3";
    form().DialClipboard();
    EXPECT_EQ(form().txtError->Caption(), "The link \"callto:%3\" has a broken escape.");

    // Through the key, with its line end; the refused texts dialled nothing in between.
    Keys({{"DialClipboard", "Win+F9"}});
    form().ApplyDesktopPreferences();
    desktop().clipboard = "(425) 555-0199\r\n";
    Press(hkDialClipboard);
    EXPECT_EQ(Nth(KovraMsg::MAKE_CALL_REQ, 2).ReadStr(), "4255550199");
}

TEST_F(Desktop, KeysThatCannotBeHadAreReportedTheOthersRegisteredAndAllGoAtClose)
{
    Keys({{"AnswerOrAlternate", "Ctrl+Alt+A"}, {"Drop", "Ctrl+Alt+D"}, {"HoldRetrieve", "Ctrl+Alt+Hyper"}});
    desktop().taken = {{kHotkeyCtrl | kHotkeyAlt, 'D'}};
    const std::string problems = form().ApplyDesktopPreferences();
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
    EXPECT_EQ(form().ApplyDesktopPreferences(), "");
    EXPECT_EQ(desktop().hotkeys.size(), 2u);
    EXPECT_FALSE(desktop().hotkeys.count(hkAnswerOrAlternate));

    KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
    ASSERT_TRUE(form().CloseWindow());
    EXPECT_TRUE(desktop().hotkeys.empty());
    // Settings that arrive while closing register nothing again.
    form().ApplyDesktopPreferences();
    EXPECT_TRUE(desktop().hotkeys.empty());
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
    form().ApplyDesktopPreferences();
    session.app->Ring(kCall, "4255550123", "Dana Fox");
    session.app->Ring(kCall, "4255550123", "Dana Fox");
    session.app->Ring(kOther, "4255550177", "");
    session.app->Answer(kOther, "4255550177");
    EXPECT_EQ(desktop().addresses, (std::vector<std::string>{"https://crm/?q=4255550123&n=Dana%20Fox",
                                                             "https://crm/?q=4255550177&n="}));
}

} // namespace
