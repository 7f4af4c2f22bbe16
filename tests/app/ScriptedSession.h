#pragma once
// The main window logged in to a scripted server on loopback: the server answers the monitor
// start, the settings read, the phone-state and phone-configuration queries.

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

#include "ApiTestServer.h"
#include "AppTestSupport.h"
#include "api/KovraAPIConsts.h"

class ScriptedSession {
    // Read on the server's thread: declared before the server, so they outlive its thread.
    std::mutex lock;
    std::string storedSettings = "|General=\"a=1\"|";

public:
    // messenger, desktop: what the window gets instead of the test's fakes.
    explicit ScriptedSession(std::uint32_t capabilities = 0xFFFFFFFFu, std::vector<std::string> extra = {},
                             std::shared_ptr<app::IMessengerLink> messenger = nullptr,
                             std::shared_ptr<app::IDesktop> desktop = nullptr);

    // Starts the session and waits for the log-in and the settings read after it.
    bool LogIn();
    // Requests of a type, each counted once however often it was retransmitted.
    std::size_t Count(std::uint32_t type) const;
    // Count once it has reached `atLeast` or the wait ended: the server reads on a thread of its
    // own, and a request whose answer the window stopped waiting for may not have been read yet.
    std::size_t CountWhenAtLeast(std::uint32_t type, std::size_t atLeast);
    // The request bodies of a type, each read after InvokeID and device.
    std::vector<api::TKovraAPIMsg> Requests(std::uint32_t type) const;
    std::vector<std::string> RequestDevices(std::uint32_t type) const;
    // A call event about device 1001 sent by the server.
    void SendCallEvent(const std::string& oid, std::uint32_t dwEvent,
                       const std::vector<api::TKovraCallConnection>& parties,
                       const std::string& related = std::string(24, '0'));
    bool WaitFor(const std::function<bool()>& done, unsigned ms = 15000);

    ApiTestServer server;
    std::atomic<std::uint32_t> loginError{0};
    std::atomic<int> monitorStarts{0};
    std::atomic<std::uint32_t> capabilities;
    // The document the server gives at log-in; the server's thread reads it.
    void StoreSettings(std::string text)
    {
        std::lock_guard<std::mutex> guard(lock);
        storedSettings = std::move(text);
    }
    std::unique_ptr<AppTest> app;
};
