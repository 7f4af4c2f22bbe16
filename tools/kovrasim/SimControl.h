#pragma once
// The control channel: one line per command, one line per answer ("ok ..." or "error ..."), from
// standard input, a scenario file or a TCP connection on 127.0.0.1.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"

namespace kovrasim {

class TKovraSim;

// Splits at blanks; "double quotes" keep blanks inside a word. False on an unclosed quote.
bool Tokenize(const std::string& line, std::vector<std::string>& words);
bool IsKnownCommand(const std::string& word);

class TSimControl {
public:
    explicit TSimControl(TKovraSim& sim) : sim_(sim) {}
    // Any thread; takes the simulator's lock for what it touches (never while waiting).
    std::string Execute(const std::string& line);
    bool QuitAsked() const { return quit_; }

private:
    std::string Ring(const std::vector<std::string>& words);
    std::string Fault(const std::vector<std::string>& words);
    std::string Meetme(const std::vector<std::string>& words);
    std::string Forward(const std::vector<std::string>& words);
    std::string ListCalls();
    std::string ListClients();
    std::string ShowPhone(const std::string& number);
    std::string Wait(const std::string& ms);

    TKovraSim& sim_;
    bool quit_ = false;
};

class TSimControlPort {
public:
    explicit TSimControlPort(TKovraSim& sim) : sim_(sim) {}
    ~TSimControlPort();
    // Listens on 127.0.0.1:port (0 picks one).
    bool Start(std::uint16_t port, std::string& error);
    void Stop();
    int Port() const { return listener_.LocalPort(); }

private:
    struct Connection {
        std::unique_ptr<platform::TcpStream> Stream;
        std::string Pending;
    };
    void Loop();
    // False when the peer has gone.
    bool Serve(Connection& connection);

    TKovraSim& sim_;
    platform::TcpListener listener_;
    std::vector<Connection> connections_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

} // namespace kovrasim
