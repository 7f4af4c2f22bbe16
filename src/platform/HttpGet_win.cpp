#include <windows.h>
#include <wininet.h>

#include <mutex>

#include "platform/HttpGet.h"
#include "platform/ProcAddress_win.h"

namespace platform {
namespace {

constexpr DWORD kReadPiece = 1024;
// SECURITY_FLAG_IGNORE_UNKNOWN_CA | _CERT_CN_INVALID | _CERT_DATE_INVALID
constexpr DWORD kIgnoreCertificateErrors = 0x3100;

// WinINet, with the libraries it brings, is loaded while a connection is open and let go after
// the last one closes: the portal is asked for a few resources at start and rarely after, and
// under Wine the libraries stay resident (about 0.5 MB) for the whole session otherwise.
struct WinInet {
    decltype(&InternetOpenA) Open = nullptr;
    decltype(&InternetConnectA) Connect = nullptr;
    decltype(&InternetCloseHandle) CloseHandle = nullptr;
    decltype(&HttpOpenRequestA) OpenRequest = nullptr;
    decltype(&HttpAddRequestHeadersA) AddRequestHeaders = nullptr;
    decltype(&InternetQueryOptionA) QueryOption = nullptr;
    decltype(&InternetSetOptionA) SetOption = nullptr;
    decltype(&HttpSendRequestA) SendRequest = nullptr;
    decltype(&InternetReadFile) ReadFile = nullptr;
};

std::mutex gWinInetLock;
HMODULE gWinInetModule = nullptr;
int gWinInetUsers = 0;
WinInet gWinInet;

template <typename Function> bool Find(Function& function, const char* name)
{
    return FindProc(gWinInetModule, function, name);
}

// The functions, loaded for one more user; null (with the reason in GetLastError) when the
// library or one of its functions is missing.
const WinInet* AcquireWinInet()
{
    std::lock_guard lock(gWinInetLock);
    if (gWinInetUsers == 0) {
        gWinInetModule = LoadLibraryW(L"wininet.dll");
        if (!gWinInetModule)
            return nullptr;
        WinInet& api = gWinInet;
        if (!Find(api.Open, "InternetOpenA") || !Find(api.Connect, "InternetConnectA") ||
            !Find(api.CloseHandle, "InternetCloseHandle") || !Find(api.OpenRequest, "HttpOpenRequestA") ||
            !Find(api.AddRequestHeaders, "HttpAddRequestHeadersA") ||
            !Find(api.QueryOption, "InternetQueryOptionA") || !Find(api.SetOption, "InternetSetOptionA") ||
            !Find(api.SendRequest, "HttpSendRequestA") || !Find(api.ReadFile, "InternetReadFile")) {
            const DWORD error = GetLastError();
            FreeLibrary(gWinInetModule);
            gWinInetModule = nullptr;
            SetLastError(error);
            return nullptr;
        }
    }
    ++gWinInetUsers;
    return &gWinInet;
}

void ReleaseWinInet()
{
    std::lock_guard lock(gWinInetLock);
    if (gWinInetUsers > 0 && --gWinInetUsers == 0) {
        FreeLibrary(gWinInetModule);
        gWinInetModule = nullptr;
    }
}

} // namespace

struct HttpConnection::Impl {
    const WinInet* api = nullptr; // held from Open to Close
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
    impl_->api = AcquireWinInet();
    if (!impl_->api) {
        impl_->lastError = GetLastError();
        return false;
    }
    const WinInet& api = *impl_->api;
    impl_->session = api.Open(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!impl_->session) {
        impl_->lastError = GetLastError();
        return false;
    }
    impl_->connection =
        api.Connect(impl_->session, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!impl_->connection) {
        impl_->lastError = GetLastError();
        Close();
        return false;
    }
    return true;
}

void HttpConnection::Close()
{
    if (!impl_->api)
        return;
    if (impl_->connection)
        impl_->api->CloseHandle(impl_->connection);
    if (impl_->session)
        impl_->api->CloseHandle(impl_->session);
    impl_->connection = nullptr;
    impl_->session = nullptr;
    impl_->api = nullptr;
    ReleaseWinInet();
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
    const WinInet& api = *impl_->api;
    const DWORD flags = secure ? INTERNET_FLAG_SECURE : 0;
    HINTERNET request =
        api.OpenRequest(impl_->connection, "GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0);
    if (!request) {
        impl_->lastError = GetLastError();
        return false;
    }
    // The portal is asked for a few resources at start and rarely after: a connection kept open
    // for later would keep WinINet's pool thread alive, waking every second, for nothing.
    api.AddRequestHeaders(request, "Connection: close\r\n", static_cast<DWORD>(-1),
                          HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    DWORD security = 0;
    DWORD size = sizeof security;
    api.QueryOption(request, INTERNET_OPTION_SECURITY_FLAGS, &security, &size);
    security |= kIgnoreCertificateErrors;
    api.SetOption(request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);

    bool received = false;
    // The header block goes out as the zero-terminated text it is.
    if (api.SendRequest(request, headers.empty() ? nullptr : headers.c_str(),
                        headers.empty() ? 0 : static_cast<DWORD>(-1), nullptr, 0)) {
        char piece[kReadPiece];
        DWORD read = 0;
        while (!(stop && stop->load())) {
            if (!api.ReadFile(request, piece, kReadPiece, &read)) {
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
    api.CloseHandle(request);
    return received;
}

unsigned long HttpConnection::LastError() const
{
    return impl_->lastError;
}

} // namespace platform
