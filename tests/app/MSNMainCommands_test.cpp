#include <gtest/gtest.h>

#include "LoopbackHttpServer.h"
#include "SessionTest.h"
#include "settings/MSNConfig.h"

using namespace api;
using namespace settings;
using namespace app;

namespace {

const std::string kCall = "0000000000000000000000A1";
const std::string kHeld = "0000000000000000000000B2";
const std::string kHeld2 = "0000000000000000000000B3";

std::pair<std::string, std::string> TwoOids(TKovraAPIMsg msg)
{
    const std::string first = msg.ReadOid();
    return {first, msg.ReadOid()};
}

class Commands : public testing::Test {
protected:
    void LogIn(std::uint32_t caps = 0xFFFFFFFFu)
    {
        session.reset(); // one window at a time
        session = std::make_unique<ScriptedSession>(caps);
        ASSERT_TRUE(session->LogIn());
        ASSERT_TRUE(session->WaitFor([&] { return form().InService() && form().Capabilities() == caps; }));
    }
    TfmKovraAssistant& form() { return *session->app->form; }
    void Connected(const std::string& oid, const std::string& number) { session->app->Answer(oid, number); }
    void Held(const std::string& oid, const std::string& number) { session->app->Hold(oid, number); }
    std::unique_ptr<ScriptedSession> session;
};

// A new call while one is connected holds that one first; the number is dialled once it is held
// only when the phone can dial beside a held call (capSingleStepConference), and forgotten otherwise.
TEST_F(Commands, MakeCallWhileConnectedHoldsFirstAndDialsWhenHeldOnlyWhenThePhoneAllows)
{
    for (const bool allowed : {true, false}) {
        SCOPED_TRACE(allowed);
        LogIn(allowed ? 0xFFFFFFFFu : 0xFFFFFFFFu & ~(1u << capSingleStepConference));
        Connected(kCall, "300");
        session->app->dialogs->makeCall = TMakeCallAnswer{"4255550123", true, true, false};
        form().Commands().OnMakeCall();
        EXPECT_EQ(Nth(*session, KovraMsg::HOLD_CALL_REQ).ReadOid(), kCall);
        EXPECT_EQ(session->Count(KovraMsg::MAKE_CALL_REQ), 0u);
        Held(kCall, "300");
        if (allowed) {
            auto call = Nth(*session, KovraMsg::MAKE_CALL_REQ);
            EXPECT_EQ(call.ReadStr(), "4255550123");
            EXPECT_EQ(call.ReadInt32(), 6u); // intercom 4 + urgent 2
            continue;
        }
        PumpFor(100);
        EXPECT_EQ(session->Count(KovraMsg::MAKE_CALL_REQ), 0u);
        EXPECT_TRUE(form().FindCall(kCall)->PendingNumber.empty());
        // Without a connected call the number is dialled at once.
        form().Commands().OnMakeCall();
        ASSERT_TRUE(session->WaitFor([&] { return session->Count(KovraMsg::MAKE_CALL_REQ) == 1; }));
    }
}

// A held call counts by its own state whatever the far end's: a held call whose far end is
// restricted is the one a transfer or conference joins, without asking.
TEST_F(Commands, CompleteTransferAndConferenceUseTheHeldCallOrAskWhichOne)
{
    LogIn();
    Connected(kHeld, "300");
    session->app->Event(kHeld, ceHeld, {Party("1001", csHeld), Party("300", csHeld, psRestricted)});
    ASSERT_EQ(form().FindCall(kHeld)->RemoteState, psRestricted);
    Connected(kCall, "301");
    form().Commands().OnCompleteTransfer();
    form().Commands().OnAddToConference();
    EXPECT_EQ(TwoOids(Nth(*session, KovraMsg::COMPLETE_TRANSFER_REQ)), std::make_pair(kCall, kHeld));
    EXPECT_EQ(TwoOids(Nth(*session, KovraMsg::CONFERENCE_CALL_REQ)), std::make_pair(kCall, kHeld));
    EXPECT_EQ(session->app->dialogs->heldDialogs, 0);

    Connected(kHeld2, "302");
    Held(kHeld2, "302");
    form().lbCalls->SelectItem(form().lbCalls->Items().IndexOf(kCall));
    session->app->dialogs->heldChoice = kHeld2;
    form().Commands().OnCompleteTransfer();
    EXPECT_EQ(session->app->dialogs->heldDialogs, 1);
    EXPECT_EQ(TwoOids(Nth(*session, KovraMsg::COMPLETE_TRANSFER_REQ, 2)), std::make_pair(kCall, kHeld2));
}

TEST_F(Commands, AnswerAlternatesWhileConnectedAndAnswersWhileDialing)
{
    LogIn();
    Connected(kHeld, "300");
    session->app->Ring(kCall);
    form().Commands().OnAnswerCall();
    EXPECT_EQ(TwoOids(Nth(*session, KovraMsg::ALTERNATE_CALL_REQ)), std::make_pair(kHeld, kCall));

    session->app->Event(kHeld, ceDialing, {Party("1001", csDialing)});
    form().lbCalls->SelectItem(form().lbCalls->Items().IndexOf(kCall));
    form().Commands().OnAnswerCall();
    EXPECT_EQ(Nth(*session, KovraMsg::ANSWER_CALL_REQ).ReadOid(), kCall);
}

// The drop-down is filled with "None" and the forward list when the call rings. The list edited
// while the call rings: a choice redirects to the entry it showed.
TEST_F(Commands, RedirectDropDownDialsTheEntryItShows)
{
    LogIn();
    session->app->dialogs->forwardList = {{"Office", "300"}, {"Mobile", "4255550000"}};
    session->app->Ring(kCall);
    const auto& items = form().cbRedirectTo->Items();
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(items.Strings(0), "None");
    EXPECT_EQ(form().cbRedirectTo->ItemIndex(), 0);
    session->app->dialogs->forwardList = {{"Home", "777"}, {"Office", "300"}};
    form().cbRedirectTo->SetItemIndex(2);
    ASSERT_EQ(items.Strings(2), "Mobile");
    form().cbRedirectToClick();
    auto redirect = Nth(*session, KovraMsg::REDIRECT_CALL_REQ);
    EXPECT_EQ(redirect.ReadOid(), kCall);
    EXPECT_EQ(redirect.ReadInt32(), 1u);
    EXPECT_EQ(redirect.ReadStr(), "4255550000");
    // The next event while a call rings shows the edited list (the box is kept while it is unchanged).
    session->app->Ring("0000000000000000000000A2");
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(items.Strings(1), "Home");

    // The command the ringing pop-up shares (its dial by the rules is AssistantWithSim's) refuses
    // what is no number, and shows why.
    form().Commands().RedirectCallTo(kCall, "206-CALL");
    EXPECT_EQ(form().txtError->Caption(), "\"206-CALL\" is not a phone number that can be dialled.");
    EXPECT_EQ(session->Count(KovraMsg::REDIRECT_CALL_REQ), 1u);
}

TEST_F(Commands, TransferDialogImmediateBoxFollowsBits16And27)
{
    LogIn(0xFFFFFFFFu & ~(1u << capConsultTransfer) & ~(1u << capCompleteTransfer));
    Connected(kCall, "300");
    // Without the right to complete a transfer no dialog asks for a held call to join.
    form().Commands().OnTransferOnHold();
    EXPECT_EQ(session->app->dialogs->heldDialogs, 0);
    session->app->dialogs->transfer = TNumberAnswer{"302", true};
    form().Commands().OnTransferCall();
    ASSERT_TRUE(session->app->dialogs->transferBox.has_value());
    EXPECT_FALSE(session->app->dialogs->transferBox->Enabled);
    EXPECT_TRUE(session->app->dialogs->transferBox->Ticked);
    ASSERT_TRUE(session->WaitFor([&] { return session->Count(KovraMsg::SINGLE_STEP_TRANSFER_REQ) == 1; }));
}

TEST_F(Commands, CommandsWithoutServiceOrCallDoNothing)
{
    LogIn();
    form().Commands().OnHoldCall();
    TKovraPhoneState down = form().PhoneState();
    down.FlagA = down.FlagB = false;
    form().SetPhoneState(down);
    Connected(kCall, "300");
    form().Commands().OnHoldCall();
    form().Commands().OnDropCall();
    session->app->dialogs->makeCall = TMakeCallAnswer{"555"};
    form().Commands().OnMakeCall();
    PumpFor(100);
    EXPECT_EQ(session->Count(KovraMsg::HOLD_CALL_REQ), 0u);
    EXPECT_EQ(session->Count(KovraMsg::DROP_CONNECTION_REQ), 0u);
    EXPECT_EQ(session->Count(KovraMsg::MAKE_CALL_REQ), 0u);
}

// The actions a page link or a hand-over runs: voice mail with its folder, password and message;
// adding to a conference only with a connected call.
TEST_F(Commands, ActionsTakeTheirArgumentsAndAddToConferenceNeedsAConnectedCall)
{
    LogIn();
    form().Commands().RunAction(paVoiceMail, ",PWD=77,FOLDER=voice_mail_saved,MSG=3");
    auto vm = Nth(*session, KovraMsg::VOICE_MAIL_REQ);
    EXPECT_EQ(vm.ReadInt32(), 2u);
    EXPECT_EQ(vm.ReadStr(), "77");
    EXPECT_EQ(vm.ReadInt32(), 1u);
    EXPECT_EQ(vm.ReadInt32(), 3u);

    form().Commands().RunAction(paAddConference, "302");
    EXPECT_EQ(form().txtError->Caption(), "* No Active Call");
    EXPECT_TRUE(form().tmCleanError->Enabled());
    ASSERT_TRUE(session->WaitFor([&] { return form().txtError->Caption().empty(); }));
    Connected(kCall, "300");
    form().Commands().RunAction(paAddConference, "302");
    ASSERT_TRUE(session->WaitFor([&] { return session->Count(KovraMsg::SINGLE_STEP_CONFERENCE_REQ) == 1; }));
}

// The dial-out panel steps through its numbers and dials one; the call it made, moved into the
// meet-me conference, marks its entry joined; removed entries close the panel.
TEST_F(Commands, DialoutPanelDialsItsEntriesAndTheMeetmeMoveMarksThemJoined)
{
    LogIn();
    session->server.OnRequest(KovraMsg::REDIRECT_CALL_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::REDIRECT_CALL_RSP, 0));
    });
    form().Commands().FillDialout("4255550100,(425) 555-0101");
    EXPECT_EQ(form().txtError->Caption(), "* No Meet-me conference or not logged in as moderator");
    EXPECT_FALSE(form().pnDialout->Visible());

    session->app->desktop->meetme = 4711;
    form().Commands().FillDialout("+44 20 7946 0000,300,(425) 555-0101");
    ASSERT_TRUE(form().pnDialout->Visible());
    EXPECT_EQ(form().Height(), form().pnDialout->Height() + 500);
    EXPECT_EQ(form().txtPhone->Caption(), "+442079460000");
    form().btDialoutNext->Click();
    EXPECT_EQ(form().txtPhone->Caption(), "300");
    form().btDialoutNext->Click();
    EXPECT_EQ(form().txtPhone->Caption(), "(425) 555-0101");
    form().btDial->Click();
    EXPECT_EQ(Nth(*session, KovraMsg::MAKE_CALL_REQ).ReadStr(), "4255550101");

    // A caller without a number marks nothing, not even the entry the rules refuse to dial.
    Connected(kCall, "");
    form().Commands().OnAddToMeetme();
    EXPECT_FALSE(form().Commands().DialoutList()[0].Joined);
    Connected(kCall, "4255550101");
    form().Commands().OnAddToMeetme();
    auto redirect = session->Requests(KovraMsg::REDIRECT_CALL_REQ);
    ASSERT_EQ(redirect.size(), 2u);
    EXPECT_EQ(redirect[1].ReadOid(), kCall);
    EXPECT_EQ(redirect[1].ReadInt32(), 6u);
    EXPECT_EQ(redirect[1].ReadStr(), "4711");
    EXPECT_TRUE(form().Commands().DialoutList()[2].Joined);
    EXPECT_FALSE(form().Commands().DialoutList()[1].Joined);
    EXPECT_TRUE(form().txtJoined->Visible());

    form().btRemove->Click();
    EXPECT_EQ(form().txtPhone->Caption(), "300");
    form().btRemove->Click();
    form().btRemove->Click();
    EXPECT_FALSE(form().pnDialout->Visible());
    EXPECT_EQ(form().Height(), 500);
}

TEST(SpeedDials, FetchedOnAWorkerAndShownOnTheMainThread)
{
    LoopbackHttpServer portal;
    portal.Serve("/KovraAppsServlet?Command=GetSpeedDials", 200,
                 "2\r\nOffice=4255551000\r\nHome=4255552000\r\n");
    portal.HoldAnswers(true);
    AppTest t(
        {"-phone", "1001", "webportal", "http://127.0.0.1:" + std::to_string(portal.Port()), "user", "bob"});
    t.form->UpdateSpeedDialsClick();
    // The window goes on while the portal has not answered.
    EXPECT_EQ(portal.Answered(), 0);
    EXPECT_EQ(t.form->lbSpeedButtons->Items().Count(), 0);
    portal.HoldAnswers(false);
    ASSERT_TRUE(PumpUntil([&] { return t.form->lbSpeedButtons->Items().Count() == 2; }));
    EXPECT_EQ(t.form->lbSpeedButtons->Items().Strings(0), "Office=4255551000");

    // A window that closes meanwhile drops the late answer.
    portal.HoldAnswers(true);
    t.form->UpdateSpeedDialsClick();
    KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
    ASSERT_TRUE(t.form->CloseWindow());
    t.form->lbSpeedButtons->Items().Clear();
    portal.HoldAnswers(false);
    ASSERT_TRUE(PumpUntil([&] { return portal.Answered() == 2; }));
    PumpFor(50);
    EXPECT_EQ(t.form->lbSpeedButtons->Items().Count(), 0);
}

} // namespace
