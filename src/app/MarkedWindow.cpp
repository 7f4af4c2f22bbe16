#include "app/MarkedWindow.h"

namespace app {

std::uint32_t NameHash(std::string_view name)
{
    std::uint32_t hash = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        std::uint32_t c = static_cast<unsigned char>(name[i]);
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        hash += c + static_cast<std::uint32_t>(i);
    }
    return hash;
}

} // namespace app
