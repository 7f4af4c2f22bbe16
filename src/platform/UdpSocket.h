#pragma once
// One UDP socket, with the socket error codes of the Windows sockets API on every system so
// that the protocol logic reads the same everywhere.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum SocketError : int {
    kSocketOk = 0,
    kSocketInterrupted = 10004,
    kSocketAccessDenied = 10013,
    kSocketMessageTooLong = 10040,
    kSocketAddressInUse = 10048,
    kSocketConnectionReset = 10054,
    kSocketTimedOut = 10060,
    kSocketHostUnreachable = 10065,
};

struct ReceiveResult {
    std::size_t Bytes = 0;   // bytes placed in the buffer
    int Error = kSocketOk;   // kSocketOk with no bytes: nothing arrived in time
    bool Truncated = false;  // the datagram was larger than the buffer; its bytes are not usable
    std::string FromAddress; // dotted IPv4 text
    std::uint16_t FromPort = 0;
};

class UdpSocket {
public:
    UdpSocket();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Binds to the local port on all IPv4 addresses (or on the given one); 0 picks a free port.
    // Returns kSocketOk or the error.
    int Bind(std::uint16_t port, const std::string& address = std::string());
    std::uint16_t LocalPort() const;
    bool IsOpen() const;
    void Close();

    // Sends one datagram; returns kSocketOk or the error.
    int SendTo(const void* data, std::size_t size, const std::string& address, std::uint16_t port);
    // True when a datagram (or an error) is waiting; waits up to ms.
    bool WaitReadable(unsigned ms);
    // Receives one datagram, waiting up to ms.
    ReceiveResult ReceiveFrom(void* buffer, std::size_t capacity, unsigned ms);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The first IPv4 address of a host name in dotted text, or the empty text when it cannot be resolved.
std::string ResolveIPv4(const std::string& host);

} // namespace platform
