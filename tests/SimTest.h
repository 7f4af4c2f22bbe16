#pragma once
// kovrasim started in this process for a test: loopback, ephemeral ports, neither portal nor
// control port, intervals scaled down; stopped after the case. The suite defines
// KOVRASIM_TEST_DATA, the folder of the simulator's data files.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "KovraSim.h"
#include "TestSupport.h"

// Three phones with every capability; a ringing call goes unanswered after 150 ms.
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

class SimFixture : public ::testing::Test {
protected:
    void StartSim(kovrasim::TSimOptions options = FastOptions())
    {
        sim = std::make_unique<kovrasim::TKovraSim>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }
    void TearDown() override
    {
        if (sim)
            sim->Stop();
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
    // The simulator's connection state of one party, -1 when the call or the party is gone.
    int SimState(const std::string& oid, const std::string& number)
    {
        std::lock_guard guard(sim->Lock());
        const auto& calls = sim->Phones().Calls();
        const auto found = calls.find(oid);
        if (found == calls.end())
            return -1;
        for (const kovrasim::TSimParty& party : found->second.Parties)
            if (party.Number == number)
                return static_cast<int>(party.ConnState);
        return -1;
    }
    std::size_t SimCallCount()
    {
        std::lock_guard guard(sim->Lock());
        return sim->Phones().Calls().size();
    }

    std::unique_ptr<kovrasim::TKovraSim> sim;
};
