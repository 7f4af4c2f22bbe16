#pragma once
// msgrsim's control channel: one line per command, one line per answer ("ok ..." or
// "error ..."), over a TCP connection on 127.0.0.1. Commands run on the main thread.

#include <atomic>
#include <string>
#include <thread>

#include "MsgrSim.h"
#include "platform/TcpSocket.h"

namespace msgrsim {

class TSimControl {
public:
    explicit TSimControl(TMsgrSim& sim) : sim_(sim) {}
    // Main thread.
    std::string Execute(const std::string& line);
    // "crash" was asked for: the process ends abruptly once its answer is out.
    bool CrashRequested() const { return crash_; }

private:
    TMsgrSim& sim_;
    std::atomic<bool> crash_{false};
};

class TSimControlPort {
public:
    explicit TSimControlPort(TMsgrSim& sim) : control_(sim) {}
    ~TSimControlPort();
    // Listens on 127.0.0.1:port (0 picks one).
    bool Start(std::uint16_t port);
    void Stop();
    int Port() const { return listener_.LocalPort(); }

private:
    void Loop();

    TSimControl control_;
    platform::TcpListener listener_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

} // namespace msgrsim
