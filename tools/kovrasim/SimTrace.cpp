#include "SimTrace.h"

#include <chrono>
#include <ctime>

#include "api/KovraAPIConsts.h"
#include "api/KovraAPIMsg.h"

using namespace api;

namespace kovrasim {
namespace {

bool IsRequest(std::uint32_t type)
{
    return (type >= 256 && type % 2 == 0 && type != KovraMsg::FAILURE_RSP) || type == KovraMsg::DISCONNECT;
}

std::string TimeStamp(std::chrono::system_clock::time_point now)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    // Microseconds: scripts/bench compares the send times with a probe's on the same clock.
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() % 1000000;
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &seconds);
#else
    localtime_r(&seconds, &parts);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%06d", parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(us));
    return text;
}

} // namespace

std::string DescribeDatagram(const std::uint8_t* data, std::size_t size)
{
    TKovraAPIMsg msg;
    if (!msg.Decode(data, size))
        return "short datagram (" + std::to_string(size) + " bytes)";
    std::string text = "#" + std::to_string(msg.dwMsgSeq) + " " + MessageTypeName(msg.dwMsgType);
    if (msg.dwMsgType == KovraMsg::ACK || msg.dwMsgType == KovraMsg::PING)
        return text;
    if (IsRequest(msg.dwMsgType) && msg.Remaining() >= 4) {
        text += " invoke=" + std::to_string(msg.ReadInt32());
    } else if (!KovraMsg::IsEventOrControl(msg.dwMsgType) && msg.Remaining() >= 8) {
        text += " invoke=" + std::to_string(msg.ReadInt32());
        const std::uint32_t error = msg.ReadInt32();
        text += " error=" + std::to_string(error);
        if (error != 0)
            text += " (" + ErrorText(error) + ")";
    }
    text += " [" + std::to_string(size) + " bytes]";
    return text;
}

TSimTrace::~TSimTrace()
{
    if (ownsFile_ && file_)
        std::fclose(file_);
}

bool TSimTrace::Open(const std::string& target)
{
    std::lock_guard lock(mutex_);
    if (target.empty())
        return true;
    if (target == "-") {
        file_ = stderr;
        return true;
    }
    file_ = std::fopen(target.c_str(), "a");
    ownsFile_ = file_ != nullptr;
    return file_ != nullptr;
}

void TSimTrace::Datagram(const char* direction, const std::string& address, std::uint16_t port,
                         const std::uint8_t* data, std::size_t size, const std::string& note)
{
    if (!file_)
        return;
    // Stamped before it is described: the send has just returned.
    const auto when = std::chrono::system_clock::now();
    std::string line = std::string(direction) + " " + address + ":" + std::to_string(port) + " " +
                       DescribeDatagram(data, size);
    if (!note.empty())
        line += " (" + note + ")";
    WriteLine(line, when);
}

void TSimTrace::Note(const std::string& text)
{
    if (file_)
        WriteLine("-- " + text, std::chrono::system_clock::now());
}

void TSimTrace::WriteLine(const std::string& text, std::chrono::system_clock::time_point when)
{
    std::lock_guard lock(mutex_);
    if (!file_)
        return;
    std::fprintf(file_, "%s %s\n", TimeStamp(when).c_str(), text.c_str());
    std::fflush(file_);
}

} // namespace kovrasim
