#pragma once
// The server side of the datagram exchange: one session per client address, each numbering its
// own messages, acknowledging every numbered message, answering a repeat with a second ACK
// without processing it, retransmitting its own messages until acknowledged, keeping at most one
// of them unacknowledged (the rest wait in order), and ending sessions that fall silent. Faults
// (loss, duplicates, delay, reordering, silence) are applied here, to every datagram.

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "SimConfig.h"
#include "SimTrace.h"
#include "api/KovraAPIMsg.h"
#include "platform/UdpSocket.h"

namespace kovrasim {

struct TSimFaults {
    double Loss = 0;      // share of datagrams lost, both directions
    double Duplicate = 0; // share of sent datagrams sent twice
    unsigned DelayMs = 0; // every sent datagram waits this long
    bool Silence = false; // nothing is sent, nothing received is looked at
    bool Reorder = false; // each sent datagram trades places with the next one to the same client
};

// What the phone system gets from the exchange. Called with the simulator's lock held.
class ISimRequestHandler {
public:
    virtual ~ISimRequestHandler() = default;
    // A new request; msg is positioned after its InvokeID.
    virtual void HandleRequest(int session, std::uint32_t invokeId, api::TKovraAPIMsg& msg) = 0;
    virtual void SessionEnded(int session) = 0;
    // Called about every few milliseconds, for the phone system's own timers.
    virtual void Tick(std::uint64_t nowMs) = 0;
};

struct TSimSessionInfo {
    int Id = 0;
    std::string Address;
    std::uint16_t Port = 0;
    std::string ClientName;
    std::string ClientVersion;
    std::uint32_t InvokeID = 0;
    std::uint32_t NextSendSeq = 0;
    std::uint32_t ExpectedSeq = 0;
    std::size_t Waiting = 0; // messages queued behind the unacknowledged one
    bool Unacknowledged = false;
};

class TSimServer {
public:
    // lock guards everything of the simulator; the loop thread takes it for each piece of work.
    TSimServer(const TSimOptions& options, TSimTrace& trace, std::recursive_mutex& lock);
    ~TSimServer();

    void SetHandler(ISimRequestHandler* handler) { handler_ = handler; }
    // Binds one socket per server address; false with a message when one cannot be bound.
    bool Bind(std::string& error);
    // The bound port of the socket of address index i.
    std::uint16_t Port(std::size_t index = 0) const;
    void Start();
    void Stop();

    // The rest with the lock held.
    // Queues a message to a session; it is numbered when it goes out.
    void Send(int session, api::TKovraAPIMsg msg);
    // Ends a session telling the client with DISCONNECT; false for an unknown session.
    bool Kick(int session);
    std::vector<TSimSessionInfo> Sessions() const;
    bool HasSession(int session) const { return sessions_.count(session) != 0; }
    TSimFaults& Faults() { return faults_; }
    void SetSeed(std::uint32_t seed) { random_.seed(seed); }
    // Every session idle: nothing unacknowledged, nothing queued, no datagram held back.
    bool Idle() const;

private:
    struct Session {
        int Id = 0;
        std::size_t Socket = 0;
        std::string Address;
        std::uint16_t Port = 0;
        std::string ClientName, ClientVersion;
        std::uint32_t InvokeID = 0;
        std::uint32_t SendSeq = 0;
        std::uint32_t ExpectSeq = 0;
        std::deque<api::TKovraAPIMsg> Queue;
        std::optional<api::TKovraAPIMsg> Current;
        unsigned Tries = 0;
        std::uint64_t LastSendMs = 0;
        std::uint64_t LastHeardMs = 0;
        std::uint64_t LoginMs = 0;
    };
    struct HeldDatagram {
        std::uint64_t DueMs = 0;
        std::size_t Socket = 0;
        std::string Address;
        std::uint16_t Port = 0;
        std::vector<std::uint8_t> Bytes;
        bool Reordered = false;
    };

    void Loop();
    void OnDatagram(std::size_t socket, const platform::ReceiveResult& from, const std::uint8_t* data);
    void OnLogin(Session* existing, std::size_t socket, const platform::ReceiveResult& from,
                 api::TKovraAPIMsg& msg);
    void OnNumbered(Session& session, api::TKovraAPIMsg& msg);
    void SendNext(Session& session);
    void SendAck(const Session& session, std::uint32_t seq);
    void EndSession(int id, bool tellClient, const std::string& reason);
    void RunTimers(std::uint64_t now);
    Session* Find(std::size_t socket, const std::string& address, std::uint16_t port);

    // Every datagram leaves through here, where the faults apply.
    void Emit(std::size_t socket, const std::string& address, std::uint16_t port,
              const std::vector<std::uint8_t>& bytes);
    void Transmit(std::size_t socket, const std::string& address, std::uint16_t port,
                  const std::vector<std::uint8_t>& bytes, const std::string& note);
    bool Roll(double share);

    const TSimOptions& options_;
    TSimTrace& trace_;
    std::recursive_mutex& lock_;
    ISimRequestHandler* handler_ = nullptr;
    std::vector<std::unique_ptr<platform::UdpSocket>> sockets_;
    std::map<int, Session> sessions_;
    int nextSessionId_ = 1;
    std::vector<HeldDatagram> held_;
    TSimFaults faults_;
    std::mt19937 random_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

std::uint64_t NowMs();

} // namespace kovrasim
