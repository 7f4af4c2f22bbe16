// The main window's coupling object on the headless messaging client: start and stop with the
// hook, the rules through it, and a wrapper stopped from inside its own event.
#include <gtest/gtest.h>

#include "ScriptedSession.h"
#include "app/MessengerLink.h"
#include "messenger/FakeMsgrObject.h"
#include "platform/MainLoop.h"

using namespace messenger;

namespace {

class MessengerLinkTest : public ::testing::Test {
protected:
    MessengerLinkTest()
    {
        link.Bind(
            nullptr,
            [this] {
                ++signOuts;
                if (stopOnSignOut) {
                    link.Stop();
                    platform::ProcessMessages(0); // a dialog's loop inside the handler
                    retiredInHandler = link.Retired();
                }
            },
            [this] { ++signIns; });
    }

    std::unique_ptr<TMsgrObject> MakeClient()
    {
        auto client = std::make_unique<TFakeMsgrObject>();
        client->FailConnect = failConnect;
        client->AddContact({"Ann", MSTATE_ONLINE, {"4255551234", "", ""}});
        client->AddContact({"Bob", MSTATE_OFFLINE, {"", "", "5559876"}});
        client->ChangeLocalStateInClient(MSTATE_ONLINE);
        platform::ProcessMessages(0);
        client_ = client.get();
        return client;
    }

    TFakeMsgrObject* client_ = nullptr;
    bool failConnect = false, stopOnSignOut = false;
    std::size_t retiredInHandler = 0;
    int installs = 0, removes = 0, signOuts = 0, signIns = 0;
    TMessengerLink link{[this] { return MakeClient(); },
                        TMessengerLink::THook{[this] { ++installs; }, [this] { ++removes; }}};
};

TEST_F(MessengerLinkTest, StartAndStopBracketTheHookAndTheContactsFollowTheWrapper)
{
    EXPECT_EQ(link.ContactFor("4255551234"), "");
    ASSERT_TRUE(link.Start());
    EXPECT_TRUE(link.Start()); // once only
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(link.ContactFor("4255551234"), "Ann");
    EXPECT_TRUE(link.IsOnlineContact("4255551234"));
    EXPECT_FALSE(link.IsOnlineContact("5559876"));
    EXPECT_TRUE(link.SendInstantMessage("Ann", kMimeHeader, "Soon", 2));
    EXPECT_FALSE(link.SendInstantMessage("Bob", kMimeHeader, "Soon", 2));
    ASSERT_EQ(client_->Sent.size(), 1u);
    EXPECT_EQ(client_->Sent[0].Text, "Soon");

    const auto contacts = link.ReminderContacts();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].Id, "Ann");
    EXPECT_EQ(contacts[0].Status, MSTATE_ONLINE);
    EXPECT_EQ(contacts[1].Numbers.Mobile, "5559876");

    link.ApplyPhoneRule(peBusy); // Online, busy: On the phone
    EXPECT_EQ(client_->StatesSet, std::vector<int>{MSTATE_ON_THE_PHONE});

    link.Stop();
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(removes, 1);
    platform::ProcessMessages(0);
    EXPECT_EQ(link.Retired(), 0u);
    link.ApplyPhoneRule(peHangup); // no wrapper: nothing, and no crash

    failConnect = true;
    EXPECT_FALSE(link.Start());
    EXPECT_EQ(installs, 1);
}

TEST_F(MessengerLinkTest, SignOutStopsFromInsideTheEventAndTheWrapperGoesOnlyAfterIt)
{
    stopOnSignOut = true;
    ASSERT_TRUE(link.Start());
    client_->ChangeLocalStateInClient(MSTATE_OFFLINE);
    platform::ProcessMessages(0);
    EXPECT_EQ(signOuts, 1);
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(retiredInHandler, 1u);
    platform::ProcessMessages(0);
    EXPECT_EQ(link.Retired(), 0u);

    // The session starts it again: signing out and in again is noticed.
    stopOnSignOut = false;
    ASSERT_TRUE(link.Start());
    client_->ChangeLocalStateInClient(MSTATE_OFFLINE);
    platform::ProcessMessages(0);
    client_->ChangeLocalStateInClient(MSTATE_ONLINE);
    platform::ProcessMessages(0);
    EXPECT_EQ(signOuts, 2);
    EXPECT_EQ(signIns, 1);
}

} // namespace

namespace {

// The main window logged in with -IM: the user's status drives the phone, and signing out of the
// client releases the phone, which the reconnect monitors again.
TEST(MessengerSession, AwaySetsDoNotDisturbAndSignOutReleasesAndMonitorsAgain)
{
    TFakeMsgrObject* client = nullptr;
    auto link = std::make_shared<TMessengerLink>([&client] {
        auto made = std::make_unique<TFakeMsgrObject>();
        made->ChangeLocalStateInClient(MSTATE_ONLINE);
        platform::ProcessMessages(0);
        client = made.get();
        return made;
    });
    ScriptedSession s(0xFFFFFFFFu, {"-IM"}, link);
    ASSERT_TRUE(s.LogIn());
    ASSERT_TRUE(link->Attached());

    client->ChangeLocalStateInClient(MSTATE_AWAY);
    ASSERT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::SET_DO_NOT_DISTURB_REQ) == 1; }));
    EXPECT_TRUE(s.app->form->tmDontChange->Enabled());
    auto requests = s.Requests(KovraMsg::SET_DO_NOT_DISTURB_REQ);
    EXPECT_TRUE(requests[0].ReadBool());

    client->ChangeLocalStateInClient(MSTATE_ONLINE);
    platform::ProcessMessages(0);
    client->ChangeLocalStateInClient(MSTATE_OFFLINE);
    ASSERT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::MONITOR_STOP_REQ) == 1; }));
    ASSERT_TRUE(s.WaitFor([&] { return s.monitorStarts == 2 && StartupInfo().LoggedIn; }));
}

} // namespace

namespace {

TEST(MessengerSession, CannedMessagesAreOfferedToAnOnlineCallerAndAChoiceSendsIt)
{
    AppTest t({"-phone", "1001", "-IM"});
    t.messenger->attached = true;
    KovraAssistantConfig().EraseSection("IMMessages");
    KovraAssistantConfig().WriteString("IMMessages", "0", "In a meeting");
    KovraAssistantConfig().WriteString("IMMessages", "1", "Call you back");
    t.Ring("0000000000000000000000A1", "4255550123");
    EXPECT_EQ(t.form->cbIM->Items().Count(), 0); // the caller is no online contact

    t.messenger->onlineNumber = "4255550124";
    t.Ring("0000000000000000000000A2", "4255550124");
    ASSERT_EQ(t.form->cbIM->Items().Count(), 2);
    t.form->cbIM->SelectItem(1);
    ASSERT_EQ(t.messenger->sent.size(), 1u);
    EXPECT_EQ(t.messenger->sent[0], std::string("Dana|") + kMimeHeader + "Call you back");

    // The caller went offline meanwhile: the two-part error, nothing sent.
    t.messenger->onlineNumber.clear();
    t.form->cbIM->SelectItem(0);
    EXPECT_EQ(t.messenger->sent.size(), 1u);
    ASSERT_FALSE(t.backend->messageBoxes.empty());
    EXPECT_EQ(t.backend->messageBoxes.back().text,
              "Unable to send message.\r\rCannot find Instant Messenger user or user is not online.");
    KovraAssistantConfig().EraseSection("IMMessages");
}

} // namespace
