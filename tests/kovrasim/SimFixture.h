#pragma once
// Starts kovrasim in-process on loopback with ephemeral ports and scaled-down intervals.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

#include "KovraSim.h"
#include "SimTestClient.h"
#include "api/KovraAPIConsts.h"

inline kovrasim::TSimOptions FastOptions()
{
    kovrasim::TSimOptions options;
    options.Phones = {
        {"1001", "secret", "Alice Archer", kovrasim::kAllCapabilities, 0},
        {"1002", "secret", "Bob Baker", kovrasim::kAllCapabilities, 0},
        {"1003", "secret", "Chloé Carter", kovrasim::kAllCapabilities, 0},
    };
    options.Servers = {"127.0.0.1"};
    options.ServerPort = 0;
    options.PortalPort = -1;
    options.ControlPort = -1;
    options.DataDir = KOVRASIM_TEST_DATA;
    options.AckWaitMs = 100;
    options.Tries = 4;
    options.SilenceTimeoutMs = 5000;
    options.AnswerDelayMs = 50;
    options.NoAnswerMs = 150;
    options.InvalidNumbers = {"5550000"};
    options.Seed = 4242;
    return options;
}

// A request about one call; its answer's error code.
inline std::uint32_t Answer(TSimTestClient& client, std::uint32_t type, const std::string& oid)
{
    TKovraAPIMsg request = client.Request(type);
    request.WriteOid(oid);
    auto response = client.Call(std::move(request));
    return response ? TSimTestClient::ErrorOf(*response) : 0xFFFFFFFFu;
}

// A request whose answer carries a new call's oid; the oid is empty on error.
inline std::pair<std::uint32_t, std::string> WithNewCall(TSimTestClient& client, TKovraAPIMsg request)
{
    auto response = client.Call(std::move(request));
    if (!response)
        return {0xFFFFFFFFu, ""};
    const std::uint32_t error = TSimTestClient::ErrorOf(*response);
    return {error, error == 0 ? response->ReadOid() : std::string()};
}

inline std::pair<std::uint32_t, std::string> MakeCall(TSimTestClient& client, const std::string& destination,
                                               std::uint32_t options = 0)
{
    TKovraAPIMsg request = client.Request(KovraMsg::MAKE_CALL_REQ);
    request.WriteStr(destination);
    request.WriteInt32(options);
    return WithNewCall(client, std::move(request));
}


class SimTest : public ::testing::Test {
protected:
    void StartSim(kovrasim::TSimOptions options = FastOptions())
    {
        sim = std::make_unique<kovrasim::TKovraSim>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }
    void SetUp() override { StartSim(); }
    void TearDown() override
    {
        if (sim)
            sim->Stop();
    }

    std::unique_ptr<TSimTestClient> NewClient() { return std::make_unique<TSimTestClient>("127.0.0.1", sim->ServerPort()); }
    // A client logged in and monitoring the phone.
    std::unique_ptr<TSimTestClient> LoggedIn(const std::string& phone)
    {
        auto client = NewClient();
        EXPECT_TRUE(client->Login());
        EXPECT_EQ(client->Monitor(phone, "secret"), 0u);
        return client;
    }
    std::string Run(const std::string& command) { return sim->Execute(command); }
    // The oid a "ring" answered with.
    std::string Ring(const std::string& command)
    {
        const std::string answer = Run(command);
        EXPECT_EQ(answer.rfind("ok ", 0), 0u) << answer;
        return answer.size() > 3 ? answer.substr(3) : std::string();
    }
    // Connection states of a call as the simulator holds them, "number=state ..." in call order.
    std::string SimCall(const std::string& oid)
    {
        std::lock_guard guard(sim->Lock());
        const auto& calls = sim->Phones().Calls();
        const auto found = calls.find(oid);
        if (found == calls.end())
            return "none";
        std::string text;
        for (const kovrasim::TSimParty& party : found->second.Parties)
            text += (text.empty() ? "" : " ") + party.Number + "=" + std::to_string(party.ConnState);
        return text;
    }
    std::size_t SimCallCount()
    {
        std::lock_guard guard(sim->Lock());
        return sim->Phones().Calls().size();
    }

    std::unique_ptr<kovrasim::TKovraSim> sim;
};
