#pragma once
// A small HTTP server on 127.0.0.1 and an ephemeral port, for the portal fetch tests. The same
// plain-socket server runs in both builds, so WinINet under Wine and libcurl meet the same peer.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"

class LoopbackHttpServer {
public:
    struct Reply {
        int Status = 200;
        std::string Body;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();

    // Path with its query, as the request line carries it. Unknown paths get a 404 page.
    void Serve(const std::string& path, int status, const std::string& body);
    std::uint16_t Port() const { return port_; }
    bool Listening() const { return port_ != 0; }
    // Request heads (request line and header lines) received so far.
    std::vector<std::string> Requests() const;
    // While held (3 s at most), requests are read but not answered; Answered counts the answers.
    void HoldAnswers(bool hold) { held_ = hold; }
    int Answered() const { return answered_; }

    // A port on which nothing listens (bound, then closed).
    static std::uint16_t UnusedPort();

private:
    void Answer(platform::TcpStream& client);

    platform::TcpListener listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> held_{false};
    std::atomic<int> answered_{0};
    mutable std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::vector<std::string> requests_;
    std::thread thread_;
};
