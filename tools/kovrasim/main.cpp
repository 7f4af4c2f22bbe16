// kovrasim: the telephony server and web portal stand-in. See docs/kovrasim.md.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "KovraSim.h"

namespace {

std::atomic<bool> interrupted{false};

void OnSignal(int)
{
    interrupted = true;
}

// The data folder beside the program (installed or in the build tree), else the sources'.
std::string DefaultDataDir(const char* argv0)
{
    std::error_code error;
    const auto beside = std::filesystem::path(argv0).parent_path() / "data";
    if (std::filesystem::is_directory(beside, error))
        return beside.string();
    return KOVRASIM_SOURCE_DATA;
}

} // namespace

int main(int argc, char** argv)
{
    using kovrasim::TSimOptions;
    TSimOptions options;
    std::vector<std::string> phones;
    std::vector<std::string> servers;
    bool noStdin = false;
    int serverPort = options.ServerPort;

    CLI::App app{"kovrasim: a telephony server and web portal stand-in for Kovra Assistant"};
    app.add_option("-p,--phone", phones,
                   "A phone: NUMBER:PASSWORD[:NAME[:CAPS[:VOICEMAIL]]] (repeatable; "
                   "default 1001, 1002, 1003 with password 1234)");
    app.add_option("-s,--server", servers,
                   "An address the telephony server listens on (repeatable; default 127.0.0.1)");
    app.add_option("--port", serverPort, "UDP port of the telephony server (0: any free port)")
        ->check(CLI::Range(0, 65535));
    app.add_option("--portal-port", options.PortalPort,
                   "HTTP port of the web portal (0: any free port; -1: none)")
        ->check(CLI::Range(-1, 65535));
    app.add_option("--portal-address", options.PortalAddress, "Address the web portal listens on");
    app.add_option("--control-port", options.ControlPort,
                   "TCP control port on 127.0.0.1 (0: any free port; -1: none)")
        ->check(CLI::Range(-1, 65535));
    app.add_option("--data-file", options.DataFile, "Keep application data across restarts in this file");
    app.add_option("--data-dir", options.DataDir, "Folder of the portal's resources");
    app.add_option("--scenario", options.ScenarioFile, "Run this scenario of control commands at start");
    app.add_option("--trace", options.TraceFile, "Trace every datagram to this file ('-': standard error)");
    app.add_option("--api-version", options.ApiVersion, "API version sent in LOGIN_RSP");
    app.add_option("--server-version", options.ServerVersion, "Server version sent in LOGIN_RSP");
    app.add_option("--invalid", options.InvalidNumbers, "An outside number that does not exist (repeatable)");
    app.add_option("--voicemail-number", options.VoiceMailNumber, "Number of the voice-mail system");
    app.add_option("--answer-delay", options.AnswerDelayMs,
                   "Milliseconds before an outside number answers (-1: only on answer-far)");
    app.add_option("--no-answer", options.NoAnswerMs, "Milliseconds before forwarding when not answered");
    app.add_option("--ack-wait", options.AckWaitMs, "Milliseconds to wait for an ACK before sending again")
        ->check(CLI::Range(1u, 600000u));
    app.add_option("--tries", options.Tries, "Tries per message before the session ends")
        ->check(CLI::Range(1u, 100u));
    app.add_option("--silence-timeout", options.SilenceTimeoutMs,
                   "Milliseconds of silence from a client that end its session")
        ->check(CLI::Range(1u, 86400000u));
    app.add_option("--seed", options.Seed, "Seed of the fault randomness (0: a random one)");
    app.add_flag("--no-stdin", noStdin, "Do not read control commands from standard input");
    CLI11_PARSE(app, argc, argv);

    options.ServerPort = static_cast<std::uint16_t>(serverPort);
    if (!servers.empty())
        options.Servers = servers;
    for (const std::string& text : phones) {
        const auto spec = kovrasim::ParsePhoneSpec(text);
        if (!spec) {
            std::fprintf(stderr, "kovrasim: bad phone '%s' (NUMBER:PASSWORD[:NAME[:CAPS[:VOICEMAIL]]])\n",
                         text.c_str());
            return 2;
        }
        options.Phones.push_back(*spec);
    }
    if (options.DataDir.empty())
        options.DataDir = DefaultDataDir(argv[0]);

    kovrasim::TKovraSim sim(options);
    std::string error;
    if (!sim.Start(error) ||
        (!options.ScenarioFile.empty() && !sim.StartScenario(options.ScenarioFile, error))) {
        std::fprintf(stderr, "kovrasim: %s\n", error.c_str());
        return 1;
    }
    for (std::size_t i = 0; i < options.Servers.size(); ++i)
        std::printf("kovrasim: telephony server on %s:%u\n", options.Servers[i].c_str(), sim.ServerPort(i));
    if (sim.PortalPort() > 0)
        std::printf("kovrasim: web portal on http://%s:%d\n", options.PortalAddress.c_str(),
                    sim.PortalPort());
    if (sim.ControlPort() > 0)
        std::printf("kovrasim: control port 127.0.0.1:%d\n", sim.ControlPort());
    std::printf("kovrasim: type 'help' for the control commands\n");
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (!noStdin) {
        // Detached: a blocked read of standard input must not keep the program from ending.
        std::thread([&sim] {
            std::string line;
            while (std::getline(std::cin, line)) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.find_first_not_of(" \t") == std::string::npos)
                    continue;
                std::printf("%s\n", sim.Execute(line).c_str());
                std::fflush(stdout);
            }
        }).detach();
    }
    while (!interrupted && !sim.QuitRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sim.Stop();
    return 0;
}
