#include "api/KovraConnectionMngr.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <unordered_map>

#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/Threads.h"
#include "platform/UdpSocket.h"

namespace api {

using platform::TickCount;

TKovraTimings TKovraTimings::ScaledDown(unsigned divisor)
{
    TKovraTimings t;
    auto scale = [divisor](unsigned& value) { value = std::max(1u, value / std::max(1u, divisor)); };
    scale(t.AckWait);
    scale(t.WorkerReceive);
    scale(t.LoginReceive);
    scale(t.ReadWait);
    scale(t.UnreachablePauseLogin);
    scale(t.UnreachablePauseSession);
    // The stop wait stays: a healthy worker stops at once, and a shorter wait would only
    // abandon workers that a loaded machine made slow.
    return t;
}

namespace {

// Once handed over, a message is only read: the worker's notices and the main thread share it
// instead of copying it on the worker's way to the next datagram.
using SharedMsg = std::shared_ptr<TKovraAPIMsg>;

// A message with the epoch it belongs to.
struct Tagged {
    SharedMsg Msg;
    std::uint64_t Epoch = 0;
    bool Consumed = false; // a datagram was taken off the socket (kept or not)
};

// What the worker tells the main thread, in the order it happened there: a datagram taken in, a
// datagram sent, a message to dispatch, the log-in answer, a session end.
struct Notice {
    enum Kind : std::uint8_t { Received, Sent, Dispatch, Login, End };
    Kind What = Received;
    std::uint64_t Epoch = 0;
    SharedMsg Msg;
    std::uint32_t Error = 0; // Login
    std::string ApiVersion;
    std::string ServerVersion;
    bool Notify = false; // End
};

using MessageQueue = std::deque<SharedMsg>;

// Within a burst (a datagram soon after the last wake-up of the main thread) the worker gathers
// the notices of the datagrams that follow within a millisecond, for about kGatherMs: a burst
// costs the main thread one wake-up per batch, not one per message. A lone message wakes it at
// once. Worker only.
class TBurstGather {
public:
    static constexpr std::uint64_t kGatherMs = 2;

    // Whether the notices of the datagram just handled wait for the next one.
    bool Hold(std::uint64_t now)
    {
        if (now - lastWake_ > kGatherMs)
            return false;
        if (since_ == 0)
            since_ = now;
        return now - since_ < kGatherMs;
    }
    void Woken(bool afterDatagram, std::uint64_t now)
    {
        since_ = 0;
        if (afterDatagram)
            lastWake_ = now;
    }

private:
    std::uint64_t lastWake_ = 0;
    std::uint64_t since_ = 0; // 0: no notices are held
};

bool IsUnacknowledged(std::uint32_t type)
{
    return type == KovraMsg::DISCONNECT || type == KovraMsg::ACK;
}

} // namespace

// Everything the threads share. It outlives the manager when a worker has to be abandoned, so
// an abandoned thread never touches freed memory; the owner pointer is cleared (under its lock)
// when the manager goes, and every call into the owner checks it.
struct TKovraConnectionMngr::Core {
    Core(IKovraConnectionOwner& owner, std::uint16_t serverPort, TKovraTimings timings)
        : Owner(&owner), ServerPort(serverPort), Timings(timings)
    {
    }

    mutable std::shared_mutex OwnerLock;
    IKovraConnectionOwner* Owner; // null once the manager is gone
    const std::uint16_t ServerPort;
    const TKovraTimings Timings;

    platform::UdpSocket Socket;
    std::string WakeAddress; // where a datagram to the socket itself goes
    // One buffer per reader: a handshake may start while the worker still decodes its datagram.
    std::vector<std::uint8_t> Buffer = std::vector<std::uint8_t>(KOVRA_MAX_DATAGRAM);
    std::vector<std::uint8_t> HandshakeBuffer = std::vector<std::uint8_t>(KOVRA_MAX_DATAGRAM);
    // Held by the main thread for a whole handshake and by the worker for each read, so that the
    // socket has exactly one reader even when a handshake starts while the worker is waiting for
    // an acknowledgement.
    platform::TimedMutex SocketReadLock;

    // Guards the queues, the numbering, the session phase and the sent counts; Epoch and Phase
    // are also read without it.
    mutable std::mutex QueueLock;
    // Waiting for the main thread, which takes them in order; the worker never waits for it.
    std::deque<Notice> Inbound;
    bool DeliveryPosted = false; // a Deliver is on its way to the main thread
    MessageQueue Outbound;
    std::unordered_map<std::uint32_t, std::uint64_t> SentByType;
    // Every ClearQueues starts a new epoch. Whatever the worker read, queued or decided for an
    // earlier epoch is dropped, so a stale datagram can neither end the next session nor hide
    // its LOGIN_RSP.
    std::atomic<std::uint64_t> Epoch{0};
    std::atomic<KovraSessionPhase> Phase{KovraSessionPhase::Handshake};
    // With QueueLock: the phase changed, a message was queued or a stop was asked for. A worker
    // whose datagram a handshake is to read waits on it.
    std::condition_variable Changed;

    // A wake-up datagram is on its way to the worker and it has not started a round since.
    std::atomic<bool> WakePending{false};

    std::atomic<bool> Terminated{false};
    std::atomic<bool> Running{false};
    std::atomic<bool> SendFailed{false};
    std::atomic<std::uint32_t> SendSeq{0};
    std::atomic<std::uint32_t> ReceiveSeq{0};
    std::atomic<std::uint64_t> Foreign{0};
    // The worker's record of the last datagram that keeps the session alive in each direction
    // (ticks): the keep-alive and the watchdog go by these.
    std::atomic<std::uint64_t> LastSent{0};
    std::atomic<std::uint64_t> LastReceived{0};

    std::thread Worker;

    // Worker side: reads of the owner's state under the owner lock.
    template <typename Result, typename Read> Result FromOwner(Result fallback, Read read) const
    {
        std::shared_lock lock(OwnerLock);
        return Owner ? read(*Owner) : fallback;
    }
    // The worker's work of this epoch still counts.
    bool Current(std::uint64_t epoch) const { return epoch == Epoch && Phase == KovraSessionPhase::Exchange; }
    bool OwnerConnected(std::uint64_t epoch) const
    {
        return Current(epoch) && FromOwner(false, [](IKovraConnectionOwner& o) { return o.Connected(); });
    }

    // Queues a notice of this epoch for the main thread and returns at once. wake false leaves
    // waking the main thread to the caller's next Wake, so that an ACK goes out first.
    void Tell(Notice notice, const std::shared_ptr<Core>& self, bool wake = true)
    {
        {
            std::lock_guard lock(QueueLock);
            if (notice.Epoch != Epoch)
                return;
            Inbound.push_back(std::move(notice));
        }
        if (wake)
            Wake(self);
    }
    void TellMessage(Notice::Kind what, SharedMsg msg, std::uint64_t epoch, const std::shared_ptr<Core>& self,
                     bool wake = true)
    {
        Notice notice;
        notice.What = what;
        notice.Epoch = epoch;
        notice.Msg = std::move(msg);
        Tell(std::move(notice), self, wake);
    }
    // Posts a delivery unless one is on its way: the main thread is woken when notices start
    // to wait, not once per notice.
    void Wake(const std::shared_ptr<Core>& self)
    {
        {
            std::lock_guard lock(QueueLock);
            if (DeliveryPosted || Inbound.empty())
                return;
            DeliveryPosted = true;
        }
        PostDelivery(self);
    }
    static void PostDelivery(const std::shared_ptr<Core>& self)
    {
        platform::Post([self] { self->Deliver(self); });
    }

    // Hands a session end to the main thread once per epoch; nothing more goes out or is taken
    // in until the owner has carried it out.
    void RequestSessionEnd(bool notify, std::uint64_t epoch, const std::shared_ptr<Core>& self)
    {
        {
            std::lock_guard lock(QueueLock);
            if (!Current(epoch))
                return;
            Phase = KovraSessionPhase::Ending;
        }
        Notice end;
        end.What = Notice::End;
        end.Epoch = epoch;
        end.Notify = notify;
        Tell(std::move(end), self);
    }

    void ClearQueues(KovraSessionPhase next)
    {
        {
            std::lock_guard lock(QueueLock);
            Inbound.clear();
            Outbound.clear();
            SendSeq = 0;
            ReceiveSeq = 0;
            SendFailed = false;
            ++Epoch;
            Phase = next;
        }
        Changed.notify_all();
    }
    void EnterPhase(KovraSessionPhase next)
    {
        {
            std::lock_guard lock(QueueLock);
            Phase = next;
        }
        Changed.notify_all();
    }
    // Worker: the socket is a handshake's to read. Waits, without polling the datagram that is
    // waiting for it, until the handshake has ended, a message is to go out or a stop is asked.
    void AwaitHandshakeEnd()
    {
        std::unique_lock lock(QueueLock);
        Changed.wait(lock, [this] {
            return Terminated || Phase != KovraSessionPhase::Handshake || !Outbound.empty();
        });
    }

    void Execute(const std::shared_ptr<Core>& self);
    // One read of up to ms, once the socket lock is had (waiting up to lockMs for it).
    Tagged ReceiveOne(unsigned ms, unsigned lockMs, const std::shared_ptr<Core>& self);
    void HandleIncoming(SharedMsg msg, std::uint64_t epoch, const std::shared_ptr<Core>& self);
    void Transmit(const SharedMsg& msg, std::uint64_t epoch, const std::shared_ptr<Core>& self);
    enum class AckWait { Acknowledged, NotAcknowledged, SessionEnded };
    AckWait WaitForAck(const TKovraAPIMsg& msg, std::uint64_t epoch, const std::shared_ptr<Core>& self);
    // Pops the next outbound message and transmits it; false when there was none.
    bool TransmitNext(const std::shared_ptr<Core>& self);
    // Any thread: ends the worker's wait with a datagram of the manager's own. force sends one
    // even when one is pending: a handshake reads (and drops) wake-ups too.
    void WakeWorker(bool force = false);
    // Main thread: the notices in order until none is left, skipping those whose epoch has
    // passed, and nothing once the manager is gone.
    void Deliver(const std::shared_ptr<Core>& self);
    void DeliverNotice(Notice& notice);
    void PauseUnlessTerminated(unsigned ms);
};

TKovraConnectionMngr::TKovraConnectionMngr(IKovraConnectionOwner& owner, std::uint16_t localPort,
                                           std::uint16_t serverPort, TKovraTimings timings,
                                           const std::string& localAddress)
    : core_(std::make_shared<Core>(owner, serverPort, timings))
{
    const int error = core_->Socket.Bind(localPort, localAddress);
    if (error != platform::kSocketOk)
        throw EKovraSocketError("cannot bind UDP port " + std::to_string(localPort), error);
    core_->WakeAddress = localAddress.empty() ? "127.0.0.1" : localAddress;
    auto core = core_;
    core->Running = true;
    core->Worker = std::thread([core] { core->Execute(core); });
}

TKovraConnectionMngr::~TKovraConnectionMngr()
{
    StopWorker();
    {
        std::unique_lock lock(core_->OwnerLock);
        core_->Owner = nullptr;
    }
    if (core_->Running) {
        // Abandoned: the threads keep the shared state alive and end by themselves.
        core_->Worker.detach();
        return;
    }
    if (core_->Worker.joinable())
        core_->Worker.join();
    // Closed with the manager, not with the last notice still on its way to the main thread,
    // which keeps the shared state: the port is free for the next manager at once.
    core_->Socket.Close();
}

void TKovraConnectionMngr::Core::Execute(const std::shared_ptr<Core>& self)
{
    // One thread waits for readability, takes each datagram in and acknowledges it at once, and
    // sends: handing datagrams from a waiting thread to a sending one would cost every
    // acknowledgement a thread switch. The readability wait is its only wait; a message to send
    // or a stop ends it with a datagram of the manager's own (WakeWorker), too short to be a
    // message. An idle session wakes it once per wait. A handled datagram leads straight to the
    // next wait, which returns at once when more are waiting.
    // The thread lasts the session and needs little of its stack.
    platform::ReleaseUnusedStack();
    bool readable = Socket.WaitReadable(0);
    TBurstGather gather;
    while (!Terminated) {
        WakePending = false;
        bool handled = false;
        bool handshakes = false; // the waiting datagram is a handshake's to read
        if (readable) {
            Tagged in = ReceiveOne(0, Timings.WorkerReceive, self);
            if (in.Msg) {
                HandleIncoming(std::move(in.Msg), in.Epoch, self);
                handled = true;
            } else if (!in.Consumed) {
                handshakes = true;
            }
        }
        if (Terminated)
            break;
        const bool sent = TransmitNext(self);
        // Only the wake-up of the main thread is held: every datagram is still acknowledged at
        // once, and a send ends the gather.
        if (handled && !sent && gather.Hold(TickCount())) {
            readable = Socket.WaitReadable(1);
            if (readable)
                continue;
        }
        // The main thread is woken when the worker is done with the datagram, so that it does
        // not contend with the worker for the queue meanwhile.
        gather.Woken(handled, TickCount());
        Wake(self);
        if (Terminated)
            break;
        // The datagram stays readable until the handshake takes it: a readability wait would
        // return at once, over and over.
        if (handshakes && !sent)
            AwaitHandshakeEnd();
        readable = Socket.WaitReadable(sent || handshakes ? 0 : Timings.ReadWait);
    }
    ClearQueues(Phase);
    Running = false;
}

bool TKovraConnectionMngr::Core::TransmitNext(const std::shared_ptr<Core>& self)
{
    SharedMsg next;
    std::uint64_t epoch = 0;
    {
        std::lock_guard lock(QueueLock);
        if (Outbound.empty())
            return false;
        next = std::move(Outbound.front());
        Outbound.pop_front();
        epoch = Epoch;
    }
    Transmit(next, epoch, self);
    return true;
}

void TKovraConnectionMngr::Core::WakeWorker(bool force)
{
    // One at a time: a burst of sends must not fill the socket's buffer with wake-ups, where they
    // would crowd out the server's datagrams.
    if (WakePending.exchange(true) && !force)
        return;
    const char wake = 0;
    Socket.SendTo(&wake, 1, WakeAddress, Socket.LocalPort());
}

void TKovraConnectionMngr::Core::Deliver(const std::shared_ptr<Core>& self)
{
    // Only the notices already here: under a steady stream the loop must get back to the user's
    // input and the timers. The rest has a delivery posted (below) before its pass ends.
    std::size_t count;
    {
        std::lock_guard lock(QueueLock);
        DeliveryPosted = false;
        count = Inbound.size();
    }
    for (; count > 0; --count) {
        Notice notice;
        bool post = false;
        {
            std::lock_guard lock(QueueLock);
            if (Inbound.empty())
                return;
            notice = std::move(Inbound.front());
            Inbound.pop_front();
            // A handler that waits runs the loop, and the notices behind its own must reach it
            // there: while some remain, a delivery is on its way before the handler runs. When
            // the handler returns at once, this loop takes them first.
            if (!Inbound.empty() && !DeliveryPosted)
                post = DeliveryPosted = true;
        }
        if (post)
            PostDelivery(self);
        DeliverNotice(notice);
    }
}

void TKovraConnectionMngr::Core::DeliverNotice(Notice& notice)
{
    // Only the main thread changes the owner and starts epochs, so both hold for the call.
    if (!Owner || notice.Epoch != Epoch)
        return;
    switch (notice.What) {
    case Notice::Received:
        Owner->ReceiveHook(*notice.Msg);
        break;
    case Notice::Sent:
        Owner->SendHook(*notice.Msg);
        break;
    case Notice::Dispatch:
        Owner->DispatchMessage(*notice.Msg);
        break;
    case Notice::Login:
        Owner->LoginResult(notice.Error, notice.ApiVersion, notice.ServerVersion);
        break;
    case Notice::End:
        Owner->Disconnect(notice.Notify);
        break;
    }
}

Tagged TKovraConnectionMngr::Core::ReceiveOne(unsigned ms, unsigned lockMs, const std::shared_ptr<Core>& self)
{
    platform::ReceiveResult received;
    std::uint64_t epoch = 0;
    bool beforeAnySession = false;
    {
        std::unique_lock reading(SocketReadLock, std::defer_lock);
        if (!reading.try_lock_for(std::chrono::milliseconds(lockMs)))
            return {};
        // A handshake holds the socket lock for its whole length and leaves the Handshake phase
        // behind: with the lock free, that phase means no handshake has been made yet.
        beforeAnySession = Phase == KovraSessionPhase::Handshake;
        // Read under the socket lock: a handshake takes it before it starts a new epoch, so a
        // datagram read here belongs to the epoch read here.
        epoch = Epoch;
        received = Socket.ReceiveFrom(Buffer.data(), Buffer.size(), ms);
    }
    Tagged none;
    none.Consumed = true; // read (or found nothing): a wait for readability cannot spin on it
    if (received.Error != platform::kSocketOk || received.Truncated ||
        received.Bytes < TKovraAPIMsg::kHeaderSize)
        return none;
    // Only the server we logged in to may speak to us; anything else could inject events.
    const std::string server =
        FromOwner(std::string(), [](IKovraConnectionOwner& o) { return o.ActiveServerAddress(); });
    if (received.FromAddress != server) {
        ++Foreign;
        return none;
    }
    // Left over from an earlier run on this port: left in the socket, it would be read by the
    // first handshake, and a stale acknowledgement taken for that of its LOGIN_REQ.
    if (beforeAnySession)
        return none;
    auto msg = std::make_shared<TKovraAPIMsg>();
    msg->Decode(Buffer.data(), received.Bytes);
    if (!KovraMsg::IsEventOrControl(msg->dwMsgType)) {
        const std::uint32_t invokeId = msg->ReadInt32();
        if (invokeId != FromOwner(0u, [](IKovraConnectionOwner& o) { return o.InvokeID(); }))
            return none;
    }
    if (msg->dwMsgType != KovraMsg::DISCONNECT)
        LastReceived = TickCount();
    // Told once the caller has acknowledged or handled it (see Wake).
    TellMessage(Notice::Received, msg, epoch, self, false);
    return {std::move(msg), epoch, true};
}

void TKovraConnectionMngr::Core::HandleIncoming(SharedMsg in, std::uint64_t epoch,
                                                const std::shared_ptr<Core>& self)
{
    const TKovraAPIMsg& msg = *in;
    if (msg.dwMsgType == KovraMsg::DISCONNECT) {
        RequestSessionEnd(false, epoch, self);
        return;
    }
    // A late or duplicated acknowledgement outside a transmission is not part of the server's
    // numbering; it must not be taken for a sequence error.
    if (msg.dwMsgType == KovraMsg::ACK)
        return;
    KovraSequence order = KovraSequence::Error;
    {
        std::lock_guard lock(QueueLock);
        if (!Current(epoch))
            return;
        order = ClassifySequence(ReceiveSeq, msg.dwMsgSeq);
        if (order == KovraSequence::Next)
            ReceiveSeq = ReceiveSeq + 1;
    }
    if (order == KovraSequence::Error) {
        RequestSessionEnd(true, epoch, self);
        return;
    }
    Transmit(std::make_shared<TKovraAPIMsg>(KovraMsg::ACK, msg.dwMsgSeq), epoch, self);
    if (order == KovraSequence::Repeat || msg.dwMsgType == KovraMsg::PING)
        return;
    if (msg.dwMsgType == KovraMsg::LOGIN_RSP) {
        // Read from a copy: the main thread may be reading the shared one in its receive hook.
        TKovraAPIMsg fields = msg;
        const std::uint32_t error = fields.ReadInt32();
        const std::string apiVersion = fields.ReadStr();
        const std::string serverVersion = fields.ReadStr();
        Notice login;
        login.What = Notice::Login;
        login.Epoch = epoch;
        login.Error = error;
        login.ApiVersion = apiVersion;
        login.ServerVersion = serverVersion;
        Tell(std::move(login), self, false);
        return;
    }
    Notice dispatch;
    dispatch.What = Notice::Dispatch;
    dispatch.Epoch = epoch;
    dispatch.Msg = std::move(in);
    Tell(std::move(dispatch), self, false);
}

void TKovraConnectionMngr::Core::PauseUnlessTerminated(unsigned ms)
{
    const std::uint64_t until = TickCount() + ms;
    while (!Terminated && TickCount() < until)
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min<std::uint64_t>(20, until - TickCount())));
}

void TKovraConnectionMngr::Core::Transmit(const SharedMsg& shared, std::uint64_t epoch,
                                          const std::shared_ptr<Core>& self)
{
    const TKovraAPIMsg& msg = *shared;
    const bool acknowledged = !IsUnacknowledged(msg.dwMsgType);
    const bool needsSession = msg.dwMsgType != KovraMsg::LOGIN_REQ && acknowledged;
    for (unsigned attempt = 0; attempt < Timings.Tries; ++attempt) {
        if (Terminated || epoch != Epoch)
            return;
        if (needsSession && !OwnerConnected(epoch))
            return;
        const std::string server =
            FromOwner(std::string(), [](IKovraConnectionOwner& o) { return o.ActiveServerAddress(); });
        const int error = Socket.SendTo(msg.Data(), msg.Size(), server, ServerPort);
        if (error == platform::kSocketHostUnreachable) {
            PauseUnlessTerminated(Timings.UnreachablePauseSession);
            continue;
        }
        if (error != platform::kSocketOk)
            break;
        {
            std::lock_guard lock(QueueLock);
            ++SentByType[msg.dwMsgType];
        }
        if (msg.dwMsgType != KovraMsg::PING && msg.dwMsgType != KovraMsg::DISCONNECT)
            LastSent = TickCount();
        // Before a wait for the acknowledgement the main thread is woken; after an ACK or a
        // DISCONNECT the caller wakes it once it is done with the datagram.
        TellMessage(Notice::Sent, shared, epoch, self, acknowledged);
        if (!acknowledged)
            return;
        switch (WaitForAck(msg, epoch, self)) {
        case AckWait::Acknowledged:
        case AckWait::SessionEnded:
            return;
        case AckWait::NotAcknowledged:
            break;
        }
    }
    if (Terminated || (needsSession && !OwnerConnected(epoch)))
        return;
    {
        std::lock_guard lock(QueueLock);
        if (epoch != Epoch)
            return;
        SendFailed = true;
    }
    RequestSessionEnd(true, epoch, self);
}

TKovraConnectionMngr::Core::AckWait TKovraConnectionMngr::Core::WaitForAck(const TKovraAPIMsg& msg,
                                                                           std::uint64_t epoch,
                                                                           const std::shared_ptr<Core>& self)
{
    const std::uint64_t until = TickCount() + Timings.AckWait;
    while (!Terminated && TickCount() < until) {
        const auto slice =
            static_cast<unsigned>(std::min<std::uint64_t>(Timings.WorkerReceive, until - TickCount()));
        Tagged in = ReceiveOne(slice, slice, self);
        if (in.Msg && in.Epoch == epoch && in.Msg->dwMsgType == KovraMsg::ACK) {
            Wake(self);
            if (in.Msg->dwMsgSeq == msg.dwMsgSeq)
                return AckWait::Acknowledged;
            if (in.Msg->dwMsgSeq != msg.dwMsgSeq - 1) {
                RequestSessionEnd(true, epoch, self);
                return AckWait::SessionEnded;
            }
        } else if (in.Msg) {
            HandleIncoming(std::move(in.Msg), in.Epoch, self);
            Wake(self);
        }
        if (!OwnerConnected(epoch))
            break;
    }
    return AckWait::NotAcknowledged;
}

bool TKovraConnectionMngr::OpenSession(const std::function<bool()>& givenUp)
{
    // The loop runs inside the handshake, and a handler run there may free this manager: from
    // here on only the shared state is used, and a stop ends the handshake.
    const std::shared_ptr<Core> keep = core_;
    Core& core = *keep;
    core.Phase = KovraSessionPhase::Handshake;
    std::unique_lock reading(core.SocketReadLock);
    core.ClearQueues(KovraSessionPhase::Handshake);
    struct HandshakeEnd {
        Core& core;
        ~HandshakeEnd() { core.EnterPhase(KovraSessionPhase::Exchange); }
    } handshakeEnd{core};
    auto stopped = [&core, &givenUp] { return core.Terminated || (givenUp && givenUp()); };

    IKovraConnectionOwner& owner = *core.Owner;
    TKovraAPIMsg login(KovraMsg::LOGIN_REQ, core.SendSeq++);
    login.WriteInt32(owner.InvokeID());
    login.WriteStr("2.0");
    if (!owner.ClientName().empty()) {
        login.WriteStr(owner.ClientName());
        login.WriteStr(owner.ClientVersion());
    }

    const std::vector<std::string> servers = owner.ServerList();
    for (const std::string& server : servers) {
        for (unsigned attempt = 0; attempt < core.Timings.Tries; ++attempt) {
            const int error = core.Socket.SendTo(login.Data(), login.Size(), server, core.ServerPort);
            if (error == platform::kSocketHostUnreachable) {
                const std::uint64_t until = TickCount() + core.Timings.UnreachablePauseLogin;
                while (TickCount() < until && !stopped())
                    platform::ProcessMessages(static_cast<unsigned>(until - TickCount()));
                if (stopped())
                    return false;
                break;
            }
            if (error != platform::kSocketOk)
                throw EKovraSocketError("cannot send the log-in request to " + server, error);
            owner.SendHook(login);
            const std::uint64_t until = TickCount() + core.Timings.AckWait;
            while (TickCount() < until) {
                // Short receives with the loop run in between, so the window stays alive.
                const unsigned slice = static_cast<unsigned>(
                    std::min<std::uint64_t>({core.Timings.LoginReceive, 50, until - TickCount()}));
                const platform::ReceiveResult received =
                    core.Socket.ReceiveFrom(core.HandshakeBuffer.data(), core.HandshakeBuffer.size(), slice);
                platform::ProcessMessages(0);
                if (stopped())
                    return false;
                if (received.Error != platform::kSocketOk || received.Truncated ||
                    received.Bytes < TKovraAPIMsg::kHeaderSize)
                    continue;
                TKovraAPIMsg reply;
                reply.Decode(core.HandshakeBuffer.data(), received.Bytes);
                if (reply.dwMsgType != KovraMsg::ACK || reply.dwMsgSeq != 0)
                    continue;
                const auto listed = std::find(servers.begin(), servers.end(), received.FromAddress);
                if (listed == servers.end())
                    continue;
                owner.SetActiveServerIndex(static_cast<int>(listed - servers.begin()));
                core.EnterPhase(KovraSessionPhase::Exchange);
                reading.unlock();
                core.WakeWorker(true);
                return true;
            }
        }
    }
    return false;
}

void TKovraConnectionMngr::Send(std::unique_ptr<TKovraAPIMsg> msg)
{
    if (!msg || !core_->Running)
        return;
    {
        std::lock_guard lock(core_->QueueLock);
        if (msg->dwMsgType != KovraMsg::ACK)
            msg->StampSequence(core_->SendSeq++);
        core_->Outbound.push_back(std::move(msg));
    }
    core_->Changed.notify_all();
    core_->WakeWorker();
}

std::size_t TKovraConnectionMngr::PendingCount() const
{
    std::lock_guard lock(core_->QueueLock);
    return core_->Outbound.size();
}

bool TKovraConnectionMngr::SendFailed() const
{
    return core_->SendFailed;
}

bool TKovraConnectionMngr::Running() const
{
    return core_->Running;
}

void TKovraConnectionMngr::ClearQueues()
{
    core_->ClearQueues(core_->Phase == KovraSessionPhase::Handshake ? KovraSessionPhase::Handshake
                                                                    : KovraSessionPhase::Exchange);
}

KovraSessionPhase TKovraConnectionMngr::Phase() const
{
    return core_->Phase;
}

KovraSequence ClassifySequence(std::uint32_t expected, std::uint32_t received)
{
    // Unsigned arithmetic: the numbering wraps at 2^32, and 0 follows 0xFFFFFFFF.
    if (received == expected)
        return KovraSequence::Next;
    if (received == expected - 1u)
        return KovraSequence::Repeat;
    return KovraSequence::Error;
}

void TKovraConnectionMngr::StopWorker()
{
    // The loop runs below, and a handler run there may free this manager.
    const std::shared_ptr<Core> keep = core_;
    Core& core = *keep;
    if (core.Terminated.exchange(true))
        return;
    {
        std::lock_guard lock(core.QueueLock); // a worker about to wait sees the stop
    }
    core.Changed.notify_all();
    core.WakeWorker(true);
    const std::uint64_t until = TickCount() + core.Timings.StopWait;
    while (core.Running && TickCount() < until)
        platform::ProcessMessages(std::min<unsigned>(100, core.Timings.StopWait));
}

void TKovraConnectionMngr::SetOwner(IKovraConnectionOwner& owner)
{
    std::unique_lock lock(core_->OwnerLock);
    core_->Owner = &owner;
}

std::uint16_t TKovraConnectionMngr::LocalPort() const
{
    return core_->Socket.LocalPort();
}

std::uint64_t TKovraConnectionMngr::ForeignDatagrams() const
{
    return core_->Foreign;
}

std::uint64_t TKovraConnectionMngr::SentCount(std::uint32_t type) const
{
    std::lock_guard lock(core_->QueueLock);
    const auto found = core_->SentByType.find(type);
    return found == core_->SentByType.end() ? 0 : found->second;
}

std::uint64_t TKovraConnectionMngr::LastSentTick() const
{
    return core_->LastSent;
}

std::uint64_t TKovraConnectionMngr::LastReceivedTick() const
{
    return core_->LastReceived;
}

} // namespace api
