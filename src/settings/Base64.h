#pragma once
// TBase64: the standard alphabet with '=' as fill.

#include <string>
#include <string_view>

namespace settings {

class TBase64 {
public:
    static std::string Encode(std::string_view bytes);
    // Carriage returns and line feeds are skipped; any other character outside the alphabet ends
    // the input. Only complete groups of four produce bytes; a '=' in a group ends the data.
    static std::string Decode(std::string_view text);
};

} // namespace settings
