#pragma once
// The whole simulator: the telephony server (protocol and phone system), the web portal and the
// control channel, started and stopped together. Tests run it in-process through this class.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "SimConfig.h"
#include "SimPhones.h"
#include "SimProtocol.h"
#include "SimTrace.h"

namespace kovrasim {

class TSimPortal;
class TSimControlPort;

class TKovraSim {
public:
    explicit TKovraSim(TSimOptions options);
    ~TKovraSim();
    TKovraSim(const TKovraSim&) = delete;
    TKovraSim& operator=(const TKovraSim&) = delete;

    // Loads the data file, opens the trace, binds every socket and starts serving. False with a
    // message when any of it fails (nothing is left running then).
    bool Start(std::string& error);
    void Stop();

    // Runs one control command and answers one line ("ok ..." or "error ..."). Any thread.
    std::string Execute(const std::string& line);
    // Runs a scenario file's commands in the background; false with a message when it cannot be read.
    bool StartScenario(const std::string& path, std::string& error);
    // True once a "quit" command ran.
    bool QuitRequested() const { return quit_; }

    std::uint16_t ServerPort(std::size_t index = 0) const { return server_.Port(index); }
    int PortalPort() const;
    int ControlPort() const;
    const TSimOptions& Options() const { return options_; }

    // Direct access for tests and the control channel; hold Lock() while using them.
    std::recursive_mutex& Lock() { return lock_; }
    TSimServer& Server() { return server_; }
    TSimPhoneSystem& Phones() { return phones_; }

private:
    TSimOptions options_;
    TSimTrace trace_;
    std::recursive_mutex lock_;
    TSimServer server_;
    TSimPhoneSystem phones_;
    std::unique_ptr<TSimPortal> portal_;
    std::unique_ptr<TSimControlPort> control_;
    std::thread scenario_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> quit_{false};
    bool started_ = false;

    friend class TSimControl;
};

} // namespace kovrasim
