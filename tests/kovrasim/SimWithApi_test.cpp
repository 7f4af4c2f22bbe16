// The program's own API client against the stand-in: what a user of the assistant would see.
#include <gtest/gtest.h>

#include <map>

#include "SimFixture.h"
#include "api/KovraUDPApi.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

namespace {

class SimWithApi : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        api.SetTimings(TKovraAPITimings::ScaledDown(10));
        api.SetPort(0);
        api.SetLocalAddress("127.0.0.1");
        api.SetServerPort(sim->ServerPort());
        api.SetActive(true);
        api.AddServer("127.0.0.1");
        api.SetClientName("KovraAssistant");
        api.SetClientVersion("5.0");
        api.OnLogin = [this](TKovraAPI&, std::uint32_t error, std::uint32_t, const std::string& device, std::uint32_t) {
            loginError = error;
            device_ = device;
        };
        api.OnCallConnection = [this](TKovraAPI&, std::uint32_t, const std::string&, const std::string& oid,
                                      const std::string&, std::uint32_t, std::uint32_t, double, int,
                                      const std::vector<TKovraCallConnection>& parties) {
            for (const TKovraCallConnection& party : parties)
                state[oid][party.PartyNumber] = party.PartyConnState;
            ++events;
        };
        api.OnDisconnected = [this](TKovraAPI&) { disconnected = true; };
    }
    void TearDown() override
    {
        api.SetActive(false);
        SimTest::TearDown();
    }
    void LogIn(const std::string& password = "secret")
    {
        ASSERT_TRUE(api.Connect());
        api.MonitorStart("1001", password);
        ASSERT_TRUE(PumpUntil([this] { return loginError != kNone; }, 3000));
    }
    int ConnState(const std::string& oid, const std::string& number)
    {
        auto call = state.find(oid);
        if (call == state.end() || !call->second.count(number))
            return -1;
        return static_cast<int>(call->second[number]);
    }

    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    TKovraAPI api;
    std::uint32_t loginError = kNone;
    std::string device_;
    std::map<std::string, std::map<std::string, std::uint32_t>> state;
    int events = 0;
    bool disconnected = false;
};

}  // namespace

TEST_F(SimWithApi, LogsInAndIsToldAboutAWrongPassword)
{
    LogIn("wrong");
    EXPECT_EQ(loginError, 1u);
    EXPECT_EQ(ErrorText(loginError), "Invalid Password");
    loginError = kNone;
    api.MonitorStart("1001", "secret");
    ASSERT_TRUE(PumpUntil([this] { return loginError != kNone; }, 3000));
    EXPECT_EQ(loginError, 0u);
    EXPECT_EQ(device_, "1001");
    EXPECT_EQ(api.ApiVersion(), "2.3");
}

TEST_F(SimWithApi, OutsideCallRingsIsAnsweredHeldRetrievedAndDropped)
{
    LogIn();
    ASSERT_EQ(loginError, 0u);
    const std::string oid = Ring("ring 1001 FROM 5551234 NAME \"Dana Doe\"");
    ASSERT_TRUE(PumpUntil([&] { return ConnState(oid, "1001") == 2; }, 3000)) << "ringing";
    api.AnswerCall(device_, oid);
    ASSERT_TRUE(PumpUntil([&] { return ConnState(oid, "1001") == 4; }, 3000)) << "connected";
    api.HoldCall(device_, oid);
    ASSERT_TRUE(PumpUntil([&] { return ConnState(oid, "1001") == 5; }, 3000)) << "held";
    api.RetrieveCall(device_, oid);
    ASSERT_TRUE(PumpUntil([&] { return ConnState(oid, "1001") == 4; }, 3000)) << "retrieved";
    api.DropCall(device_, oid);
    ASSERT_TRUE(PumpUntil([&] { return ConnState(oid, "1001") == 0; }, 3000)) << "gone";
    EXPECT_EQ(SimCallCount(), 0u);
}

TEST_F(SimWithApi, SettingsDocumentRoundTripsThroughApplicationData)
{
    LogIn();
    const std::string document = "\"Confirm\",\"Exit=1\"|Recent,\"Number=5551234\"";
    api.ApplicationSetData(device_, "KovraAssistant", true, document);
    std::string value;
    ASSERT_TRUE(api.ApplicationGetData(device_, "KovraAssistant", value));
    EXPECT_EQ(value, document);
}

TEST_F(SimWithApi, KickedSessionIsReportedAsDisconnected)
{
    LogIn();
    const std::string clients = Run("clients");
    ASSERT_NE(clients.find("1001"), std::string::npos) << clients;
    const std::string answer = Run("kick 1");
    EXPECT_EQ(answer.rfind("ok", 0), 0u) << answer;
    ASSERT_TRUE(PumpUntil([this] { return disconnected; }, 3000));
    EXPECT_FALSE(api.Connected());
    ASSERT_TRUE(api.Connect());  // and the assistant can come back
}
