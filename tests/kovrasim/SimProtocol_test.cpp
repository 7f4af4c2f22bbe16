#include <set>

#include "ApiTestServer.h"
#include "SimFixture.h"

#include "platform/Clock.h"
#include "platform/MainLoop.h"

using namespace api;

namespace {

int CountOf(const std::vector<TKovraAPIMsg>& all, std::uint32_t type)
{
    return static_cast<int>(
        std::count_if(all.begin(), all.end(), [type](const TKovraAPIMsg& m) { return m.dwMsgType == type; }));
}

// A bare client of the simulator, to check the exchange's rules byte by byte. It acknowledges
// every numbered message as it arrives only while Acknowledge is set.
class RawPeer : public ManualPeer {
public:
    explicit RawPeer(std::uint16_t serverPort) { SetClient("127.0.0.1", serverPort); }

    // Logs in and acknowledges LOGIN_RSP; the next numbers are 1 (ours) and 1 (theirs).
    bool Login(std::uint32_t invokeId = 0x1234)
    {
        const bool acking = Acknowledge;
        Acknowledge = true;
        Send(TMsgBuilder(KovraMsg::LOGIN_REQ, 0).Int(invokeId).Str("2.0"));
        bool acked = false, answered = false;
        const auto until = platform::TickCount() + 1000;
        while (!(acked && answered) && platform::TickCount() < until) {
            const auto msg = Receive(10);
            acked = acked || (msg && msg->dwMsgType == KovraMsg::ACK && msg->dwMsgSeq == 0);
            answered = answered || (msg && msg->dwMsgType == KovraMsg::LOGIN_RSP);
        }
        Acknowledge = acking;
        return acked && answered;
    }
};

TMsgBuilder Numbered(std::uint32_t type, std::uint32_t seq, std::uint32_t invokeId = 0x1234)
{
    return TMsgBuilder(type, seq).Int(invokeId);
}

// The distinct numbers carried by messages of a type (retransmissions count once).
std::set<std::uint32_t> NumbersOf(const std::vector<TKovraAPIMsg>& all, std::uint32_t type)
{
    std::set<std::uint32_t> numbers;
    for (const TKovraAPIMsg& msg : all)
        if (msg.dwMsgType == type)
            numbers.insert(msg.dwMsgSeq);
    return numbers;
}

} // namespace

TEST_F(SimTest, LoginIsAcknowledgedWithZeroAndAnsweredByTheFirstNumberedMessage)
{
    RawPeer peer(sim->ServerPort());
    peer.Send(TMsgBuilder(KovraMsg::LOGIN_REQ, 0).Int(0xCAFE).Str("2.0").Str("KovraAssistant").Str("5.0"));
    const auto all = peer.ReceiveAll(150);
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0].dwMsgType, KovraMsg::ACK);
    EXPECT_EQ(all[0].dwMsgSeq, 0u);
    EXPECT_EQ(all[0].Size(), 8u);
    TKovraAPIMsg response = all[1];
    ASSERT_EQ(response.dwMsgType, KovraMsg::LOGIN_RSP);
    EXPECT_EQ(response.dwMsgSeq, 0u);
    EXPECT_EQ(response.ReadInt32(), 0xCAFEu); // InvokeID echoed
    EXPECT_EQ(response.ReadInt32(), 0u);
    EXPECT_EQ(response.ReadStr(), "2.3");
    EXPECT_EQ(response.ReadStr(), "kovrasim 1.0");
    EXPECT_NE(Run("clients").find("KovraAssistant/5.0"), std::string::npos);
}

TEST_F(SimTest, RepeatIsAcknowledgedAgainButNotProcessed)
{
    RawPeer peer(sim->ServerPort());
    peer.Acknowledge = true;
    ASSERT_TRUE(peer.Login());
    const TMsgBuilder monitor = Numbered(KovraMsg::MONITOR_START_REQ, 1).Str("1001").Str("secret").Str("");
    peer.Send(monitor);
    auto first = peer.ReceiveAll(100);
    EXPECT_EQ(NumbersOf(first, KovraMsg::MONITOR_START_RSP), std::set<std::uint32_t>{1});

    const TMsgBuilder dnd = Numbered(KovraMsg::SET_DO_NOT_DISTURB_REQ, 2).Str("1001").Int(1);
    peer.Send(dnd);
    auto answered = peer.ReceiveAll(150);
    EXPECT_EQ(NumbersOf(answered, KovraMsg::SET_DO_NOT_DISTURB_RSP), std::set<std::uint32_t>{2});
    EXPECT_EQ(NumbersOf(answered, KovraMsg::PHONE_STATE_EVENT), std::set<std::uint32_t>{3});

    peer.Send(dnd); // the same number again: a repeat
    auto again = peer.ReceiveAll(200);
    EXPECT_EQ(NumbersOf(again, KovraMsg::ACK), std::set<std::uint32_t>{2});
    // Nothing new is answered or reported (at most late copies of what came before).
    for (const TKovraAPIMsg& msg : again)
        EXPECT_LE(msg.dwMsgSeq, 3u);
}

TEST_F(SimTest, UnacknowledgedMessageIsSentFourTimesThenTheSessionEnds)
{
    RawPeer peer(sim->ServerPort());
    peer.Send(TMsgBuilder(KovraMsg::LOGIN_REQ, 0).Int(1).Str("2.0"));
    const auto all = peer.ReceiveAll(700);
    EXPECT_EQ(CountOf(all, KovraMsg::LOGIN_RSP), 4);
    for (const TKovraAPIMsg& msg : all) {
        if (msg.dwMsgType == KovraMsg::LOGIN_RSP) {
            EXPECT_EQ(msg.dwMsgSeq, 0u);
        }
    }
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().dwMsgType, KovraMsg::DISCONNECT);
    EXPECT_EQ(Run("clients"), "ok 0 clients");
}

TEST_F(SimTest, OnlyOneMessageIsOutstandingPerClientAndTheRestFollowInOrder)
{
    RawPeer peer(sim->ServerPort());
    ASSERT_TRUE(peer.Login());
    const TMsgBuilder monitor = Numbered(KovraMsg::MONITOR_START_REQ, 1).Str("1001").Str("secret").Str("");
    peer.Send(monitor);
    peer.ReceiveAll(50);
    peer.Ack(1);
    Ring("ring 1001 FROM 4255550001");
    Ring("ring 1001 FROM 4255550002");
    Ring("ring 1001 FROM 4255550003");
    // Within two tries only the first event shows up, repeated; nothing overtakes it.
    auto waiting = peer.ReceiveAll(150);
    ASSERT_FALSE(waiting.empty());
    for (const TKovraAPIMsg& msg : waiting)
        EXPECT_EQ(msg.dwMsgSeq, 2u);
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t seq = 2; seq <= 4; ++seq) {
        peer.Ack(seq);
        auto next = peer.ReceiveAll(60);
        for (const TKovraAPIMsg& msg : next)
            numbers.push_back(msg.dwMsgSeq);
    }
    // After each ACK the next number arrives (retries of it included), never one beyond it.
    std::erase_if(numbers, [](std::uint32_t seq) { return seq <= 2; });
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_EQ(std::set<std::uint32_t>(numbers.begin(), numbers.end()), (std::set<std::uint32_t>{3, 4}));
}

TEST_F(SimTest, PingIsAcknowledgedAndUnknownClientsAreToldToLogIn)
{
    RawPeer peer(sim->ServerPort());
    ASSERT_TRUE(peer.Login());
    peer.Send(TKovraAPIMsg(KovraMsg::PING, 1));
    auto acked = peer.ReceiveAll(80);
    EXPECT_EQ(NumbersOf(acked, KovraMsg::ACK), std::set<std::uint32_t>{1});

    RawPeer stranger(sim->ServerPort());
    stranger.Send(TKovraAPIMsg(KovraMsg::PING, 3));
    auto told = stranger.ReceiveAll(80);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].dwMsgType, KovraMsg::DISCONNECT);
}

TEST_F(SimTest, MalformedDatagramsAreIgnoredOrAnsweredSafely)
{
    RawPeer peer(sim->ServerPort());
    peer.Acknowledge = true;
    ASSERT_TRUE(peer.Login());
    peer.SendRaw({1, 2, 3});
    // A request whose string claims four gigabytes: read as empty, answered as an unknown device.
    const TMsgBuilder truncated = Numbered(KovraMsg::MONITOR_START_REQ, 1).Int(0xFFFFFFFF).Int(0x41414141);
    peer.Send(truncated);
    auto all = peer.ReceiveAll(100);
    ASSERT_EQ(NumbersOf(all, KovraMsg::MONITOR_START_RSP), std::set<std::uint32_t>{1});
    for (TKovraAPIMsg msg : all) {
        if (msg.dwMsgType == KovraMsg::MONITOR_START_RSP) {
            msg.ReadInt32();
            EXPECT_EQ(msg.ReadInt32(), 2u);
        }
    }
    // Garbage carries a number out of order: the session ends as the rules say, nothing worse.
    peer.SendRaw(std::vector<std::uint8_t>(20000, 0xFF));
    auto ended = peer.ReceiveAll(100);
    EXPECT_GE(CountOf(ended, KovraMsg::DISCONNECT), 1);
    EXPECT_EQ(CountOf(ended, KovraMsg::ACK), 0);
    EXPECT_EQ(Run("clients"), "ok 0 clients");
    // The simulator still serves a well-behaved client.
    auto client = LoggedIn("1001");
    EXPECT_TRUE(client->IsConnected);
}

TEST_F(SimTest, SessionEndsOnDisconnectAndOnKickAndReleasesTheMonitor)
{
    auto first = LoggedIn("1001");
    first->Disconnect(true);
    auto second = LoggedIn("1001"); // no Duplicate Monitor: the first session is gone
    EXPECT_EQ(second->Device, "1001");
    EXPECT_EQ(Run("kick 99"), "error no client 99");
    const std::string clients = Run("clients");
    ASSERT_EQ(clients.rfind("ok 1 client: ", 0), 0u) << clients;
    const std::string id = clients.substr(13, clients.find(' ', 13) - 13);
    EXPECT_EQ(Run("kick " + id), "ok");
    EXPECT_TRUE(PumpUntil([&] { return !second->IsConnected; }, 500));
    std::lock_guard guard(sim->Lock());
    EXPECT_EQ(sim->Phones().FindPhone("1001")->MonitorSession, 0);
}

TEST(SimSilence, SilentClientLosesItsSessionAndMonitor)
{
    kovrasim::TSimOptions options = FastOptions();
    options.SilenceTimeoutMs = 200;
    kovrasim::TKovraSim sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    TSimTestClient client("127.0.0.1", sim.ServerPort());
    ASSERT_TRUE(client.Login());
    ASSERT_EQ(client.Monitor("1001", "secret"), 0u);
    EXPECT_TRUE(PumpUntil([&] { return sim.Execute("clients") == "ok 0 clients"; }, 2000));
    EXPECT_NE(sim.Execute("phone 1001").find("client=-"), std::string::npos);
}
