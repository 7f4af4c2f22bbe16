#include "api/KovraConnectionMngr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

#include "ApiTestServer.h"
#include "TestConnectionOwner.h"
#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/UdpSocket.h"

using namespace api;

namespace {

// Intervals a tenth of the real ones: a try waits 200 ms for its acknowledgement.
const TKovraTimings kFast = TKovraTimings::ScaledDown(10);

struct HookRecord {
    char Kind; // 'S' sent, 'R' received, 'D' dispatched
    std::uint32_t Type;
    std::uint32_t Seq;
};

// Records what the manager reports, on the main thread only.
class FakeOwner : public TestConnectionOwner {
public:
    std::function<void(const TKovraAPIMsg&)> OnReceive; // runs inside the receive hook
    std::vector<HookRecord> Hooks;
    std::vector<TKovraAPIMsg> Dispatched;
    std::vector<bool> Disconnects; // notify flag of each session end carried out

    void SendHook(const TKovraAPIMsg& msg) override
    {
        EXPECT_TRUE(platform::IsMainThread());
        Hooks.push_back({'S', msg.dwMsgType, msg.dwMsgSeq});
    }
    void ReceiveHook(const TKovraAPIMsg& msg) override
    {
        EXPECT_TRUE(platform::IsMainThread());
        Hooks.push_back({'R', msg.dwMsgType, msg.dwMsgSeq});
        if (OnReceive)
            OnReceive(msg);
    }
    void LoginResult(std::uint32_t error, const std::string& apiVersion,
                     const std::string& serverVersion) override
    {
        EXPECT_TRUE(platform::IsMainThread());
        TestConnectionOwner::LoginResult(error, apiVersion, serverVersion);
    }
    void DispatchMessage(TKovraAPIMsg& msg) override
    {
        EXPECT_TRUE(platform::IsMainThread());
        Hooks.push_back({'D', msg.dwMsgType, msg.dwMsgSeq});
        Dispatched.push_back(msg);
    }
    void Disconnect(bool notify) override
    {
        EXPECT_TRUE(platform::IsMainThread());
        const bool connected = IsConnected;
        TestConnectionOwner::Disconnect(notify);
        if (connected)
            Disconnects.push_back(notify);
    }

    std::size_t CountHooks(char kind, std::uint32_t type) const
    {
        std::size_t n = 0;
        for (const HookRecord& h : Hooks)
            n += h.Kind == kind && h.Type == type;
        return n;
    }
};

std::unique_ptr<TKovraAPIMsg> Request(std::uint32_t type, std::uint32_t invokeId = 0)
{
    auto msg = std::make_unique<TKovraAPIMsg>(type, 0);
    msg->WriteInt32(invokeId);
    msg->WriteStr("201");
    return msg;
}

// A manager logged in to one scripted server.
class ConnectionManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Bound());
        owner.Servers = {server.Address()};
        owner.ActiveIndex = 0;
        manager = std::make_unique<TKovraConnectionMngr>(owner, 0, server.Port(), kFast);
        owner.Manager = manager.get();
    }
    void TearDown() override { manager.reset(); }

    // The handshake runs on the main thread; the server answers from a posted step.
    bool OpenAccepted()
    {
        platform::Post([this] {
            auto login = server.Receive(1000);
            ASSERT_TRUE(login.has_value());
            server.AcceptLogin(owner.Invoke);
        });
        return manager->OpenSession();
    }

    void LogIn()
    {
        ASSERT_TRUE(OpenAccepted());
        ASSERT_TRUE(PumpUntil([this] { return owner.IsConnected.load(); }, 2000));
        auto ack = server.Receive(1000); // the client's ACK of LOGIN_RSP
        ASSERT_TRUE(ack.has_value());
        EXPECT_EQ(ack->dwMsgType, KovraMsg::ACK);
        EXPECT_EQ(ack->dwMsgSeq, 0u);
        owner.Hooks.clear();
    }

    ManualPeer server{LoopbackHost(2)};
    FakeOwner owner;
    std::unique_ptr<TKovraConnectionMngr> manager;
};

} // namespace

TEST(ConnectionManagerLogin, FailsOverFromASilentServerAfterFourTries)
{
    if (!DistinctLoopbackAddresses())
        GTEST_SKIP() << "this system sends every loopback datagram from 127.0.0.1";
    ManualPeer second("127.0.0.4");
    ASSERT_TRUE(second.Bound());
    ManualPeer silent("127.0.0.3", second.Port());
    if (!silent.Bound())
        GTEST_SKIP() << "port " << second.Port() << " taken on 127.0.0.3";
    FakeOwner owner;
    owner.Servers = {silent.Address(), second.Address()};
    owner.ActiveIndex = 0;
    TKovraConnectionMngr manager(owner, 0, second.Port(), kFast);
    owner.Manager = &manager;

    int secondTries = 0;
    platform::Timer answer; // the second server answers as soon as the request reaches it
    answer.SetInterval(5);
    answer.OnTimer = [&] {
        if (auto login = second.Receive(0)) {
            ++secondTries;
            second.Ack(login->dwMsgSeq);
        }
    };
    answer.SetEnabled(true);
    EXPECT_TRUE(manager.OpenSession());
    answer.SetEnabled(false);
    EXPECT_EQ(owner.ActiveIndex, 1);
    EXPECT_EQ(secondTries, 1);
    EXPECT_EQ(silent.ReceiveAll(50).size(), 4u);
    EXPECT_EQ(owner.CountHooks('S', KovraMsg::LOGIN_REQ), 5u); // every try is reported
}

TEST(ConnectionManagerLogin, AckFromAnAddressNotInTheListIsIgnored)
{
    if (!DistinctLoopbackAddresses())
        GTEST_SKIP() << "this system sends every loopback datagram from 127.0.0.1";
    ManualPeer server("127.0.0.5");
    ASSERT_TRUE(server.Bound());
    ManualPeer intruder("127.0.0.6");
    ASSERT_TRUE(intruder.Bound());
    FakeOwner owner;
    owner.Servers = {server.Address()};
    TKovraConnectionMngr manager(owner, 0, server.Port(), kFast);
    owner.Manager = &manager;
    platform::Post([&] {
        ASSERT_TRUE(server.Receive(1000).has_value());
        intruder.Impersonate(server);
        intruder.Ack(0);
    });
    EXPECT_FALSE(manager.OpenSession());
    EXPECT_EQ(owner.ActiveIndex, -1);
}

TEST_F(ConnectionManager, UnacknowledgedMessageGoesOutFourTimesThenTheSessionEnds)
{
    LogIn();
    manager->Send(Request(KovraMsg::HOLD_CALL_REQ));
    std::vector<TKovraAPIMsg> tries;
    std::optional<TKovraAPIMsg> bye;
    const std::uint64_t until = platform::TickCount() + 3000;
    while (!bye && platform::TickCount() < until) {
        auto msg = server.Receive(100);
        if (msg && msg->dwMsgType == KovraMsg::HOLD_CALL_REQ)
            tries.push_back(*msg);
        else if (msg && msg->dwMsgType == KovraMsg::DISCONNECT)
            bye = msg;
    }
    ASSERT_EQ(tries.size(), 4u);
    for (const TKovraAPIMsg& t : tries)
        EXPECT_EQ(t.dwMsgSeq, 1u);
    ASSERT_TRUE(bye.has_value());
    ASSERT_TRUE(PumpUntil([this] { return !owner.Disconnects.empty(); }, 1000));
    EXPECT_EQ(owner.CountHooks('S', KovraMsg::HOLD_CALL_REQ), 4u);
    EXPECT_FALSE(owner.IsConnected);
}

TEST_F(ConnectionManager, LateAcknowledgementOfThePreviousMessageIsIgnored)
{
    LogIn();
    manager->Send(Request(KovraMsg::HOLD_CALL_REQ));
    auto first = server.ReceiveRequest(1000);
    ASSERT_TRUE(first.has_value());
    server.Ack(first->dwMsgSeq);
    manager->Send(Request(KovraMsg::RETRIEVE_CALL_REQ));
    auto second = server.ReceiveRequest(1000);
    ASSERT_TRUE(second.has_value());
    server.Ack(first->dwMsgSeq); // duplicated, late
    server.Ack(second->dwMsgSeq);
    server.Ack(second->dwMsgSeq); // duplicated, outside any transmission
    PumpUntil([] { return false; }, 150);
    EXPECT_TRUE(owner.IsConnected);
    EXPECT_TRUE(owner.Disconnects.empty());
    EXPECT_FALSE(server.ReceiveRequest(50).has_value()); // no retransmission after the ACK
}

TEST_F(ConnectionManager, UnexpectedAcknowledgementNumberEndsTheSession)
{
    LogIn();
    manager->Send(Request(KovraMsg::HOLD_CALL_REQ));
    auto request = server.ReceiveRequest(1000);
    ASSERT_TRUE(request.has_value());
    server.Ack(request->dwMsgSeq + 5);
    auto bye = server.ReceiveRequest(1000);
    ASSERT_TRUE(bye.has_value());
    EXPECT_EQ(bye->dwMsgType, KovraMsg::DISCONNECT);
}

// Too short, too long, or answering another client: dropped unacknowledged, the numbering intact.
TEST_F(ConnectionManager, ShortOversizedAndForeignInvokeIdDatagramsAreDroppedWithoutAck)
{
    owner.Invoke = 5;
    LogIn();
    std::vector<std::uint8_t> big(5000, 0);
    big[3] = 1;
    big[7] = KovraMsg::PHONE_STATE_EVENT;
    for (const auto& bytes : {std::vector<std::uint8_t>{0, 0, 0, 1, 0, 0, 0}, big,
                              TMsgBuilder(KovraMsg::ANSWER_CALL_RSP, 1).Int(6).Int(0).Bytes()})
        server.SendRaw(bytes);
    EXPECT_FALSE(server.Receive(100).has_value());
    server.Send(TMsgBuilder(KovraMsg::ANSWER_CALL_RSP, 1).Int(5).Int(0)); // still the expected number
    auto ack = server.Receive(1000);
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(ack->dwMsgSeq, 1u);
    ASSERT_TRUE(PumpUntil([this] { return owner.Dispatched.size() == 1; }, 1000));
    EXPECT_EQ(owner.Dispatched[0].Position(), 12u); // responses are read from after the InvokeID
    EXPECT_EQ(owner.CountHooks('R', KovraMsg::ANSWER_CALL_RSP), 1u);
    EXPECT_TRUE(owner.IsConnected);
}

TEST_F(ConnectionManager, StopsPromptlyAndDiscardsLaterSends)
{
    LogIn();
    manager->StopWorker();
    EXPECT_FALSE(manager->Running()); // stopped, not abandoned
    manager->Send(Request(KovraMsg::HOLD_CALL_REQ));
    EXPECT_EQ(manager->PendingCount(), 0u);
}

TEST_F(ConnectionManager, ADatagramOfTheOldSessionHandledAfterANewHandshakeIsDropped)
{
    LogIn();
    // The old session's message is read, then a new log-in runs inside its receive hook, before
    // the worker has checked its number: it must neither end the new session nor hide its
    // LOGIN_RSP.
    bool renewed = false;
    owner.OnReceive = [&](const TKovraAPIMsg& msg) {
        if (msg.dwMsgType != KovraMsg::PHONE_STATE_EVENT || renewed)
            return;
        renewed = true;
        owner.IsConnected = false;
        EXPECT_TRUE(OpenAccepted());
    };
    server.Send(TMsgBuilder(KovraMsg::PHONE_STATE_EVENT, 7).Int(0));
    ASSERT_TRUE(PumpUntil([&] { return renewed; }, 2000));
    ASSERT_TRUE(PumpUntil([this] { return owner.IsConnected.load(); }, 2000));
    EXPECT_EQ(manager->Phase(), KovraSessionPhase::Exchange);
    EXPECT_TRUE(owner.Dispatched.empty());
    EXPECT_TRUE(owner.Disconnects.empty());
    for (const TKovraAPIMsg& msg : server.ReceiveAll(100))
        EXPECT_NE(msg.dwMsgType, KovraMsg::DISCONNECT);
    // The new numbering holds: the server's next message is 1 and is taken.
    server.Send(TMsgBuilder(KovraMsg::PHONE_STATE_EVENT, 1).Int(0));
    ASSERT_TRUE(PumpUntil([this] { return owner.Dispatched.size() == 1; }, 2000));
}

TEST(ConnectionManagerSequence, NumbersWrapAtTwoToTheThirtySecond)
{
    struct Case {
        std::uint32_t Expected, Received;
        KovraSequence Result;
    };
    const Case cases[] = {
        {5, 5, KovraSequence::Next},
        {5, 4, KovraSequence::Repeat},
        {5, 6, KovraSequence::Error},
        {5, 3, KovraSequence::Error},
        {0, 0xFFFFFFFF, KovraSequence::Repeat},
        {0, 1, KovraSequence::Error},
        {0xFFFFFFFF, 0xFFFFFFFF, KovraSequence::Next},
        {0xFFFFFFFF, 0xFFFFFFFE, KovraSequence::Repeat},
        {0xFFFFFFFF, 0, KovraSequence::Error},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifySequence(c.Expected, c.Received), c.Result) << c.Expected << " " << c.Received;
}

TEST(ConnectionManagerLogin, AManagerFreedByAHandlerDuringTheHandshakeEndsIt)
{
    ManualPeer silent("127.0.0.1");
    ASSERT_TRUE(silent.Bound());
    FakeOwner owner;
    owner.Servers = {silent.Address()};
    auto manager = std::make_unique<TKovraConnectionMngr>(owner, 0, silent.Port(), kFast, "127.0.0.1");
    owner.Manager = manager.get();
    TKovraConnectionMngr* raw = manager.get();
    const std::uint16_t port = manager->LocalPort();
    // What closing the window during a log-in does: the session is deactivated from a handler
    // that the handshake's own loop runs. The port is free again at once, although the handshake
    // still holds the manager's shared state: an activation right after binds it.
    int rebind = -1;
    platform::Post([&] {
        owner.Manager = nullptr;
        manager.reset();
        platform::UdpSocket next;
        rebind = next.Bind(port, "127.0.0.1");
    });
    EXPECT_FALSE(raw->OpenSession());
    EXPECT_EQ(manager, nullptr);
    EXPECT_EQ(owner.ActiveIndex, -1);
    EXPECT_EQ(rebind, platform::kSocketOk);
}

// Before the first handshake no session exists: a datagram arriving then is read once and
// dropped, not left in the socket, where the worker would keep finding it readable and the
// handshake would read it (a stale acknowledgement taken for that of its LOGIN_REQ).
TEST(ConnectionManagerLogin, ADatagramBeforeTheFirstHandshakeIsReadOnceAndDropped)
{
    if (!DistinctLoopbackAddresses())
        GTEST_SKIP() << "this system sends every loopback datagram from 127.0.0.1";
    ManualPeer server(LoopbackHost(2));
    ManualPeer intruder(LoopbackHost(3));
    ASSERT_TRUE(server.Bound());
    ASSERT_TRUE(intruder.Bound());
    FakeOwner owner;
    owner.Servers = {server.Address()};
    owner.ActiveIndex = 0;
    TKovraConnectionMngr manager(owner, 0, server.Port(), kFast);
    owner.Manager = &manager;
    server.SetClient("127.0.0.1", manager.LocalPort());
    intruder.SetClient("127.0.0.1", manager.LocalPort());
    server.Send(TKovraAPIMsg(KovraMsg::ACK, 0));
    server.Send(TMsgBuilder(KovraMsg::PHONE_STATE_EVENT, 0).Int(0));
    intruder.Send(TMsgBuilder(KovraMsg::PHONE_STATE_EVENT, 0).Int(0)); // read after the server's two
    EXPECT_TRUE(PumpUntil([&] { return manager.ForeignDatagrams() == 1; }, 2000));
    PumpFor(50);
    EXPECT_EQ(manager.ForeignDatagrams(), 1u);
    EXPECT_TRUE(owner.Hooks.empty());
    EXPECT_TRUE(server.ReceiveAll(0).empty()); // nothing acknowledged

    // The server stays silent: only an acknowledgement of this LOGIN_REQ may end the handshake.
    EXPECT_FALSE(manager.OpenSession());
    EXPECT_EQ(server.ReceivedOfType(KovraMsg::LOGIN_REQ).size(), kFast.Tries);
}
