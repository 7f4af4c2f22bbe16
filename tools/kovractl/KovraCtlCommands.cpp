#include "KovraCtlCommands.h"

#include <algorithm>
#include <functional>
#include <sstream>

#include <CLI/CLI.hpp>

#include "KovraCtlEvents.h"
#include "api/KovraAPIConsts.h"
#include "api/KovraUDPApi.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

using namespace api;

namespace kovractl {

namespace {

struct VerbSpec {
    const char* Name;
    std::vector<const char*> Required;
    std::vector<const char*> Optional;
    const char* Help;
};

const std::vector<VerbSpec>& Verbs()
{
    static const std::vector<VerbSpec> verbs = {
        {"monitor", {}, {}, "print events until --seconds N pass, end of input, or a signal"},
        {"shell", {}, {}, "read commands from standard input, one per line; quit ends"},
        {"call", {"NUMBER"}, {"OPTIONS"}, "make a call; OPTIONS is the value sent with it (also --param N)"},
        {"answer", {"OID"}, {}, "answer a call"},
        {"hold", {"OID"}, {}, "hold a call"},
        {"retrieve", {"OID"}, {}, "retrieve a held call"},
        {"drop", {"OID"}, {}, "drop a call"},
        {"park", {"OID"}, {}, "park a call"},
        {"pickup", {}, {"TARGET"}, "pick up a call ringing elsewhere"},
        {"redirect",
         {"OID", "MODE"},
         {"DEST"},
         "redirect a call (1 number, 2 voice mail, 3 ignore, 6 meet-me)"},
        {"alternate", {"OID", "OID2"}, {}, "swap two calls"},
        {"digits", {"OID", "DIGITS"}, {}, "dial digits in a call"},
        {"transfer", {"OID", "DEST"}, {}, "transfer (--single: in one step)"},
        {"conference", {"OID", "DEST"}, {}, "conference (--single: in one step)"},
        {"complete-transfer", {"OID", "RELATED"}, {}, "complete a consultative transfer"},
        {"complete-conference", {"OID", "RELATED"}, {}, "complete a consultative conference"},
        {"conference-call", {"OID", "HELD"}, {}, "join a call to a held conference"},
        {"drop-party", {"OID", "PARTY"}, {}, "remove a party from a conference"},
        {"dnd", {"on|off"}, {}, "set do-not-disturb"},
        {"voicemail", {}, {"MODE", "PWD", "FOLDER", "MSG"}, "listen to voice mail"},
        {"get-forwarding", {}, {}, "show the four forwarding destinations"},
        {"set-forwarding",
         {"KIND"},
         {"DEST"},
         "set forwarding (KIND 0-3 or all, busy, no-answer, out-of-service)"},
        {"state", {}, {}, "query the phone state"},
        {"config", {}, {}, "query the phone configuration"},
        {"get-data", {"APP"}, {}, "read application data"},
        {"set-data", {"APP", "VALUE"}, {}, "store application data"},
    };
    return verbs;
}

const char* kForwardingKinds[] = {"all", "busy", "no-answer", "out-of-service"};

bool IsUnsigned(const std::string& text)
{
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::stoull(text) <= 0xFFFFFFFFull;
}

std::uint32_t ToUnsigned(const std::string& text)
{
    return IsUnsigned(text) ? static_cast<std::uint32_t>(std::stoul(text)) : 0;
}

// The words that must be numbers, and the other checks CLI11 cannot express positionally.
std::string CheckArguments(const TCtlCommand& command)
{
    auto argument = [&](std::size_t i) { return i < command.Args.size() ? command.Args[i] : std::string(); };
    auto number = [&](std::size_t i, const char* name) -> std::string {
        if (i < command.Args.size() && !IsUnsigned(command.Args[i]))
            return std::string(name) + " must be a number: " + command.Args[i];
        return std::string();
    };
    if (command.Verb == "redirect")
        return number(1, "MODE");
    if (command.Verb == "call")
        return number(1, "OPTIONS");
    if (command.Verb == "dnd" && argument(0) != "on" && argument(0) != "off")
        return "dnd takes on or off";
    if (command.Verb == "voicemail") {
        std::string error = number(0, "MODE");
        if (error.empty())
            error = number(2, "FOLDER");
        if (error.empty())
            error = number(3, "MSG");
        return error;
    }
    if (command.Verb == "set-forwarding") {
        const std::string kind = argument(0);
        const bool named = std::find(std::begin(kForwardingKinds), std::end(kForwardingKinds), kind) !=
                           std::end(kForwardingKinds);
        if (!named && !(IsUnsigned(kind) && ToUnsigned(kind) <= 3))
            return "KIND is 0-3, all, busy, no-answer or out-of-service: " + kind;
    }
    return std::string();
}

std::uint32_t ForwardingKind(const std::string& kind)
{
    for (std::uint32_t i = 0; i < 4; ++i)
        if (kind == kForwardingKinds[i])
            return i;
    return ToUnsigned(kind);
}

} // namespace

std::string CtlVerbsHelp()
{
    std::ostringstream text;
    text << "Commands:\n";
    for (const VerbSpec& verb : Verbs()) {
        std::string usage = verb.Name;
        for (const char* name : verb.Required)
            usage += std::string(" ") + name;
        for (const char* name : verb.Optional)
            usage += std::string(" [") + name + "]";
        text << "  " << usage << std::string(usage.size() < 34 ? 34 - usage.size() : 1, ' ') << verb.Help
             << "\n";
    }
    return text.str();
}

std::vector<std::string> SplitCtlLine(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

std::optional<TCtlCommand> ParseCtlCommand(const std::vector<std::string>& words, std::string& error)
{
    if (words.empty()) {
        error = "a command is required";
        return std::nullopt;
    }
    const auto spec = std::find_if(Verbs().begin(), Verbs().end(),
                                   [&](const VerbSpec& verb) { return words[0] == verb.Name; });
    if (spec == Verbs().end()) {
        error = "unknown command: " + words[0];
        return std::nullopt;
    }
    TCtlCommand command;
    command.Verb = spec->Name;
    CLI::App app(spec->Help, spec->Name);
    const std::size_t slots = spec->Required.size() + spec->Optional.size();
    std::vector<std::string> values(slots);
    std::vector<CLI::Option*> options;
    for (std::size_t i = 0; i < slots; ++i) {
        const bool required = i < spec->Required.size();
        const char* name = required ? spec->Required[i] : spec->Optional[i - spec->Required.size()];
        CLI::Option* option = app.add_option(std::string(name) == "on|off" ? "STATE" : name, values[i]);
        if (required)
            option->required();
        options.push_back(option);
    }
    if (command.Verb == "transfer" || command.Verb == "conference")
        app.add_flag("--single", command.Single, "in one step");
    unsigned seconds = 0;
    CLI::Option* secondsOption = nullptr;
    if (command.Verb == "monitor")
        secondsOption = app.add_option("--seconds", seconds, "stop after this many seconds");
    CLI::Option* paramOption = nullptr;
    if (command.Verb == "call")
        paramOption = app.add_option("--param", command.Param, "the value sent with the request");
    try {
        app.parse(std::vector<std::string>(words.rbegin(), words.rend() - 1));
    } catch (const CLI::ParseError& e) {
        error = command.Verb + ": " + e.what();
        return std::nullopt;
    }
    for (std::size_t i = 0; i < slots; ++i)
        if (options[i]->count() > 0)
            command.Args.push_back(values[i]);
    if (secondsOption && secondsOption->count() > 0)
        command.Seconds = seconds;
    error = CheckArguments(command);
    if (error.empty() && paramOption && paramOption->count() > 0 && command.Args.size() > 1 &&
        ToUnsigned(command.Args[1]) != command.Param)
        error = "OPTIONS and --param differ";
    if (!error.empty()) {
        error = command.Verb + ": " + error;
        return std::nullopt;
    }
    if (command.Verb == "call" && command.Args.size() > 1)
        command.Param = ToUnsigned(command.Args[1]);
    return command;
}

namespace {

// Waits for the answer the printer counts by name; the outcome follows its dwError.
TCtlOutcome AwaitEvent(TKovraAPI& api, TCtlEventPrinter& printer, const std::string& name,
                       std::uint64_t before, unsigned waitMs, const std::function<bool()>& stopped)
{
    const std::uint64_t until = platform::TickCount() + waitMs;
    while (printer.Count(name) == before) {
        if (stopped())
            return TCtlOutcome::Interrupted;
        if (!api.Connected() || platform::TickCount() >= until)
            return TCtlOutcome::TimedOut;
        platform::ProcessMessages(50);
    }
    return printer.LastError(name).value_or(0) == 0 ? TCtlOutcome::Success : TCtlOutcome::Failed;
}

// For a response that raises no event: waits for it and prints its error code under the name
// of the event that belongs to it.
TCtlOutcome AwaitResponseType(TKovraAPI& api, TCtlEventPrinter& printer, std::uint32_t type, const char* name,
                              unsigned waitMs, const std::function<bool()>& stopped)
{
    const std::uint64_t before = printer.ReceivedOfType(type);
    const std::uint64_t until = platform::TickCount() + waitMs;
    while (printer.ReceivedOfType(type) == before) {
        if (stopped())
            return TCtlOutcome::Interrupted;
        if (!api.Connected() || platform::TickCount() >= until)
            return TCtlOutcome::TimedOut;
        platform::ProcessMessages(50);
    }
    const std::uint32_t error = printer.ResponseError(type).value_or(0);
    printer.Emit(name, nlohmann::ordered_json{{"dwError", error}});
    return error == 0 ? TCtlOutcome::Success : TCtlOutcome::Failed;
}

// Waiting operations swallow their event; the answer is printed here as the event would be.
TCtlOutcome Answered(bool ok, std::uint32_t error, const std::function<bool()>& stopped)
{
    if (ok)
        return TCtlOutcome::Success;
    if (error != 0)
        return TCtlOutcome::Failed;
    return stopped() ? TCtlOutcome::Interrupted : TCtlOutcome::TimedOut;
}

TCtlOutcome RunQuery(TKovraAPI& api, TCtlEventPrinter& printer, const std::string& device,
                     const TCtlCommand& command, const std::function<bool()>& stopped)
{
    using json = nlohmann::ordered_json;
    std::uint32_t error = 0;
    if (command.Verb == "state") {
        TKovraPhoneState state;
        if (!api.QueryPhoneState(device, state))
            return Answered(false, 0, stopped);
        printer.Emit("OnPhoneState", json{{"State", TCtlEventPrinter::PhoneState(state)}});
        return TCtlOutcome::Success;
    }
    if (command.Verb == "config") {
        TKovraPhoneConfig config;
        const bool ok = api.QueryPhoneConfig(device, config, &error);
        if (ok || error != 0)
            printer.Emit("OnQueryPhoneConfig",
                         json{{"dwError", error}, {"Config", TCtlEventPrinter::PhoneConfig(config)}});
        return Answered(ok, error, stopped);
    }
    if (command.Verb == "get-forwarding") {
        TKovraCallForwarding forwarding;
        const bool ok = api.GetForwarding(device, forwarding, &error);
        if (ok || error != 0)
            printer.Emit(
                "OnGetForwarding",
                json{{"dwError", error}, {"CallForwarding", TCtlEventPrinter::CallForwarding(forwarding)}});
        return Answered(ok, error, stopped);
    }
    std::string value;
    const bool ok = api.ApplicationGetData(device, command.Args[0], value, &error);
    if (ok || error != 0)
        printer.Emit("OnApplicationGetData",
                     json{{"dwError", error}, {"szApplication", command.Args[0]}, {"szValue", value}});
    return Answered(ok, error, stopped);
}

} // namespace

TCtlOutcome RunCtlCommand(TKovraAPI& api, TCtlEventPrinter& printer, const std::string& device,
                          const TCtlCommand& command, unsigned waitMs, const std::function<bool()>& stopped)
{
    const std::string& verb = command.Verb;
    if (verb == "state" || verb == "config" || verb == "get-forwarding" || verb == "get-data")
        return RunQuery(api, printer, device, command, stopped);
    auto arg = [&](std::size_t i) { return i < command.Args.size() ? command.Args[i] : std::string(); };
    if (verb == "alternate") {
        api.AlternateCall(device, arg(0), arg(1));
        // No event answers it; the response itself is the answer.
        return AwaitResponseType(api, printer, KovraMsg::ALTERNATE_CALL_RSP, "OnAlternateCall", waitMs,
                                 stopped);
    }

    struct Action {
        const char* Verb;
        std::string Answer;
        std::function<void()> Send;
    };
    const std::string transferAnswer = command.Single ? "OnSingleTransfer" : "OnSetupTransfer";
    const std::string conferenceAnswer = command.Single ? "OnSingleConference" : "OnSetupConference";
    const Action actions[] = {
        {"call", "OnMakeCall", [&] { api.MakeCall(device, arg(0), command.Param); }},
        {"answer", "OnAnswerCall", [&] { api.AnswerCall(device, arg(0)); }},
        {"hold", "OnHoldCall", [&] { api.HoldCall(device, arg(0)); }},
        {"retrieve", "OnRetrieveCall", [&] { api.RetrieveCall(device, arg(0)); }},
        {"drop", "OnDropCall", [&] { api.DropCall(device, arg(0)); }},
        {"park", "OnParkCall", [&] { api.ParkCall(device, arg(0)); }},
        {"pickup", "OnPickupCall", [&] { api.PickupCall(device, arg(0)); }},
        {"redirect", "OnRedirectCall",
         [&] { api.RedirectCall(device, arg(0), arg(2), ToUnsigned(arg(1)), 0); }},
        {"digits", "OnDialDigits", [&] { api.DialDigits(device, arg(0), arg(1)); }},
        {"transfer", transferAnswer, [&] { api.Transfer(device, arg(0), arg(1), 0, command.Single); }},
        {"conference", conferenceAnswer, [&] { api.Conference(device, arg(0), arg(1), 0, command.Single); }},
        {"complete-transfer", "OnCompleteTransfer", [&] { api.CompleteTransfer(device, arg(0), arg(1)); }},
        {"complete-conference", "OnCompleteConference",
         [&] { api.CompleteConference(device, arg(0), arg(1)); }},
        {"conference-call", "OnConferenceCall", [&] { api.ConferenceCall(device, arg(0), arg(1)); }},
        {"drop-party", "OnDropConference", [&] { api.DropConference(device, arg(0), arg(1)); }},
        {"dnd", "OnDoNotDisturb", [&] { api.SetDoNotDisturb(device, arg(0) == "on"); }},
        {"voicemail", "OnVoiceMail",
         [&] { api.VoiceMail(device, ToUnsigned(arg(0)), arg(1), ToUnsigned(arg(2)), ToUnsigned(arg(3))); }},
        {"set-forwarding", "OnSetForwarding",
         [&] { api.SetForwarding(device, arg(1), waitMs, ForwardingKind(arg(0))); }},
        {"set-data", "OnApplicationSetData", [&] { api.ApplicationSetData(device, arg(0), false, arg(1)); }},
    };
    for (const Action& action : actions) {
        if (verb != action.Verb)
            continue;
        // Counted before sending: the answer may arrive inside the request's own wait.
        const std::uint64_t before = printer.Count(action.Answer);
        action.Send();
        return AwaitEvent(api, printer, action.Answer, before, waitMs, stopped);
    }
    return TCtlOutcome::Failed;
}

} // namespace kovractl
