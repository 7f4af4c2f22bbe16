#include "SimControl.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "KovraSim.h"
#include "settings/TextUtil.h"

namespace kovrasim {
namespace {

const char* const kCommands[] = {
    "help",  "ring",    "answer-far", "hangup-far", "set-caps", "set-voicemail", "service",
    "dnd",   "forward", "meetme",     "kick",       "fault",    "calls",         "clients",
    "phone", "appdata", "wait",       "quit",       "at",
};

const char* const kHelp =
    "ok commands: ring PHONE FROM NUMBER [NAME \"...\"] [urgent] [privacy] | answer-far CALL | hangup-far "
    "CALL | at PHONE answer|hold|retrieve|hangup CALL | at PHONE transfer CALL NUMBER | "
    "set-caps PHONE MASK | set-voicemail PHONE COUNT | service PHONE on|off | dnd PHONE on|off | "
    "forward PHONE always|busy|noanswer|outofservice [NUMBER] | meetme CONF change [TOPIC] | "
    "meetme CONF parties COUNT [FRAGMENTS] | kick CLIENT | fault loss|dup P | fault delay MS | "
    "fault silence|reorder on|off | fault off | calls | clients | phone PHONE | appdata PHONE APP | wait MS "
    "| quit";

std::optional<bool> OnOff(const std::string& word)
{
    if (word == "on")
        return true;
    if (word == "off")
        return false;
    return std::nullopt;
}

// "0.2", "20%" and "20" all mean a fifth.
std::optional<double> Share(std::string text)
{
    bool percent = !text.empty() && text.back() == '%';
    if (percent)
        text.pop_back();
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || value < 0)
        return std::nullopt;
    const double share = (percent || value > 1) ? value / 100 : value;
    if (share > 1)
        return std::nullopt;
    return share;
}

std::string Result(const std::string& failure, const std::string& success = "ok")
{
    return failure.empty() ? success : "error " + failure;
}

} // namespace

bool Tokenize(const std::string& line, std::vector<std::string>& words)
{
    return settings::SplitQuotedWords(line, words);
}

bool IsKnownCommand(const std::string& word)
{
    return std::find(std::begin(kCommands), std::end(kCommands), word) != std::end(kCommands);
}

std::string TSimControl::Execute(const std::string& line)
{
    std::vector<std::string> words;
    if (!Tokenize(line, words))
        return "error unclosed quote";
    if (words.empty())
        return "error empty command";
    const std::string& command = words[0];
    const std::size_t n = words.size();
    auto usage = [&](const char* text) { return std::string("error usage: ") + text; };
    if (command == "help")
        return kHelp;
    if (command == "quit") {
        quit_ = true;
        return "ok bye";
    }
    if (command == "wait")
        return n == 2 ? Wait(words[1]) : usage("wait MS");
    if (command == "ring")
        return Ring(words);
    if (command == "fault")
        return Fault(words);
    if (command == "meetme")
        return Meetme(words);
    if (command == "forward")
        return Forward(words);

    std::lock_guard guard(sim_.Lock());
    TSimPhoneSystem& phones = sim_.Phones();
    if (command == "answer-far")
        return n == 2 ? Result(phones.AnswerFar(words[1])) : usage("answer-far CALL");
    if (command == "hangup-far")
        return n == 2 ? Result(phones.HangupFar(words[1])) : usage("hangup-far CALL");
    if (command == "at") {
        const bool transfer = n > 2 && words[2] == "transfer";
        if (n != (transfer ? 5u : 4u))
            return usage("at PHONE answer|hold|retrieve|hangup CALL | at PHONE transfer CALL NUMBER");
        return Result(phones.AtPhone(words[1], words[2], words[3], transfer ? words[4] : std::string()));
    }
    if (command == "set-caps" || command == "set-voicemail") {
        const auto value = n == 3 ? ParseNumber(words[2]) : std::nullopt;
        if (!value)
            return usage(command == "set-caps" ? "set-caps PHONE MASK" : "set-voicemail PHONE COUNT");
        return Result(command == "set-caps" ? phones.SetCapabilities(words[1], *value)
                                            : phones.SetVoiceMail(words[1], *value));
    }
    if (command == "service" || command == "dnd") {
        const auto on = n == 3 ? OnOff(words[2]) : std::nullopt;
        if (!on)
            return usage(command == "service" ? "service PHONE on|off" : "dnd PHONE on|off");
        return Result(command == "service" ? phones.SetService(words[1], *on)
                                           : phones.SetDoNotDisturb(words[1], *on));
    }
    if (command == "kick") {
        const auto id = n == 2 ? ParseNumber(words[1]) : std::nullopt;
        if (!id)
            return usage("kick CLIENT");
        return sim_.Server().Kick(static_cast<int>(*id)) ? "ok" : "error no client " + words[1];
    }
    if (command == "calls")
        return ListCalls();
    if (command == "clients")
        return ListClients();
    if (command == "phone")
        return n == 2 ? ShowPhone(words[1]) : usage("phone PHONE");
    if (command == "appdata") {
        if (n != 3)
            return usage("appdata PHONE APP");
        return "ok " + phones.AppData(words[1], words[2]);
    }
    return "error unknown command " + command + " (try help)";
}

std::string TSimControl::Wait(const std::string& text)
{
    const auto ms = ParseNumber(text);
    if (!ms || *ms > 3600000)
        return "error usage: wait MS (at most an hour)";
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(*ms);
    while (std::chrono::steady_clock::now() < until && !sim_.stopping_)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint32_t>(*ms, 20)));
    return "ok";
}

std::string TSimControl::Ring(const std::vector<std::string>& words)
{
    if (words.size() < 4 || words[2] != "FROM")
        return "error usage: ring PHONE FROM NUMBER [NAME \"...\"] [urgent] [privacy]";
    std::string name;
    bool urgent = false, privacy = false;
    for (std::size_t i = 4; i < words.size(); ++i) {
        if (words[i] == "NAME" && i + 1 < words.size())
            name = words[++i];
        else if (words[i] == "urgent")
            urgent = true;
        else if (words[i] == "privacy")
            privacy = true;
        else
            return "error unexpected word " + words[i];
    }
    std::lock_guard guard(sim_.Lock());
    std::string oid;
    const std::string failure = sim_.Phones().Ring(words[1], words[3], name, urgent, privacy, oid);
    if (!failure.empty() && oid.empty())
        return "error " + failure;
    return failure.empty() ? "ok " + oid : "error " + failure + " (" + oid + ")";
}

std::string TSimControl::Fault(const std::vector<std::string>& words)
{
    std::lock_guard guard(sim_.Lock());
    TSimFaults& faults = sim_.Server().Faults();
    if (words.size() == 2 && words[1] == "off") {
        faults = TSimFaults();
        return "ok";
    }
    if (words.size() != 3)
        return "error usage: fault loss|dup P | fault delay MS | fault silence|reorder on|off | fault off";
    const std::string& kind = words[1];
    if (kind == "loss" || kind == "dup") {
        const auto share = Share(words[2]);
        if (!share)
            return "error a share is 0 to 1, or a percentage";
        (kind == "loss" ? faults.Loss : faults.Duplicate) = *share;
        return "ok";
    }
    if (kind == "delay") {
        const auto ms = ParseNumber(words[2]);
        if (!ms || *ms > 60000)
            return "error usage: fault delay MS (at most 60000)";
        faults.DelayMs = *ms;
        return "ok";
    }
    if (kind == "silence" || kind == "reorder") {
        const auto on = OnOff(words[2]);
        if (!on)
            return "error usage: fault " + kind + " on|off";
        (kind == "silence" ? faults.Silence : faults.Reorder) = *on;
        return "ok";
    }
    return "error unknown fault " + kind;
}

std::string TSimControl::Meetme(const std::vector<std::string>& words)
{
    const auto conference = words.size() >= 3 ? ParseNumber(words[1]) : std::nullopt;
    if (conference && words[2] == "change") {
        std::string topic;
        for (std::size_t i = 3; i < words.size(); ++i)
            topic += (i > 3 ? " " : "") + words[i];
        std::lock_guard guard(sim_.Lock());
        return Result(sim_.Phones().MeetmeChange(*conference, topic));
    }
    if (conference && words[2] == "parties" && (words.size() == 4 || words.size() == 5)) {
        const auto count = ParseNumber(words[3]);
        const auto fragments = words.size() == 5 ? ParseNumber(words[4]) : std::optional<std::uint32_t>(1);
        if (count && fragments && *count <= 1000) {
            std::lock_guard guard(sim_.Lock());
            return Result(sim_.Phones().MeetmeParties(*conference, *count, *fragments));
        }
    }
    return "error usage: meetme CONF change [TOPIC] | meetme CONF parties COUNT [FRAGMENTS]";
}

std::string TSimControl::Forward(const std::vector<std::string>& words)
{
    static const char* const kinds[] = {"always", "busy", "noanswer", "outofservice"};
    if (words.size() != 3 && words.size() != 4)
        return "error usage: forward PHONE always|busy|noanswer|outofservice [NUMBER]";
    unsigned kind = 4;
    for (unsigned i = 0; i < 4; ++i)
        if (words[2] == kinds[i] || words[2] == std::to_string(i))
            kind = i;
    if (kind == 4)
        return "error unknown forwarding kind " + words[2];
    std::lock_guard guard(sim_.Lock());
    return Result(sim_.Phones().SetForward(words[1], kind, words.size() == 4 ? words[3] : std::string()));
}

std::string TSimControl::ListCalls()
{
    const auto& calls = sim_.Phones().Calls();
    std::string text = "ok " + std::to_string(calls.size()) + (calls.size() == 1 ? " call" : " calls");
    bool first = true;
    for (const auto& [oid, call] : calls) {
        text += first ? ": " : "; ";
        first = false;
        text += oid;
        for (const TSimParty& party : call.Parties)
            text += " " + party.Number + "=" + std::to_string(party.ConnState);
    }
    return text;
}

std::string TSimControl::ListClients()
{
    const auto sessions = sim_.Server().Sessions();
    std::string text =
        "ok " + std::to_string(sessions.size()) + (sessions.size() == 1 ? " client" : " clients");
    bool first = true;
    for (const TSimSessionInfo& info : sessions) {
        text += first ? ": " : "; ";
        first = false;
        text += std::to_string(info.Id) + " " + info.Address + ":" + std::to_string(info.Port);
        if (!info.ClientName.empty())
            text += " " + info.ClientName + "/" + info.ClientVersion;
        std::string monitored;
        for (const auto& [number, phone] : sim_.Phones().Phones())
            if (phone.MonitorSession == info.Id)
                monitored += (monitored.empty() ? "" : ",") + number;
        text += " phones=" + (monitored.empty() ? "-" : monitored);
        text += " next=" + std::to_string(info.NextSendSeq) + " expect=" + std::to_string(info.ExpectedSeq);
        text += " waiting=" + std::to_string(info.Waiting + (info.Unacknowledged ? 1 : 0));
    }
    return text;
}

std::string TSimControl::ShowPhone(const std::string& number)
{
    const TSimPhone* phone = sim_.Phones().FindPhone(number);
    if (!phone)
        return "error unknown phone " + number;
    char caps[16];
    std::snprintf(caps, sizeof caps, "0x%08X", phone->Spec.Capabilities);
    std::string text = "ok " + number + " \"" + phone->Spec.Name + "\" caps=" + caps +
                       " voicemail=" + std::to_string(phone->Spec.VoiceMailCount) +
                       " dnd=" + (phone->DoNotDisturb ? "on" : "off") +
                       " service=" + (phone->InService ? "on" : "off");
    static const char* const kinds[] = {"always", "busy", "noanswer", "outofservice"};
    for (int i = 0; i < 4; ++i)
        if (!phone->Forward[i].empty())
            text += std::string(" ") + kinds[i] + "=" + phone->Forward[i];
    text += " client=" + (phone->MonitorSession ? std::to_string(phone->MonitorSession) : std::string("-"));
    return text;
}

TSimControlPort::~TSimControlPort()
{
    Stop();
}

bool TSimControlPort::Start(std::uint16_t port, std::string& error)
{
    const int result = listener_.Listen(port, "127.0.0.1");
    if (result != 0) {
        error = "cannot listen on control port 127.0.0.1:" + std::to_string(port) + " (socket error " +
                std::to_string(result) + ")";
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Loop(); });
    return true;
}

void TSimControlPort::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    connections_.clear();
    listener_.Close();
}

void TSimControlPort::Loop()
{
    while (!stop_) {
        if (auto stream = listener_.Accept(connections_.empty() ? 20 : 2))
            connections_.push_back({std::move(stream), std::string()});
        std::erase_if(connections_, [this](Connection& connection) { return !Serve(connection); });
    }
}

bool TSimControlPort::Serve(Connection& connection)
{
    char buffer[1024];
    const long received = connection.Stream->Receive(buffer, sizeof buffer, connections_.size() > 1 ? 0 : 5);
    if (received == 0)
        return false;
    if (received < 0)
        return true;
    connection.Pending.append(buffer, static_cast<std::size_t>(received));
    // A line that never ends is refused rather than kept growing.
    if (connection.Pending.size() > 65536) {
        const std::string answer = "error line too long\n";
        connection.Stream->SendAll(answer.data(), answer.size());
        return false;
    }
    std::size_t end;
    while ((end = connection.Pending.find('\n')) != std::string::npos) {
        std::string line = connection.Pending.substr(0, end);
        connection.Pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        const std::string answer = sim_.Execute(line) + "\n";
        if (connection.Stream->SendAll(answer.data(), answer.size()) != 0)
            return false;
    }
    return true;
}

} // namespace kovrasim
