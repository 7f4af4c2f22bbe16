#include <filesystem>
#include <fstream>

#include "SimFixture.h"

using namespace api;

using kovrasim::TSimOptions;

// The versions the log-in answers with are checked byte by byte with the protocol's cases.
// A monitor start with a wrong password or device is refused; one of a phone another client
// monitors only when it repeats the password, and then the phone's calls go to it alone.
TEST_F(SimTest, MonitorStartChecksPasswordsDevicesAndAnExistingMonitor)
{
    auto first = NewClient();
    ASSERT_TRUE(first->Login());
    EXPECT_EQ(first->Monitor("1001", "wrong"), 1u);  // Invalid Password
    EXPECT_EQ(first->Monitor("9999", "secret"), 2u); // Invalid Device
    EXPECT_EQ(first->Monitor("1001", "secret"), 0u);
    EXPECT_EQ(first->Device, "1001");
    auto second = NewClient();
    ASSERT_TRUE(second->Login());
    EXPECT_EQ(second->Monitor("1001", "secret"), 11u); // Duplicate Monitor
    EXPECT_EQ(second->Monitor("1001", "secret", "secret"), 0u);
    Ring("ring 1001 FROM 4255550123");
    EXPECT_TRUE(PumpUntil([&] { return !second->Calls.empty(); }));
    PumpFor(100);
    EXPECT_TRUE(first->Calls.empty());
}

// An outside call rings, is answered, held and retrieved (each reported by its own event code);
// each request out of its state is refused; the far end hangs up.
TEST_F(SimTest, OutsideCallRingsIsAnsweredHeldAndRetrievedAndRefusesOutOfStateRequests)
{
    auto client = LoggedIn("1001");
    const std::string oid = Ring("ring 1001 FROM 4255550123 NAME \"Dana Dialer\" urgent");
    ASSERT_TRUE(PumpUntil([&] { return client->StateOf(oid) == csRinging; }));
    const TTestCall& ringing = client->Calls.at(oid);
    EXPECT_EQ(ringing.Cause, ecUrgent);
    ASSERT_EQ(ringing.Connections.size(), 2u);
    EXPECT_EQ(ringing.Connections[0].Number, "1001"); // the phone itself comes first
    EXPECT_EQ(ringing.Connections[1].Name, "Dana Dialer");
    EXPECT_EQ(ringing.Related, std::string(24, '0'));
    EXPECT_EQ(Answer(*client, KovraMsg::RETRIEVE_CALL_REQ, oid), 4u); // Invalid State: not held

    EXPECT_EQ(Answer(*client, KovraMsg::ANSWER_CALL_REQ, oid), 0u);
    ASSERT_TRUE(PumpUntil([&] { return client->StateOf(oid) == csConnected; }));
    EXPECT_EQ(SimCall(oid), "4255550123=4 1001=4");
    EXPECT_EQ(Answer(*client, KovraMsg::ANSWER_CALL_REQ, oid), 19u); // nothing rings any more

    ASSERT_EQ(Answer(*client, KovraMsg::HOLD_CALL_REQ, oid), 0u);
    ASSERT_TRUE(PumpUntil([&] { return client->StateOf(oid) == csHeld; }));
    EXPECT_EQ(client->Calls.at(oid).Event, ceHeld);
    EXPECT_EQ(Answer(*client, KovraMsg::HOLD_CALL_REQ, oid), 4u);
    ASSERT_EQ(Answer(*client, KovraMsg::RETRIEVE_CALL_REQ, oid), 0u);
    ASSERT_TRUE(PumpUntil([&] { return client->StateOf(oid) == csConnected; }));
    EXPECT_EQ(client->Calls.at(oid).Event, ceRetrieved);
    EXPECT_EQ(Answer(*client, KovraMsg::HOLD_CALL_REQ, "0123456789ABCDEF01234567"), 3u); // Invalid Call

    EXPECT_EQ(Run("hangup-far " + oid), "ok");
    ASSERT_TRUE(PumpUntil([&] { return client->Calls.empty(); }));
    EXPECT_EQ(SimCallCount(), 0u);
}

// The user at the desk phone answers, holds, retrieves and transfers; the client hears each as
// from its own requests, and a step out of the call's state is refused.
TEST_F(SimTest, DeskPhoneActionsReachTheMonitoringClient)
{
    auto client = LoggedIn("1001");
    const std::string oid = Ring("ring 1001 FROM 4255550123");
    ASSERT_TRUE(PumpUntil([&] { return client->StateOf(oid) == csRinging; }));
    EXPECT_EQ(Run("at 1001 hold last"), "error refused with error 4");
    for (const auto& [action, state, event] :
         {std::tuple{"answer", csConnected, ceEstablished}, std::tuple{"hold", csHeld, ceHeld},
          std::tuple{"retrieve", csConnected, ceRetrieved}}) {
        ASSERT_EQ(Run(std::string("at 1001 ") + action + " " + oid), "ok") << action;
        ASSERT_TRUE(PumpUntil([&, state = state] { return client->StateOf(oid) == state; })) << action;
        EXPECT_EQ(client->Calls.at(oid).Event, event) << action;
    }
    EXPECT_EQ(Run("at 1001 transfer " + oid + " 1002"), "ok");
    ASSERT_TRUE(PumpUntil([&] { return client->Calls.empty(); }));
    EXPECT_EQ(SimCall(oid), "4255550123=4 1002=2");
    EXPECT_EQ(Run("at 1001 hangup " + oid), "error refused with error 3"); // no longer its call
    EXPECT_EQ(Run("at 1002 hangup " + oid), "ok");
    EXPECT_EQ(SimCallCount(), 0u);
}

TEST_F(SimTest, OutsideNumberAnswersAfterTheDelayAndInvalidNumbersFail)
{
    auto client = LoggedIn("1001");
    const auto [error, oid] = MakeCall(*client, "4255557777");
    ASSERT_EQ(error, 0u);
    ASSERT_TRUE(PumpUntil(
        [&, oid = oid] { return client->Calls.count(oid) && client->Calls.at(oid).Mine == csConnected; }));

    const auto [invalidError, invalid] = MakeCall(*client, "5550000");
    ASSERT_EQ(invalidError, 0u);
    ASSERT_TRUE(PumpUntil([&, invalid = invalid] {
        return client->Calls.count(invalid) && client->Calls.at(invalid).Mine == csFailed;
    }));
    EXPECT_EQ(client->Calls.at(invalid).Connections.size(), 1u);
    EXPECT_EQ(MakeCall(*client, "").first, 29u);
}

TEST_F(SimTest, ConsultativeTransferJoinsTheCallerWithTheTarget)
{
    auto alice = LoggedIn("1001");
    auto bob = LoggedIn("1002");
    const std::string original = Ring("ring 1001 FROM 4255550123 NAME \"Dana Dialer\"");
    ASSERT_TRUE(PumpUntil([&] { return alice->StateOf(original) == csRinging; }));
    ASSERT_EQ(Answer(*alice, KovraMsg::ANSWER_CALL_REQ, original), 0u);

    TKovraAPIMsg setup = alice->Request(KovraMsg::SETUP_TRANSFER_REQ);
    setup.WriteOid(original);
    setup.WriteStr("1002");
    setup.WriteInt32(0);
    const auto [error, consultation] = WithNewCall(*alice, std::move(setup));
    ASSERT_EQ(error, 0u);
    ASSERT_TRUE(PumpUntil([&, c = consultation] { return bob->StateOf(c) == csRinging; }));
    ASSERT_TRUE(PumpUntil([&, c = consultation] { return alice->Calls.count(c) != 0; }));
    EXPECT_EQ(alice->Calls.at(consultation).Related, original);
    EXPECT_EQ(alice->Calls.at(original).Mine, csHeld);
    ASSERT_EQ(Answer(*bob, KovraMsg::ANSWER_CALL_REQ, consultation), 0u);

    EXPECT_EQ(alice->Ask(alice->Request(KovraMsg::COMPLETE_TRANSFER_REQ).Oid(consultation).Oid(original)),
              0u);
    ASSERT_TRUE(PumpUntil([&] { return alice->Calls.empty(); }));
    // Bob now talks with the caller on the original call; his consultation call is gone.
    ASSERT_TRUE(PumpUntil([&] { return bob->Calls.count(original) && !bob->Calls.count(consultation); }));
    EXPECT_EQ(bob->Calls.at(original).Mine, csConnected);
    EXPECT_EQ(SimCall(original), "4255550123=4 1002=4");
    EXPECT_EQ(SimCall(consultation), "none");
}

// The notice names the park place and the caller; another phone picks the call up there.
TEST_F(SimTest, ParkedCallIsReportedWithThePlaceAndCanBePickedUp)
{
    auto alice = LoggedIn("1001");
    auto bob = LoggedIn("1002");
    const std::string oid = Ring("ring 1001 FROM 4255550123 NAME \"Dana Dialer\"");
    ASSERT_TRUE(PumpUntil([&] { return alice->StateOf(oid) == csRinging; }));
    ASSERT_EQ(Answer(*alice, KovraMsg::ANSWER_CALL_REQ, oid), 0u);
    ASSERT_EQ(Answer(*alice, KovraMsg::PARK_CALL_REQ, oid), 0u);
    ASSERT_TRUE(PumpUntil([&] { return !alice->Parked.empty(); }));
    const TTestCall& notice = alice->Parked.front();
    ASSERT_GE(notice.Connections.size(), 3u);
    EXPECT_EQ(notice.Related, oid);
    EXPECT_EQ(notice.Connections[1].PartyState, psParked);
    EXPECT_EQ(notice.Connections[1].Number, "701");
    EXPECT_EQ(notice.Connections[2].Name, "Dana Dialer");
    EXPECT_EQ(notice.Connections[2].Number, "4255550123");
    EXPECT_TRUE(PumpUntil([&] { return alice->Calls.empty(); }));

    EXPECT_EQ(bob->Ask(bob->Request(KovraMsg::PICKUP_CALL_REQ).Str("701")), 0u);
    ASSERT_TRUE(PumpUntil([&] { return bob->StateOf(oid) == csConnected; }));
    EXPECT_EQ(SimCall(oid), "4255550123=4 1002=4");
}

TEST_F(SimTest, GroupPickupTakesARingingCallAndFailsWhenNoneRings)
{
    auto alice = LoggedIn("1001");
    auto bob = LoggedIn("1002");
    EXPECT_EQ(bob->Ask(bob->Request(KovraMsg::PICKUP_CALL_REQ).Str("")), 24u); // No Call to Pickup

    const std::string oid = Ring("ring 1001 FROM 4255550123");
    ASSERT_TRUE(PumpUntil([&] { return alice->StateOf(oid) == csRinging; }));
    EXPECT_EQ(bob->Ask(bob->Request(KovraMsg::PICKUP_CALL_REQ).Str("")), 0u);
    ASSERT_TRUE(PumpUntil([&] { return alice->Calls.empty(); }));
    ASSERT_TRUE(PumpUntil([&] { return bob->StateOf(oid) == csConnected; }));
}

TEST_F(SimTest, ForwardingRoutesCallsAndIsReportedInPhoneState)
{
    auto alice = LoggedIn("1001");
    auto bob = LoggedIn("1002");
    ASSERT_EQ(alice->Ask(alice->Request(KovraMsg::SET_CALL_FORWARDING_REQ).Int(0).Str("1002")), 0u);
    ASSERT_TRUE(PumpUntil([&] { return alice->PhoneState.Forwarded; }));
    EXPECT_EQ(alice->PhoneState.State, phsForwarding);

    const std::string oid = Ring("ring 1001 FROM 4255550123");
    ASSERT_TRUE(PumpUntil([&] { return bob->StateOf(oid) == csRinging; }));
    PumpFor(50);
    EXPECT_TRUE(alice->Calls.empty());

    auto query = alice->Call(alice->Request(KovraMsg::GET_CALL_FORWARDING_REQ));
    ASSERT_TRUE(query);
    ASSERT_EQ(TSimTestClient::ErrorOf(*query), 0u);
    EXPECT_EQ(query->ReadStr(), "1002");
    EXPECT_EQ(query->ReadStr(), "");

    // A phone forwarded to itself would loop: refused.
    EXPECT_EQ(alice->Ask(alice->Request(KovraMsg::SET_CALL_FORWARDING_REQ).Int(1).Str("1001")), 29u);
}

TEST_F(SimTest, UnansweredCallMovesOnToTheNoAnswerDestination)
{
    auto bob = LoggedIn("1002");
    EXPECT_EQ(Run("forward 1001 noanswer 1002"), "ok");
    const std::string oid = Ring("ring 1001 FROM 4255550123");
    EXPECT_EQ(SimCall(oid), "4255550123=3 1001=2");
    ASSERT_TRUE(PumpUntil([&] { return bob->StateOf(oid) == csRinging; }));
    EXPECT_EQ(SimCall(oid), "4255550123=3 1002=2");
}

// A ringing call redirected to voice mail, and one that rings while DoNotDisturb is on, each
// leave a message there.
TEST_F(SimTest, RedirectAndDoNotDisturbSendRingingCallsToVoiceMail)
{
    auto alice = LoggedIn("1001");
    const std::string redirected = Ring("ring 1001 FROM 4255550123");
    ASSERT_TRUE(PumpUntil([&] { return alice->StateOf(redirected) == csRinging; }));
    EXPECT_EQ(alice->Ask(alice->Request(KovraMsg::REDIRECT_CALL_REQ).Oid(redirected).Int(2).Str("").Int(0)),
              0u);
    ASSERT_TRUE(PumpUntil([&] { return alice->Calls.empty() && alice->PhoneState.VoiceMail == 1; }));
    EXPECT_EQ(SimCall(redirected), "4255550123=4 8000=4");

    ASSERT_EQ(alice->Ask(alice->Request(KovraMsg::SET_DO_NOT_DISTURB_REQ).Int(1)), 0u);
    ASSERT_TRUE(PumpUntil([&] { return alice->PhoneState.DoNotDisturb; }));
    EXPECT_EQ(alice->PhoneState.State, phsDoNotDisturb);
    const int before = alice->PhoneState.Count;
    const std::string oid = Ring("ring 1001 FROM 4255550124");
    ASSERT_TRUE(PumpUntil([&] { return alice->PhoneState.Count > before; }));
    EXPECT_EQ(alice->PhoneState.VoiceMail, 2u);
    EXPECT_EQ(SimCall(oid), "4255550124=4 8000=4");
    EXPECT_TRUE(alice->Calls.empty());
}

TEST_F(SimTest, PrivacyGuardDigitsLetTheCallerThroughOrBlockThem)
{
    auto alice = LoggedIn("1001");
    const std::string oid = Ring("ring 1001 FROM 4255550123 privacy");
    ASSERT_TRUE(PumpUntil([&] { return alice->StateOf(oid) == csRinging; }));
    EXPECT_EQ(alice->Calls.at(oid).Connections[1].PartyState, psPrivacyGuard);
    ASSERT_EQ(Answer(*alice, KovraMsg::ANSWER_CALL_REQ, oid), 0u);

    EXPECT_EQ(alice->Ask(alice->Request(KovraMsg::DIAL_DIGITS_REQ).Oid(oid).Str("4")), 0u);
    ASSERT_TRUE(PumpUntil([&] { return alice->Calls.empty(); }));
    // "Do not call me again": the same caller no longer gets through.
    EXPECT_EQ(Run("ring 1001 FROM 4255550123").rfind("error", 0), 0u);
}

TEST_F(SimTest, RequestsNeedTheMonitoredDeviceAndTheCapability)
{
    auto alice = LoggedIn("1001");
    const TMsgBuilder foreign =
        TMsgBuilder(KovraMsg::QUERY_PHONE_CONFIG_REQ, 0).Int(alice->Invoke).Str("1002");
    EXPECT_EQ(alice->Ask(foreign), 12u); // No Monitor

    EXPECT_EQ(Run("set-caps 1001 0x00000200"), "ok"); // make call only
    ASSERT_TRUE(PumpUntil([&] { return alice->PhoneState.State == phsConfigChanged; }));
    auto config = alice->Call(alice->Request(KovraMsg::QUERY_PHONE_CONFIG_REQ));
    ASSERT_TRUE(config);
    ASSERT_EQ(TSimTestClient::ErrorOf(*config), 0u);
    EXPECT_EQ(config->ReadStr(), "Alice Archer");
    config->ReadInt32();
    config->ReadInt32();
    EXPECT_EQ(config->ReadInt32(), 0x200u);
    EXPECT_EQ(alice->Ask(alice->Request(KovraMsg::PICKUP_CALL_REQ).Str("")), 28u); // Feature Not Enabled

    auto unknownType = alice->Call(alice->Request(KovraMsg::GET_CALL_DATA_REQ));
    ASSERT_TRUE(unknownType);
    EXPECT_EQ(unknownType->dwMsgType, KovraMsg::FAILURE_RSP);
}

class SimDataTest : public SimTest {
protected:
    void SetUp() override
    {
        path = std::filesystem::temp_directory_path() /
               ("kovrasim-data-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".json");
        std::filesystem::remove(path);
        StartSim(WithFile());
    }
    void TearDown() override
    {
        SimTest::TearDown();
        std::filesystem::remove(path);
    }
    TSimOptions WithFile()
    {
        TSimOptions options = FastOptions();
        options.DataFile = path.string();
        return options;
    }
    std::filesystem::path path;
};

TEST_F(SimDataTest, ApplicationDataRoundTripsAndSurvivesARestart)
{
    const std::string value =
        std::string("[Main]\r\nName=Zoë \"quoted\"\r\n") + std::string(1, '\xE9') + "\x01";
    {
        auto alice = LoggedIn("1001");
        EXPECT_EQ(alice->Ask(alice->Request(KovraMsg::GET_APPLICATION_DATA_REQ).Str("KovraAssistant")),
                  22u); // Key Not Found

        EXPECT_EQ(
            alice->Ask(alice->Request(KovraMsg::SET_APPLICATION_DATA_REQ).Str("KovraAssistant").Str(value)),
            0u);

        // A value too large to be read back in one datagram is refused, and the old one kept.
        EXPECT_EQ(alice->Ask(alice->Request(KovraMsg::SET_APPLICATION_DATA_REQ)
                                 .Str("KovraAssistant")
                                 .Str(std::string(5000, 'x'))),
                  10u);
    }
    sim->Stop();
    sim.reset();
    StartSim(WithFile());

    auto alice = LoggedIn("1001");
    auto response = alice->Call(alice->Request(KovraMsg::GET_APPLICATION_DATA_REQ).Str("KovraAssistant"));
    ASSERT_TRUE(response);
    ASSERT_EQ(TSimTestClient::ErrorOf(*response), 0u);
    EXPECT_EQ(response->ReadStr(), "KovraAssistant");
    EXPECT_EQ(response->ReadStr(), value);
    // Another phone's data is its own.
    auto bob = LoggedIn("1002");
    EXPECT_EQ(bob->Ask(bob->Request(KovraMsg::GET_APPLICATION_DATA_REQ).Str("KovraAssistant")), 22u);
}

TEST_F(SimDataTest, BrokenDataFileIsRefusedAndLeftAlone)
{
    sim->Stop();
    sim.reset();
    {
        std::ofstream file(path, std::ios::binary);
        file << "{\"appdata\": {\"1001\": ";
    }
    kovrasim::TKovraSim broken(WithFile());
    std::string error;
    EXPECT_FALSE(broken.Start(error));
    EXPECT_NE(error.find("not a kovrasim data document"), std::string::npos);
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "{\"appdata\": {\"1001\": ");
}
