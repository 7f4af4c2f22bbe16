#include "LoopbackHttpServer.h"

#include <chrono>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketLength = int;
constexpr int kSendFlags = 0;
namespace {
void CloseSocket(std::intptr_t s)
{
    closesocket(static_cast<SOCKET>(s));
}
void StartSockets()
{
    static WSADATA data;
    static int started = WSAStartup(MAKEWORD(2, 2), &data);
    (void)started;
}
} // namespace
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using SocketLength = socklen_t;
constexpr int kSendFlags = MSG_NOSIGNAL;
namespace {
void CloseSocket(std::intptr_t s)
{
    close(static_cast<int>(s));
}
void StartSockets()
{
}
} // namespace
#endif

#include <cstring>

namespace {

std::intptr_t OpenListener(std::uint16_t& port)
{
    StartSockets();
    std::intptr_t s = static_cast<std::intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (s < 0)
        return -1;
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    SocketLength length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        CloseSocket(s);
        return -1;
    }
    port = ntohs(address.sin_port);
    return s;
}

// Waits up to 50 ms for the socket to become readable.
bool Readable(std::intptr_t s)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{0, 50000};
    return select(static_cast<int>(s + 1), &set, nullptr, nullptr, &wait) > 0;
}

const char* Reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer()
{
    listener_ = OpenListener(port_);
    if (listener_ != kNoSocket)
        thread_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ != kNoSocket)
        CloseSocket(listener_);
}

void LoopbackHttpServer::Serve(const std::string& path, int status, const std::string& body)
{
    std::lock_guard lock(mutex_);
    replies_[path] = {status, body};
}

std::vector<std::string> LoopbackHttpServer::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::uint16_t LoopbackHttpServer::UnusedPort()
{
    std::uint16_t port = 0;
    std::intptr_t s = OpenListener(port);
    if (s != kNoSocket)
        CloseSocket(s);
    return port;
}

void LoopbackHttpServer::Run()
{
    while (!stop_) {
        if (!Readable(listener_))
            continue;
        std::intptr_t client = static_cast<std::intptr_t>(accept(listener_, nullptr, nullptr));
        if (client < 0)
            continue;
        Answer(client);
        CloseSocket(client);
    }
}

void LoopbackHttpServer::Answer(std::intptr_t client)
{
    std::string head;
    char piece[512];
    for (int waits = 0; head.find("\r\n\r\n") == std::string::npos && waits < 100 && !stop_; ++waits) {
        if (!Readable(client))
            continue;
        int got = static_cast<int>(recv(client, piece, sizeof piece, 0));
        if (got <= 0)
            return;
        head.append(piece, static_cast<std::size_t>(got));
    }
    std::size_t pathStart = head.find(' ');
    std::size_t pathEnd = pathStart == std::string::npos ? pathStart : head.find(' ', pathStart + 1);
    if (pathEnd == std::string::npos)
        return;
    std::string path = head.substr(pathStart + 1, pathEnd - pathStart - 1);
    Reply reply{404, "<html><body>no such page</body></html>"};
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
        auto found = replies_.find(path);
        if (found != replies_.end())
            reply = found->second;
    }
    // A hold ends by itself after a while, so a client that waits for the answer still gets it.
    for (int waits = 0; held_ && !stop_ && waits < 150; ++waits)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string answer =
        "HTTP/1.1 " + std::to_string(reply.Status) + " " + Reason(reply.Status) +
        "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(reply.Body.size()) +
        "\r\nConnection: close\r\n\r\n" + reply.Body;
    std::size_t sent = 0;
    while (sent < answer.size()) {
        int n = static_cast<int>(
            send(client, answer.data() + sent, static_cast<int>(answer.size() - sent), kSendFlags));
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
    ++answered_;
}
