#include <curl/curl.h>

#include <mutex>

#include "platform/HttpGet.h"

namespace platform {
namespace {

constexpr long kReadPiece = 1024;
constexpr long kConnectTimeoutSeconds = 30;

void EnsureCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    std::string* body = nullptr;
    const std::atomic<bool>* stop = nullptr;
    std::size_t received = 0;

    bool Stopped() const { return stop && stop->load(); }
};

std::size_t Receive(char* data, std::size_t size, std::size_t count, void* context)
{
    auto* transfer = static_cast<Transfer*>(context);
    if (transfer->Stopped())
        return 0; // ends the transfer, as a stop request ends the read loop
    transfer->body->append(data, size * count);
    transfer->received += size * count;
    return size * count;
}

int Progress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(context)->Stopped() ? 1 : 0;
}

curl_slist* HeaderList(const std::string& block)
{
    curl_slist* list = nullptr;
    std::size_t start = 0;
    while (start <= block.size()) {
        std::size_t end = block.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = block.size();
        if (end > start)
            list = curl_slist_append(list, block.substr(start, end - start).c_str());
        start = end + 1;
    }
    return list;
}

} // namespace

struct HttpConnection::Impl {
    CURL* curl = nullptr;
    std::string agent;
    std::string host;
    std::uint16_t port = 0;
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
    EnsureCurl();
    if (host.empty()) {
        impl_->lastError = CURLE_URL_MALFORMAT;
        return false;
    }
    // libcurl connects on the first request; one easy handle keeps that connection alive.
    impl_->curl = curl_easy_init();
    if (!impl_->curl) {
        impl_->lastError = CURLE_FAILED_INIT;
        return false;
    }
    impl_->agent = agent;
    impl_->host = host;
    impl_->port = port;
    return true;
}

void HttpConnection::Close()
{
    if (impl_->curl)
        curl_easy_cleanup(impl_->curl);
    impl_->curl = nullptr;
}

bool HttpConnection::IsOpen() const
{
    return impl_->curl != nullptr;
}

bool HttpConnection::Get(const std::string& path, bool secure, const std::string& headers, std::string& body,
                         const std::atomic<bool>* stop)
{
    if (!impl_->curl)
        return false;
    CURL* curl = impl_->curl;
    std::string host = impl_->host.find(':') != std::string::npos ? "[" + impl_->host + "]" : impl_->host;
    std::string url = (secure ? "https://" : "http://") + host + ":" + std::to_string(impl_->port) +
                      (path.empty() || path[0] != '/' ? "/" + path : path);

    Transfer transfer{&body, stop, 0};
    curl_slist* headerList = HeaderList(headers);
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, impl_->agent.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReadPiece);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    if (headerList)
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList);

    CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(headerList);
    impl_->lastError = result;
    // A transfer cut short still delivered what it read, as a failed read ends the loop.
    return transfer.received > 0;
}

unsigned long HttpConnection::LastError() const
{
    return impl_->lastError;
}

} // namespace platform
