#pragma once
// The verbs of kovractl: parsed from words (the command line's tail or one line of the shell)
// and run against a logged-in session.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace api {
class TKovraAPI;
}

namespace kovractl {

class TCtlEventPrinter;

struct TCtlCommand {
    std::string Verb;
    std::vector<std::string> Args;   // the positional words given, in order
    bool Single = false;             // transfer, conference: --single
    std::optional<unsigned> Seconds; // monitor: --seconds
    std::uint32_t Param = 0;         // call: OPTIONS (or --param), the value passed with the request
};

// Parses one command; on failure returns nothing and sets error to a line for the user.
std::optional<TCtlCommand> ParseCtlCommand(const std::vector<std::string>& words, std::string& error);
// Splits a shell line into words at blanks; double quotes group words.
std::vector<std::string> SplitCtlLine(const std::string& line);
// The verbs with their arguments, for the help text.
std::string CtlVerbsHelp();

enum class TCtlOutcome { Success, Failed, TimedOut, Interrupted };

// Runs a one-shot verb (not monitor or shell) and waits up to waitMs for its answer, which the
// printer prints as it comes. The wait also ends once stopped() is true (a signal; the session's
// own waits end by its Interrupt).
TCtlOutcome RunCtlCommand(
    api::TKovraAPI& api, TCtlEventPrinter& printer, const std::string& device, const TCtlCommand& command,
    unsigned waitMs, const std::function<bool()>& stopped = [] { return false; });

} // namespace kovractl
