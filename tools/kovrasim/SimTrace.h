#pragma once
// A line per datagram (and per notable session happening), decoded with the message type names,
// stamped with the local time of day to the microsecond.
// Any thread.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace kovrasim {

class TSimTrace {
public:
    ~TSimTrace();
    // "-" writes to standard error, any other text to that file (appended); empty turns tracing off.
    // Returns false when the file cannot be opened.
    bool Open(const std::string& target);
    bool Enabled() const { return file_ != nullptr; }

    // direction: "<-" received, "->" sent; note: what a fault did to it, or empty.
    void Datagram(const char* direction, const std::string& address, std::uint16_t port,
                  const std::uint8_t* data, std::size_t size, const std::string& note = std::string());
    void Note(const std::string& text);

private:
    void WriteLine(const std::string& text, std::chrono::system_clock::time_point when);

    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
};

// "#seq NAME" plus the InvokeID and error of responses, for a datagram of at least 8 bytes.
std::string DescribeDatagram(const std::uint8_t* data, std::size_t size);

} // namespace kovrasim
