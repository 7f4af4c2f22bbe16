#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <mutex>

#include "platform/SocketSupport_win.h"
#include "platform/TcpSocket.h"
#include "platform/UdpSocket.h"

namespace platform {
using detail::EnsureWinsock;
using detail::ToAddress;
namespace {

bool WaitFor(SOCKET handle, unsigned ms)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(handle, &readable);
    timeval timeout{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    return ::select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

} // namespace

struct TcpStream::Impl {
    SOCKET handle = INVALID_SOCKET;
};

TcpStream::TcpStream(std::unique_ptr<Impl> impl) : impl_(std::move(impl))
{
}

TcpStream::~TcpStream()
{
    Close();
}

std::unique_ptr<TcpStream> TcpStream::Connect(const std::string& address, std::uint16_t port)
{
    EnsureWinsock();
    sockaddr_in remote;
    if (!ToAddress(address, port, remote))
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (impl->handle == INVALID_SOCKET)
        return nullptr;
    if (::connect(impl->handle, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::closesocket(impl->handle);
        return nullptr;
    }
    return std::make_unique<TcpStream>(std::move(impl));
}

int TcpStream::SendAll(const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const int sent = ::send(impl_->handle, bytes, static_cast<int>(size), 0);
        if (sent == SOCKET_ERROR)
            return WSAGetLastError();
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return kSocketOk;
}

long TcpStream::Receive(void* buffer, std::size_t capacity, unsigned ms)
{
    if (impl_->handle == INVALID_SOCKET || !WaitFor(impl_->handle, ms))
        return -1;
    const int received = ::recv(impl_->handle, static_cast<char*>(buffer), static_cast<int>(capacity), 0);
    return received == SOCKET_ERROR ? -1 : static_cast<long>(received);
}

void TcpStream::Close()
{
    if (impl_ && impl_->handle != INVALID_SOCKET) {
        ::closesocket(impl_->handle);
        impl_->handle = INVALID_SOCKET;
    }
}

struct TcpListener::Impl {
    SOCKET handle = INVALID_SOCKET;
};

TcpListener::TcpListener() : impl_(std::make_unique<Impl>())
{
    EnsureWinsock();
}

TcpListener::~TcpListener()
{
    Close();
}

int TcpListener::Listen(std::uint16_t port, const std::string& address)
{
    Close();
    sockaddr_in local;
    if (!ToAddress(address, port, local))
        return WSAEINVAL;
    impl_->handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (impl_->handle == INVALID_SOCKET)
        return WSAGetLastError();
    if (::bind(impl_->handle, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(impl_->handle, 8) != 0) {
        const int error = WSAGetLastError();
        Close();
        return error;
    }
    return kSocketOk;
}

std::uint16_t TcpListener::LocalPort() const
{
    sockaddr_in local{};
    int length = sizeof local;
    if (impl_->handle == INVALID_SOCKET ||
        ::getsockname(impl_->handle, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

std::unique_ptr<TcpStream> TcpListener::Accept(unsigned ms)
{
    if (impl_->handle == INVALID_SOCKET || !WaitFor(impl_->handle, ms))
        return nullptr;
    const SOCKET handle = ::accept(impl_->handle, nullptr, nullptr);
    if (handle == INVALID_SOCKET)
        return nullptr;
    auto impl = std::make_unique<TcpStream::Impl>();
    impl->handle = handle;
    return std::make_unique<TcpStream>(std::move(impl));
}

void TcpListener::Close()
{
    if (impl_->handle != INVALID_SOCKET) {
        ::closesocket(impl_->handle);
        impl_->handle = INVALID_SOCKET;
    }
}

} // namespace platform
