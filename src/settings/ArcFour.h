#pragma once
// TArcFour: the RC4 stream cipher; enciphering and deciphering are the same operation.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

class TArcFour {
public:
    // A fresh key schedule.
    explicit TArcFour(std::string_view key);
    // XORs the next bytes of the key stream into data.
    std::string Apply(std::string_view data);

private:
    std::array<std::uint8_t, 256> state_{};
    std::uint8_t i_ = 0;
    std::uint8_t j_ = 0;
};

} // namespace settings
