#pragma once
// Prints every event the session raises as one JSON object per line, and remembers what came,
// so that a command can wait for its answer.

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "api/KovraUDPApi.h"

namespace kovractl {

class TCtlEventPrinter {
public:
    TCtlEventPrinter(std::ostream& out, bool trace) : out_(out), trace_(trace) {}

    // Assigns every event of the session.
    void Attach(api::TKovraAPI& api);
    // Prints one event line: "event" first, then the arguments.
    void Emit(const std::string& name, nlohmann::ordered_json arguments);

    std::uint64_t Count(const std::string& name) const;
    // The dwError of the latest event of that name, when it carries one.
    std::optional<std::uint32_t> LastError(const std::string& name) const;
    std::uint64_t ReceivedOfType(std::uint32_t type) const;
    // The error code of the latest response of that type (for responses that raise no event).
    std::optional<std::uint32_t> ResponseError(std::uint32_t type) const;

    static nlohmann::ordered_json PhoneState(const api::TKovraPhoneState& state);
    static nlohmann::ordered_json PhoneConfig(const api::TKovraPhoneConfig& config);
    static nlohmann::ordered_json CallForwarding(const api::TKovraCallForwarding& forwarding);

private:
    std::ostream& out_;
    bool trace_;
    std::map<std::string, std::uint64_t> counts_;
    std::map<std::string, std::uint32_t> errors_;
    std::map<std::uint32_t, std::uint64_t> received_;
    std::map<std::uint32_t, std::uint32_t> responseErrors_;
};

// "YYYY-MM-DD hh:mm:ss" in local time.
std::string CtlDateTime(api::TKovraDateTime value);

} // namespace kovractl
