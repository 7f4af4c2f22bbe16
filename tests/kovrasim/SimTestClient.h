#pragma once
// A small client of the server protocol for driving kovrasim in tests: it logs in, numbers its
// own messages and retransmits them until acknowledged, acknowledges every numbered message,
// treats a message numbered E-1 as a repeat and any other number out of order as the end of the
// session, as the assistant's own client does. It keeps the calls it hears of as the assistant
// would, with the current-call identifiers.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "MsgBuilder.h"
#include "api/KovraAPIMsg.h"
#include "platform/UdpSocket.h"

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

struct TTestParkNotice {
    std::string Related, From, FromNumber, Place;
};

class TSimTestClient {
public:
    TSimTestClient(std::string server, std::uint16_t port);

    unsigned AckWaitMs = 100;
    unsigned Tries = 4;
    std::uint32_t InvokeID = 7;

    // The handshake and LOGIN_RSP; true when logged in.
    bool Login();
    // MONITOR_START_REQ; the answer's error code (or 0xFFFFFFFF when none came). Sets Device on success.
    std::uint32_t Monitor(const std::string& phone, const std::string& password,
                          const std::string& retry = "");
    // Sends a request and waits for its response; the response (positioned after the error code)
    // or empty when the session ended or nothing came.
    std::optional<TKovraAPIMsg> Call(TKovraAPIMsg request, unsigned waitMs = 2000);
    static std::uint32_t ErrorOf(TKovraAPIMsg& response);
    // Call, for the answer's error code alone (0xFFFFFFFF when none came).
    std::uint32_t Ask(TKovraAPIMsg request);
    // A request of a type with InvokeID and Device already written.
    TMsgBuilder Request(std::uint32_t type) const;
    // Numbers and transmits a message until acknowledged; false when the session ended.
    bool Send(TKovraAPIMsg msg);
    // Reads and handles whatever arrives for ms.
    void Pump(unsigned ms);
    bool WaitFor(const std::function<bool()>& done, unsigned ms = 3000);
    void Disconnect();

    bool Connected = false;
    std::string Device;
    std::string ApiVersion, ServerVersion;
    std::map<std::string, TTestCall> Calls;
    std::string ActiveCallId, AlertingCallId, HeldCallId;
    TTestPhoneState PhoneState;
    std::vector<TTestParkNotice> ParkNotices;
    std::deque<TKovraAPIMsg> Inbox; // responses and events other than call and phone-state events
    int Repeats = 0;                // messages seen again and acknowledged again

private:
    // Reads one datagram within ms; empty when none.
    std::optional<TKovraAPIMsg> ReceiveOne(unsigned ms);
    void HandleIncoming(TKovraAPIMsg& msg);
    void Dispatch(TKovraAPIMsg& msg);
    void OnCallEvent(TKovraAPIMsg& msg);
    void SendRaw(const TKovraAPIMsg& msg);

    std::string server_;
    std::uint16_t port_;
    platform::UdpSocket socket_;
    std::uint32_t sendSeq_ = 0;
    std::uint32_t expectSeq_ = 0;
};
