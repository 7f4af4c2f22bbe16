#pragma once
// What kovrasim is told at start: phones, addresses, ports, files and the protocol's intervals.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kovrasim {

constexpr std::uint32_t kAllCapabilities = 0xFFFFFFFFu;

struct TSimPhoneSpec {
    std::string Number;
    std::string Password;
    std::string Name;
    std::uint32_t Capabilities = kAllCapabilities;
    std::uint32_t VoiceMailCount = 0;
};

// "NUMBER:PASSWORD[:NAME[:CAPS[:VOICEMAIL]]]"; CAPS in decimal or 0x hex. Empty on a bad text.
std::optional<TSimPhoneSpec> ParsePhoneSpec(const std::string& text);
// Decimal or 0x-prefixed hexadecimal, the whole text; empty when it is neither.
std::optional<std::uint32_t> ParseNumber(const std::string& text);

struct TSimOptions {
    std::vector<TSimPhoneSpec> Phones;
    std::vector<std::string> Servers{"127.0.0.1"};
    std::uint16_t ServerPort = 29051; // 0 picks a free port per address (tests)
    std::string PortalAddress = "127.0.0.1";
    int PortalPort = 8088; // -1 no portal, 0 a free port
    int ControlPort = -1;  // -1 no control port, 0 a free port; always on 127.0.0.1
    std::string DataFile;  // application data kept across restarts; empty: memory only
    std::string DataDir;   // portal resources
    std::string ScenarioFile;
    std::string TraceFile; // "-" standard error; empty: no trace
    std::string ApiVersion = "2.3";
    std::string ServerVersion = "kovrasim 1.0";
    std::vector<std::string> InvalidNumbers;
    std::string VoiceMailNumber = "8000";
    std::string ParkBase = "70"; // park places are 701, 702, ...
    unsigned AckWaitMs = 2000;
    unsigned Tries = 4;
    unsigned SilenceTimeoutMs = 60000;
    int AnswerDelayMs = 3000; // an outside number answers after this; -1 only on command
    int NoAnswerMs = 15000;   // forwarding when not answered
    std::uint32_t Seed = 0;   // fault randomness; 0 picks one
};

// The phones a bare start gets, so the demo needs no arguments.
std::vector<TSimPhoneSpec> DefaultPhones();

} // namespace kovrasim
