#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <mutex>

#include "platform/SocketSupport_win.h"
#include "platform/UdpSocket.h"

namespace platform {
using detail::EnsureWinsock;
using detail::ToAddress;
// Waits go through an event the system sets when a datagram arrives (WSAEventSelect), which also
// makes the socket non-blocking. Under Wine a WSAPoll is an asynchronous request to the wine
// server, and its wake-up took about 2.5 ms at the median against about 0.15 ms for the event.
struct UdpSocket::Impl {
    SOCKET handle = INVALID_SOCKET;
    WSAEVENT readable = WSA_INVALID_EVENT;
};

namespace {

// How long a send waits for room in the socket's buffer before it gives up.
constexpr INT kSendRoomWaitMs = 200;

} // namespace

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
    impl_->readable = WSACreateEvent();
    if (impl_->readable == WSA_INVALID_EVENT ||
        WSAEventSelect(impl_->handle, impl_->readable, FD_READ) != 0) {
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
    if (impl_->readable != WSA_INVALID_EVENT) {
        WSACloseEvent(impl_->readable);
        impl_->readable = WSA_INVALID_EVENT;
    }
}

int UdpSocket::SendTo(const void* data, std::size_t size, const std::string& address, std::uint16_t port)
{
    sockaddr_in remote;
    if (!ToAddress(address, port, remote) || address.empty())
        return kSocketHostUnreachable;
    const auto send = [&] {
        return ::sendto(impl_->handle, static_cast<const char*>(data), static_cast<int>(size), 0,
                        reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    };
    int sent = send();
    // The socket does not block: a full buffer is waited for here, as a blocking send would.
    if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
        WSAPOLLFD entry{impl_->handle, POLLWRNORM, 0};
        if (::WSAPoll(&entry, 1, kSendRoomWaitMs) > 0)
            sent = send();
        else
            WSASetLastError(WSAEWOULDBLOCK);
    }
    return sent == SOCKET_ERROR ? WSAGetLastError() : kSocketOk;
}

// The event stays set until a receive resets it, and each receive asks the system to set it again
// for the next datagram, or at once when one is still waiting.
bool UdpSocket::WaitReadable(unsigned ms)
{
    if (impl_->handle == INVALID_SOCKET)
        return false;
    return WSAWaitForMultipleEvents(1, &impl_->readable, FALSE, ms, FALSE) == WSA_WAIT_EVENT_0;
}

ReceiveResult UdpSocket::ReceiveFrom(void* buffer, std::size_t capacity, unsigned ms)
{
    ReceiveResult result;
    if (impl_->handle == INVALID_SOCKET) {
        result.Error = WSAENOTSOCK;
        return result;
    }
    sockaddr_in sender{};
    int length = sizeof sender;
    const auto receive = [&] {
        length = sizeof sender;
        return ::recvfrom(impl_->handle, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                          reinterpret_cast<sockaddr*>(&sender), &length);
    };
    // Reset before the read: a datagram that comes after it either is read here or, since the
    // read asks for the next one, sets the event again.
    WSAResetEvent(impl_->readable);
    int received = receive();
    int error = received == SOCKET_ERROR ? WSAGetLastError() : 0;
    const ULONGLONG until = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); error == WSAEWOULDBLOCK && now < until; now = GetTickCount64()) {
        if (WSAWaitForMultipleEvents(1, &impl_->readable, FALSE, static_cast<DWORD>(until - now), FALSE) !=
            WSA_WAIT_EVENT_0)
            break;
        WSAResetEvent(impl_->readable);
        received = receive();
        error = received == SOCKET_ERROR ? WSAGetLastError() : 0;
    }
    char text[INET_ADDRSTRLEN] = {};
    if (received == SOCKET_ERROR) {
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
