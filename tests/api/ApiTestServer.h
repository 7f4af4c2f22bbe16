#pragma once
// A scripted telephony server for the protocol and session tests: one loopback UDP socket and a
// thread that records every datagram and, unless told not to, acknowledges what needs it,
// answers the log-in and runs the scripted answers. Tests send it messages to deliver to the
// client, or take the datagrams one by one and answer by hand. Its waits run the main loop, so
// the client's hand-overs to the main thread keep working while a test waits.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "MsgBuilder.h"
#include "TestSupport.h"
#include "api/KovraAPIMsg.h"
#include "platform/UdpSocket.h"

struct TReceivedDatagram {
    std::uint32_t Seq = 0;
    std::uint32_t Type = 0;
    std::vector<std::uint8_t> Bytes;

    // The message decoded, positioned after the header.
    api::TKovraAPIMsg Message() const;
};

class ApiTestServer {
public:
    using Answer = std::function<void(ApiTestServer& server, const TReceivedDatagram& request)>;

    // Binds address:port (port 0 picks one); check Bound() when the test chose the port.
    explicit ApiTestServer(const std::string& address = "127.0.0.1", std::uint16_t port = 0);
    ~ApiTestServer();

    bool Bound() const { return bound_; }
    std::uint16_t Port() const { return port_; }
    const std::string& Address() const { return address_; }

    // Scripted behaviour; change it before the datagrams it concerns arrive.
    std::atomic<bool> Acknowledge{true}; // ACK every numbered message from the client
    std::atomic<bool> AnswerLogin{true}; // LOGIN_RSP after acknowledging LOGIN_REQ
    std::atomic<std::uint32_t> LoginError{0};
    std::atomic<std::uint32_t> InvokeID{0};
    void SetVersions(const std::string& apiVersion, const std::string& serverVersion);
    // Runs on the server thread after the request of this type has been acknowledged.
    void OnRequest(std::uint32_t type, Answer answer);

    // A response to the client (InvokeID and error written) or an event (header only); the
    // caller appends the fields, then Send numbers it with the server's sequence and sends it.
    TMsgBuilder Response(std::uint32_t type, std::uint32_t error) const;
    static TMsgBuilder Event(std::uint32_t type);
    std::uint32_t Send(api::TKovraAPIMsg msg);
    void SendRaw(const std::vector<std::uint8_t>& bytes);
    std::uint32_t NextSequence() const { return sendSeq_; }

    // By hand: the next datagram not yet taken this way, within ms; the next one that is not an
    // ACK; every one that arrives within ms.
    std::optional<api::TKovraAPIMsg> Receive(unsigned ms);
    std::optional<api::TKovraAPIMsg> ReceiveRequest(unsigned ms);
    std::vector<api::TKovraAPIMsg> ReceiveAll(unsigned ms);
    void Ack(std::uint32_t seq);
    // Acknowledges LOGIN_REQ and answers it with LOGIN_RSP numbered 0.
    void AcceptLogin(std::uint32_t invokeId, std::uint32_t error = 0, const std::string& apiVersion = "2.3",
                     const std::string& serverVersion = "Test Server 1.0");
    // Where datagrams go: the last sender, unless set.
    void SetClient(const std::string& address, std::uint16_t port);
    std::pair<std::string, std::uint16_t> Client() const;

    std::vector<TReceivedDatagram> Received() const;
    std::vector<TReceivedDatagram> ReceivedOfType(std::uint32_t type) const;
    std::size_t Count(std::uint32_t type) const;
    // Waits, without running the main loop, until count datagrams of the type have arrived.
    bool AwaitCount(std::uint32_t type, std::size_t count, unsigned ms = 5000) const;

private:
    void Run();
    void Handle(const TReceivedDatagram& datagram);
    void SendBytes(const std::vector<std::uint8_t>& bytes);

    platform::UdpSocket socket_;
    std::string address_;
    bool bound_ = false;
    std::uint16_t port_ = 0;
    std::size_t taken_ = 0; // datagrams taken by Receive
    std::atomic<bool> stop_{false};
    std::thread thread_;

    mutable std::mutex lock_;
    std::vector<TReceivedDatagram> received_;
    std::map<std::uint32_t, std::size_t> counts_;
    mutable std::condition_variable arrived_; // by type: Count stays cheap in long runs
    std::set<std::uint32_t> answered_;        // sequence numbers already answered since the log-in
    std::map<std::uint32_t, Answer> answers_;
    std::string apiVersion_ = "2.3";
    std::string serverVersion_ = "kovra-test 1.0";
    std::string clientAddress_;
    std::uint16_t clientPort_ = 0;

    std::mutex sendLock_;
    std::atomic<std::uint32_t> sendSeq_{0};
};

// The scripted socket answering nothing by itself: the tests take each datagram and answer by hand,
// with the numbers they choose. Pointed at a server with SetClient, it is a bare client.
class ManualPeer : public ApiTestServer {
public:
    explicit ManualPeer(const std::string& address = "127.0.0.1", std::uint16_t port = 0)
        : ApiTestServer(address, port)
    {
        Acknowledge = false;
        AnswerLogin = false;
    }
    void Send(const api::TKovraAPIMsg& msg) { SendRaw(msg.Bytes()); }
    // Sends as if from here to the client that other server talks to.
    void Impersonate(const ApiTestServer& other)
    {
        const auto [address, port] = other.Client();
        SetClient(address, port);
    }
};

// True when datagrams sent from a socket bound to 127.0.0.x leave with that address (Linux);
// Wine sends them all from 127.0.0.1, so tests that need two hosts skip there.
bool DistinctLoopbackAddresses();
// "127.0.0.<n>" where hosts are told apart, else 127.0.0.1.
std::string LoopbackHost(int n);
