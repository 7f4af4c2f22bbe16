#pragma once
// A client of the server protocol for driving kovrasim in tests. The product's own connection
// manager carries the exchange (log-in, numbering, retransmission, acknowledgements, repeats and
// sequence errors); this client keeps the calls it hears of with this phone's state in each, and
// gives the tests each response. Which call is current is the assistant's business, tested there.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "MsgBuilder.h"
#include "TestConnectionOwner.h"
#include "api/KovraAPIMsg.h"
#include "api/KovraConnectionMngr.h"

struct TTestConnection {
    std::string Number, Name;
    std::uint32_t PartyState = 0, ConnState = 0;
};

struct TTestCall {
    std::string Oid, Related;
    std::uint32_t Event = 0, Cause = 0, Mine = 0;
    std::vector<TTestConnection> Connections;
    // Parties still in the call (a party that just left is reported once with state 0).
    std::size_t LiveCount() const
    {
        std::size_t count = 0;
        for (const TTestConnection& connection : Connections)
            count += connection.ConnState != 0 ? 1 : 0;
        return count;
    }
};

struct TTestPhoneState {
    std::uint32_t State = 0, VoiceMail = 0;
    bool InService = false, DoNotDisturb = false, Forwarded = false;
    int Count = 0; // events received
};

// The client is its connection manager's owner: Invoke is 7, IsConnected the session flag.
class TSimTestClient : public TestConnectionOwner {
public:
    // Tries wait 100 ms each unless timings say otherwise.
    TSimTestClient(const std::string& server, std::uint16_t port,
                   api::TKovraTimings timings = api::TKovraTimings::ScaledDown(20));

    // The handshake and LOGIN_RSP; true when logged in.
    bool Login();
    // MONITOR_START_REQ; the answer's error code (or 0xFFFFFFFF when none came). Sets Device on success.
    std::uint32_t Monitor(const std::string& phone, const std::string& password,
                          const std::string& retry = "");
    // Sends a request and waits for its response; the response (positioned after the error code)
    // or empty when the session ended or nothing came.
    std::optional<api::TKovraAPIMsg> Call(api::TKovraAPIMsg request, unsigned waitMs = 2000);
    static std::uint32_t ErrorOf(api::TKovraAPIMsg& response);
    // Call, for the answer's error code alone (0xFFFFFFFF when none came).
    std::uint32_t Ask(api::TKovraAPIMsg request);
    // A request of a type with InvokeID and Device already written.
    TMsgBuilder Request(std::uint32_t type) const;
    // This phone's connection state in the call, 0 when it is not in it.
    std::uint32_t StateOf(const std::string& oid) const
    {
        const auto found = Calls.find(oid);
        return found == Calls.end() ? 0 : found->second.Mine;
    }

    std::string Device;
    std::map<std::string, TTestCall> Calls;
    std::vector<TTestCall> Parked; // park notices (the call's parked event), in order
    TTestPhoneState PhoneState;
    std::deque<api::TKovraAPIMsg> Inbox; // responses and events other than call and phone-state events
    int Repeats = 0;                     // messages seen again and acknowledged again

private:
    void ReceiveHook(const api::TKovraAPIMsg& msg) override;
    void DispatchMessage(api::TKovraAPIMsg& msg) override;
    void OnCallEvent(api::TKovraAPIMsg& msg);

    std::set<std::uint32_t> seen_;                       // numbers of this session's messages
    std::unique_ptr<api::TKovraConnectionMngr> manager_; // goes first: it reports to this client
};
