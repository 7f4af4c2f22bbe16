#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <mutex>

#include "platform/SocketSupport_win.h"
#include "platform/UdpSocket.h"

namespace platform {
using detail::EnsureWinsock;
using detail::ToAddress;
struct UdpSocket::Impl {
    SOCKET handle = INVALID_SOCKET;
};

UdpSocket::UdpSocket() : impl_(std::make_unique<Impl>())
{
    EnsureWinsock();
}

UdpSocket::~UdpSocket()
{
    Close();
}

int UdpSocket::Bind(std::uint16_t port, const std::string& address)
{
    Close();
    impl_->handle = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (impl_->handle == INVALID_SOCKET)
        return WSAGetLastError();
    sockaddr_in local;
    if (!ToAddress(address, port, local)) {
        Close();
        return WSAEINVAL;
    }
    if (::bind(impl_->handle, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int error = WSAGetLastError();
        Close();
        return error;
    }
    return kSocketOk;
}

std::uint16_t UdpSocket::LocalPort() const
{
    sockaddr_in local{};
    int length = sizeof local;
    if (impl_->handle == INVALID_SOCKET ||
        ::getsockname(impl_->handle, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

bool UdpSocket::IsOpen() const
{
    return impl_->handle != INVALID_SOCKET;
}

void UdpSocket::Close()
{
    if (impl_->handle != INVALID_SOCKET) {
        ::closesocket(impl_->handle);
        impl_->handle = INVALID_SOCKET;
    }
}

int UdpSocket::SendTo(const void* data, std::size_t size, const std::string& address, std::uint16_t port)
{
    sockaddr_in remote;
    if (!ToAddress(address, port, remote) || address.empty())
        return kSocketHostUnreachable;
    const int sent = ::sendto(impl_->handle, static_cast<const char*>(data), static_cast<int>(size), 0,
                              reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    return sent == SOCKET_ERROR ? WSAGetLastError() : kSocketOk;
}

bool UdpSocket::WaitReadable(unsigned ms)
{
    if (impl_->handle == INVALID_SOCKET)
        return false;
    WSAPOLLFD entry{impl_->handle, POLLRDNORM, 0};
    return ::WSAPoll(&entry, 1, static_cast<INT>(ms)) > 0;
}

ReceiveResult UdpSocket::ReceiveFrom(void* buffer, std::size_t capacity, unsigned ms)
{
    ReceiveResult result;
    if (impl_->handle == INVALID_SOCKET) {
        result.Error = WSAENOTSOCK;
        return result;
    }
    WSAPOLLFD entry{impl_->handle, POLLRDNORM, 0};
    const int ready = ::WSAPoll(&entry, 1, static_cast<INT>(ms));
    if (ready == SOCKET_ERROR) {
        result.Error = WSAGetLastError();
        return result;
    }
    if (ready == 0)
        return result;
    sockaddr_in sender{};
    int length = sizeof sender;
    const int received = ::recvfrom(impl_->handle, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                                    reinterpret_cast<sockaddr*>(&sender), &length);
    char text[INET_ADDRSTRLEN] = {};
    if (received == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error == WSAEMSGSIZE) {
            // The datagram did not fit the buffer: its first bytes are there but must not be used.
            result.Truncated = true;
            result.Error = kSocketMessageTooLong;
            inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
            result.FromAddress = text;
            return result;
        }
        result.Error = error == WSAEWOULDBLOCK ? kSocketOk : error;
        return result;
    }
    inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
    result.FromAddress = text;
    result.FromPort = ntohs(sender.sin_port);
    result.Bytes = static_cast<std::size_t>(received);
    return result;
}

std::string ResolveIPv4(const std::string& host)
{
    EnsureWinsock();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::string();
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    return text;
}

} // namespace platform
