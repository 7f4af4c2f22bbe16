// The main window's coupling object on the headless messaging client: start and stop with the
// hook, the rules through it, and a wrapper stopped from inside its own event.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "AppTestSupport.h"
#include "SessionTest.h"
#include "app/MessengerLink.h"
#include "messenger/FakeMsgrObject.h"
#include "platform/MainLoop.h"

using namespace api;
using namespace settings;
using namespace app;

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
                    platform::ProcessMessages(20); // a dialog's loop inside the handler, past the delay
                    retiredInHandler = link.Retired();
                }
            },
            [this] { ++signIns; });
        link.ReleaseDelay = 1;
        link.SetStateHandler([this](const std::string& text) { states.push_back(text); });
    }

    std::unique_ptr<TMsgrObject> MakeClient()
    {
        auto client = std::make_unique<TFakeMsgrObject>();
        client->FailConnect = failConnect;
        client->HoldConnect = holdConnect;
        // Two Anns: the message goes to the one with the call's number, online, not the first.
        client->AddContact({"Ann", MSTATE_OFFLINE, {"", "2065550000", ""}});
        client->AddContact({"Ann", MSTATE_ONLINE, {"4255551234", "", ""}});
        client->AddContact({"Bob", MSTATE_OFFLINE, {"", "", "5559876"}});
        client->ChangeLocalStateInClient(MSTATE_ONLINE);
        platform::ProcessMessages(0);
        client_ = client.get();
        ++made;
        return client;
    }

    TFakeMsgrObject* client_ = nullptr;
    bool failConnect = false, holdConnect = false, stopOnSignOut = false;
    std::vector<std::string> states; // what the status line was told
    std::size_t retiredInHandler = 0;
    int installs = 0, removes = 0, signOuts = 0, signIns = 0, made = 0;
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
    EXPECT_TRUE(link.SendInstantMessage("4255551234", kMimeHeader, "Soon", 2));
    EXPECT_FALSE(link.SendInstantMessage("5559876", kMimeHeader, "Soon", 2));    // Bob, offline
    EXPECT_FALSE(link.SendInstantMessage("2065550000", kMimeHeader, "Soon", 2)); // the other Ann, offline
    ASSERT_EQ(client_->Sent.size(), 1u);
    EXPECT_EQ(client_->Sent[0].Text, "Soon");

    const auto contacts = link.ReminderContacts();
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[1].Id, "Ann");
    EXPECT_EQ(contacts[1].Status, MSTATE_ONLINE);
    EXPECT_EQ(contacts[2].Numbers.Mobile, "5559876");

    link.ApplyPhoneRule(peBusy); // Online, busy: On the phone
    EXPECT_EQ(client_->StatesSet, std::vector<int>{MSTATE_ON_THE_PHONE});

    link.Stop();
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(removes, 1);
    EXPECT_EQ(link.Retired(), 1u); // kept a moment for the client
    EXPECT_TRUE(PumpUntil([&] { return link.Retired() == 0; }));
    link.ApplyPhoneRule(peHangup); // no wrapper: nothing, and no crash

    failConnect = true;
    EXPECT_FALSE(link.Start());
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(states.back(), "Messenger does not answer");

    // At program end every wrapper goes at once, not a moment later.
    failConnect = false;
    ASSERT_TRUE(link.Start());
    link.Stop();
    EXPECT_EQ(link.Retired(), 1u);
    link.Close();
    EXPECT_EQ(link.Retired(), 0u);
}

TEST_F(MessengerLinkTest, ClientThatDoesNotAnswerHoldsNothingAndIsCoupledWhenItAnswers)
{
    holdConnect = true;
    EXPECT_FALSE(link.Start());
    EXPECT_TRUE(link.Connecting());
    EXPECT_FALSE(link.Start()); // one connection out at a time
    EXPECT_EQ(installs, 0);
    link.ApplyPhoneRule(peBusy); // not coupled yet: nothing
    EXPECT_TRUE(client_->StatesSet.empty());
    EXPECT_EQ(states, std::vector<std::string>{"Connecting to Messenger..."});

    client_->AnswerConnect();
    EXPECT_TRUE(link.Attached());
    EXPECT_FALSE(link.Connecting());
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(states.back(), "Messenger coupled");
    link.ApplyPhoneRule(peBusy);
    EXPECT_EQ(client_->StatesSet, std::vector<int>{MSTATE_ON_THE_PHONE});

    // Stopped while a connection is out: the connection is dropped and nothing is coupled.
    link.Stop();
    ASSERT_TRUE(PumpUntil([&] { return link.Retired() == 0; }));
    EXPECT_FALSE(link.Start());
    link.Stop();
    EXPECT_FALSE(link.Connecting());
    EXPECT_FALSE(link.Attached());
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
    EXPECT_TRUE(PumpUntil([&] { return link.Retired() == 0; }));

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

// The main window logged in with -IM and a client that answers only later: the log-in goes on,
// the status line says where the coupling stands, the user's status drives the phone once the
// client answers, and signing out of the client releases the phone, which the reconnect monitors
// again.
TEST(MessengerSession, ClientStatusDrivesThePhoneOnceItAnswersAndSignOutReleasesIt)
{
    TFakeMsgrObject* client = nullptr;
    auto link = std::make_shared<TMessengerLink>([&client] {
        auto made = std::make_unique<TFakeMsgrObject>();
        made->HoldConnect = true;
        made->ChangeLocalStateInClient(MSTATE_ONLINE);
        platform::ProcessMessages(0);
        client = made.get();
        return made;
    });
    ScriptedSession s(0xFFFFFFFFu, {"-IM"}, link);
    s.app->form->tmCleanError->SetInterval(600000); // the status line keeps its text for the checks
    ASSERT_TRUE(s.LogIn());
    ASSERT_NE(client, nullptr);
    EXPECT_FALSE(link->Attached());
    EXPECT_EQ(s.app->form->txtError->Caption(), "Connecting to Messenger...");
    client->AnswerConnect();
    ASSERT_TRUE(link->Attached());
    EXPECT_EQ(s.app->form->txtError->Caption(), "Messenger coupled");
    // The quiet period outlasts the wait below however slow the machine.
    s.app->form->tmDontChange->SetInterval(600000);

    client->ChangeLocalStateInClient(MSTATE_AWAY);
    EXPECT_TRUE(Nth(s, KovraMsg::SET_DO_NOT_DISTURB_REQ).ReadBool());
    EXPECT_TRUE(s.app->form->tmDontChange->Enabled());

    client->ChangeLocalStateInClient(MSTATE_ONLINE);
    platform::ProcessMessages(0);
    client->ChangeLocalStateInClient(MSTATE_OFFLINE);
    ASSERT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::MONITOR_STOP_REQ) == 1; }));
    ASSERT_TRUE(s.WaitFor([&] { return s.monitorStarts == 2 && StartupInfo().LoggedIn; }));
}

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
    EXPECT_EQ(t.messenger->sent[0], std::string("4255550124|") + kMimeHeader + "Call you back"); // by number

    // The caller went offline meanwhile: the two-part error, nothing sent.
    t.messenger->onlineNumber.clear();
    t.form->cbIM->SelectItem(0);
    EXPECT_EQ(t.messenger->sent.size(), 1u);
    ASSERT_FALSE(t.backend->messageBoxes.empty());
    EXPECT_EQ(t.backend->messageBoxes.back().text,
              "Unable to send message.\r\rCannot find Instant Messenger user or user is not online.");

    // Edited in place: Enter adds a new text and drops the list, Delete removes the chosen entry,
    // leaving the box keeps a new text; the section is stored again, in order, each time.
    auto stored = [] {
        std::vector<std::string> keys, texts;
        KovraAssistantConfig().ReadSection("IMMessages", keys);
        for (const auto& key : keys)
            texts.push_back(key + "=" + KovraAssistantConfig().ReadString("IMMessages", key, ""));
        return texts;
    };
    t.form->cbIM->SetText("On my way");
    t.form->cbIM->PressKey(ui::VK_RETURN_KEY);
    EXPECT_TRUE(t.form->cbIM->DroppedDown());
    t.form->cbIM->PressKey(ui::VK_RETURN_KEY); // already there: nothing more
    EXPECT_EQ(stored(), (std::vector<std::string>{"0=In a meeting", "1=Call you back", "2=On my way"}));
    t.form->cbIM->SetItemIndex(0);
    t.form->cbIM->PressKey(ui::VK_DELETE_KEY);
    t.form->cbIM->Exit(); // the box is empty now: nothing added
    t.form->cbIM->SetText("Later");
    t.form->cbIM->Exit();
    EXPECT_EQ(stored(), (std::vector<std::string>{"0=Call you back", "1=On my way", "2=Later"}));
    EXPECT_EQ(t.messenger->sent.size(), 1u); // editing sends nothing
    KovraAssistantConfig().EraseSection("IMMessages");
}

} // namespace

namespace {

// The client's windows as the hook library would report and change them.
struct FakeClientWindows : IClientWindows {
    std::map<void*, std::string> classes, titles;
    std::string selectedRow;
    std::map<void*, std::vector<std::vector<TClientMenuEntry>>> menus; // every popup each window got
    std::string MenuBarClass(void* window) override { return classes[window]; }
    void* ContactList(void*) override { return this; }
    std::string Title(void* window) override { return titles[window]; }
    std::string SelectedRowText(void*, void* list) override { return list == this ? selectedRow : ""; }
    bool running = false;
    bool ClientRunning() override { return running; }
    void SetMenu(void* window, const std::vector<TClientMenuEntry>& entries) override
    {
        menus[window].push_back(entries);
    }
};

std::vector<std::string> Texts(const std::vector<TClientMenuEntry>& entries, int level)
{
    std::vector<std::string> texts;
    for (const auto& entry : entries)
        if (entry.Level == level)
            texts.push_back(entry.Separator ? "-" : entry.Text);
    return texts;
}

// The main window with -IM and the real link: its popups go into the client's windows, and their
// commands call the selected contact or the conversation's one.
TEST(ClientMenus, PopupsReachTheClientsWindowsAndTheirCallItemsOpenTheReminderForTheContact)
{
    auto link = std::make_shared<TMessengerLink>([] {
        auto client = std::make_unique<TFakeMsgrObject>();
        client->AddContact({"Ann", MSTATE_ONLINE, {"4255551234", "", ""}});
        client->AddContact({"Bob Lee", MSTATE_OFFLINE, {"", "", "5559876"}});
        return client;
    });
    FakeClientWindows windows;
    link->SetClientWindows(&windows);
    AppTest t({"-phone", "1001", "-IM"},
              [&](TAssistantOptions& options) { options.Services.Messenger = link; });
    ASSERT_TRUE(link->Start());
    void* main = &windows.classes;
    void* conversation = &windows.titles;
    void* plain = &windows.selectedRow;
    windows.classes = {{main, "msblclass"}, {conversation, "IMWindowClass"}, {plain, ""}};
    for (void* window : {main, conversation, plain})
        link->WindowSubclassed(window);
    platform::ProcessMessages(0);

    ASSERT_EQ(windows.menus[main].size(), 1u);
    const auto& mainPopup = windows.menus[main][0];
    EXPECT_EQ(Texts(mainPopup, 0), std::vector<std::string>{"KOVRA"});
    EXPECT_EQ(Texts(mainPopup, 1),
              (std::vector<std::string>{"&Call...", "I want to...", "-", "&Options", "&Exit"}));
    EXPECT_FALSE(Texts(mainPopup, 2).empty()); // the rule and list editors under "&Options"
    ASSERT_EQ(windows.menus[conversation].size(), 1u);
    EXPECT_EQ(Texts(windows.menus[conversation][0], 1), std::vector<std::string>{"&Call..."});
    EXPECT_EQ(windows.menus.count(plain), 0u); // no menu bar, no popup

    // "&Call..." in the client's main window: the selected row's contact, 0 minutes.
    windows.selectedRow = "Bob Lee (Offline)";
    auto run = link->ClientCommand(t.form->mnCall->Command(), main);
    ASSERT_TRUE(run);
    run();
    windows.selectedRow.clear();
    link->ClientCommand(t.form->mnCall->Command(), main)();
    // In a conversation window: the contact named by the window's title.
    windows.titles[conversation] = "Ann - Conversation";
    link->ClientCommand(t.form->mnCallUser->Command(), conversation)();
    link->ClientCommand(t.form->mnCallUser->Command(), conversation)(); // the mnCallUser name is used once
    std::vector<std::string> asked;                                     // contact, name, minutes, number
    for (const TCallLaterRequest& request : t.dialogs->callLaters)
        asked.push_back(request.Contact + "|" + request.Name + "|" + std::to_string(request.Minutes) + "|" +
                        request.Number);
    EXPECT_EQ(asked, (std::vector<std::string>{"Bob Lee|Bob Lee|0|", "||0|", "Ann|Ann|0|", "Ann|Ann|0|"}));
    EXPECT_FALSE(link->ClientCommand(0xFFFF, main)); // not one of ours: the client's own command

    // A ringing call rebuilds "I want to...": the main window's popup is sent again with its
    // entries, whose commands run the page's actions; the conversation's popup did not change.
    t.Ring("0000000000000000000000A1");
    platform::ProcessMessages(0);
    ASSERT_EQ(windows.menus[main].size(), 2u);
    EXPECT_EQ(windows.menus[conversation].size(), 1u);
    const auto& ringing = windows.menus[main][1];
    auto wantTo =
        std::find_if(ringing.begin(), ringing.end(), [](const auto& e) { return e.Text == "I want to..."; });
    ASSERT_NE(wantTo, ringing.end());
    ASSERT_TRUE(wantTo->Popup);
    ASSERT_EQ((wantTo + 1)->Level, 2);
    EXPECT_TRUE(link->ClientCommand((wantTo + 1)->Command, main));

    // Gone windows get nothing more; a stopped link forgets every window.
    link->WindowGone(conversation);
    t.Ring("0000000000000000000000A2", "4255550999");
    platform::ProcessMessages(0);
    EXPECT_EQ(windows.menus[conversation].size(), 1u);
    link->Stop();
    windows.selectedRow = "Ann (Online)";
    EXPECT_EQ(link->SelectedContact(), "");
}

// A client that dies (or ends without saying Offline) is noticed by the next call or by the poll;
// the coupling goes, and comes back once a client runs again.
TEST_F(MessengerLinkTest, ClientGoneWithoutOfflineIsDroppedAndCoupledAgainWhenItIsBack)
{
    FakeClientWindows windows;
    link.SetClientWindows(&windows);
    link.PollInterval = 5;
    ASSERT_TRUE(link.Start());
    TFakeMsgrObject* first = client_;
    link.Poll(); // alive: it stays
    EXPECT_TRUE(link.Attached());
    EXPECT_EQ(made, 1);

    first->Die();
    link.ApplyPhoneRule(peBusy); // the call fails as against a dead server
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(removes, 1);
    EXPECT_EQ(states.back(), "Messenger has gone");
    link.Poll(); // no client runs: nothing is started
    EXPECT_EQ(made, 1);

    windows.running = true;
    ASSERT_TRUE(PumpUntil([&] { return link.Attached(); }));
    EXPECT_EQ(made, 2);
    EXPECT_EQ(installs, 2);
    EXPECT_EQ(states.back(), "Messenger coupled");

    // Noticed by the poll alone, without any call of the program's.
    client_->Die();
    windows.running = false;
    ASSERT_TRUE(PumpUntil([&] { return !link.Attached(); }));
    EXPECT_EQ(removes, 2);

    // Stopped (a sign-out or the program's end): nothing is looked for any more.
    link.Stop();
    windows.running = true;
    platform::ProcessMessages(30);
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(made, 2);
    link.SetClientWindows(nullptr);
}

} // namespace
