#pragma once
// A listening TCP socket and one connected stream, for line-based control channels. Errors are
// the Windows socket codes of UdpSocket.h on every system.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TcpStream {
public:
    struct Impl;
    explicit TcpStream(std::unique_ptr<Impl> impl);
    ~TcpStream();
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    // Connects to address:port; returns null when that fails.
    static std::unique_ptr<TcpStream> Connect(const std::string& address, std::uint16_t port);

    // Sends every byte; returns kSocketOk or the error.
    int SendAll(const void* data, std::size_t size);
    // Waits up to ms: the bytes read (> 0), 0 when the peer closed, -1 on time-out or error.
    long Receive(void* buffer, std::size_t capacity, unsigned ms);
    void Close();

private:
    std::unique_ptr<Impl> impl_;
};

class TcpListener {
public:
    TcpListener();
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Listens on address:port (0 picks a free port); returns kSocketOk or the error.
    int Listen(std::uint16_t port, const std::string& address);
    std::uint16_t LocalPort() const;
    // Waits up to ms for a connection; null when none came.
    std::unique_ptr<TcpStream> Accept(unsigned ms);
    void Close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
