#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/SocketSupport_posix.h"
#include "platform/UdpSocket.h"

namespace platform {
using detail::ToAddress;
namespace {

// The protocol logic speaks the Windows socket codes; other errors keep their system number.
int MapError(int error)
{
    switch (error) {
    case 0:
        return kSocketOk;
    case EINTR:
        return kSocketInterrupted;
    case EACCES:
        return kSocketAccessDenied;
    case EMSGSIZE:
        return kSocketMessageTooLong;
    case EADDRINUSE:
        return kSocketAddressInUse;
    case ECONNREFUSED: // what Linux reports after an ICMP port-unreachable
    case ECONNRESET:
        return kSocketConnectionReset;
    case ETIMEDOUT:
        return kSocketTimedOut;
    case EHOSTUNREACH:
    case ENETUNREACH:
        return kSocketHostUnreachable;
    default:
        return error;
    }
}

} // namespace

struct UdpSocket::Impl {
    int fd = -1;
};

UdpSocket::UdpSocket() : impl_(std::make_unique<Impl>())
{
}

UdpSocket::~UdpSocket()
{
    Close();
}

int UdpSocket::Bind(std::uint16_t port, const std::string& address)
{
    Close();
    impl_->fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (impl_->fd < 0)
        return MapError(errno);
    sockaddr_in local;
    if (!ToAddress(address, port, local)) {
        Close();
        return EINVAL;
    }
    if (::bind(impl_->fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int error = MapError(errno);
        Close();
        return error;
    }
    return kSocketOk;
}

std::uint16_t UdpSocket::LocalPort() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (impl_->fd < 0 || ::getsockname(impl_->fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

bool UdpSocket::IsOpen() const
{
    return impl_->fd >= 0;
}

void UdpSocket::Close()
{
    if (impl_->fd >= 0) {
        ::close(impl_->fd);
        impl_->fd = -1;
    }
}

int UdpSocket::SendTo(const void* data, std::size_t size, const std::string& address, std::uint16_t port)
{
    sockaddr_in remote;
    if (!ToAddress(address, port, remote) || address.empty())
        return kSocketHostUnreachable;
    const ssize_t sent =
        ::sendto(impl_->fd, data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    return sent < 0 ? MapError(errno) : kSocketOk;
}

bool UdpSocket::WaitReadable(unsigned ms)
{
    if (impl_->fd < 0)
        return false;
    pollfd entry{impl_->fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(ms)) > 0 && (entry.revents & (POLLIN | POLLERR)) != 0;
}

ReceiveResult UdpSocket::ReceiveFrom(void* buffer, std::size_t capacity, unsigned ms)
{
    ReceiveResult result;
    if (impl_->fd < 0) {
        result.Error = EBADF;
        return result;
    }
    pollfd entry{impl_->fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(ms));
    if (ready < 0) {
        result.Error = MapError(errno);
        return result;
    }
    if (ready == 0)
        return result;
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    // MSG_TRUNC makes the call return the datagram's real length, so an oversized one is seen.
    const ssize_t received = ::recvfrom(impl_->fd, buffer, capacity, MSG_TRUNC | MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr*>(&sender), &length);
    if (received < 0) {
        result.Error = (errno == EAGAIN || errno == EWOULDBLOCK) ? kSocketOk : MapError(errno);
        return result;
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
    result.FromAddress = text;
    result.FromPort = ntohs(sender.sin_port);
    if (static_cast<std::size_t>(received) > capacity) {
        result.Truncated = true;
        result.Error = kSocketMessageTooLong;
        return result;
    }
    result.Bytes = static_cast<std::size_t>(received);
    return result;
}

std::string ResolveIPv4(const std::string& host)
{
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
