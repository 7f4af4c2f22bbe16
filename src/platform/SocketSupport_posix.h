#pragma once
// What the POSIX socket files share; included by *_posix.cpp only.

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace platform::detail {

// Dotted IPv4 text and a port as a socket address; the empty text is every local address.
inline bool ToAddress(const std::string& text, std::uint16_t port, sockaddr_in& address)
{
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (text.empty()) {
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return inet_pton(AF_INET, text.c_str(), &address.sin_addr) == 1;
}

} // namespace platform::detail
