#include <windows.h>
#include <wininet.h>

#include "platform/HttpGet.h"

namespace platform {
namespace {

constexpr DWORD kReadPiece = 1024;
// SECURITY_FLAG_IGNORE_UNKNOWN_CA | _CERT_CN_INVALID | _CERT_DATE_INVALID
constexpr DWORD kIgnoreCertificateErrors = 0x3100;

} // namespace

struct HttpConnection::Impl {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    unsigned long lastError = 0;
};

HttpConnection::HttpConnection() : impl_(std::make_unique<Impl>())
{
}

HttpConnection::~HttpConnection()
{
    Close();
}

bool HttpConnection::Open(const std::string& agent, const std::string& host, std::uint16_t port)
{
    Close();
    impl_->session = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!impl_->session) {
        impl_->lastError = GetLastError();
        return false;
    }
    impl_->connection =
        InternetConnectA(impl_->session, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!impl_->connection) {
        impl_->lastError = GetLastError();
        Close();
        return false;
    }
    return true;
}

void HttpConnection::Close()
{
    if (impl_->connection)
        InternetCloseHandle(impl_->connection);
    if (impl_->session)
        InternetCloseHandle(impl_->session);
    impl_->connection = nullptr;
    impl_->session = nullptr;
}

bool HttpConnection::IsOpen() const
{
    return impl_->connection != nullptr;
}

bool HttpConnection::Get(const std::string& path, bool secure, const std::string& headers, std::string& body,
                         const std::atomic<bool>* stop)
{
    if (!impl_->connection)
        return false;
    const DWORD flags = secure ? INTERNET_FLAG_SECURE : 0;
    HINTERNET request =
        HttpOpenRequestA(impl_->connection, "GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0);
    if (!request) {
        impl_->lastError = GetLastError();
        return false;
    }
    // The portal is asked for a few resources at start and rarely after: a connection kept open
    // for later would keep WinINet's pool thread alive, waking every second, for nothing.
    HttpAddRequestHeadersA(request, "Connection: close\r\n", static_cast<DWORD>(-1),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    DWORD security = 0;
    DWORD size = sizeof security;
    InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &security, &size);
    security |= kIgnoreCertificateErrors;
    InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);

    bool received = false;
    // The header block goes out as the zero-terminated text it is.
    if (HttpSendRequestA(request, headers.empty() ? nullptr : headers.c_str(),
                         headers.empty() ? 0 : static_cast<DWORD>(-1), nullptr, 0)) {
        char piece[kReadPiece];
        DWORD read = 0;
        while (!(stop && stop->load())) {
            if (!InternetReadFile(request, piece, kReadPiece, &read)) {
                impl_->lastError = GetLastError();
                break;
            }
            if (read == 0)
                break;
            body.append(piece, read);
            received = true;
        }
    } else {
        impl_->lastError = GetLastError();
    }
    InternetCloseHandle(request);
    return received;
}

unsigned long HttpConnection::LastError() const
{
    return impl_->lastError;
}

} // namespace platform
