// The rule tables and both directions of the coupling on the headless messaging client.
#include <gtest/gtest.h>

#include <utility>

#include "messenger/FakeMsgrObject.h"
#include "messenger/MSNUtils.h"
#include "platform/MainLoop.h"
#include "settings/MSNConfig.h"

using namespace settings;

using namespace messenger;

namespace {

// The phone as the coupling sees it; every request is recorded in order.
struct TRecordingPhone : TPhoneControl {
    bool connected = true, dnd = false, forwarded = false, mayForward = true;
    int quietStarts = 0;
    std::vector<std::string> requests;

    bool Connected() const override { return connected; }
    bool DoNotDisturb() const override { return dnd; }
    bool Forwarded() const override { return forwarded; }
    bool MayForward() const override { return mayForward; }
    void RequestDoNotDisturb(bool on) override { requests.push_back(on ? "dnd on" : "dnd off"); }
    void RequestForwarding(const std::string& to) override { requests.push_back("forward " + to); }
    void RestartQuiet() override { ++quietStarts; }
};

class PresenceTest : public ::testing::Test {
protected:
    PresenceTest()
    {
        msgr.AddContact({"Ann Lee", MSTATE_ONLINE, {"", "+1 425 555 1234", ""}});
        msgr.AddContact({"Bob", MSTATE_OFFLINE, {"", "", "555-9876"}});
        msgr.AddContact({"Cy", MSTATE_ONLINE, {}, false});
        msgr.OnLocalStateChangeResult = [this](long, int state, const std::string&) {
            coupling.OwnStatusChanged(state);
        };
    }

    // The client starts in status, as the coupling finds it when it starts.
    void Start(int status)
    {
        auto handler = std::exchange(msgr.OnLocalStateChangeResult, nullptr);
        msgr.ChangeLocalStateInClient(status);
        Deliver();
        msgr.OnLocalStateChangeResult = handler;
        coupling.Attach(&msgr);
        msgr.StatesSet.clear();
    }
    void UserSets(int status)
    {
        msgr.ChangeLocalStateInClient(status);
        Deliver();
    }
    void Phone(int event)
    {
        coupling.PhoneEvent(event);
        Deliver();
    }
    static void Deliver() { platform::ProcessMessages(0); }

    TFakeMsgrObject msgr;
    TPresenceRules rules;
    TRecordingPhone phone;
    TPresenceCoupling coupling{rules, phone};
};

TEST_F(PresenceTest, ContactNumbersMatchByTheirTailAfterTheCountryPart)
{
    auto ann = FindContactByNumber(&msgr, "4255551234");
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->FriendlyName(), "Ann Lee");
    // Bob's 5559876 is shorter than the call's number: a tail of the call is no match.
    EXPECT_FALSE(FindContactByNumber(&msgr, "2065559876"));
    EXPECT_EQ(FindContactByNumber(&msgr, "5559876")->FriendlyName(), "Bob");
    EXPECT_FALSE(FindContactByNumber(&msgr, ""));
    EXPECT_FALSE(FindContactByNumber(nullptr, "4255551234"));

    EXPECT_EQ(FindContactByName(&msgr, "ann LEE")->FriendlyName(), "Ann Lee");
    EXPECT_FALSE(FindContactByName(&msgr, "Ann"));
    EXPECT_EQ(GetContactPhone(ann.get(), -1), "+1 425 555 1234");
    EXPECT_EQ(GetContactPhone(ann.get(), 0), "");
    EXPECT_EQ(GetContactPhone(FindContactByName(&msgr, "Cy").get(), -1), "");

    EXPECT_EQ(ContactNameFromListText("(x)"), "(x)");
    EXPECT_EQ(ContactNameFromTitle(" - x"), " - x");

    msgr.Connected = false;
    msgr.FailConnect = true;
    EXPECT_FALSE(FindContactByName(&msgr, "Bob"));
}

TEST_F(PresenceTest, CannedMessageGoesOnlyToAnOnlineCallerWithTheMimeHeader)
{
    std::string error;
    ASSERT_TRUE(SendMessageToNumber(&msgr, "4255551234", "Call you back", error));
    const TSentText sent{"Ann Lee", "Mime-Version: 1.0\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n",
                         "Call you back", 2};
    EXPECT_EQ(msgr.Sent, std::vector<TSentText>{sent});
    EXPECT_TRUE(error.empty());

    const std::string expected =
        "Unable to send message.\r\rCannot find Instant Messenger user or user is not online.";
    EXPECT_FALSE(SendMessageToNumber(&msgr, "5559876", "x", error)); // offline
    EXPECT_EQ(error, expected);
    msgr.FailSend = true;
    EXPECT_FALSE(SendMessageToNumber(&msgr, "4255551234", "x", error));
    EXPECT_EQ(error, expected);
    EXPECT_EQ(msgr.Sent, std::vector<TSentText>{sent});
}

TEST_F(PresenceTest, RulesShowTheirDefaultsSurviveStorageAndUnknownCodesHaveNone)
{
    EXPECT_EQ(rules.PhoneState(peBusy)->Name, "Busy");
    EXPECT_EQ(rules.PhoneRuleConditions(peOffHook),
              "If my current state is 'away' or 'be right back' or 'out to lunch'");
    EXPECT_EQ(rules.PhoneRuleConditions(peDndOn), "Always");
    EXPECT_EQ(rules.PhoneRuleCaption(peDndOn), "       Appear offline");
    EXPECT_EQ(rules.PhoneRuleIcon(peDndOn), 1);
    EXPECT_EQ(rules.IMRuleText(MSTATE_ONLINE), "Disable do not disturb and forward");
    EXPECT_EQ(rules.IMRuleText(MSTATE_BUSY), "Nothing");
    EXPECT_FALSE(rules.IMState(67));
    EXPECT_FALSE(rules.PhoneState(0));

    TKovraAssistantConfig config;
    auto& away = *rules.IMState(MSTATE_AWAY);
    away.Action = imaForward;
    away.Number = "(214) 555-1234";
    away.Label = "Desk, \"front\"";
    rules.SaveIMRule(config, MSTATE_AWAY);
    rules.PhoneState(peOffHook)->Target = 0;
    rules.PhoneState(peOffHook)->Conditions.clear();
    rules.SavePhoneRule(config, peOffHook);
    config.WriteString("IMStates", "3", ""); // an empty value changes nothing

    TPresenceRules loaded;
    loaded.Load(config);
    EXPECT_EQ(loaded.IMRuleText(MSTATE_AWAY), "Forward to Desk, \"front\" ((214) 555-1234)");
    EXPECT_EQ(loaded.PhoneRuleCaption(peOffHook), "       Nothing");
    EXPECT_EQ(loaded.PhoneRuleIcon(peOffHook), 0);
    EXPECT_EQ(loaded.PhoneRuleConditions(peOffHook), "Always");
    EXPECT_EQ(loaded.IMState(3)->Code, 0);
    EXPECT_EQ(loaded.PhoneState(peBusy)->Conditions, rules.PhoneState(peBusy)->Conditions);
}

TEST_F(PresenceTest, MessengerRulesDriveThePhoneAndItsEchoStaysQuiet)
{
    Start(MSTATE_ONLINE);
    UserSets(MSTATE_AWAY);
    EXPECT_EQ(phone.requests, std::vector<std::string>{"dnd on"});
    EXPECT_EQ(phone.quietStarts, 1);
    // Off-hook is a call event and still counts: Away goes Online.
    Phone(peOffHook);
    EXPECT_EQ(msgr.StatesSet, std::vector<int>{MSTATE_ONLINE});
    // ...and that change is the program's own, so Online's rule does not lift do-not-disturb.
    EXPECT_EQ(phone.requests.size(), 1u);
    EXPECT_FALSE(coupling.OwnDoing());

    // Back Online by the user: do-not-disturb and forwarding both lifted, forwarding only with rights.
    phone.dnd = phone.forwarded = true;
    UserSets(MSTATE_BUSY);
    UserSets(MSTATE_ONLINE);
    EXPECT_EQ(phone.requests, (std::vector<std::string>{"dnd on", "dnd off", "forward "}));
    phone.mayForward = false;
    UserSets(MSTATE_BUSY);
    UserSets(MSTATE_ONLINE);
    EXPECT_EQ(phone.requests.back(), "dnd off");

    // A forward rule keeps its own number (its forward-list entry may be gone) and needs the rights.
    auto& lunch = *rules.IMState(MSTATE_OUT_TO_LUNCH);
    lunch.Action = imaForward;
    lunch.Number = "+1 (214) 555-1234";
    UserSets(MSTATE_OUT_TO_LUNCH);
    EXPECT_EQ(phone.requests.back(), "dnd off");
    phone.mayForward = true;
    UserSets(MSTATE_BUSY);
    UserSets(MSTATE_OUT_TO_LUNCH);
    EXPECT_EQ(phone.requests.back(), "forward +12145551234");

    // Without a server connection nothing is asked.
    const auto before = phone.requests.size();
    phone.connected = false;
    UserSets(MSTATE_AWAY);
    EXPECT_EQ(phone.requests.size(), before);
}

TEST_F(PresenceTest, PhoneRulesSetTheStatusOnlyInTheirConditions)
{
    Start(MSTATE_BUSY);
    Phone(peOffHook); // Busy is not among off-hook's statuses
    Phone(peBusy);    // nor among busy's
    EXPECT_TRUE(msgr.StatesSet.empty());
    Phone(peDndOn); // no conditions: from any status
    EXPECT_EQ(msgr.StatesSet, std::vector<int>{MSTATE_INVISIBLE});
    // Appear offline's own rule (do-not-disturb on) did not run for the program's change.
    EXPECT_TRUE(phone.requests.empty());

    UserSets(MSTATE_ONLINE);
    phone.requests.clear();
    rules.IMState(MSTATE_ON_THE_PHONE)->Action = imaEnableDnd;
    rules.IMState(MSTATE_ONLINE)->Action = imaEnableDnd;
    Phone(peBusy);
    // A swap in one delivery: held A raises Hangup, retrieved B raises Busy, before either echo.
    // Neither echo is the user's, so no Messenger rule asks anything of the phone.
    coupling.PhoneEvent(peHangup);
    coupling.PhoneEvent(peBusy);
    Deliver();
    EXPECT_EQ(msgr.StatesSet,
              (std::vector<int>{MSTATE_INVISIBLE, MSTATE_ON_THE_PHONE, MSTATE_ONLINE, MSTATE_ON_THE_PHONE}));
    EXPECT_TRUE(phone.requests.empty());
    EXPECT_FALSE(coupling.OwnDoing());
    EXPECT_EQ(coupling.LastStatus(), MSTATE_ON_THE_PHONE);
    // The user's own change afterwards still runs its rule.
    UserSets(MSTATE_ONLINE);
    EXPECT_EQ(phone.requests, std::vector<std::string>{"dnd on"});

    // Without the wrapper nothing changes, not even by a rule with no conditions.
    coupling.Attach(nullptr);
    Phone(peDndOn);
    EXPECT_EQ(msgr.StatesSet.size(), 4u);
}

TEST_F(PresenceTest, RuleAnsweringRuleEndsEvenWhenTheEchoComesAfterTheQuietSecond)
{
    // Every status asks for do-not-disturb, and do-not-disturb sets a status back.
    for (int code : {MSTATE_AWAY, MSTATE_INVISIBLE, MSTATE_ONLINE})
        rules.IMState(code)->Action = imaEnableDnd;
    Start(MSTATE_ONLINE);
    UserSets(MSTATE_AWAY);
    Phone(peDndOn); // late echo: sets Appear offline as the program's own change
    Phone(peDndOn);
    EXPECT_EQ(msgr.StatesSet, std::vector<int>{MSTATE_INVISIBLE});
    EXPECT_EQ(phone.requests, std::vector<std::string>{"dnd on"});

    // A refused status change leaves no flag behind to swallow the user's next change.
    msgr.FailSetState = true;
    Phone(peDndOff);
    EXPECT_FALSE(coupling.OwnDoing());
    UserSets(MSTATE_AWAY);
    EXPECT_EQ(phone.requests.size(), 2u);
}

TEST_F(PresenceTest, SignOutAndSignInAreTheUsersOnly)
{
    int outs = 0, ins = 0;
    coupling.OnSignOut = [&] { ++outs; };
    coupling.OnSignIn = [&] { ++ins; };
    rules.PhoneState(peOutOfService)->Target = MSTATE_OFFLINE;
    rules.PhoneState(peOutOfService)->Conditions.clear();
    Start(MSTATE_ONLINE);
    UserSets(MSTATE_OFFLINE);
    UserSets(MSTATE_ONLINE);
    EXPECT_EQ(ins, 1);
    // Offline from Away is no sign-out, a repeated status is no change at all, and a rule's own
    // Offline is no sign-out either.
    for (int status : {MSTATE_AWAY, MSTATE_OFFLINE, MSTATE_OFFLINE, MSTATE_ONLINE})
        UserSets(status);
    Phone(peOutOfService);
    EXPECT_EQ(msgr.StatesSet.back(), MSTATE_OFFLINE);
    EXPECT_EQ(outs, 1);
    EXPECT_EQ(coupling.LastStatus(), MSTATE_OFFLINE);
}

} // namespace
