#pragma once
// HTTP GET for the web portal's resources: WinINet on Windows, libcurl elsewhere, with one
// behaviour. The HTTP status is never examined: whatever body arrives is the content.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// An internet session plus a connection to one host, opened for direct access (no proxy).
// Used by one thread at a time (the look-and-feel loader or the main thread).
class HttpConnection {
public:
    HttpConnection();
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // The agent names the program in the request. False when the session or the connection
    // cannot be set up; LastError keeps the reason.
    bool Open(const std::string& agent, const std::string& host, std::uint16_t port);
    void Close();
    bool IsOpen() const;

    // GETs path (starting with "/") on the open connection, over TLS with certificate errors
    // ignored when secure. headers is a block of extra header lines (CR and LF between them) or
    // empty. The body is appended to body in reads of at most 1024 bytes until a read fails, a
    // read brings nothing or stop becomes true. True when at least one read brought bytes.
    bool Get(const std::string& path, bool secure, const std::string& headers, std::string& body,
             const std::atomic<bool>* stop = nullptr);

    // The OS or library error of the last failure, for logs.
    unsigned long LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
