#pragma once
// A scripted telephony server on loopback for protocol tests. Its waits run the main loop, so the
// client's hand-overs to the main thread keep working while a test waits for a datagram.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "api/KovraAPIMsg.h"
#include "platform/UdpSocket.h"

class ScriptedServer {
public:
    // Binds address:port (port 0 picks one). Check Bound() when the port was chosen by the test.
    explicit ScriptedServer(const std::string& address, std::uint16_t port = 0);

    bool Bound() const { return bound_; }
    std::uint16_t Port() const { return socket_.LocalPort(); }
    const std::string& Address() const { return address_; }

    // The next datagram from anyone within ms (running the main loop meanwhile).
    std::optional<TKovraAPIMsg> Receive(unsigned ms);
    // Every datagram that arrives within ms.
    std::vector<TKovraAPIMsg> ReceiveAll(unsigned ms);
    // The next datagram that is not an ACK; ACKs seen meanwhile are appended to acks when given.
    std::optional<TKovraAPIMsg> ReceiveRequest(unsigned ms, std::vector<TKovraAPIMsg>* acks = nullptr);

    void SendRaw(const void* data, std::size_t size);
    void Send(const TKovraAPIMsg& msg) { SendRaw(msg.Data(), msg.Size()); }
    void Ack(std::uint32_t seq);
    // Acknowledges the client's LOGIN_REQ and answers it with LOGIN_RSP numbered 0.
    void AcceptLogin(std::uint32_t invokeId, std::uint32_t error = 0, const std::string& apiVersion = "2.3",
                     const std::string& serverVersion = "Test Server 1.0");

    // Where the client talks from (learned from its datagrams) — or set explicitly.
    std::string ClientAddress;
    std::uint16_t ClientPort = 0;
    std::uint64_t Received() const { return received_; }

private:
    std::string address_;
    platform::UdpSocket socket_;
    bool bound_ = false;
    std::uint64_t received_ = 0;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(65536);
};

// True when datagrams sent from a socket bound to 127.0.0.x leave with that address (Linux);
// Wine sends them all from 127.0.0.1, so tests that need two hosts skip there.
bool DistinctLoopbackAddresses();
// "127.0.0.<n>" where hosts are told apart, else 127.0.0.1.
std::string LoopbackHost(int n);

// Runs the main loop until done() or ms pass; returns done().
bool PumpUntil(const std::function<bool()>& done, unsigned ms);
