#pragma once
// A scripted telephony server for the session tests: one loopback UDP socket on an ephemeral
// port and a thread that records every datagram, acknowledges what needs it, answers the log-in
// and runs the scripted answers. Tests send it messages to deliver to the client.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "api/KovraAPIMsg.h"
#include "platform/UdpSocket.h"

struct TReceivedDatagram {
    std::uint32_t Seq = 0;
    std::uint32_t Type = 0;
    std::vector<std::uint8_t> Bytes;

    // The message decoded, positioned after the header.
    TKovraAPIMsg Message() const;
};

class ApiTestServer {
public:
    using Answer = std::function<void(ApiTestServer& server, const TReceivedDatagram& request)>;

    ApiTestServer();
    ~ApiTestServer();

    std::uint16_t Port() const { return port_; }
    static std::string Address() { return "127.0.0.1"; }

    // Scripted behaviour; change it before the datagrams it concerns arrive.
    std::atomic<bool> Acknowledge{true};   // ACK every numbered message from the client
    std::atomic<bool> AnswerLogin{true};   // LOGIN_RSP after acknowledging LOGIN_REQ
    std::atomic<std::uint32_t> LoginError{0};
    std::atomic<std::uint32_t> InvokeID{0};
    void SetVersions(const std::string& apiVersion, const std::string& serverVersion);
    // Runs on the server thread after the request of this type has been acknowledged.
    void OnRequest(std::uint32_t type, Answer answer);

    // A response to the client (InvokeID and error written) or an event (header only); the
    // caller appends the fields, then Send numbers it with the server's sequence and sends it.
    TKovraAPIMsg Response(std::uint32_t type, std::uint32_t error) const;
    static TKovraAPIMsg Event(std::uint32_t type);
    std::uint32_t Send(TKovraAPIMsg msg);
    void SendRaw(const std::vector<std::uint8_t>& bytes);
    std::uint32_t NextSequence() const { return sendSeq_; }

    std::vector<TReceivedDatagram> Received() const;
    std::vector<TReceivedDatagram> ReceivedOfType(std::uint32_t type) const;
    std::size_t Count(std::uint32_t type) const;

private:
    void Run();
    void Handle(const TReceivedDatagram& datagram);
    void SendBytes(const std::vector<std::uint8_t>& bytes);

    platform::UdpSocket socket_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;

    mutable std::mutex lock_;
    std::vector<TReceivedDatagram> received_;
    std::set<std::uint32_t> answered_;  // sequence numbers already answered since the log-in
    std::map<std::uint32_t, Answer> answers_;
    std::string apiVersion_ = "2.3";
    std::string serverVersion_ = "kovra-test 1.0";
    std::string clientAddress_;
    std::uint16_t clientPort_ = 0;

    std::mutex sendLock_;
    std::atomic<std::uint32_t> sendSeq_{0};
};

// Runs the main loop until done() or ms have passed; true when done.
bool PumpUntil(const std::function<bool()>& done, unsigned ms = 5000);
// Runs the main loop for ms.
void PumpFor(unsigned ms);
