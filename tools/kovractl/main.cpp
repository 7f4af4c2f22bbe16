// kovractl: call control from a shell. Logs in, monitors the phone, runs one command (or a
// shell of them, or just prints events), and ends cleanly. Events go to standard output as one
// JSON object per line; diagnostics go to standard error.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "KovraCtlCommands.h"
#include "KovraCtlEvents.h"
#include "api/KovraAPIConsts.h"
#include "api/KovraUDPApi.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

using namespace api;
using namespace kovractl;

namespace {

enum ExitCode { kExitSuccess = 0, kExitFailed = 1, kExitUsage = 2, kExitNoLogin = 3 };

constexpr unsigned kAnswerWait = 8000;
constexpr unsigned kLoginWait = 8000;
constexpr unsigned kLogoutWait = 4000;
// After a signal: how long the goodbye (MONITOR_STOP_REQ, DISCONNECT) may take to go out, and how
// often the main loop looks for a signal.
constexpr unsigned kStopSendWait = 150;
constexpr unsigned kSignalPoll = 50;

// Counts Ctrl-C and SIGTERM: each one ends the waits running when it comes.
std::atomic<unsigned> gStopSignals{0};
static_assert(std::atomic<unsigned>::is_always_lock_free);

extern "C" void OnStopSignal(int)
{
    ++gStopSignals;
}

struct Options {
    std::vector<std::string> Servers;
    std::string Phone;
    std::string Password;
    std::uint16_t LocalPort = 7000;
    std::uint16_t ServerPort = KOVRA_SERVER_PORT;
    std::uint32_t InvokeID = 0;
    std::string ClientName = "kovractl";
    std::string ClientVersion = "5.0";
    bool Trace = false;
};

// Lines of standard input, read on a thread of their own so the main loop keeps running. The
// thread may still be blocked in a read when the session ends, so what it writes to is shared
// with it and outlives the session.
class InputLines {
public:
    void Start()
    {
        if (started_)
            return;
        started_ = true;
        std::thread([shared = shared_] {
            std::string line;
            while (std::getline(std::cin, line)) {
                std::lock_guard lock(shared->Mutex);
                shared->Lines.push_back(line);
            }
            std::lock_guard lock(shared->Mutex);
            shared->Ended = true;
        }).detach();
    }
    bool Next(std::string& line)
    {
        std::lock_guard lock(shared_->Mutex);
        if (shared_->Lines.empty())
            return false;
        line = shared_->Lines.front();
        shared_->Lines.pop_front();
        return true;
    }
    bool Ended()
    {
        std::lock_guard lock(shared_->Mutex);
        return shared_->Ended && shared_->Lines.empty();
    }

private:
    struct Shared {
        std::mutex Mutex;
        std::deque<std::string> Lines;
        bool Ended = false;
    };
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    bool started_ = false;
};

bool StopRequested()
{
    return gStopSignals != 0;
}

class CtlSession {
public:
    CtlSession(const Options& options) : options_(options), printer_(std::cout, options.Trace)
    {
        // A signal only sets a flag; the main loop looks for it between its waits and inside the
        // session's, which it ends at once.
        signalWatch_.SetInterval(kSignalPoll);
        signalWatch_.OnTimer = [this] { WatchSignals(); };
        signalWatch_.SetEnabled(true);
    }

    int Run(const TCtlCommand& command)
    {
        const int login = LogIn();
        if (login != kExitSuccess) {
            End();
            return login;
        }
        int result = kExitSuccess;
        if (command.Verb == "monitor")
            Monitor(command.Seconds);
        else if (command.Verb == "shell")
            Shell();
        else
            result = Outcome(RunCtlCommand(api_, printer_, device_, command, kAnswerWait, StopRequested),
                             command.Verb);
        End();
        return result;
    }

private:
    int LogIn()
    {
        api_.SetPort(options_.LocalPort);
        api_.SetServerPort(options_.ServerPort);
        api_.SetInvokeID(options_.InvokeID);
        api_.SetClientName(options_.ClientName);
        api_.SetClientVersion(options_.ClientVersion);
        // A one-shot command waits at most this long for any answer.
        TKovraAPITimings timings;
        timings.PhoneStateWait = kAnswerWait;
        api_.SetTimings(timings);
        for (const std::string& server : options_.Servers)
            api_.AddServer(server);
        printer_.Attach(api_);
        try {
            api_.SetActive(true);
            if (!api_.Connect()) {
                std::cerr << "kovractl: " << LoginFailure() << "\n";
                return kExitNoLogin;
            }
        } catch (const EKovraSocketError& e) {
            std::cerr << "kovractl: " << e.what() << " (socket error " << e.Code << ")\n";
            return kExitNoLogin;
        }
        std::optional<std::uint32_t> loginError;
        TKovraLoginEvent print = api_.OnLogin;
        api_.OnLogin = [&](TKovraAPI& sender, std::uint32_t dwError, std::uint32_t dwMonitorID,
                           const std::string& szDevice, std::uint32_t dwDeviceType) {
            print(sender, dwError, dwMonitorID, szDevice, dwDeviceType);
            loginError = dwError;
            if (dwError == 0)
                device_ = szDevice;
        };
        api_.MonitorStart(options_.Phone, options_.Password);
        WaitFor([&] { return loginError.has_value() || !api_.Connected() || StopRequested(); }, kLoginWait);
        api_.OnLogin = print;
        if (loginError != 0u) {
            if (loginError)
                std::cerr << "kovractl: the monitor start was refused (error " << *loginError << ": "
                          << ErrorText(*loginError) << ")\n";
            else if (StopRequested())
                std::cerr << "kovractl: the log-in was interrupted\n";
            else
                std::cerr << "kovractl: the monitor start was not answered\n";
            return kExitNoLogin;
        }
        loggedIn_ = true;
        return kExitSuccess;
    }

    // Why Connect failed, as the session saw it.
    std::string LoginFailure() const
    {
        if (StopRequested())
            return "the log-in was interrupted";
        if (!api_.LoginAcknowledged())
            return "no server acknowledged the log-in request";
        if (const std::optional<std::uint32_t> error = api_.LoginAnswer())
            return "the server refused the log-in (error " + std::to_string(*error) + ": " +
                   ErrorText(*error) + ")";
        return "the server acknowledged the log-in request but sent no answer to it";
    }

    // A new signal ends every wait running now; from the first one on, the goodbye is bounded.
    void WatchSignals()
    {
        const unsigned signals = gStopSignals;
        if (signals == signalsSeen_)
            return;
        if (signalsSeen_ == 0) {
            TKovraAPITimings timings = api_.Timings();
            timings.DisconnectWait = kStopSendWait;
            api_.SetTimings(timings);
        }
        signalsSeen_ = signals;
        api_.Interrupt();
    }

    void Monitor(std::optional<unsigned> seconds)
    {
        input_.Start();
        const std::uint64_t until = seconds ? platform::TickCount() + *seconds * 1000ull : UINT64_MAX;
        while (!StopRequested() && !input_.Ended() && platform::TickCount() < until && api_.Connected())
            platform::ProcessMessages(50);
    }

    void Shell()
    {
        input_.Start();
        while (!StopRequested() && api_.Connected()) {
            std::string line;
            if (!input_.Next(line)) {
                if (input_.Ended())
                    return;
                platform::ProcessMessages(50);
                continue;
            }
            const std::vector<std::string> words = SplitCtlLine(line);
            if (words.empty())
                continue;
            if (words[0] == "quit")
                return;
            std::string error;
            const std::optional<TCtlCommand> command = ParseCtlCommand(words, error);
            if (!command || command->Verb == "monitor" || command->Verb == "shell") {
                std::cerr << "kovractl: " << (command ? "not a shell command: " + command->Verb : error)
                          << "\n";
                continue;
            }
            Outcome(RunCtlCommand(api_, printer_, device_, *command, kAnswerWait, StopRequested),
                    command->Verb);
        }
    }

    int Outcome(TCtlOutcome outcome, const std::string& verb)
    {
        switch (outcome) {
        case TCtlOutcome::Success:
            return kExitSuccess;
        case TCtlOutcome::Failed:
            std::cerr << "kovractl: " << verb << ": the server refused it\n";
            break;
        case TCtlOutcome::TimedOut:
            std::cerr << "kovractl: " << verb << ": no answer in time\n";
            break;
        case TCtlOutcome::Interrupted:
            std::cerr << "kovractl: " << verb << ": interrupted before its answer came\n";
            break;
        }
        return kExitFailed;
    }

    // Stops monitoring while logged in, then tells the server goodbye while connected. After a
    // signal both only go out, without waiting for the answer.
    void End()
    {
        if (loggedIn_ && api_.Connected()) {
            const std::uint64_t before = printer_.Count("OnLogout");
            api_.MonitorStop(device_, StopRequested() ? kStopSendWait : kLogoutWait);
            WaitFor(
                [&] { return printer_.Count("OnLogout") != before || !api_.Connected() || StopRequested(); },
                kLogoutWait);
        }
        loggedIn_ = false;
        api_.Disconnect(true);
        api_.SetActive(false);
    }

    template <typename Done> static void WaitFor(Done done, unsigned ms)
    {
        const std::uint64_t until = platform::TickCount() + ms;
        while (!done() && platform::TickCount() < until)
            platform::ProcessMessages(50);
    }

    const Options& options_;
    TKovraAPI api_;
    TCtlEventPrinter printer_;
    platform::Timer signalWatch_;
    unsigned signalsSeen_ = 0;
    InputLines input_;
    std::string device_;
    bool loggedIn_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    platform::InitMainThread();
    Options options;
    CLI::App app("kovractl: call control for a Kovra phone from a shell", "kovractl");
    app.add_option("--server", options.Servers, "telephony server (repeat for fail-over)")->required();
    app.add_option("--phone", options.Phone, "the phone number to monitor")->required();
    app.add_option("--pwd", options.Password, "its password")->required();
    app.add_option("--local-port", options.LocalPort, "local UDP port (0 picks one)")->capture_default_str();
    app.add_option("--server-port", options.ServerPort, "the servers' UDP port")->capture_default_str();
    app.add_option("--invoke-id", options.InvokeID, "client identifier sent in every request")
        ->capture_default_str();
    app.add_option("--client-name", options.ClientName, "client name sent at log-in")->capture_default_str();
    app.add_option("--client-version", options.ClientVersion, "client version sent at log-in")
        ->capture_default_str();
    app.add_flag("--trace", options.Trace, "also print every datagram sent and received");
    app.prefix_command();
    app.footer(CtlVerbsHelp());
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitSuccess : kExitUsage;
    }
    std::string error;
    const std::optional<TCtlCommand> command = ParseCtlCommand(app.remaining(), error);
    if (!command) {
        std::cerr << "kovractl: " << error << "\nRun with --help for more information.\n";
        return kExitUsage;
    }

    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    int result = kExitSuccess;
    {
        CtlSession session(options);
        result = session.Run(*command);
    }
    std::cout.flush();
    std::cerr.flush();
    // The input thread may still be blocked reading; leave without waiting for it.
    std::_Exit(result);
}
