#pragma once
// TSpeedDials: the user's named numbers from the web portal, as label=number lines. Any one
// thread at a time (the main window fetches on a worker).

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

class TSpeedDials {
public:
    TSpeedDials(std::string_view user, std::string_view portalAddress);

    // Fetches and parses; an unreachable portal or an unusable answer gives an empty list. The
    // list stays owned here until the next load. Setting stop abandons the fetch.
    const std::vector<std::string>& LoadSpeedDials(const std::atomic<bool>* stop = nullptr);

    const std::string& Address() const { return address_; }
    // The answer: a count line, then label=number lines, each ended by a carriage return and
    // an optional line feed. A count below 1 gives no lines; the count is not otherwise checked.
    static std::vector<std::string> ParseAnswer(std::string_view answer);

private:
    std::string user_;
    std::string address_;
    std::string buffer_;
    std::vector<std::string> list_;
};

} // namespace settings
