#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/SocketSupport_posix.h"
#include "platform/TcpSocket.h"
#include "platform/UdpSocket.h"

namespace platform {
using detail::ToAddress;
namespace {

bool WaitFor(int fd, unsigned ms)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(ms)) > 0;
}

} // namespace

struct TcpStream::Impl {
    int fd = -1;
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
    sockaddr_in remote;
    if (!ToAddress(address, port, remote))
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (impl->fd < 0)
        return nullptr;
    if (::connect(impl->fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(impl->fd);
        return nullptr;
    }
    return std::make_unique<TcpStream>(std::move(impl));
}

int TcpStream::SendAll(const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = ::send(impl_->fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return errno == ECONNRESET || errno == EPIPE ? kSocketConnectionReset : errno;
        }
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return kSocketOk;
}

long TcpStream::Receive(void* buffer, std::size_t capacity, unsigned ms)
{
    if (impl_->fd < 0 || !WaitFor(impl_->fd, ms))
        return -1;
    const ssize_t received = ::recv(impl_->fd, buffer, capacity, 0);
    return received < 0 ? -1 : static_cast<long>(received);
}

void TcpStream::Close()
{
    if (impl_ && impl_->fd >= 0) {
        ::close(impl_->fd);
        impl_->fd = -1;
    }
}

struct TcpListener::Impl {
    int fd = -1;
};

TcpListener::TcpListener() : impl_(std::make_unique<Impl>())
{
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
        return EINVAL;
    impl_->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (impl_->fd < 0)
        return errno;
    const int yes = 1;
    ::setsockopt(impl_->fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(impl_->fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(impl_->fd, 8) != 0) {
        const int error = errno == EADDRINUSE ? kSocketAddressInUse : errno;
        Close();
        return error;
    }
    return kSocketOk;
}

std::uint16_t TcpListener::LocalPort() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (impl_->fd < 0 || ::getsockname(impl_->fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

std::unique_ptr<TcpStream> TcpListener::Accept(unsigned ms)
{
    if (impl_->fd < 0 || !WaitFor(impl_->fd, ms))
        return nullptr;
    const int fd = ::accept4(impl_->fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto impl = std::make_unique<TcpStream::Impl>();
    impl->fd = fd;
    return std::make_unique<TcpStream>(std::move(impl));
}

void TcpListener::Close()
{
    if (impl_->fd >= 0) {
        ::close(impl_->fd);
        impl_->fd = -1;
    }
}

} // namespace platform
