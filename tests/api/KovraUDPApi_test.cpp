#include "api/KovraUDPApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ApiTestServer.h"
#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/UdpSocket.h"

using namespace api;

namespace {

constexpr std::uint32_t kInvokeId = 7;
const std::string kDevice = "SIP/100";
const std::string kOid = "0123456789ABCDEF01234567";
const std::string kOid2 = "FEDCBA987654321000000001";

// A datagram after its sequence number.
std::vector<std::uint8_t> Body(const std::vector<std::uint8_t>& bytes)
{
    return std::vector<std::uint8_t>(bytes.begin() + 4, bytes.end());
}
std::vector<std::uint8_t> Body(const TKovraAPIMsg& msg)
{
    return Body(msg.Bytes());
}

// The expected request, built with the codec under test's own rules.
TMsgBuilder Request(std::uint32_t type, const std::string& device = kDevice)
{
    return TMsgBuilder(type, 0).Int(kInvokeId).Str(device);
}

TKovraAPITimings TestTimings()
{
    TKovraAPITimings timings = TKovraAPITimings::ScaledDown(10);
    // The timers only run in the tests that are about them.
    timings.KeepAlive = 600000;
    timings.Watchdog = 600000;
    return timings;
}

// The events with one shape each, with the response type that raises them (0: none does).
using ErrorEvent = TKovraEvent TKovraAPI::*;
using MeetmeEvent = TKovraMeetmeEvent TKovraAPI::*;
using CallEvent = TKovraCallEvent TKovraAPI::*;
const std::vector<std::pair<std::uint32_t, ErrorEvent>> kErrorEvents = {
    {281, &TKovraAPI::OnLogout},
    {259, &TKovraAPI::OnAnswerCall},
    {261, &TKovraAPI::OnCompleteTransfer},
    {263, &TKovraAPI::OnCompleteConference},
    {265, &TKovraAPI::OnDialDigits},
    {267, &TKovraAPI::OnDropCall},
    {271, &TKovraAPI::OnHoldCall},
    {283, &TKovraAPI::OnParkCall},
    {285, &TKovraAPI::OnPickupCall},
    {289, &TKovraAPI::OnQueryPhoneState},
    {295, &TKovraAPI::OnRedirectCall},
    {297, &TKovraAPI::OnRetrieveCall},
    {303, &TKovraAPI::OnSetForwarding},
    {305, &TKovraAPI::OnDoNotDisturb},
    {311, &TKovraAPI::OnSingleTransfer},
    {313, &TKovraAPI::OnSingleConference},
    {323, &TKovraAPI::OnConferenceCall},
    {325, &TKovraAPI::OnDropConference},
    {339, &TKovraAPI::OnVoiceMail},
    {521, &TKovraAPI::OnApplicationSetData},
    {781, &TKovraAPI::OnMeetmeOperator},
    // Published, but raised by nothing: ALTERNATE_CALL_RSP and FAILURE_RSP only reach OnReceive.
    {0, &TKovraAPI::OnAlternateCall},
    {0, &TKovraAPI::OnError},
};
const std::vector<std::pair<std::uint32_t, MeetmeEvent>> kMeetmeEvents = {
    {777, &TKovraAPI::OnMeetmeLogout},      {771, &TKovraAPI::OnMeetmeLock},
    {779, &TKovraAPI::OnMeetmeMute},        {769, &TKovraAPI::OnMeetmeDropCall},
    {785, &TKovraAPI::OnMeetmeRollCall},    {773, &TKovraAPI::OnMeetmeModify},
    {787, &TKovraAPI::OnMeetmeSetCallInfo}, {789, &TKovraAPI::OnMeetmeAckHand},
};
const std::vector<std::pair<std::uint32_t, CallEvent>> kCallEvents = {
    {275, &TKovraAPI::OnMakeCall}, {307, &TKovraAPI::OnSetupTransfer}, {309, &TKovraAPI::OnSetupConference}};

// Handlers capture the test's locals; they must not outlive it when the session ends.
void ClearHandlers(TKovraAPI& session)
{
    for (const auto& entry : kErrorEvents)
        session.*entry.second = nullptr;
    for (const auto& entry : kMeetmeEvents)
        session.*entry.second = nullptr;
    for (const auto& entry : kCallEvents)
        session.*entry.second = nullptr;
    session.OnLogin = nullptr;
    session.OnConnected = nullptr;
    session.OnDisconnected = nullptr;
    session.OnGetForwarding = nullptr;
    session.OnPhoneState = nullptr;
    session.OnQueryPhoneConfig = nullptr;
    session.OnCallConnection = nullptr;
    session.OnReceive = nullptr;
    session.OnSend = nullptr;
    session.OnApplicationGetData = nullptr;
    session.OnMeetmeLogin = nullptr;
    session.OnMeetmeQuery = nullptr;
    session.OnMeetmeChanged = nullptr;
    session.OnMeetmeConnections = nullptr;
}

class ApiSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.InvokeID = kInvokeId;
        server.OnRequest(KovraMsg::MONITOR_START_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
            s.Send(s.Response(KovraMsg::MONITOR_START_RSP, 0).Int(5).Str(kDevice).Int(1));
        });
        Configure(api);
    }
    void TearDown() override { ClearHandlers(api); }

    void Configure(TKovraAPI& session, const TKovraAPITimings& timings = TestTimings())
    {
        session.SetTimings(timings);
        session.SetLocalAddress("127.0.0.1");
        session.SetPort(0);
        session.SetServerPort(server.Port());
        session.SetInvokeID(kInvokeId);
        session.SetClientName("kovratest");
        session.SetClientVersion("1.2");
        session.AddServer(server.Address());
        session.SetActive(true);
    }

    void ConnectAndMonitor()
    {
        std::string device;
        api.OnLogin = [&](TKovraAPI&, std::uint32_t, std::uint32_t, const std::string& szDevice,
                          std::uint32_t) { device = szDevice; };
        ASSERT_TRUE(api.Connect());
        api.MonitorStart("100", "secret");
        ASSERT_TRUE(PumpUntil([&] { return !device.empty(); }));
        api.OnLogin = nullptr;
    }

    // The body of the next datagram of this type the server receives.
    std::vector<std::uint8_t> NextBody(std::uint32_t type, std::size_t before)
    {
        if (!PumpUntil([&] { return server.Count(type) > before; }))
            return {};
        return Body(server.ReceivedOfType(type).back().Bytes);
    }

    ApiTestServer server;
    TKovraAPI api;
};

TEST(ApiServerList, AddServerKeepsOneEntryPerAddressAndSetsTheIndexOnce)
{
    TKovraAPI api;
    EXPECT_EQ(api.ActiveServerIndex(), -1);
    api.AddServer("127.0.0.2");
    EXPECT_EQ(api.ActiveServerIndex(), 0);
    api.AddServer("127.0.0.3");
    api.SetActiveServerIndex(1);
    api.AddServer("127.0.0.2");
    api.AddServer("localhost"); // resolves to an address
    EXPECT_EQ(api.ActiveServerIndex(), 1);
    ASSERT_GE(api.Servers().size(), 3u);
    EXPECT_EQ(api.Servers()[0], "127.0.0.2");
    EXPECT_EQ(api.Servers()[1], "127.0.0.3");
    EXPECT_EQ(api.ActiveServerAddress(), "127.0.0.3");
    const std::size_t count = api.Servers().size();
    api.AddServer("LOCALHOST");
    EXPECT_EQ(api.Servers().size(), count);
    api.ClearServers();
    EXPECT_TRUE(api.Servers().empty());
    EXPECT_EQ(api.ActiveServerIndex(), -1);
    EXPECT_EQ(api.ActiveServerAddress(), "");
}

TEST_F(ApiSession, PortAndServerPortAreTakenOnlyWhileInactive)
{
    const std::uint16_t bound = api.BoundPort();
    EXPECT_NE(bound, 0);
    api.SetPort(1234);
    api.SetServerPort(1);
    EXPECT_EQ(api.Port(), 0);
    EXPECT_EQ(api.ServerPort(), server.Port());
    EXPECT_TRUE(api.Active());
    api.SetActive(false);
    EXPECT_FALSE(api.Active());
    EXPECT_EQ(api.BoundPort(), 0);
}

TEST_F(ApiSession, LoginRequestCarriesVersionAndClientAndConnectReportsIt)
{
    std::vector<std::string> connected;
    api.OnConnected = [&](TKovraAPI& sender, std::uint32_t dwError, const std::string& szServer) {
        EXPECT_EQ(&sender, &api);
        EXPECT_EQ(dwError, 0u);
        connected.push_back(szServer);
    };
    server.SetVersions("2.4", "kovra 9");
    ASSERT_TRUE(api.Connect());
    EXPECT_TRUE(api.Connected());
    EXPECT_EQ(connected, std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(api.ApiVersion(), "2.4");
    EXPECT_EQ(api.ServerVersion(), "kovra 9");
    EXPECT_FALSE(api.Busy());

    const auto logins = server.ReceivedOfType(KovraMsg::LOGIN_REQ);
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].Seq, 0u);
    EXPECT_EQ(
        Body(logins[0].Bytes),
        Body(TMsgBuilder(KovraMsg::LOGIN_REQ, 0).Int(kInvokeId).Str("2.0").Str("kovratest").Str("1.2")));
    // LOGIN_RSP (numbered 0) is acknowledged by a bare header carrying its number.
    ASSERT_TRUE(server.AwaitCount(KovraMsg::ACK, 1, 2000));
    const auto acks = server.ReceivedOfType(KovraMsg::ACK);
    EXPECT_EQ(acks[0].Seq, 0u);
    EXPECT_EQ(acks[0].Bytes.size(), 8u);

    // Connected already: true at once, no event, no new log-in.
    EXPECT_TRUE(api.Connect());
    EXPECT_EQ(connected.size(), 1u);
    EXPECT_EQ(server.Count(KovraMsg::LOGIN_REQ), 1u);

    // Without a client name the request ends after the protocol version.
    api.Disconnect(false);
    api.SetClientName("");
    api.SetClientVersion("9.9");
    ASSERT_TRUE(api.Connect());
    const auto again = server.ReceivedOfType(KovraMsg::LOGIN_REQ);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(Body(again[1].Bytes), Body(TMsgBuilder(KovraMsg::LOGIN_REQ, 0).Int(kInvokeId).Str("2.0")));
    // The new session numbers its requests from 1 again.
    api.HoldCall(kDevice, kOid);
    ASSERT_TRUE(PumpUntil([&] { return server.Count(KovraMsg::HOLD_CALL_REQ) == 1; }));
    EXPECT_EQ(server.ReceivedOfType(KovraMsg::HOLD_CALL_REQ)[0].Seq, 1u);
}

TEST_F(ApiSession, RefusedLoginLeavesTheSessionDownButStillReportsConnectedWithNoError)
{
    server.LoginError = 13;
    int reports = 0;
    api.OnConnected = [&](TKovraAPI&, std::uint32_t dwError, const std::string&) {
        EXPECT_EQ(dwError, 0u);
        ++reports;
    };
    EXPECT_FALSE(api.Connect());
    EXPECT_FALSE(api.Connected());
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(api.LastError(), 0u);
}

TEST_F(ApiSession, LoginAnswerAfterConnectGaveUpIsAcknowledgedAndIgnored)
{
    server.AnswerLogin = false;
    std::vector<bool> reports;
    api.OnConnected = [&](TKovraAPI& sender, std::uint32_t, const std::string&) {
        reports.push_back(sender.Connected());
    };
    EXPECT_FALSE(api.Connect());
    const std::size_t acks = server.Count(KovraMsg::ACK);
    server.Send(server.Response(KovraMsg::LOGIN_RSP, 0).Str("2.3").Str("late"));
    ASSERT_TRUE(PumpUntil([&] { return server.Count(KovraMsg::ACK) > acks; }));
    PumpFor(50);
    EXPECT_FALSE(api.Connected());
    EXPECT_EQ(api.ServerVersion(), "");
    // The next Connect logs in again and reports it.
    server.AnswerLogin = true;
    EXPECT_TRUE(api.Connect());
    EXPECT_EQ(reports, (std::vector<bool>{false, true}));
    EXPECT_EQ(server.Count(KovraMsg::LOGIN_REQ), 2u);
}

TEST_F(ApiSession, SendFailureOtherThanUnreachableLeavesConnectWithBusyCleared)
{
    api.ClearServers();
    api.AddServer("255.255.255.255"); // refused without the broadcast option
    try {
        api.Connect();
        ADD_FAILURE() << "Connect returned";
    } catch (const EKovraSocketError& e) {
        EXPECT_NE(e.Code, platform::kSocketHostUnreachable);
    }
    EXPECT_FALSE(api.Busy());
    api.ClearServers();
    api.AddServer(server.Address());
    EXPECT_TRUE(api.Connect());
}

TEST_F(ApiSession, EveryRequestCarriesItsFieldsInOrder)
{
    ConnectAndMonitor();
    struct Case {
        const char* Name;
        std::function<void(TKovraAPI&)> Call;
        TMsgBuilder Expected;
    };
    const std::vector<Case> cases = {
        {"MakeCall", [](TKovraAPI& a) { a.MakeCall(kDevice, "555", 3); },
         Request(KovraMsg::MAKE_CALL_REQ).Str("555").Int(3)},
        {"AnswerCall", [](TKovraAPI& a) { a.AnswerCall(kDevice, kOid); },
         Request(KovraMsg::ANSWER_CALL_REQ).Oid(kOid)},
        {"HoldCall", [](TKovraAPI& a) { a.HoldCall(kDevice, kOid); },
         Request(KovraMsg::HOLD_CALL_REQ).Oid(kOid)},
        {"RetrieveCall", [](TKovraAPI& a) { a.RetrieveCall(kDevice, kOid); },
         Request(KovraMsg::RETRIEVE_CALL_REQ).Oid(kOid)},
        {"ParkCall", [](TKovraAPI& a) { a.ParkCall(kDevice, kOid); },
         Request(KovraMsg::PARK_CALL_REQ).Oid(kOid)},
        {"DropCall", [](TKovraAPI& a) { a.DropCall(kDevice, kOid); },
         Request(KovraMsg::DROP_CONNECTION_REQ).Oid(kOid)},
        {"AlternateCall", [](TKovraAPI& a) { a.AlternateCall(kDevice, kOid, kOid2); },
         Request(KovraMsg::ALTERNATE_CALL_REQ).Oid(kOid).Oid(kOid2)},
        {"PickupCall", [](TKovraAPI& a) { a.PickupCall(kDevice, "201"); },
         Request(KovraMsg::PICKUP_CALL_REQ).Str("201")},
        {"RedirectCall", [](TKovraAPI& a) { a.RedirectCall(kDevice, kOid, "777", 6, 0); },
         Request(KovraMsg::REDIRECT_CALL_REQ).Oid(kOid).Int(6).Str("777").Int(0)},
        {"DialDigits", [](TKovraAPI& a) { a.DialDigits(kDevice, kOid, "4"); },
         Request(KovraMsg::DIAL_DIGITS_REQ).Oid(kOid).Str("4")},
        {"Transfer", [](TKovraAPI& a) { a.Transfer(kDevice, kOid, "300", 0, false); },
         Request(KovraMsg::SETUP_TRANSFER_REQ).Oid(kOid).Str("300").Int(0)},
        {"Transfer single", [](TKovraAPI& a) { a.Transfer(kDevice, kOid, "301", 2, true); },
         Request(KovraMsg::SINGLE_STEP_TRANSFER_REQ).Oid(kOid).Str("301").Int(2)},
        {"Conference", [](TKovraAPI& a) { a.Conference(kDevice, kOid, "302", 0, false); },
         Request(KovraMsg::SETUP_CONFERENCE_REQ).Oid(kOid).Str("302").Int(0)},
        {"Conference single", [](TKovraAPI& a) { a.Conference(kDevice, kOid, "303", 1, true); },
         Request(KovraMsg::SINGLE_STEP_CONFERENCE_REQ).Oid(kOid).Str("303").Int(1)},
        {"CompleteTransfer", [](TKovraAPI& a) { a.CompleteTransfer(kDevice, kOid, kOid2); },
         Request(KovraMsg::COMPLETE_TRANSFER_REQ).Oid(kOid).Oid(kOid2)},
        {"CompleteConference", [](TKovraAPI& a) { a.CompleteConference(kDevice, kOid, kOid2); },
         Request(KovraMsg::COMPLETE_CONFERENCE_REQ).Oid(kOid).Oid(kOid2)},
        {"ConferenceCall", [](TKovraAPI& a) { a.ConferenceCall(kDevice, kOid, kOid2); },
         Request(KovraMsg::CONFERENCE_CALL_REQ).Oid(kOid).Oid(kOid2)},
        {"DropConference", [](TKovraAPI& a) { a.DropConference(kDevice, kOid, "204"); },
         Request(KovraMsg::DROP_CONFERENCE_CONNECTION_REQ).Oid(kOid).Str("204")},
        {"SetDoNotDisturb", [](TKovraAPI& a) { a.SetDoNotDisturb(kDevice, true); },
         Request(KovraMsg::SET_DO_NOT_DISTURB_REQ).Int(1)},
        {"ApplicationSetData",
         [](TKovraAPI& a) { a.ApplicationSetData(kDevice, "KovraAssistant", false, "x=1"); },
         Request(KovraMsg::SET_APPLICATION_DATA_REQ).Str("KovraAssistant").Str("x=1")},
        {"SetForwarding", [](TKovraAPI& a) { a.SetForwarding(kDevice, "999", 1000, 2); },
         Request(KovraMsg::SET_CALL_FORWARDING_REQ).Int(2).Str("999")},
        {"MonitorStop", [](TKovraAPI& a) { a.MonitorStop(kDevice, 0); }, Request(KovraMsg::MONITOR_STOP_REQ)},
        {"Disconnect", [](TKovraAPI& a) { a.Disconnect(true); },
         TMsgBuilder(KovraMsg::DISCONNECT, 0).Int(kInvokeId)},
    };
    for (const Case& c : cases) {
        const std::uint32_t type = c.Expected.dwMsgType;
        const std::size_t before = server.Count(type);
        c.Call(api);
        EXPECT_EQ(NextBody(type, before), Body(c.Expected)) << c.Name;
    }
    const auto starts = server.ReceivedOfType(KovraMsg::MONITOR_START_REQ);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(Body(starts[0].Bytes), Body(Request(KovraMsg::MONITOR_START_REQ, "100").Str("secret").Str("")));
    // The first request after the log-in is numbered 1.
    EXPECT_EQ(starts[0].Seq, 1u);
    // The server is told of the session's end once, and only while there is one.
    EXPECT_FALSE(api.Connected());
    api.Disconnect(true);
    PumpFor(50);
    EXPECT_EQ(server.Count(KovraMsg::DISCONNECT), 1u);
}

TEST_F(ApiSession, RequestsWhileNotConnectedSendNothing)
{
    int disconnected = 0;
    api.OnDisconnected = [&](TKovraAPI&) { ++disconnected; };
    api.Disconnect(true); // no session: no DISCONNECT, no event
    api.MakeCall(kDevice, "555", 0);
    api.MonitorStart("100", "pw");
    TKovraCallForwarding forwarding;
    EXPECT_FALSE(api.GetForwarding(kDevice, forwarding));
    std::uint32_t error = 99;
    EXPECT_FALSE(api.RedirectCallWait(error, kDevice, kOid, "1", 1, 0));
    EXPECT_EQ(error, 0u);
    PumpFor(50);
    EXPECT_TRUE(server.Received().empty());
    EXPECT_EQ(disconnected, 0);
}

TEST_F(ApiSession, ServerDisconnectEndsTheSessionWithoutReply)
{
    int disconnected = 0;
    api.OnDisconnected = [&](TKovraAPI&) { ++disconnected; };
    ASSERT_TRUE(api.Connect());
    server.Send(ApiTestServer::Event(KovraMsg::DISCONNECT));
    ASSERT_TRUE(PumpUntil([&] { return disconnected == 1; }));
    EXPECT_FALSE(api.Connected());
    PumpFor(100);
    EXPECT_EQ(server.Count(KovraMsg::DISCONNECT), 0u);
    // A new session can follow.
    EXPECT_TRUE(api.Connect());
}

class ApiVoiceMail : public ApiSession, public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(ApiVoiceMail, CarriesItsFieldsOnlyFromVersion2Point3ComparedByteWise)
{
    const auto [version, withFields] = GetParam();
    server.SetVersions(version, "srv");
    ConnectAndMonitor();
    const std::size_t before = server.Count(KovraMsg::VOICE_MAIL_REQ);
    api.VoiceMail(kDevice, 2, "1234", 1, 3);
    TMsgBuilder expected = Request(KovraMsg::VOICE_MAIL_REQ);
    if (withFields)
        expected.Int(2).Str("1234").Int(1).Int(3);
    EXPECT_EQ(NextBody(KovraMsg::VOICE_MAIL_REQ, before), Body(expected));
}

INSTANTIATE_TEST_SUITE_P(Versions, ApiVoiceMail,
                         ::testing::Values(std::make_pair("2.2", false), std::make_pair("2.10", false),
                                           std::make_pair("", false), std::make_pair("2.3", true),
                                           std::make_pair("3.0", true)));

// Each operation that waits for its answer: none comes (it times out, the session stays), then
// its answer comes and is returned, while the caller's own handler of that answer stays out of it.
TEST_F(ApiSession, WaitingOperationsReturnTheirAnswersAndKeepTheCallersHandlersOutOfThem)
{
    ConnectAndMonitor();
    TKovraPhoneConfig config;
    EXPECT_FALSE(api.QueryPhoneConfig(kDevice, config));
    std::string value;
    EXPECT_FALSE(api.ApplicationGetData(kDevice, "app", value));
    EXPECT_TRUE(api.Connected());
    EXPECT_FALSE(api.Busy());

    std::atomic<std::uint32_t> answerError{0}; // read by the server's thread
    server.OnRequest(KovraMsg::QUERY_PHONE_CONFIG_REQ, [&](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::QUERY_PHONE_CONFIG_RSP, answerError).Str("cfg").Int(1).Int(2).Int(0x55));
    });
    int callerRaised = 0;
    api.OnQueryPhoneConfig = [&](TKovraAPI&, std::uint32_t, const TKovraPhoneConfig&) { ++callerRaised; };
    ASSERT_TRUE(api.QueryPhoneConfig(kDevice, config));
    EXPECT_EQ(config.ConfigText, "cfg");
    EXPECT_EQ(config.ConfigValue1, 1u);
    EXPECT_EQ(config.ConfigValue2, 2u);
    EXPECT_EQ(config.Capabilities, 0x55u);
    answerError = 21;
    TKovraPhoneConfig untouched;
    untouched.ConfigText = "before";
    std::uint32_t error = 0;
    EXPECT_FALSE(api.QueryPhoneConfig(kDevice, untouched, &error));
    EXPECT_EQ(error, 21u);
    EXPECT_EQ(untouched.ConfigText, "before");
    EXPECT_EQ(callerRaised, 0);
    // Restored: an answer outside a wait reaches the caller again.
    server.Send(server.Response(KovraMsg::QUERY_PHONE_CONFIG_RSP, 0).Str("late"));
    EXPECT_TRUE(PumpUntil([&] { return callerRaised == 1; }));

    // QueryPhoneState completes with the phone-state event that follows its answer.
    server.OnRequest(KovraMsg::QUERY_PHONE_STATE_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::QUERY_PHONE_STATE_RSP, 0));
        // FlagA, DoNotDisturb, VoiceMailCount (travels seventh), Forwarded, FlagB, FlagC
        TMsgBuilder state = ApiTestServer::Event(KovraMsg::PHONE_STATE_EVENT);
        s.Send(
            state.Int(5).Str(kDevice).Int(3).Int(0).Bool(true).Bool(false).Int(4).Bool(true).Bool(false).Bool(
                true));
    });
    // The waiter takes the event: the caller's handler does not see it.
    callerRaised = 0;
    api.OnPhoneState = [&](TKovraAPI&, const TKovraPhoneState&) { ++callerRaised; };
    TKovraPhoneState state;
    ASSERT_TRUE(api.QueryPhoneState(kDevice, state));
    EXPECT_EQ(state.MonitorID, 5u);
    EXPECT_EQ(state.Device, kDevice);
    EXPECT_EQ(state.PhoneState, 3u);
    EXPECT_DOUBLE_EQ(state.StateTime, platform::UtcSecondsToLocal(0));
    EXPECT_TRUE(state.FlagA);
    EXPECT_FALSE(state.DoNotDisturb);
    EXPECT_EQ(state.VoiceMailCount, 4u);
    EXPECT_TRUE(state.Forwarded);
    EXPECT_FALSE(state.FlagB);
    EXPECT_TRUE(state.FlagC);
    EXPECT_EQ(callerRaised, 0);

    // GetForwarding is busy while it waits: Connect is refused and Disconnect ignored meanwhile.
    server.OnRequest(KovraMsg::GET_CALL_FORWARDING_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::GET_CALL_FORWARDING_RSP, 0).Str("1").Str("2").Str("").Str("4"));
    });
    bool busySeen = false;
    api.OnReceive = [&](TKovraAPI& sender, std::uint32_t, std::uint32_t) {
        busySeen = busySeen || sender.Busy();
        if (sender.Busy()) {
            EXPECT_FALSE(sender.Connect());
            sender.Disconnect(true);
            EXPECT_TRUE(sender.Connected());
        }
    };
    TKovraCallForwarding forwarding;
    ASSERT_TRUE(api.GetForwarding(kDevice, forwarding));
    EXPECT_TRUE(busySeen);
    EXPECT_FALSE(api.Busy());
    EXPECT_EQ(forwarding.ForwardAll, "1");
    EXPECT_EQ(forwarding.ForwardBusy, "2");
    EXPECT_EQ(forwarding.ForwardNoAnswer, "");
    EXPECT_EQ(forwarding.ForwardOutOfService, "4");
    EXPECT_EQ(server.Count(KovraMsg::DISCONNECT), 0u);
    api.OnReceive = nullptr;

    server.OnRequest(KovraMsg::REDIRECT_CALL_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::REDIRECT_CALL_RSP, 3));
    });
    EXPECT_FALSE(api.RedirectCallWait(error, kDevice, kOid, "", 2, 0));
    EXPECT_EQ(error, 3u);
}

// A stop-and-wait burst with every tenth message sent twice, acknowledged while the main thread
// is away: then each message is seen as received, its ACK as sent, then its event, exactly once
// and in order; a repeat only as received and acknowledged again.
TEST_F(ApiSession, BurstWithRepeatsKeepsReceiveAckEventOrderWithoutLossOrDuplicates)
{
    ConnectAndMonitor();
    using Seen = std::tuple<char, std::uint32_t, std::uint32_t>;
    std::vector<Seen> seen, expected;
    api.OnReceive = [&](TKovraAPI&, std::uint32_t seq, std::uint32_t type) {
        seen.emplace_back('R', type, seq);
    };
    api.OnSend = [&](TKovraAPI&, std::uint32_t seq, std::uint32_t type) {
        seen.emplace_back('S', type, seq);
    };
    // The handler sees its answer's error as the session's last error, and only while it runs.
    api.OnAnswerCall = [&](TKovraAPI& sender, std::uint32_t dwError) {
        EXPECT_EQ(sender.LastError(), dwError);
        seen.emplace_back('E', dwError, 0);
    };
    constexpr std::uint32_t kBurst = 10000;
    std::size_t acks = server.Count(KovraMsg::ACK);
    for (std::uint32_t i = 0; i < kBurst; ++i) {
        TKovraAPIMsg msg = server.Response(KovraMsg::ANSWER_CALL_RSP, i);
        const std::uint32_t seq = server.Send(msg);
        const int copies = i % 10 == 0 ? 2 : 1;
        if (copies == 2) {
            msg.StampSequence(seq);
            server.SendRaw(msg.Bytes());
        }
        for (int c = 0; c < copies; ++c) {
            expected.emplace_back('R', KovraMsg::ANSWER_CALL_RSP, seq);
            expected.emplace_back('S', KovraMsg::ACK, seq);
            if (c == 0)
                expected.emplace_back('E', i, 0);
        }
        acks += static_cast<std::size_t>(copies);
        // The main thread does not run meanwhile: everything the application sees waits for it.
        ASSERT_TRUE(server.AwaitCount(KovraMsg::ACK, acks)) << "message " << i;
    }
    ASSERT_TRUE(PumpUntil([&] { return seen.size() >= expected.size(); }));
    PumpFor(50);
    ASSERT_EQ(seen.size(), expected.size());
    const auto first = std::mismatch(seen.begin(), seen.end(), expected.begin()).first;
    EXPECT_EQ(first, seen.end()) << "first difference at " << (first - seen.begin());
    EXPECT_TRUE(api.Connected());
    EXPECT_EQ(api.LastError(), 0u);
}

// The ACK is the worker's: a handler that keeps the main thread from running does not hold it up.
TEST_F(ApiSession, MessageIsAcknowledgedWhileTheMainThreadIsBlockedInAHandler)
{
    ConnectAndMonitor();
    std::uint32_t second = 0;
    bool acknowledgedWhileBlocked = false;
    std::vector<std::uint32_t> events;
    auto ackedByServer = [&](std::uint32_t seq) {
        for (const TReceivedDatagram& d : server.ReceivedOfType(KovraMsg::ACK))
            if (d.Seq == seq)
                return true;
        return false;
    };
    api.OnAnswerCall = [&](TKovraAPI&, std::uint32_t dwError) {
        events.push_back(dwError);
        if (dwError != 1)
            return;
        second = server.Send(server.Response(KovraMsg::ANSWER_CALL_RSP, 2));
        // Blocked without running the loop, for up to 3 s: longer than the server's 2 s wait
        // before it would send the message again.
        const std::uint64_t until = platform::TickCount() + 3000;
        while (!(acknowledgedWhileBlocked = ackedByServer(second)) && platform::TickCount() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    server.Send(server.Response(KovraMsg::ANSWER_CALL_RSP, 1));
    ASSERT_TRUE(PumpUntil([&] { return events.size() == 2; }));
    EXPECT_TRUE(acknowledgedWhileBlocked);
    EXPECT_EQ(events, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_TRUE(api.Connected());
}

// A handler that runs the loop (a modal window) gets the events behind its own there: one that
// was already waiting and one that arrives meanwhile.
TEST_F(ApiSession, HandlerThatRunsTheLoopGetsTheLaterEventsInOrder)
{
    // An idle worker that wakes only now and then: none of its rounds brings an event late.
    TKovraAPITimings timings = TestTimings();
    timings.Exchange.ReadWait = 60000;
    api.SetActive(false);
    api.SetTimings(timings);
    api.SetActive(true);
    ConnectAndMonitor();
    std::vector<std::uint32_t> events, waiting, arriving;
    api.OnAnswerCall = [&](TKovraAPI&, std::uint32_t dwError) {
        events.push_back(dwError);
        if (dwError != 1)
            return;
        PumpUntil([&] { return events.size() >= 2; }, 2000);
        waiting = events;
        server.Send(server.Response(KovraMsg::ANSWER_CALL_RSP, 3));
        PumpUntil([&] { return events.size() >= 3; }, 2000);
        arriving = events;
    };
    const std::size_t acks = server.Count(KovraMsg::ACK);
    server.Send(server.Response(KovraMsg::ANSWER_CALL_RSP, 1));
    server.Send(server.Response(KovraMsg::ANSWER_CALL_RSP, 2));
    ASSERT_TRUE(server.AwaitCount(KovraMsg::ACK, acks + 2));
    // The worker is done with both before the loop runs, so nothing it does then brings the second.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(PumpUntil([&] { return !arriving.empty(); }));
    EXPECT_EQ(waiting, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(arriving, (std::vector<std::uint32_t>{1, 2, 3}));
    PumpFor(50);
    EXPECT_EQ(events, (std::vector<std::uint32_t>{1, 2, 3}));
}

// A call connection event with a given count and the parties that actually follow.
TMsgBuilder CallConnection(std::uint32_t count, int parties, bool withRelated)
{
    TMsgBuilder event = ApiTestServer::Event(KovraMsg::CALL_CONNECTION_EVENT);
    event.Int(5).Str(kDevice).Oid(kOid).Int(6).Int(22).Int(86400).Int(count);
    for (int party = 0; party < parties; ++party) {
        // Names are UTF-8.
        event.Int(60 * party).Str(party == 0 ? "100" : "555").Str(party == 0 ? "Me" : "Zoë");
        event.Int(10 + party).Int(20 + party);
    }
    if (withRelated)
        event.Oid(kOid2);
    return event;
}

// The fields in wire order reach the handler in its declared order; a count the datagram cannot
// carry is bounded by the parties present.
TEST_F(ApiSession, CallConnectionEventKeepsWireAndDeclaredOrderApartAndItsCountBounded)
{
    ConnectAndMonitor();
    struct Seen {
        int Count;
        std::string Related;
        std::vector<TKovraCallConnection> Connections;
    };
    std::vector<Seen> seen;
    api.OnCallConnection = [&](TKovraAPI& sender, std::uint32_t dwMonitorID, const std::string& szDevice,
                               const std::string& oidCall, const std::string& oidRelated,
                               std::uint32_t dwEvent, std::uint32_t dwEventCause, TKovraDateTime dtEventTime,
                               int nCount, const std::vector<TKovraCallConnection>& Connections) {
        EXPECT_EQ(sender.LastError(), 0u);
        EXPECT_EQ(dwMonitorID, 5u);
        EXPECT_EQ(szDevice, kDevice);
        EXPECT_EQ(oidCall, kOid);
        EXPECT_EQ(dwEvent, 6u);
        EXPECT_EQ(dwEventCause, 22u);
        EXPECT_DOUBLE_EQ(dtEventTime, platform::UtcSecondsToLocal(86400));
        seen.push_back({nCount, oidRelated, Connections});
    };
    server.Send(CallConnection(2, 2, true));
    server.Send(CallConnection(0, 0, true));
    server.Send(CallConnection(0xFFFFFFFF, 2, false));
    server.Send(CallConnection(1000000, 0, false));
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == 4; }));
    EXPECT_EQ(seen[0].Related, kOid2);
    ASSERT_EQ(seen[0].Count, 2);
    ASSERT_EQ(seen[0].Connections.size(), 2u);
    const TKovraCallConnection& far = seen[0].Connections[1];
    EXPECT_EQ(far.PartyNumber, "555");
    EXPECT_EQ(far.PartyName, "Zoë");
    EXPECT_EQ(far.PartyState, 11u);
    EXPECT_EQ(far.PartyConnState, 21u);
    EXPECT_DOUBLE_EQ(far.PartyTime, platform::UtcSecondsToLocal(60));
    EXPECT_EQ(seen[1].Count, 0);
    EXPECT_TRUE(seen[1].Connections.empty());
    EXPECT_EQ(seen[1].Related, kOid2); // still carried with no parties
    EXPECT_EQ(seen[2].Count, 2);
    EXPECT_EQ(seen[2].Connections.size(), 2u);
    EXPECT_EQ(seen[3].Count, 0);
    EXPECT_TRUE(seen[3].Connections.empty());
    EXPECT_TRUE(api.Connected());
}

// One fragment of a meet-me party list.
TMsgBuilder MeetmeFragment(std::uint32_t confId, std::uint32_t total, std::uint32_t first, std::uint32_t last,
                           std::uint32_t moreFollows, int parties = -1)
{
    TMsgBuilder event = ApiTestServer::Event(KovraMsg::MEETME_CONFERENCE_EVENT);
    event.Int(confId).Oid(kOid).Int(2).Int(0).Int(total).Int(first).Int(last).Int(moreFollows);
    const std::uint32_t count = parties >= 0 ? static_cast<std::uint32_t>(parties) : last - first + 1;
    for (std::uint32_t index = first; index < first + count; ++index)
        event.Oid(std::to_string(index)).Int(0).Str("n" + std::to_string(index)).Str("").Int(index);
    return event;
}

class ApiMeetme : public ApiSession {
protected:
    void SetUp() override
    {
        ApiSession::SetUp();
        ConnectAndMonitor();
        api.OnMeetmeConnections = [this](TKovraAPI&, std::uint32_t dwConfID, const std::string& oidCall,
                                         std::uint32_t dwEvent, TKovraDateTime, int nCount,
                                         const std::vector<TKovraMeetmeCallConnection>& Connections) {
            EXPECT_EQ(oidCall, kOid);
            EXPECT_EQ(dwEvent, 2u);
            EXPECT_EQ(static_cast<std::size_t>(nCount), Connections.size());
            lists.push_back({dwConfID, Connections});
        };
    }
    // Sends the fragments, then a marker event, and runs the loop until the marker arrived.
    void Deliver(const std::vector<TKovraAPIMsg>& fragments)
    {
        bool marker = false;
        api.OnPhoneState = [&](TKovraAPI&, const TKovraPhoneState&) { marker = true; };
        for (const TKovraAPIMsg& fragment : fragments)
            server.Send(fragment);
        server.Send(ApiTestServer::Event(KovraMsg::PHONE_STATE_EVENT));
        ASSERT_TRUE(PumpUntil([&] { return marker; }));
    }
    struct List {
        std::uint32_t ConfID;
        std::vector<TKovraMeetmeCallConnection> Parties;
    };
    std::vector<List> lists;
};

// Each case's lists, by conference, as the numbers of their parties ("" a padded place), and the
// lists left waiting for a fragment. The case that leaves one waiting comes last.
TEST_F(ApiMeetme, FragmentsJoinInIndexOrderWithinTheirTotalAndHostileCountsStayBounded)
{
    struct Case {
        const char* Name;
        std::vector<TKovraAPIMsg> Fragments;
        std::vector<std::pair<std::uint32_t, std::vector<std::string>>> Lists;
        std::size_t Waiting;
    };
    std::vector<std::string> fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen.push_back("n" + std::to_string(i));
    const std::vector<Case> cases = {
        {"two fragments",
         {MeetmeFragment(9, 15, 0, 9, 1), MeetmeFragment(9, 15, 10, 14, 0)},
         {{9, fifteen}},
         0},
        {"single fragments, a short one padded",
         {MeetmeFragment(1, 3, 0, 2, 0), MeetmeFragment(2, 4, 0, 1, 0)},
         {{1, {"n0", "n1", "n2"}}, {2, {"n0", "n1", "", ""}}},
         0},
        {"a new first fragment discards the unfinished list",
         {MeetmeFragment(3, 5, 0, 2, 1), MeetmeFragment(3, 2, 0, 0, 1), MeetmeFragment(3, 2, 1, 1, 0)},
         {{3, {"n0", "n1"}}},
         0},
        // A total no datagram stream could carry drops the list; a huge index range reads only the
        // parties present; continuations cannot grow a list past its total.
        {"hostile counts",
         {MeetmeFragment(6, 0xFFFFFFFF, 0, 0, 0, 1), MeetmeFragment(7, 2, 0, 0xFFFFFFF0, 1, 3),
          MeetmeFragment(7, 2, 3, 5, 0)},
         {{7, {"n0", "n1"}}},
         0},
        {"a continuation without a list is ignored, a lone first fragment waits",
         {MeetmeFragment(4, 3, 1, 2, 0), MeetmeFragment(5, 3, 0, 0, 1)},
         {},
         1},
    };
    for (const Case& c : cases) {
        lists.clear();
        Deliver(c.Fragments);
        std::vector<std::pair<std::uint32_t, std::vector<std::string>>> got;
        for (const List& list : lists) {
            std::vector<std::string> numbers;
            for (std::size_t i = 0; i < list.Parties.size(); ++i) {
                numbers.push_back(list.Parties[i].PartyNumber);
                if (!numbers.back().empty()) {
                    EXPECT_EQ(list.Parties[i].PartyConnState, i) << c.Name;
                }
            }
            got.emplace_back(list.ConfID, numbers);
        }
        EXPECT_EQ(got, c.Lists) << c.Name;
        EXPECT_EQ(api.MeetmeListsInAssembly(), c.Waiting) << c.Name;
    }
}

TEST_F(ApiMeetme, ListIsDecodedAndFreedWithoutAHandlerAndChangesRaiseTheirOwnEvent)
{
    api.OnMeetmeConnections = nullptr;
    std::string topic;
    api.OnMeetmeChanged = [&](TKovraAPI&, std::uint32_t dwConfID, TKovraDateTime, TKovraDateTime,
                              std::uint32_t, std::uint32_t dwPorts, std::uint32_t, const std::string& szTopic,
                              std::uint32_t, bool bLocked, bool bMuted) {
        EXPECT_EQ(dwConfID, 8u);
        EXPECT_EQ(dwPorts, 12u);
        EXPECT_TRUE(bLocked);
        EXPECT_FALSE(bMuted);
        topic = szTopic;
    };
    TMsgBuilder changed = ApiTestServer::Event(KovraMsg::MEETME_CONFERENCE_EVENT);
    changed.Int(8).Oid(kOid).Int(4).Int(0).Int(0).Int(60).Int(12).Int(3).Str("Weekly").Int(1).Bool(true).Bool(
        false);
    Deliver({MeetmeFragment(8, 2, 0, 1, 0), changed});
    EXPECT_EQ(api.MeetmeListsInAssembly(), 0u);
    EXPECT_EQ(topic, "Weekly");
}

TEST_F(ApiSession, KeepAlivePingsAfterQuietSendingAndTheAcksKeepTheWatchdogAway)
{
    int disconnected = 0; // outlives the session, whose end raises OnDisconnected
    TKovraAPI session;
    TKovraAPITimings timings = TestTimings();
    timings.KeepAlive = 100;
    timings.Watchdog = 500;
    Configure(session, timings);
    session.OnDisconnected = [&](TKovraAPI&) { ++disconnected; };
    ASSERT_TRUE(session.Connect());
    // Fifteen pings span three times the watchdog: only the acknowledgements of the pings keep
    // it from ending the session (which would stop the pings).
    ASSERT_TRUE(PumpUntil([&] { return server.Count(KovraMsg::PING) >= 15; }));
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(disconnected, 0);
    const auto pings = server.ReceivedOfType(KovraMsg::PING);
    EXPECT_EQ(pings[0].Bytes.size(), TKovraAPIMsg::kHeaderSize);
    EXPECT_LT(pings[0].Seq, pings[1].Seq); // numbered like any request
}

TEST_F(ApiSession, WatchdogEndsAQuietSessionWithoutTellingTheServer)
{
    int disconnected = 0; // outlives the session, whose end raises OnDisconnected
    TKovraAPI session;
    TKovraAPITimings timings = TestTimings();
    timings.Watchdog = 150;
    Configure(session, timings);
    session.OnDisconnected = [&](TKovraAPI&) { ++disconnected; };
    ASSERT_TRUE(session.Connect());
    ASSERT_TRUE(PumpUntil([&] { return disconnected == 1; }));
    EXPECT_FALSE(session.Connected());
    PumpFor(100);
    EXPECT_EQ(server.Count(KovraMsg::DISCONNECT), 0u);
}

TEST_F(ApiSession, MonitorStopWaitsUntilItsRequestHasGoneOut)
{
    ConnectAndMonitor();
    api.MonitorStop(kDevice, 2000);
    // Ending the session right away must not lose the request.
    api.Disconnect(true);
    ASSERT_TRUE(PumpUntil([&] { return server.Count(KovraMsg::DISCONNECT) == 1; }));
    const auto received = server.Received();
    std::vector<std::uint32_t> types;
    for (const TReceivedDatagram& datagram : received)
        if (datagram.Type == KovraMsg::MONITOR_STOP_REQ || datagram.Type == KovraMsg::DISCONNECT)
            types.push_back(datagram.Type);
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.front(), KovraMsg::MONITOR_STOP_REQ);
    EXPECT_EQ(types.back(), KovraMsg::DISCONNECT);
}

// Every wait for an answer, or for a request to go out, ends with its session. A request the
// server never acknowledges ends the session after four tries; the operation asked behind it
// must not wait on for its own, much longer, time.
TEST_F(ApiSession, EveryWaitEndsAsSoonAsTheWorkerEndsItsSession)
{
    TKovraAPITimings timings = TestTimings();
    timings.Exchange = TKovraTimings::ScaledDown(40); // four tries take 200 ms
    timings.PhoneStateWait = timings.ResponseWait = timings.SetDataWait = 10000;
    int disconnected = 0; // outlives the session, whose end raises OnDisconnected
    TKovraAPI session;
    Configure(session, timings);
    session.OnDisconnected = [&](TKovraAPI&) { ++disconnected; };
    TKovraPhoneState state;
    TKovraPhoneConfig config;
    TKovraCallForwarding forwarding;
    std::string value;
    std::uint32_t error = 0;
    const std::vector<std::pair<const char*, std::function<bool()>>> operations = {
        {"ApplicationSetData", [&] { return session.ApplicationSetData(kDevice, "app", true, "v"), false; }},
        {"MonitorStop", [&] { return session.MonitorStop(kDevice, 10000), false; }},
        {"SetForwarding", [&] { return session.SetForwarding(kDevice, "200", 10000, 0), false; }},
        {"QueryPhoneState", [&] { return session.QueryPhoneState(kDevice, state); }},
        {"QueryPhoneConfig", [&] { return session.QueryPhoneConfig(kDevice, config); }},
        {"GetForwarding", [&] { return session.GetForwarding(kDevice, forwarding); }},
        {"ApplicationGetData", [&] { return session.ApplicationGetData(kDevice, "app", value); }},
        {"RedirectCallWait", [&] { return session.RedirectCallWait(error, kDevice, kOid, "200", 1, 0); }},
    };
    for (const auto& [name, operation] : operations) {
        server.Acknowledge = true;
        ASSERT_TRUE(session.Connect()) << name;
        server.Acknowledge = false;
        const int before = disconnected;
        // Ahead in the queue: the operation's own request waits behind it.
        session.HoldCall(kDevice, kOid);
        const std::uint64_t start = platform::TickCount();
        EXPECT_FALSE(operation()) << name;
        EXPECT_LT(platform::TickCount() - start, 4000u) << name << " outlived its session";
        EXPECT_TRUE(PumpUntil([&] { return disconnected == before + 1; })) << name;
        EXPECT_FALSE(session.Connected()) << name;
        EXPECT_FALSE(session.Busy()) << name;
    }
    // Without a session there is nothing to wait for.
    const std::uint64_t start = platform::TickCount();
    EXPECT_FALSE(session.QueryPhoneConfig(kDevice, config));
    EXPECT_LT(platform::TickCount() - start, 4000u);
}

// The session end after a gap in the server's numbering reaches the application at once, every
// time. The server goes on sending (here two messages trade places, then more follow), so the
// worker is busy when the DISCONNECT is queued and sends it at once: the wait for it must see
// that it has gone.
TEST_F(ApiSession, AGapInTheServersNumberingReachesOnDisconnectedAtOnceEveryTime)
{
    TKovraAPITimings timings = TestTimings();
    timings.DisconnectWait = 5000;
    int disconnected = 0; // outlives the session, whose end raises OnDisconnected
    std::uint64_t disconnectedAt = 0;
    int dispatched = 0; // nothing from beyond the gap reaches the handlers
    TKovraAPI session;
    Configure(session, timings);
    session.OnDisconnected = [&](TKovraAPI&) {
        ++disconnected;
        disconnectedAt = platform::TickCount();
    };
    session.OnPhoneState = [&](TKovraAPI&, const TKovraPhoneState&) { ++dispatched; };
    for (int run = 0; run < 30; ++run) {
        ASSERT_TRUE(session.Connect()) << run;
        const std::size_t goodbyes = server.Count(KovraMsg::DISCONNECT);
        const std::uint64_t sentAt = platform::TickCount();
        const std::uint32_t next = server.NextSequence();
        for (std::uint32_t seq = next; seq < next + 10; ++seq) {
            TKovraAPIMsg event = ApiTestServer::Event(KovraMsg::PHONE_STATE_EVENT);
            event.StampSequence(seq == next ? next + 1 : seq == next + 1 ? next : seq);
            server.SendRaw(event.Bytes());
        }
        ASSERT_TRUE(PumpUntil([&] { return disconnected == run + 1; }, 6000)) << run;
        EXPECT_LT(disconnectedAt - sentAt, 500u) << "run " << run;
        EXPECT_FALSE(session.Connected());
        EXPECT_TRUE(server.AwaitCount(KovraMsg::DISCONNECT, goodbyes + 1, 1000)) << run;
    }
    EXPECT_EQ(dispatched, 0);
}

} // namespace

namespace {

// True once the port can be bound again, i.e. nothing holds it any more.
bool PortFree(std::uint16_t port)
{
    platform::UdpSocket probe;
    return probe.Bind(port, "127.0.0.1") == platform::kSocketOk;
}

} // namespace

// Deactivating or destroying the session from a handler that runs inside a busy operation (its
// own events, or anything the loop runs while it waits), or that the worker (receive hook) or the
// dispatch thread (event) waits on, is carried out once the operation or handler has returned:
// the operation neither finds its manager gone nor writes to a freed session, the session ends
// (with DISCONNECT when it was connected) and the port is released.
TEST_F(ApiSession, DeactivationOrDestructionInsideAHandlerIsCarriedOutAfterIt)
{
    enum class Where {
        ConnectWait,
        OnConnected,
        OnDisconnected,
        Deactivation,
        GetForwardingWait,
        SetForwardingWait,
        ReceiveHook,
        Event
    };
    const std::pair<Where, const char*> places[] = {
        {Where::ConnectWait, "Connect"},
        {Where::OnConnected, "OnConnected"},
        {Where::OnDisconnected, "OnDisconnected"},
        {Where::Deactivation, "OnDisconnected of a deactivation"},
        {Where::GetForwardingWait, "GetForwarding"},
        {Where::SetForwardingWait, "SetForwarding"},
        {Where::ReceiveHook, "OnReceive"},
        {Where::Event, "OnAnswerCall"},
    };
    for (const bool destroy : {false, true}) {
        for (const auto& [where, name] : places) {
            SCOPED_TRACE(std::string(name) + (destroy ? ", destroyed" : ", deactivated"));
            server.Acknowledge = true;
            auto session = std::make_unique<TKovraAPI>();
            Configure(*session);
            const std::uint16_t port = session->BoundPort();
            bool asked = false;
            bool deferred = true;
            auto end = [&] {
                if (asked)
                    return;
                asked = true;
                if (destroy) {
                    session.reset();
                    return;
                }
                session->SetActive(false);
                deferred = session->Active();
            };
            if (where != Where::ConnectWait && where != Where::OnConnected) {
                ASSERT_TRUE(session->Connect());
            }
            const std::size_t goodbyes = server.Count(KovraMsg::DISCONNECT);
            bool connected = where != Where::ConnectWait;
            switch (where) {
            case Where::ConnectWait:
                platform::Post(end); // runs inside the log-in handshake
                EXPECT_FALSE(session->Connect());
                break;
            case Where::OnConnected:
                session->OnConnected = [&](TKovraAPI&, std::uint32_t, const std::string&) { end(); };
                EXPECT_TRUE(session->Connect());
                break;
            case Where::OnDisconnected:
                session->OnDisconnected = [&](TKovraAPI&) { end(); };
                server.Send(ApiTestServer::Event(KovraMsg::DISCONNECT));
                connected = false; // the server ended it: nothing to tell it
                break;
            case Where::Deactivation:
                session->OnDisconnected = [&](TKovraAPI&) { end(); };
                session->SetActive(false);
                break;
            case Where::GetForwardingWait: {
                TKovraCallForwarding forwarding;
                platform::Post(end); // no answer comes: runs inside the wait
                EXPECT_FALSE(session->GetForwarding(kDevice, forwarding));
                break;
            }
            case Where::SetForwardingWait:
                server.Acknowledge = false;
                session->HoldCall(kDevice, kOid); // keeps the forwarding request queued
                platform::Post(end);
                session->SetForwarding(kDevice, "200", 5000, 0);
                break;
            case Where::ReceiveHook:
                session->OnReceive = [&](TKovraAPI&, std::uint32_t, std::uint32_t) { end(); };
                server.Send(server.Response(KovraMsg::ANSWER_CALL_RSP, 0));
                break;
            case Where::Event:
                session->OnAnswerCall = [&](TKovraAPI&, std::uint32_t) { end(); };
                server.Send(server.Response(KovraMsg::ANSWER_CALL_RSP, 0));
                break;
            }
            ASSERT_TRUE(PumpUntil([&] { return !session || !session->Active(); }));
            if (where == Where::ReceiveHook || where == Where::Event) {
                EXPECT_TRUE(deferred) << "carried out inside the handler";
            }
            if (session) {
                EXPECT_FALSE(session->Connected());
                EXPECT_FALSE(session->Busy());
            }
            if (connected) {
                EXPECT_TRUE(PumpUntil([&] { return server.Count(KovraMsg::DISCONNECT) == goodbyes + 1; }));
            } else {
                EXPECT_EQ(server.Count(KovraMsg::DISCONNECT), goodbyes);
            }
            EXPECT_TRUE(PumpUntil([&] { return PortFree(port); }));
            if (session)
                ClearHandlers(*session);
        }
    }
}

TEST_F(ApiSession, AHandlerMayReplaceItsOwnEventWhileItRuns)
{
    ConnectAndMonitor();
    std::string seen;
    // Captures large enough to live outside the function object's own storage.
    api.OnAnswerCall = [&, tag = std::string(100, 'x')](TKovraAPI& sender, std::uint32_t) {
        sender.OnAnswerCall = nullptr;
        seen = tag;
    };
    server.Send(server.Response(KovraMsg::ANSWER_CALL_RSP, 0));
    ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, std::string(100, 'x'));
}

// Every response to its own event, with its error code and (where it has one) its conference or
// call: one recorder on every event, so a response raising a neighbour's event is caught too.
TEST_F(ApiSession, EveryResponseRaisesItsOwnEvent)
{
    ConnectAndMonitor();
    struct Raised {
        std::uint32_t Type, Error, ConfID;
        std::string Oid;
        bool operator==(const Raised&) const = default;
    };
    std::vector<Raised> raised;
    for (const auto& [type, event] : kErrorEvents)
        api.*event = [&, type = type](TKovraAPI&, std::uint32_t e) { raised.push_back({type, e, 0, ""}); };
    for (const auto& [type, event] : kMeetmeEvents)
        api.*event = [&, type = type](TKovraAPI&, std::uint32_t e, std::uint32_t c) {
            raised.push_back({type, e, c, ""});
        };
    for (const auto& [type, event] : kCallEvents)
        api.*event = [&, type = type](TKovraAPI&, std::uint32_t e, const std::string& oid) {
            raised.push_back({type, e, 0, oid});
        };

    std::vector<Raised> expected;
    auto deliver = [&](std::uint32_t type, std::uint32_t confId, const std::string& oid) {
        TKovraAPIMsg rsp = server.Response(type, type + 1000);
        if (confId)
            rsp.WriteInt32(confId);
        if (!oid.empty())
            rsp.WriteOid(oid);
        server.Send(rsp);
        expected.push_back({type, type + 1000, confId, oid});
        ASSERT_TRUE(PumpUntil([&] { return raised.size() >= expected.size(); })) << type;
    };
    for (const auto& entry : kErrorEvents)
        if (entry.first)
            deliver(entry.first, 0, "");
    for (const auto& entry : kMeetmeEvents)
        deliver(entry.first, entry.first - 700, "");
    for (const auto& entry : kCallEvents)
        deliver(entry.first, 0, entry.first == 275 ? kOid : kOid2);
    EXPECT_EQ(raised, expected);

    // ALTERNATE_CALL_RSP and FAILURE_RSP are received and acknowledged, and raise nothing.
    std::vector<std::uint32_t> received;
    api.OnReceive = [&](TKovraAPI&, std::uint32_t, std::uint32_t type) { received.push_back(type); };
    server.Send(server.Response(257, 1));
    server.Send(server.Response(511, 1));
    server.Send(server.Response(259, 0)); // a marker behind them
    ASSERT_TRUE(PumpUntil([&] { return raised.size() == expected.size() + 1; }));
    EXPECT_EQ(received, (std::vector<std::uint32_t>{257, 511, 259}));
    EXPECT_EQ(raised.back().Type, 259u);
}
