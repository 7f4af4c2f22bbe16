#include "LoopbackHttpServer.h"

#include <chrono>

#include "platform/UdpSocket.h"

LoopbackHttpServer::LoopbackHttpServer()
{
    if (listener_.Listen(0, "127.0.0.1") != platform::kSocketOk)
        return;
    port_ = listener_.LocalPort();
    // One connection at a time, each answered and closed; the short accept wait lets it stop.
    thread_ = std::thread([this] {
        while (!stop_)
            if (auto client = listener_.Accept(50))
                Answer(*client);
    });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
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
    platform::TcpListener listener;
    listener.Listen(0, "127.0.0.1");
    return listener.LocalPort();
}

void LoopbackHttpServer::Answer(platform::TcpStream& client)
{
    std::string head;
    char piece[512];
    for (int waits = 0; head.find("\r\n\r\n") == std::string::npos && waits < 100 && !stop_; ++waits) {
        const long got = client.Receive(piece, sizeof piece, 50);
        if (got == 0)
            return;
        if (got > 0)
            head.append(piece, static_cast<std::size_t>(got));
    }
    const std::size_t pathStart = head.find(' ');
    const std::size_t pathEnd = head.find(' ', pathStart + 1);
    if (pathStart == std::string::npos || pathEnd == std::string::npos)
        return;
    Reply reply{404, "<html><body>no such page</body></html>"};
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
        auto found = replies_.find(head.substr(pathStart + 1, pathEnd - pathStart - 1));
        if (found != replies_.end())
            reply = found->second;
    }
    // A hold ends by itself after a while, so a client that waits for the answer still gets it.
    for (int waits = 0; held_ && !stop_ && waits < 150; ++waits)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string answer =
        "HTTP/1.1 " + std::to_string(reply.Status) + (reply.Status == 200 ? " OK" : " Error") +
        "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(reply.Body.size()) +
        "\r\nConnection: close\r\n\r\n" + reply.Body;
    if (client.SendAll(answer.data(), answer.size()) == platform::kSocketOk)
        ++answered_;
}
