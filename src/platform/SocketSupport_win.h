#pragma once
// What the Windows socket files share; included by *_win.cpp only.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

namespace platform::detail {

inline void EnsureWinsock()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

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
