#include <gtest/gtest.h>

#include "SessionTest.h"
#include "platform/Clock.h"
#include "settings/MSNConfig.h"
#include "ui/UnicodeText.h"

using namespace api;
using namespace settings;
using namespace app;

namespace {

TEST(Session, LogInMonitorsThePhoneLoadsSettingsAndTakesStateAndCapabilities)
{
    ScriptedSession s(0xFFFFFFFFu & ~(1u << capMakeCall));
    ASSERT_TRUE(s.LogIn());
    auto starts = s.Requests(KovraMsg::MONITOR_START_REQ);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].ReadStr(), "secret");
    EXPECT_EQ(starts[0].ReadStr(), "");
    ASSERT_TRUE(
        s.WaitFor([&] { return s.app->form->Capabilities() == (0xFFFFFFFFu & ~(1u << capMakeCall)); }));
    ASSERT_TRUE(s.WaitFor([&] { return s.app->form->PhoneState().FlagA; }));
    EXPECT_EQ(s.app->form->SettingsText(), "|General=\"a=1\"|");
    EXPECT_EQ(KovraAssistantConfig().ReadString("General", "a", ""), "1");
    EXPECT_EQ(s.app->form->pnStatus->Caption(), " Logged in");
    EXPECT_TRUE(s.app->form->tbIcon->Visible());
    EXPECT_TRUE(StartupInfo().Started);
    // Without capMakeCall no page offers a new call.
    EXPECT_EQ(s.app->VisibleLinks().front(), "Pickup a ringing call...");
    EXPECT_EQ(s.app->form->pnStatusVM->Caption(), "Voice Mail: 2");
    // The traffic log of the options window sees what went out.
    const auto& traffic = s.app->traffic;
    EXPECT_NE(
        std::find_if(traffic.begin(), traffic.end(),
                     [](const std::string& line) { return line.rfind("SNT: MONITOR_START_REQ ", 0) == 0; }),
        traffic.end());
}

TEST(Session, DuplicateMonitorIsTakenOverOnceAndThenReportedWithoutLooping)
{
    ScriptedSession s;
    s.loginError = 11;
    s.app->form->StartSession();
    ASSERT_TRUE(s.WaitFor([&] { return s.monitorStarts == 2; }));
    PumpFor(300);
    EXPECT_EQ(s.monitorStarts, 2);
    EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::MONITOR_STOP_REQ, 1), 1u);
    auto starts = s.Requests(KovraMsg::MONITOR_START_REQ);
    ASSERT_EQ(starts.size(), 2u);
    starts[1].ReadStr();
    EXPECT_EQ(starts[1].ReadStr(), "secret"); // the take-over repeats the password
    EXPECT_FALSE(StartupInfo().LoggedIn);
    EXPECT_EQ(s.app->form->pnStatus->Caption(), " Error: (11)  Duplicate Monitor");
    EXPECT_EQ(s.app->form->tbIcon->Hint(), s.app->form->pnStatus->Caption());
}

TEST(Session, TakeOverSucceedsWhenTheServerAcceptsTheRepeatedPassword)
{
    ScriptedSession s;
    s.loginError = 11;
    s.server.OnRequest(KovraMsg::MONITOR_STOP_REQ, [&](ApiTestServer& server, const TReceivedDatagram&) {
        s.loginError = 0;
        server.Send(server.Response(KovraMsg::MONITOR_STOP_RSP, 0));
    });
    s.app->form->StartSession();
    ASSERT_TRUE(s.WaitFor([&] { return StartupInfo().LoggedIn; }));
    EXPECT_EQ(s.monitorStarts, 2);
}

TEST(Session, ServerLossDropsCallsFlashesAndReconnects)
{
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    s.SendCallEvent("0000000000000000000000A1", ceAlerting,
                    {Party("1001", csRinging), Party("4255550123", csDialing)});
    ASSERT_TRUE(s.WaitFor([&] { return s.app->form->lbCalls->Items().Count() == 1; }));
    s.server.Send(ApiTestServer::Event(KovraMsg::DISCONNECT));
    ASSERT_TRUE(s.WaitFor([&] { return s.app->form->tbIcon->Flashing(); }));
    EXPECT_EQ(s.app->form->lbCalls->Items().Count(), 0);
    EXPECT_EQ(s.app->dialogs->popupsAlive, 0);
    EXPECT_EQ(s.app->form->History().Calls().size(), 1u); // kept as it stood, missed
    // The tip is cut at the shell's limit: the server-down line gives way, the missed call stays.
    const std::string tip = s.app->form->tbIcon->Tip();
    EXPECT_EQ(ui::Utf16Length(tip), ui::TTaskBarIcon::kMaxTipLength);
    EXPECT_TRUE(tip.starts_with("KOVRA Server down! Double click this icon")) << tip;
    EXPECT_TRUE(tip.ends_with("\n1 missed call")) << tip;
    ASSERT_TRUE(s.WaitFor([&] { return StartupInfo().LoggedIn && !s.app->form->tbIcon->Flashing(); }));
    EXPECT_EQ(s.monitorStarts, 2);
    EXPECT_FALSE(s.app->form->tmReconnect->Enabled());
}

// Settings go out only when changed, once however often asked; a missed call goes with them.
TEST(Session, SettingsArePublishedOnlyWhenChangedAndMissedCallsSurviveTheRoundTrip)
{
    std::string published;
    {
        ScriptedSession s;
        ASSERT_TRUE(s.LogIn());
        s.app->form->PublishSettings();
        EXPECT_EQ(s.Count(KovraMsg::SET_APPLICATION_DATA_REQ), 0u);
        s.SendCallEvent("0000000000000000000000A1", ceAlerting,
                        {Party("1001", csRinging), Party("4255550123", csDialing)});
        s.SendCallEvent("0000000000000000000000A1", ceCleared,
                        {Party("1001", csGone), Party("4255550123", csGone)});
        ASSERT_TRUE(s.WaitFor([&] { return s.app->form->History().MissedCount() == 1; }));
        s.app->form->PublishSettings();
        s.app->form->PublishSettings();
        auto set = Nth(s, KovraMsg::SET_APPLICATION_DATA_REQ);
        EXPECT_EQ(set.ReadStr(), "KovraAssistant");
        published = set.ReadStr();
        EXPECT_EQ(published, KovraAssistantConfig().GetText());
    }
    ScriptedSession s;
    s.StoreSettings(published);
    ASSERT_TRUE(s.LogIn());
    EXPECT_EQ(KovraAssistantConfig().ReadString("General", "a", ""), "1");
    ASSERT_EQ(s.app->form->History().Calls().size(), 1u);
    EXPECT_EQ(s.app->form->History().Calls()[0].Number, "4255550123");
    EXPECT_EQ(s.app->form->History().MissedCount(), 1);
    EXPECT_TRUE(
        s.app->form->tbIcon->Hint().ends_with("Quenmark " + ui::Application->Title() + "\n1 missed call"))
        << s.app->form->tbIcon->Hint();
}

// The document goes to the server in one datagram: a long history gives way, oldest calls first,
// rather than the server refusing every setting with it.
TEST(Session, LongHistoryGivesWayOldestFirstSoTheDocumentFitsOneDatagram)
{
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    const int calls = 70; // about 80 bytes each in the document: more than a datagram holds
    for (int i = 0; i < calls; ++i) {
        char oid[25], number[11];
        std::snprintf(oid, sizeof oid, "%024d", i + 1);
        std::snprintf(number, sizeof number, "42555%05d", i);
        s.SendCallEvent(oid, ceAlerting,
                        {Party("1001", csRinging), Party(number, csDialing, psNone, std::string(40, 'N'))});
        s.SendCallEvent(oid, ceCleared, {Party("1001", csGone), Party(number, csGone)});
    }
    ASSERT_TRUE(s.WaitFor([&] { return s.app->form->History().Calls().size() == std::size_t(calls); }));
    s.app->form->PublishSettings();
    auto set = Nth(s, KovraMsg::SET_APPLICATION_DATA_REQ);
    EXPECT_LE(set.Size(), api::KOVRA_MAX_DATAGRAM);
    set.ReadStr();
    TKovraAssistantConfig published;
    published.SetText(set.ReadStr());
    EXPECT_EQ(published.ReadString("General", "a", ""), "1");
    TCallHistory history;
    history.Load(published);
    ASSERT_GT(history.Calls().size(), 10u);
    ASSERT_LT(history.Calls().size(), std::size_t(calls));
    EXPECT_EQ(history.Calls().front().Number, "4255500069");
    EXPECT_EQ(history.Calls(), s.app->form->History().Calls()); // what is kept is what was sent
}

// The close asks when so configured, releases the phone and publishes the calls still up.
TEST(Session, CloseAsksOnlyWhenConfiguredAndReleasesThePhone)
{
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    s.app->Answer("0000000000000000000000A1");
    s.app->form->Api()->SetBusy(true);
    EXPECT_FALSE(s.app->form->CloseWindow());
    s.app->form->Api()->SetBusy(false);
    EXPECT_EQ(s.app->dialogs->confirms, 0);

    s.app->dialogs->confirmAnswer = false;
    EXPECT_FALSE(s.app->form->CloseWindow()); // "Confirm"/"Exit" defaults to asking
    EXPECT_EQ(s.app->dialogs->confirms, 1);
    KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
    EXPECT_TRUE(s.app->form->CloseWindow());
    EXPECT_EQ(s.app->dialogs->confirms, 1);
    EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::MONITOR_STOP_REQ, 1), 1u);
    auto set = Nth(s, KovraMsg::SET_APPLICATION_DATA_REQ);
    set.ReadStr();
    TKovraAssistantConfig published;
    published.SetText(set.ReadStr());
    TCallHistory history;
    history.Load(published);
    ASSERT_EQ(history.Calls().size(), 1u);
    EXPECT_EQ(history.Calls()[0].Number, "4255550123");
    EXPECT_TRUE(history.Calls()[0].Answered);
    EXPECT_FALSE(s.app->form->Api()->Connected());
    EXPECT_FALSE(s.app->form->tbIcon->Visible());
    EXPECT_FALSE(StartupInfo().Started);
    EXPECT_TRUE(ui::Application->Terminated());
}

// Alt+F4 and another program's WM_CLOSE reach the toolkit's Close; the end of the Windows session
// reaches it through the tray icon. Each releases the phone and publishes, as the exit menus do.
TEST(Session, EveryClosePathReleasesThePhoneAndPublishes)
{
    const std::vector<std::pair<const char*, std::function<void(TfmKovraAssistant&)>>> paths = {
        {"close", [](TfmKovraAssistant& form) { form.Close(); }},
        {"end of session",
         [](TfmKovraAssistant& form) {
             form.HideForm();
             ui::Application->SetMainForm(&form);
             form.tbIcon->QueryEndSession();
         }},
        {"tray exit", [](TfmKovraAssistant& form) { form.mnIconExit->Click(); }},
        {"phone menu exit", [](TfmKovraAssistant& form) { form.miPhoneExit->Click(); }},
    };
    for (const auto& [name, close] : paths) {
        SCOPED_TRACE(name);
        ScriptedSession s;
        ASSERT_TRUE(s.LogIn());
        KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
        close(*s.app->form);
        EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::SET_APPLICATION_DATA_REQ, 1), 1u);
        EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::MONITOR_STOP_REQ, 1), 1u);
        EXPECT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::DISCONNECT) == 1; }));
        EXPECT_TRUE(s.app->form->Closing());
        EXPECT_TRUE(ui::Application->Terminated());
        // A second close (WM_ENDSESSION after the tray's end) runs nothing again.
        EXPECT_FALSE(s.app->form->CloseWindow());
        EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::MONITOR_STOP_REQ, 1), 1u);
    }
}

// At the end of the Windows session nobody answers a question and the system ends the process
// seconds later: the close asks nothing, publishes the changed settings and releases the phone,
// each wait cut short when the server does not answer.
TEST(Session, EndOfTheWindowsSessionClosesWithoutAskingAndWithinSeconds)
{
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    const auto silent = [](ApiTestServer&, const TReceivedDatagram&) {};
    s.server.OnRequest(KovraMsg::SET_APPLICATION_DATA_REQ, silent);
    s.server.OnRequest(KovraMsg::MONITOR_STOP_REQ, silent);
    KovraAssistantConfig().WriteString("General", "a", "2"); // "Confirm"/"Exit" still asks
    TfmKovraAssistant& form = *s.app->form;
    form.HideForm();
    ui::Application->SetMainForm(&form);
    ui::Application->SetSessionEnding(true);
    const std::uint64_t start = platform::TickCount();
    EXPECT_TRUE(form.tbIcon->QueryEndSession());
    const std::uint64_t took = platform::TickCount() - start;
    EXPECT_EQ(s.app->dialogs->confirms, 0);
    EXPECT_TRUE(ui::Application->Terminated());
    EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::SET_APPLICATION_DATA_REQ, 1), 1u);
    EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::MONITOR_STOP_REQ, 1), 1u);
    EXPECT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::DISCONNECT) == 1; }, 1000));
    // The system allows a few seconds for both messages; the unanswered waits end well before.
    EXPECT_LT(took, 4000u);
    ui::Application->ResetTerminated();
}

TEST(Session, DestroyingTheWindowNeverArmsTheReconnect)
{
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    s.app->form->FormDestroy();
    PumpFor(50);
    EXPECT_FALSE(s.app->form->tmReconnect->Enabled());
    EXPECT_FALSE(s.app->form->tbIcon->Flashing());
    EXPECT_TRUE(s.WaitFor([&] { return s.Count(KovraMsg::DISCONNECT) == 1; }));
}

TEST(Session, PortalLogoIsShownWhole)
{
    AppTest t;
    t.form->imgLogo->SetPicture(ui::TBitmap::Solid(160, 48, 0xFF336699u));
    t.form->LookAndFeelReady();
    EXPECT_EQ(t.form->imgLogo->Width(), 160);
    EXPECT_EQ(t.form->imgLogo->Height(), 48);
    EXPECT_GE(t.form->Panel5->Height(), t.form->imgLogo->Top() + 48);
}

TEST(Session, WithoutServerTheSessionStartsWithoutConnecting)
{
    AppTest t({"-phone", "1001"}, [](TAssistantOptions& options) { options.Network.LocalPort = 0; });
    t.form->StartSession();
    EXPECT_TRUE(t.form->Api()->Active());
    EXPECT_FALSE(t.form->Api()->Connected());
    EXPECT_TRUE(t.form->Api()->Servers().empty());
    EXPECT_FALSE(t.form->Connecting());
}

// The same phone runs the action at once; another phone restarts the session and runs it after the
// new log-in.
TEST(HandOver, SamePhoneRunsTheActionAtOnceAnotherRestartsTheSessionFirst)
{
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    ASSERT_TRUE(s.WaitFor([&] { return s.app->form->InService(); }));
    s.app->form->HandOver(" -MakeCall 4255550123 -phone 1001");
    auto call = Nth(s, KovraMsg::MAKE_CALL_REQ);
    EXPECT_EQ(call.ReadStr(), "4255550123");
    EXPECT_EQ(call.ReadInt32(), 0u);
    EXPECT_EQ(s.Count(KovraMsg::MONITOR_STOP_REQ), 0u);

    s.app->form->HandOver(" -MakeCall 555 -Options 2 -phone 1002 -pwd other -server 127.0.0.1");
    call = Nth(s, KovraMsg::MAKE_CALL_REQ, 2);
    EXPECT_EQ(s.CountWhenAtLeast(KovraMsg::MONITOR_STOP_REQ, 1), 1u);
    EXPECT_EQ(s.RequestDevices(KovraMsg::MONITOR_START_REQ), (std::vector<std::string>{"1001", "1002"}));
    EXPECT_EQ(call.ReadStr(), "555");
    EXPECT_EQ(call.ReadInt32(), 2u);
    EXPECT_EQ(StartupInfo().Password, "other");
    EXPECT_FALSE(s.app->form->Connecting());
    EXPECT_FALSE(ui::Application->Terminated());
}

// A link opened in the first seconds after start, before the log-in: the session keeps who it
// logs in as, and the call is made once it has.
TEST(HandOver, LinkBeforeTheLogInKeepsTheSessionAndDialsAfterIt)
{
    ScriptedSession s;
    s.app->form->HandOver(" -MakeCall 14255551234");
    EXPECT_EQ(StartupInfo().Phone, "1001");
    EXPECT_EQ(StartupInfo().Password, "secret");
    EXPECT_EQ(StartupInfo().PrimaryServer, "127.0.0.1");
    ASSERT_TRUE(s.LogIn());
    EXPECT_EQ(Nth(s, KovraMsg::MAKE_CALL_REQ).ReadStr(), "14255551234");
    EXPECT_EQ(s.RequestDevices(KovraMsg::MONITOR_START_REQ), std::vector<std::string>{"1001"});

    // Refused log-in: the link waits for the next one, which the session makes with its own identity.
    s.server.Send(ApiTestServer::Event(KovraMsg::DISCONNECT));
    ASSERT_TRUE(s.WaitFor([&] { return s.app->form->tbIcon->Flashing(); }));
    s.loginError = 2;
    ASSERT_TRUE(s.WaitFor([&] { return s.monitorStarts == 2; }));
    s.app->form->HandOver(" -MakeCall 555");
    EXPECT_EQ(StartupInfo().Phone, "1001");
    s.loginError = 0;
    s.server.Send(ApiTestServer::Event(KovraMsg::DISCONNECT));
    EXPECT_EQ(Nth(s, KovraMsg::MAKE_CALL_REQ, 2).ReadStr(), "555");
    EXPECT_EQ(s.Count(KovraMsg::MONITOR_STOP_REQ), 0u);
}

// The server is away and a reconnect waits for its answer when the link arrives: it is kept for
// the log-in, not dropped with the identities that must wait their turn.
TEST(HandOver, LinkWhileAReconnectWaitsIsKeptForTheLogIn)
{
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    s.server.AnswerLogin = false;
    s.server.Send(ApiTestServer::Event(KovraMsg::DISCONNECT));
    bool handed = false;
    ui::TTimer probe(nullptr); // runs inside the reconnect's wait
    probe.SetInterval(5);
    probe.OnTimer = [&](ui::TComponent*) {
        if (handed || !s.app->form->Connecting())
            return;
        handed = true;
        s.app->form->HandOver(" -MakeCall 555");
        s.server.AnswerLogin = true;
    };
    probe.SetEnabled(true);
    ASSERT_TRUE(s.WaitFor([&] { return handed; }));
    EXPECT_EQ(Nth(s, KovraMsg::MAKE_CALL_REQ).ReadStr(), "555");
    EXPECT_EQ(StartupInfo().Phone, "1001");
}

TEST(HandOver, ArrivingWhileTheWindowClosesOrIsGoneIsDropped)
{
    ScriptedSession s;
    ASSERT_TRUE(s.LogIn());
    KovraAssistantConfig().WriteInteger("Confirm", "Exit", 0);
    s.app->form->ReceiveHandOver(" -MakeCall 555 -phone 1002");
    ASSERT_TRUE(s.app->form->CloseWindow());
    PumpFor(100);
    EXPECT_EQ(s.monitorStarts, 1);
    EXPECT_FALSE(StartupInfo().Started);

    s.app->form->ReceiveHandOver(" -MakeCall 555");
    s.app->form.reset();
    PumpFor(50); // the posted hand-over finds no window
    EXPECT_EQ(s.Count(KovraMsg::MAKE_CALL_REQ), 0u);
}

} // namespace
