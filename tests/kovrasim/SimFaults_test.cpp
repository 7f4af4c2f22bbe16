#include <set>

#include "SimFixture.h"
#include "platform/Clock.h"

using namespace api;

namespace {

// Each call a phone takes part in, as "number=state" entries sorted, by oid.
using CallView = std::map<std::string, std::set<std::string>>;

CallView ClientView(const TSimTestClient& client)
{
    CallView view;
    for (const auto& [oid, call] : client.Calls)
        for (const TTestConnection& connection : call.Connections)
            if (connection.ConnState != 0)
                view[oid].insert(connection.Number + "=" + std::to_string(connection.ConnState));
    return view;
}

} // namespace

class SimFaultTest : public SimTest {
protected:
    void SetUp() override
    {
        kovrasim::TSimOptions options = FastOptions();
        // A lossy line needs more tries.
        options.AckWaitMs = 50;
        options.Tries = 40;
        StartSim(options);
        TKovraTimings lossy = TKovraTimings::ScaledDown(20);
        lossy.AckWait = 60;
        lossy.Tries = 15;
        alice = LoggedIn("1001", lossy);
        bob = LoggedIn("1002", lossy);
    }
    bool WaitAll(const std::function<bool()>& done, unsigned ms = 8000)
    {
        const auto until = platform::TickCount() + ms;
        while (!done()) {
            if (platform::TickCount() >= until || !alice->IsConnected || !bob->IsConnected)
                return false;
            PumpFor(3);
        }
        return true;
    }
    CallView SimView(const std::string& phone)
    {
        std::lock_guard guard(sim->Lock());
        CallView view;
        for (const auto& [oid, call] : sim->Phones().Calls()) {
            std::set<std::string> parties;
            bool involved = false;
            for (const kovrasim::TSimParty& party : call.Parties) {
                parties.insert(party.Number + "=" + std::to_string(party.ConnState));
                involved = involved || party.Number == phone;
            }
            if (involved)
                view[oid] = parties;
        }
        return view;
    }

    std::unique_ptr<TSimTestClient> alice, bob;
};

TEST_F(SimFaultTest, ScriptedCallsEndInTheSameStateOnBothSidesDespiteLossAndDuplicates)
{
    EXPECT_EQ(Run("fault loss 20%"), "ok");
    EXPECT_EQ(Run("fault dup 10%"), "ok");

    const std::string first = Ring("ring 1001 FROM 4255550123");
    ASSERT_TRUE(WaitAll([&] { return alice->StateOf(first) == csRinging; }));
    ASSERT_EQ(Answer(*alice, KovraMsg::ANSWER_CALL_REQ, first), 0u);
    ASSERT_TRUE(WaitAll([&] { return alice->StateOf(first) == csConnected; }));
    ASSERT_EQ(Answer(*alice, KovraMsg::HOLD_CALL_REQ, first), 0u);
    ASSERT_TRUE(WaitAll([&] { return alice->StateOf(first) == csHeld; }));
    ASSERT_EQ(Answer(*alice, KovraMsg::RETRIEVE_CALL_REQ, first), 0u);
    ASSERT_TRUE(WaitAll([&] { return alice->StateOf(first) == csConnected; }));
    EXPECT_EQ(Run("hangup-far " + first), "ok");
    ASSERT_TRUE(WaitAll([&] { return alice->Calls.empty(); }));

    const auto [madeError, toBob] = MakeCall(*alice, "1002");
    ASSERT_EQ(madeError, 0u);
    ASSERT_TRUE(WaitAll([&, oid = toBob] { return bob->StateOf(oid) == csRinging; }));
    ASSERT_EQ(Answer(*bob, KovraMsg::ANSWER_CALL_REQ, toBob), 0u);
    ASSERT_TRUE(WaitAll([&, oid = toBob] { return alice->StateOf(oid) == csConnected; }));
    ASSERT_EQ(Answer(*alice, KovraMsg::HOLD_CALL_REQ, toBob), 0u);
    const auto [outsideError, outside] = MakeCall(*alice, "4255557777");
    ASSERT_EQ(outsideError, 0u);
    ASSERT_TRUE(WaitAll([&, oid = outside] { return alice->StateOf(oid) == csConnected; }));
    ASSERT_EQ(alice->Ask(alice->Request(KovraMsg::CONFERENCE_CALL_REQ).Oid(outside).Oid(toBob)), 0u);
    ASSERT_TRUE(WaitAll([&, oid = toBob] {
        return alice->Calls.size() == 1 && alice->StateOf(oid) == csConnected &&
               alice->Calls.at(oid).LiveCount() == 3;
    }));
    // An unknown guest cannot be dropped; a guest leaving leaves a two-party call.
    EXPECT_EQ(alice->Ask(alice->Request(KovraMsg::DROP_CONFERENCE_CONNECTION_REQ).Oid(toBob).Str("9999")),
              10u);
    ASSERT_EQ(Answer(*bob, KovraMsg::DROP_CONNECTION_REQ, toBob), 0u);
    ASSERT_TRUE(
        WaitAll([&, oid = toBob] { return bob->Calls.empty() && alice->Calls.at(oid).LiveCount() == 2; }));

    const std::string second = Ring("ring 1002 FROM 2065550199");
    ASSERT_TRUE(WaitAll([&] { return bob->StateOf(second) == csRinging; }));
    ASSERT_EQ(Answer(*bob, KovraMsg::ANSWER_CALL_REQ, second), 0u);
    ASSERT_TRUE(WaitAll([&] { return bob->StateOf(second) == csConnected; }));
    ASSERT_EQ(bob->Ask(bob->Request(KovraMsg::SINGLE_STEP_TRANSFER_REQ).Oid(second).Str("1001").Int(0)), 0u);
    ASSERT_TRUE(WaitAll([&] { return bob->Calls.empty() && alice->StateOf(second) == csRinging; }));
    ASSERT_EQ(Answer(*alice, KovraMsg::ANSWER_CALL_REQ, second), 0u);
    ASSERT_TRUE(WaitAll([&] { return alice->StateOf(second) == csConnected; }));

    // Let every retransmission settle, then both sides must tell the same story.
    EXPECT_EQ(Run("fault off"), "ok");
    ASSERT_TRUE(WaitAll([&] {
        std::lock_guard guard(sim->Lock());
        return sim->Server().Idle();
    }));
    PumpFor(30);
    PumpFor(30);
    EXPECT_TRUE(alice->IsConnected);
    EXPECT_TRUE(bob->IsConnected);
    EXPECT_EQ(ClientView(*alice), SimView("1001"));
    EXPECT_EQ(ClientView(*bob), SimView("1002"));
    const CallView expected{{toBob, {"1001=4", "4255557777=4"}}, {second, {"1001=4", "2065550199=4"}}};
    EXPECT_EQ(ClientView(*alice), expected);
    EXPECT_TRUE(bob->Calls.empty());
    // The faults did happen: both clients saw messages again and acknowledged them again.
    EXPECT_GT(alice->Repeats + bob->Repeats, 0);
}
