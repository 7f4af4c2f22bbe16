#pragma once
// The simulator's own cases and the protocol requests they share.

#include <memory>
#include <string>

#include "SimTest.h"
#include "SimTestClient.h"
#include "api/KovraAPIConsts.h"

// A request about one call; its answer's error code.
inline std::uint32_t Answer(TSimTestClient& client, std::uint32_t type, const std::string& oid)
{
    return client.Ask(client.Request(type).Oid(oid));
}

// A request whose answer carries a new call's oid; the oid is empty on error.
inline std::pair<std::uint32_t, std::string> WithNewCall(TSimTestClient& client, api::TKovraAPIMsg request)
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
    return WithNewCall(client, client.Request(api::KovraMsg::MAKE_CALL_REQ).Str(destination).Int(options));
}

// The simulator's cases: a simulator started with FastOptions, and clients of its protocol.
class SimTest : public SimFixture {
protected:
    void SetUp() override { StartSim(); }

    std::unique_ptr<TSimTestClient> NewClient(api::TKovraTimings timings = api::TKovraTimings::ScaledDown(20))
    {
        return std::make_unique<TSimTestClient>("127.0.0.1", sim->ServerPort(), timings);
    }
    // A client logged in and monitoring the phone.
    std::unique_ptr<TSimTestClient> LoggedIn(const std::string& phone,
                                             api::TKovraTimings timings = api::TKovraTimings::ScaledDown(20))
    {
        auto client = NewClient(timings);
        EXPECT_TRUE(client->Login());
        EXPECT_EQ(client->Monitor(phone, "secret"), 0u);
        return client;
    }
};
