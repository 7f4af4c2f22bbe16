#include "settings/ArcFour.h"

#include <utility>

namespace settings {

TArcFour::TArcFour(std::string_view key)
{
    for (int n = 0; n < 256; ++n)
        state_[n] = static_cast<std::uint8_t>(n);
    if (key.empty())
        return;
    std::uint8_t j = 0;
    for (int n = 0; n < 256; ++n) {
        j = static_cast<std::uint8_t>(j + state_[n] + static_cast<std::uint8_t>(key[n % key.size()]));
        std::swap(state_[n], state_[j]);
    }
}

std::string TArcFour::Apply(std::string_view data)
{
    std::string out(data);
    for (char& c : out) {
        i_ = static_cast<std::uint8_t>(i_ + 1);
        j_ = static_cast<std::uint8_t>(j_ + state_[i_]);
        std::swap(state_[i_], state_[j_]);
        c = static_cast<char>(static_cast<std::uint8_t>(c) ^
                              state_[static_cast<std::uint8_t>(state_[i_] + state_[j_])]);
    }
    return out;
}

} // namespace settings
