#pragma once
// The reliable datagram exchange with the telephony server: numbering, acknowledgement,
// retransmission, sequence checks, log-in with fail-over, and hand-over of received messages to
// the main thread. One worker thread waits for readability, takes every datagram in after log-in
// and acknowledges it at once, and makes all sends after log-in. What the application sees is
// queued for the main thread in the order it happened; the worker never waits for it. Within a
// burst of datagrams the main thread is woken once per batch, within about 2 ms of the first.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/KovraAPIMsg.h"

namespace api {

constexpr std::uint16_t KOVRA_SERVER_PORT = 29051;
constexpr std::size_t KOVRA_MAX_DATAGRAM = 4096;

// Intervals of the exchange in milliseconds; tests scale them down.
struct TKovraTimings {
    unsigned AckWait = 2000; // per try
    unsigned Tries = 4;
    unsigned WorkerReceive = 100; // one receive while waiting for an acknowledgement
    unsigned LoginReceive = 1000; // one receive during log-in
    unsigned ReadWait = 3000;     // the worker's readability wait when idle
    unsigned UnreachablePauseLogin = 500;
    unsigned UnreachablePauseSession = 1000;
    unsigned StopWait = 6000;

    // Every interval but the stop wait divided by divisor (at least 1 ms each).
    static TKovraTimings ScaledDown(unsigned divisor);
};

// A socket failure that the caller cannot continue from (a port that cannot be bound, a send
// that fails during log-in for another reason than an unreachable host).
class EKovraSocketError : public std::runtime_error {
public:
    EKovraSocketError(const std::string& what, int code) : std::runtime_error(what), Code(code) {}
    int Code;
};

// Where a session stands: Handshake while the main thread owns the socket for a log-in, Exchange
// while the worker reads, acknowledges and hands messages over, Ending once a session end has been
// handed to the main thread and not yet carried out (nothing more goes out or is taken in).
enum class KovraSessionPhase { Handshake, Exchange, Ending };

// Where an incoming number stands against the expected one E: E is new, E - 1 is a repeat
// (both modulo 2^32), anything else is a sequence error.
enum class KovraSequence { Next, Repeat, Error };
KovraSequence ClassifySequence(std::uint32_t expected, std::uint32_t received);

// What the manager needs of the session that owns it (TKovraAPI, or a test).
class IKovraConnectionOwner {
public:
    virtual ~IKovraConnectionOwner() = default;

    // Any thread; the owner guards them itself.
    virtual std::vector<std::string> ServerList() const = 0;
    virtual std::string ActiveServerAddress() const = 0;
    virtual void SetActiveServerIndex(int index) = 0;
    virtual std::uint32_t InvokeID() const = 0;
    virtual std::string ClientName() const = 0;
    virtual std::string ClientVersion() const = 0;
    virtual bool Connected() const = 0;

    // Main thread only; the manager queues them in order and does not wait.
    virtual void SendHook(const TKovraAPIMsg& msg) = 0;
    virtual void ReceiveHook(const TKovraAPIMsg& msg) = 0;
    virtual void LoginResult(std::uint32_t error, const std::string& apiVersion,
                             const std::string& serverVersion) = 0;
    virtual void DispatchMessage(TKovraAPIMsg& msg) = 0;
    // Ends the session; notify tells the server with DISCONNECT.
    virtual void Disconnect(bool notify) = 0;
};

class TKovraConnectionMngr {
public:
    // Binds the local port (EKovraSocketError when it cannot) and starts the threads. The local
    // address is empty for every interface; tests keep to loopback with it.
    TKovraConnectionMngr(IKovraConnectionOwner& owner, std::uint16_t localPort,
                         std::uint16_t serverPort = KOVRA_SERVER_PORT,
                         TKovraTimings timings = TKovraTimings(),
                         const std::string& localAddress = std::string());
    ~TKovraConnectionMngr();
    TKovraConnectionMngr(const TKovraConnectionMngr&) = delete;
    TKovraConnectionMngr& operator=(const TKovraConnectionMngr&) = delete;

    // Main thread: the log-in handshake with fail-over across the owner's servers. It ends with
    // false as soon as givenUp(), asked whenever it has run the loop, is true.
    bool OpenSession(const std::function<bool()>& givenUp = {});
    // Main thread: numbers the message (unless an ACK) and queues it; discarded when not Running.
    void Send(std::unique_ptr<TKovraAPIMsg> msg);
    std::size_t PendingCount() const;
    bool SendFailed() const;
    bool Running() const;
    // Resets both sequence numbers and SendFailed, drops every queued message and ends a pending
    // session end: whatever the worker is still doing for the session before is dropped.
    void ClearQueues();
    KovraSessionPhase Phase() const;
    // Main thread: asks the worker to end and waits for it (processing messages); a worker that
    // does not end in time is abandoned.
    void StopWorker();

    // Main thread: another owner takes over (a session destroyed while the manager runs).
    void SetOwner(IKovraConnectionOwner& owner);

    std::uint16_t LocalPort() const;
    // Datagrams dropped because they did not come from the active server.
    std::uint64_t ForeignDatagrams() const;
    // Datagrams of the type the worker has sent so far (every try counts).
    std::uint64_t SentCount(std::uint32_t type) const;
    // When (TickCount) the worker last sent a datagram other than PING and DISCONNECT, and last
    // took one in other than DISCONNECT; 0 before the first.
    std::uint64_t LastSentTick() const;
    std::uint64_t LastReceivedTick() const;

    struct Core;

private:
    std::shared_ptr<Core> core_;
};

} // namespace api
