#include "api/KovraUDPApi.h"

#include <algorithm>
#include <mutex>

#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/UdpSocket.h"

namespace api {

using platform::TickCount;

TKovraAPITimings TKovraAPITimings::ScaledDown(unsigned divisor)
{
    TKovraAPITimings t;
    const unsigned d = std::max(1u, divisor);
    for (unsigned* value : {&t.KeepAlive, &t.Watchdog, &t.LoginWait, &t.DisconnectWait, &t.PhoneStateWait,
                            &t.ResponseWait, &t.SetDataWait, &t.ShortStep, &t.LongStep})
        *value = std::max(1u, *value / d);
    t.Exchange = TKovraTimings::ScaledDown(divisor);
    return t;
}

// Held by every operation that runs the loop and every hand-over, for as long as it runs: a
// deactivation asked for meanwhile waits until the outermost has returned, and a session destroyed
// meanwhile is not touched on the way out. busy: the operation also sets Busy for its length.
class TKovraAPI::TOperation {
public:
    explicit TOperation(TKovraAPI& api, bool busy = false) : api_(api), alive_(api.alive_), busy_(busy)
    {
        ++api_.operationDepth_;
        if (busy_)
            api_.busy_ = true;
    }
    ~TOperation()
    {
        if (!*alive_)
            return;
        if (busy_)
            api_.busy_ = false;
        if (--api_.operationDepth_ == 0 && api_.deactivationDeferred_)
            api_.PostDeferredDeactivation();
    }
    TOperation(const TOperation&) = delete;
    TOperation& operator=(const TOperation&) = delete;

    bool Alive() const { return *alive_; }

private:
    TKovraAPI& api_;
    const std::shared_ptr<bool> alive_;
    const bool busy_;
};

// What the manager sees of the session. Kept apart from the public interface so that a session
// end the worker asks for can be told from one the program asks for.
class TKovraAPI::TOwnerLink final : public IKovraConnectionOwner {
public:
    explicit TOwnerLink(TKovraAPI& api) : api_(api) {}

    std::vector<std::string> ServerList() const override { return api_.Servers(); }
    std::string ActiveServerAddress() const override { return api_.ActiveServerAddress(); }
    void SetActiveServerIndex(int index) override { api_.SetActiveServerIndex(index); }
    std::uint32_t InvokeID() const override { return api_.InvokeID(); }
    std::string ClientName() const override { return api_.ClientName(); }
    std::string ClientVersion() const override { return api_.ClientVersion(); }
    bool Connected() const override { return api_.Connected(); }

    void SendHook(const TKovraAPIMsg& msg) override
    {
        HandOver([&] { api_.SendHook(msg); }, &msg);
    }
    void ReceiveHook(const TKovraAPIMsg& msg) override
    {
        HandOver([&] { api_.ReceiveHook(msg); }, &msg);
    }
    void LoginResult(std::uint32_t error, const std::string& apiVersion,
                     const std::string& serverVersion) override
    {
        HandOver([&] { api_.LoginResult(error, apiVersion, serverVersion); });
    }
    void DispatchMessage(TKovraAPIMsg& msg) override
    {
        HandOver([&] { api_.DispatchMessage(msg); }, &msg);
    }
    void Disconnect(bool notify) override { api_.SessionEndRequested(notify); }

private:
    template <typename Fn> void HandOver(Fn fn, const TKovraAPIMsg* msg = nullptr)
    {
        TOperation operation(api_);
        const TKovraAPIMsg* outer = api_.currentMessage_;
        if (msg)
            api_.currentMessage_ = msg;
        fn();
        if (!operation.Alive())
            return; // destroyed by a handler: neither the session nor this link exists any more
        api_.currentMessage_ = outer;
    }

    TKovraAPI& api_;
};

namespace {

bool IsPlainAddress(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; });
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

TKovraAPI::TKovraAPI()
    : link_(std::make_unique<TOwnerLink>(*this)), keepAliveTimer_(std::make_unique<platform::Timer>()),
      watchdogTimer_(std::make_unique<platform::Timer>())
{
    keepAliveTimer_->SetInterval(timings_.KeepAlive);
    keepAliveTimer_->OnTimer = [this] { KeepAliveTick(); };
    watchdogTimer_->SetInterval(timings_.Watchdog);
    watchdogTimer_->OnTimer = [this] { WatchdogTick(); };
}

TKovraAPI::~TKovraAPI()
{
    if (operationDepth_ > 0) {
        // Destroyed from a handler run inside an operation or hand-over, which must not find
        // its manager gone under it.
        *alive_ = false;
        RetireManager();
    } else {
        SetActive(false);
        *alive_ = false;
    }
    keepAliveTimer_->SetEnabled(false);
    watchdogTimer_->SetEnabled(false);
}

bool TKovraAPI::Active() const
{
    return manager_ && manager_->Running();
}

void TKovraAPI::SetActive(bool active)
{
    if (!active && operationDepth_ > 0) {
        // An operation waits or the manager delivers to the handler running now: the manager is
        // stopped once they have returned, never from under them. Their waits end meanwhile.
        deactivationDeferred_ = manager_ != nullptr;
        return;
    }
    deactivationDeferred_ = false;
    if (active) {
        if (!manager_)
            manager_ = std::make_unique<TKovraConnectionMngr>(*link_, port_, serverPort_, timings_.Exchange,
                                                              localAddress_);
        return;
    }
    if (!manager_)
        return;
    const std::shared_ptr<bool> alive = alive_;
    Disconnect(true);
    if (!*alive)
        return; // destroyed by OnDisconnected, which retired the manager
    // Asked again by a handler run in the goodbye: done now. Asked or destroyed while the worker
    // stops (which runs the loop): the manager is not freed under the stop.
    deactivationDeferred_ = false;
    {
        TOperation stopping(*this);
        manager_->StopWorker();
    }
    if (!*alive)
        return;
    manager_.reset();
    deactivationDeferred_ = false;
}

void TKovraAPI::PostDeferredDeactivation()
{
    platform::Post([this, alive = alive_] {
        if (*alive && deactivationDeferred_)
            SetActive(false);
    });
}

namespace {

// Takes over a manager whose session was destroyed inside one of the manager's hand-overs: it
// answers the manager's questions from what the session knew, lets the DISCONNECT go out and
// stops the manager once the hand-over has returned.
class TRetiredOwner final : public IKovraConnectionOwner {
public:
    TRetiredOwner(std::vector<std::string> servers, std::string active, std::uint32_t invokeId)
        : servers_(std::move(servers)), active_(std::move(active)), invokeId_(invokeId)
    {
    }
    ~TRetiredOwner() override { Manager.reset(); }

    std::vector<std::string> ServerList() const override { return servers_; }
    std::string ActiveServerAddress() const override { return active_; }
    void SetActiveServerIndex(int) override {}
    std::uint32_t InvokeID() const override { return invokeId_; }
    std::string ClientName() const override { return std::string(); }
    std::string ClientVersion() const override { return std::string(); }
    bool Connected() const override { return false; }
    void SendHook(const TKovraAPIMsg& msg) override
    {
        goodbyeSent_ = goodbyeSent_ || msg.dwMsgType == KovraMsg::DISCONNECT;
    }
    void ReceiveHook(const TKovraAPIMsg&) override {}
    void LoginResult(std::uint32_t, const std::string&, const std::string&) override {}
    void DispatchMessage(TKovraAPIMsg&) override {}
    void Disconnect(bool) override {}

    void Finish(bool goodbye, unsigned waitMs)
    {
        const std::uint64_t until = TickCount() + waitMs;
        while (goodbye && !goodbyeSent_ && !Manager->SendFailed() && TickCount() < until)
            platform::ProcessMessages(
                static_cast<unsigned>(std::min<std::uint64_t>(50, until - TickCount())));
        Manager->StopWorker();
        Manager.reset();
    }

    std::unique_ptr<TKovraConnectionMngr> Manager;

private:
    const std::vector<std::string> servers_;
    const std::string active_;
    const std::uint32_t invokeId_;
    bool goodbyeSent_ = false;
};

} // namespace

void TKovraAPI::RetireManager()
{
    if (!manager_)
        return;
    auto retired = std::make_shared<TRetiredOwner>(Servers(), ActiveServerAddress(), invokeId_);
    retired->Manager = std::move(manager_);
    retired->Manager->SetOwner(*retired);
    const bool goodbye = connected_;
    connected_ = false;
    if (goodbye) {
        retired->Manager->ClearQueues();
        auto msg = std::make_unique<TKovraAPIMsg>(KovraMsg::DISCONNECT, 0);
        msg->WriteInt32(invokeId_);
        retired->Manager->Send(std::move(msg));
    }
    platform::Post(
        [retired, goodbye, waitMs = timings_.DisconnectWait] { retired->Finish(goodbye, waitMs); });
}

void TKovraAPI::SetPort(std::uint16_t port)
{
    if (!manager_)
        port_ = port;
}

void TKovraAPI::SetServerPort(std::uint16_t port)
{
    if (!manager_)
        serverPort_ = port;
}

void TKovraAPI::SetLocalAddress(const std::string& address)
{
    if (!manager_)
        localAddress_ = address;
}

void TKovraAPI::SetTimings(const TKovraAPITimings& timings)
{
    const TKovraTimings exchange = manager_ ? timings_.Exchange : timings.Exchange;
    timings_ = timings;
    timings_.Exchange = exchange;
    if (!keepAliveTimer_->Enabled())
        keepAliveTimer_->SetInterval(timings_.KeepAlive);
    if (!watchdogTimer_->Enabled())
        watchdogTimer_->SetInterval(timings_.Watchdog);
}

std::uint16_t TKovraAPI::BoundPort() const
{
    return manager_ ? manager_->LocalPort() : 0;
}

std::string TKovraAPI::ClientName() const
{
    std::shared_lock lock(lock_);
    return clientName_;
}

void TKovraAPI::SetClientName(const std::string& name)
{
    std::unique_lock lock(lock_);
    clientName_ = name;
}

std::string TKovraAPI::ClientVersion() const
{
    std::shared_lock lock(lock_);
    return clientVersion_;
}

void TKovraAPI::SetClientVersion(const std::string& version)
{
    std::unique_lock lock(lock_);
    clientVersion_ = version;
}

std::vector<std::string> TKovraAPI::Servers() const
{
    std::shared_lock lock(lock_);
    return servers_;
}

void TKovraAPI::AddServer(const std::string& address)
{
    std::string entry = address;
    if (!IsPlainAddress(address)) {
        // Resolved outside the lock: a slow resolver must not hold up the worker.
        const std::string resolved = platform::ResolveIPv4(address);
        if (!resolved.empty())
            entry = resolved;
    }
    std::unique_lock lock(lock_);
    const bool listed = std::any_of(servers_.begin(), servers_.end(),
                                    [&](const std::string& s) { return SameTextIgnoringCase(s, entry); });
    if (listed)
        return;
    servers_.push_back(entry);
    if (activeServerIndex_ == -1)
        activeServerIndex_ = 0;
}

void TKovraAPI::ClearServers()
{
    std::unique_lock lock(lock_);
    activeServerIndex_ = -1;
    servers_.clear();
}

int TKovraAPI::ActiveServerIndex() const
{
    std::shared_lock lock(lock_);
    return activeServerIndex_;
}

void TKovraAPI::SetActiveServerIndex(int index)
{
    std::unique_lock lock(lock_);
    activeServerIndex_ = index;
}

std::string TKovraAPI::ActiveServerAddress() const
{
    std::shared_lock lock(lock_);
    if (activeServerIndex_ < 0 || activeServerIndex_ >= static_cast<int>(servers_.size()))
        return std::string();
    return servers_[static_cast<std::size_t>(activeServerIndex_)];
}

template <typename Done> bool TKovraAPI::WaitUntil(unsigned ms, unsigned step, Done done)
{
    TOperation operation(*this);
    const std::uint64_t interrupts = interrupts_;
    const std::uint64_t until = TickCount() + ms;
    while (!done() && interrupts == interrupts_) {
        const std::uint64_t now = TickCount();
        if (now >= until)
            return true;
        platform::ProcessMessages(static_cast<unsigned>(std::min<std::uint64_t>(step, until - now)));
        if (!operation.Alive())
            return false;
    }
    return true;
}

template <typename Done> bool TKovraAPI::WaitWithinSession(unsigned ms, unsigned step, Done done)
{
    const std::uint64_t session = sessions_;
    return WaitUntil(ms, step, [&] { return SessionOver(session) || done(); });
}

bool TKovraAPI::SessionOver(std::uint64_t session) const
{
    // An end the worker or the watchdog asked for while Busy, or a deactivation waiting for the
    // running operations, is as good as carried out: nothing of the session answers any more.
    return !connected_ || !manager_ || session != sessions_ || deferredEnd_ >= 0 || deactivationDeferred_;
}

bool TKovraAPI::SendAndWait(std::unique_ptr<TKovraAPIMsg> msg, unsigned ms, bool withinSession)
{
    if (!manager_)
        return true;
    const std::uint32_t type = msg->dwMsgType;
    // Counted before the message is queued: the worker may send it before this thread reads on.
    const std::uint64_t before = manager_->SentCount(type);
    manager_->Send(std::move(msg));
    auto sent = [&] {
        if (!manager_ || manager_->SendFailed())
            return true;
        // An empty queue alone is not enough: the worker may have taken the message and not yet
        // sent it, and whoever stops the worker next would lose it.
        return manager_->PendingCount() == 0 && manager_->SentCount(type) != before;
    };
    return withinSession ? WaitWithinSession(ms, timings_.LongStep, sent)
                         : WaitUntil(ms, timings_.LongStep, sent);
}

bool TKovraAPI::Connect()
{
    if (busy_)
        return false;
    const std::shared_ptr<bool> alive = alive_;
    bool result = false;
    {
        TOperation operation(*this, true);
        result = ConnectBusy();
    }
    if (*alive)
        RunDeferredSessionEnd();
    return result;
}

bool TKovraAPI::ConnectBusy()
{
    if (connected_)
        return true;
    const std::shared_ptr<bool> alive = alive_;
    loginAcknowledged_ = false;
    loginAnswer_.reset();
    const std::uint64_t interrupts = interrupts_;
    // A handler run meanwhile may deactivate or destroy the session, or interrupt the log-in.
    auto givenUp = [this, alive, interrupts] {
        return !*alive || deactivationDeferred_ || interrupts != interrupts_;
    };
    if (manager_ && manager_->OpenSession(givenUp)) {
        if (!*alive)
            return false;
        loginAcknowledged_ = true;
        awaitingLogin_ = true;
        if (!WaitUntil(timings_.LoginWait, timings_.ShortStep,
                       [&] { return connected_.load() || !manager_ || deactivationDeferred_; }))
            return false;
        awaitingLogin_ = false;
    }
    if (!*alive)
        return false;
    const bool result = connected_;
    RaiseEvent(OnConnected, *this, lastError_, ActiveServerAddress());
    return result;
}

void TKovraAPI::Disconnect(bool notify)
{
    if (busy_)
        return;
    const std::shared_ptr<bool> alive = alive_;
    {
        TOperation operation(*this, true);
        DisconnectBusy(notify);
    }
    if (*alive)
        RunDeferredSessionEnd();
}

void TKovraAPI::DisconnectBusy(bool notify)
{
    if (!connected_)
        return;
    connected_ = false;
    keepAliveTimer_->SetEnabled(false);
    watchdogTimer_->SetEnabled(false);
    if (manager_) {
        manager_->ClearQueues();
        if (notify) {
            auto msg = std::make_unique<TKovraAPIMsg>(KovraMsg::DISCONNECT, 0);
            msg->WriteInt32(invokeId_);
            if (!SendAndWait(std::move(msg), timings_.DisconnectWait, false))
                return;
        }
    }
    RaiseEvent(OnDisconnected, *this);
}

void TKovraAPI::SessionEndRequested(bool notify)
{
    // Ignoring an end the worker asked for would leave a dead session that looks alive.
    if (busy_) {
        if (deferredEnd_ < 0)
            deferredEnd_ = notify ? 1 : 0;
        return;
    }
    Disconnect(notify);
}

void TKovraAPI::RunDeferredSessionEnd()
{
    if (deferredEnd_ < 0 || busy_)
        return;
    const bool notify = deferredEnd_ == 1;
    deferredEnd_ = -1;
    Disconnect(notify);
}

void TKovraAPI::LoginResult(std::uint32_t error, const std::string& apiVersion,
                            const std::string& serverVersion)
{
    // A LOGIN_RSP after Connect gave up and reported the failure would leave a session that no
    // one was told about (the next Connect would return at once without OnConnected).
    if (!awaitingLogin_)
        return;
    loginAnswer_ = error;
    lastError_ = error;
    apiVersion_ = apiVersion;
    serverVersion_ = serverVersion;
    if (error == 0) {
        connected_ = true;
        ++sessions_;
        ArmAfter(*keepAliveTimer_, timings_.KeepAlive);
        ArmAfter(*watchdogTimer_, timings_.Watchdog);
    }
    lastError_ = 0;
}

void TKovraAPI::SendHook(const TKovraAPIMsg& msg)
{
    RaiseEvent(OnSend, *this, msg.dwMsgSeq, msg.dwMsgType);
}

void TKovraAPI::ReceiveHook(const TKovraAPIMsg& msg)
{
    RaiseEvent(OnReceive, *this, msg.dwMsgSeq, msg.dwMsgType);
}

void TKovraAPI::ArmAfter(platform::Timer& timer, unsigned ms)
{
    timer.SetEnabled(false);
    timer.SetInterval(std::max(1u, ms));
    timer.SetEnabled(true);
}

unsigned TKovraAPI::StillToWait(std::uint64_t last, unsigned interval) const
{
    // The timers are not restarted per datagram: when one fires, the worker's record says
    // whether the whole interval has really passed in quiet, or how much of it is left.
    const std::uint64_t now = TickCount();
    if (last == 0 || last > now || now - last >= interval)
        return 0;
    return static_cast<unsigned>(interval - (now - last));
}

void TKovraAPI::KeepAliveTick()
{
    keepAliveTimer_->SetEnabled(false);
    if (!manager_)
        return;
    if (const unsigned left = connected_ ? StillToWait(manager_->LastSentTick(), timings_.KeepAlive) : 0) {
        ArmAfter(*keepAliveTimer_, left);
        return;
    }
    manager_->Send(std::make_unique<TKovraAPIMsg>(KovraMsg::PING, 0));
    if (connected_)
        ArmAfter(*keepAliveTimer_, timings_.KeepAlive);
}

void TKovraAPI::WatchdogTick()
{
    watchdogTimer_->SetEnabled(false);
    if (const unsigned left =
            manager_ && connected_ ? StillToWait(manager_->LastReceivedTick(), timings_.Watchdog) : 0) {
        ArmAfter(*watchdogTimer_, left);
        return;
    }
    SessionEndRequested(false);
}

void TKovraAPI::MonitorStart(const std::string& Phone, const std::string& Password, const std::string& Third)
{
    auto msg = Request(KovraMsg::MONITOR_START_REQ, Phone);
    msg->WriteStr(Password);
    msg->WriteStr(Third);
    SendRequest(std::move(msg));
}

void TKovraAPI::MonitorStop(const std::string& Device, unsigned waitMs)
{
    if (!connected_)
        return;
    auto msg = Request(KovraMsg::MONITOR_STOP_REQ, Device);
    if (waitMs >= 1)
        SendAndWait(std::move(msg), waitMs, true);
    else
        SendRequest(std::move(msg));
}

std::unique_ptr<TKovraAPIMsg> TKovraAPI::Request(std::uint32_t type, const std::string& Device)
{
    auto msg = std::make_unique<TKovraAPIMsg>(type, 0);
    msg->WriteInt32(invokeId_);
    msg->WriteStr(Device);
    return msg;
}

void TKovraAPI::SendRequest(std::unique_ptr<TKovraAPIMsg> msg)
{
    if (connected_ && manager_)
        manager_->Send(std::move(msg));
}

void TKovraAPI::SendOid(std::uint32_t type, const std::string& Device, const std::string& oidCall)
{
    auto msg = Request(type, Device);
    msg->WriteOid(oidCall);
    SendRequest(std::move(msg));
}

void TKovraAPI::SendTwoOids(std::uint32_t type, const std::string& Device, const std::string& oidCall,
                            const std::string& oidCall2)
{
    auto msg = Request(type, Device);
    msg->WriteOid(oidCall);
    msg->WriteOid(oidCall2);
    SendRequest(std::move(msg));
}

void TKovraAPI::SendCallSetup(std::uint32_t type, const std::string& Device, const std::string& oidCall,
                              const std::string& Destination, std::uint32_t Param)
{
    auto msg = Request(type, Device);
    msg->WriteOid(oidCall);
    msg->WriteStr(Destination);
    msg->WriteInt32(Param);
    SendRequest(std::move(msg));
}

void TKovraAPI::MakeCall(const std::string& Device, const std::string& Destination, std::uint32_t Param)
{
    auto msg = Request(KovraMsg::MAKE_CALL_REQ, Device);
    msg->WriteStr(Destination);
    msg->WriteInt32(Param);
    SendRequest(std::move(msg));
}

void TKovraAPI::AnswerCall(const std::string& Device, const std::string& oidCall)
{
    SendOid(KovraMsg::ANSWER_CALL_REQ, Device, oidCall);
}

void TKovraAPI::HoldCall(const std::string& Device, const std::string& oidCall)
{
    SendOid(KovraMsg::HOLD_CALL_REQ, Device, oidCall);
}

void TKovraAPI::RetrieveCall(const std::string& Device, const std::string& oidCall)
{
    SendOid(KovraMsg::RETRIEVE_CALL_REQ, Device, oidCall);
}

void TKovraAPI::ParkCall(const std::string& Device, const std::string& oidCall)
{
    SendOid(KovraMsg::PARK_CALL_REQ, Device, oidCall);
}

void TKovraAPI::DropCall(const std::string& Device, const std::string& oidCall)
{
    SendOid(KovraMsg::DROP_CONNECTION_REQ, Device, oidCall);
}

void TKovraAPI::AlternateCall(const std::string& Device, const std::string& oidCall,
                              const std::string& oidCall2)
{
    SendTwoOids(KovraMsg::ALTERNATE_CALL_REQ, Device, oidCall, oidCall2);
}

void TKovraAPI::PickupCall(const std::string& Device, const std::string& Target)
{
    auto msg = Request(KovraMsg::PICKUP_CALL_REQ, Device);
    msg->WriteStr(Target);
    SendRequest(std::move(msg));
}

void TKovraAPI::RedirectCall(const std::string& Device, const std::string& oidCall,
                             const std::string& Destination, std::uint32_t Mode, std::uint32_t Param)
{
    auto msg = Request(KovraMsg::REDIRECT_CALL_REQ, Device);
    msg->WriteOid(oidCall);
    msg->WriteInt32(Mode);
    msg->WriteStr(Destination);
    msg->WriteInt32(Param);
    SendRequest(std::move(msg));
}

void TKovraAPI::DialDigits(const std::string& Device, const std::string& oidCall, const std::string& Digits)
{
    auto msg = Request(KovraMsg::DIAL_DIGITS_REQ, Device);
    msg->WriteOid(oidCall);
    msg->WriteStr(Digits);
    SendRequest(std::move(msg));
}

void TKovraAPI::Transfer(const std::string& Device, const std::string& oidCall,
                         const std::string& Destination, std::uint32_t Param, bool SingleStep)
{
    SendCallSetup(SingleStep ? KovraMsg::SINGLE_STEP_TRANSFER_REQ : KovraMsg::SETUP_TRANSFER_REQ, Device,
                  oidCall, Destination, Param);
}

void TKovraAPI::Conference(const std::string& Device, const std::string& oidCall,
                           const std::string& Destination, std::uint32_t Param, bool SingleStep)
{
    SendCallSetup(SingleStep ? KovraMsg::SINGLE_STEP_CONFERENCE_REQ : KovraMsg::SETUP_CONFERENCE_REQ, Device,
                  oidCall, Destination, Param);
}

void TKovraAPI::CompleteTransfer(const std::string& Device, const std::string& oidCall,
                                 const std::string& oidRelated)
{
    SendTwoOids(KovraMsg::COMPLETE_TRANSFER_REQ, Device, oidCall, oidRelated);
}

void TKovraAPI::CompleteConference(const std::string& Device, const std::string& oidCall,
                                   const std::string& oidRelated)
{
    SendTwoOids(KovraMsg::COMPLETE_CONFERENCE_REQ, Device, oidCall, oidRelated);
}

void TKovraAPI::ConferenceCall(const std::string& Device, const std::string& oidCall,
                               const std::string& oidHeld)
{
    SendTwoOids(KovraMsg::CONFERENCE_CALL_REQ, Device, oidCall, oidHeld);
}

void TKovraAPI::DropConference(const std::string& Device, const std::string& oidCall,
                               const std::string& Party)
{
    auto msg = Request(KovraMsg::DROP_CONFERENCE_CONNECTION_REQ, Device);
    msg->WriteOid(oidCall);
    msg->WriteStr(Party);
    SendRequest(std::move(msg));
}

void TKovraAPI::SetDoNotDisturb(const std::string& Device, bool On)
{
    auto msg = Request(KovraMsg::SET_DO_NOT_DISTURB_REQ, Device);
    msg->WriteBool(On);
    SendRequest(std::move(msg));
}

void TKovraAPI::VoiceMail(const std::string& Device, std::uint32_t Mode, const std::string& Password,
                          std::uint32_t Folder, std::uint32_t Message)
{
    auto msg = Request(KovraMsg::VOICE_MAIL_REQ, Device);
    // Older servers take the device alone; the version texts compare byte by byte.
    if (apiVersion_ >= std::string("2.3")) {
        msg->WriteInt32(Mode);
        msg->WriteStr(Password);
        msg->WriteInt32(Folder);
        msg->WriteInt32(Message);
    }
    SendRequest(std::move(msg));
}

namespace {

enum class Completion { Waiting, Success, Failure };

// Installs an internal handler on one event for the length of a wait and puts the caller's back,
// unless the session was destroyed meanwhile.
template <typename Event> class HandlerSwap {
public:
    HandlerSwap(Event& event, Event internal, std::shared_ptr<bool> alive)
        : event_(event), saved_(std::move(event)), alive_(std::move(alive))
    {
        event_ = std::move(internal);
    }
    ~HandlerSwap()
    {
        if (*alive_)
            event_ = std::move(saved_);
    }
    HandlerSwap(const HandlerSwap&) = delete;
    HandlerSwap& operator=(const HandlerSwap&) = delete;

private:
    Event& event_;
    Event saved_;
    const std::shared_ptr<bool> alive_;
};

// The optional error output of a waiting operation: 0 until an answer sets it.
class AnswerError {
public:
    explicit AnswerError(std::uint32_t* target) : target_(target) { Set(0); }
    void Set(std::uint32_t error)
    {
        if (target_)
            *target_ = error;
    }

private:
    std::uint32_t* target_;
};

} // namespace

bool TKovraAPI::QueryPhoneState(const std::string& Device, TKovraPhoneState& State)
{
    const std::shared_ptr<bool> alive = alive_;
    Completion flag = Completion::Waiting;
    TKovraPhoneState received;
    {
        HandlerSwap swap(OnPhoneState, TKovraPhoneStateEvent([&](TKovraAPI&, const TKovraPhoneState& state) {
                             received = state;
                             flag = Completion::Success;
                         }),
                         alive);
        SendRequest(Request(KovraMsg::QUERY_PHONE_STATE_REQ, Device));
        WaitWithinSession(timings_.PhoneStateWait, timings_.ShortStep,
                          [&] { return flag != Completion::Waiting; });
    }
    if (flag != Completion::Success)
        return false;
    State = received;
    return true;
}

bool TKovraAPI::QueryPhoneConfig(const std::string& Device, TKovraPhoneConfig& Config, std::uint32_t* Error)
{
    AnswerError answerError(Error);
    const std::shared_ptr<bool> alive = alive_;
    Completion flag = Completion::Waiting;
    TKovraPhoneConfig received;
    {
        HandlerSwap swap(
            OnQueryPhoneConfig,
            TKovraPhoneConfigEvent([&](TKovraAPI&, std::uint32_t error, const TKovraPhoneConfig& config) {
                answerError.Set(error);
                if (error == 0)
                    received = config;
                flag = error == 0 ? Completion::Success : Completion::Failure;
            }),
            alive);
        SendRequest(Request(KovraMsg::QUERY_PHONE_CONFIG_REQ, Device));
        WaitWithinSession(timings_.ResponseWait, timings_.ShortStep,
                          [&] { return flag != Completion::Waiting; });
    }
    if (flag != Completion::Success)
        return false;
    Config = received;
    return true;
}

bool TKovraAPI::GetForwarding(const std::string& Device, TKovraCallForwarding& CallForwarding,
                              std::uint32_t* Error)
{
    AnswerError answerError(Error);
    if (!connected_ || busy_)
        return false;
    const std::shared_ptr<bool> alive = alive_;
    Completion flag = Completion::Waiting;
    TKovraCallForwarding received;
    {
        TOperation operation(*this, true);
        HandlerSwap swap(OnGetForwarding,
                         TKovraCallForwardingEvent(
                             [&](TKovraAPI&, std::uint32_t error, const TKovraCallForwarding& forwarding) {
                                 answerError.Set(error);
                                 if (error == 0)
                                     received = forwarding;
                                 flag = error == 0 ? Completion::Success : Completion::Failure;
                             }),
                         alive);
        SendRequest(Request(KovraMsg::GET_CALL_FORWARDING_REQ, Device));
        WaitWithinSession(timings_.ResponseWait, timings_.ShortStep,
                          [&] { return flag != Completion::Waiting; });
    }
    if (!*alive)
        return false;
    RunDeferredSessionEnd();
    if (flag != Completion::Success)
        return false;
    CallForwarding = received;
    return true;
}

bool TKovraAPI::ApplicationGetData(const std::string& Device, const std::string& Application,
                                   std::string& Value, std::uint32_t* Error)
{
    AnswerError answerError(Error);
    const std::shared_ptr<bool> alive = alive_;
    Completion flag = Completion::Waiting;
    std::string received;
    {
        HandlerSwap swap(OnApplicationGetData,
                         TKovraGetAppDataEvent([&](TKovraAPI&, std::uint32_t error, const std::string&,
                                                   const std::string& value) {
                             answerError.Set(error);
                             if (error == 0)
                                 received = value;
                             flag = error == 0 ? Completion::Success : Completion::Failure;
                         }),
                         alive);
        auto msg = Request(KovraMsg::GET_APPLICATION_DATA_REQ, Device);
        msg->WriteStr(Application);
        SendRequest(std::move(msg));
        WaitWithinSession(timings_.ResponseWait, timings_.ShortStep,
                          [&] { return flag != Completion::Waiting; });
    }
    if (flag != Completion::Success)
        return false;
    Value = received;
    return true;
}

bool TKovraAPI::RedirectCallWait(std::uint32_t& Error, const std::string& Device, const std::string& oidCall,
                                 const std::string& Destination, std::uint32_t Mode, std::uint32_t Param)
{
    Error = 0;
    if (!connected_)
        return false;
    const std::shared_ptr<bool> alive = alive_;
    Completion flag = Completion::Waiting;
    {
        HandlerSwap swap(OnRedirectCall, TKovraEvent([&](TKovraAPI&, std::uint32_t error) {
                             Error = error;
                             flag = error == 0 ? Completion::Success : Completion::Failure;
                         }),
                         alive);
        RedirectCall(Device, oidCall, Destination, Mode, Param);
        WaitWithinSession(timings_.ResponseWait, timings_.ShortStep,
                          [&] { return flag != Completion::Waiting; });
    }
    return flag == Completion::Success;
}

void TKovraAPI::ApplicationSetData(const std::string& Device, const std::string& Application, bool Wait,
                                   const std::string& DataValue)
{
    auto msg = Request(KovraMsg::SET_APPLICATION_DATA_REQ, Device);
    msg->WriteStr(Application);
    msg->WriteStr(DataValue);
    if (!Wait) {
        SendRequest(std::move(msg));
        return;
    }
    Completion flag = Completion::Waiting;
    HandlerSwap swap(OnApplicationSetData, TKovraEvent([&](TKovraAPI&, std::uint32_t error) {
                         flag = error == 0 ? Completion::Success : Completion::Failure;
                     }),
                     alive_);
    SendRequest(std::move(msg));
    WaitWithinSession(timings_.SetDataWait, timings_.ShortStep,
                      [&] { return flag != Completion::Waiting || (manager_ && manager_->SendFailed()); });
}

std::size_t TKovraAPI::ApplicationDataRoom(const std::string& Device, const std::string& Application)
{
    auto msg = Request(KovraMsg::SET_APPLICATION_DATA_REQ, Device);
    msg->WriteStr(Application);
    msg->WriteStr({});
    return msg->Size() < KOVRA_MAX_DATAGRAM ? KOVRA_MAX_DATAGRAM - msg->Size() : 0;
}

void TKovraAPI::SetForwarding(const std::string& Device, const std::string& Destination, unsigned waitMs,
                              std::uint32_t Kind)
{
    if (!connected_ || busy_)
        return;
    const std::shared_ptr<bool> alive = alive_;
    {
        TOperation operation(*this, true);
        auto msg = Request(KovraMsg::SET_CALL_FORWARDING_REQ, Device);
        msg->WriteInt32(Kind);
        msg->WriteStr(Destination);
        SendRequest(std::move(msg));
        WaitWithinSession(waitMs, timings_.LongStep,
                          [this] { return manager_->PendingCount() == 0 || manager_->SendFailed(); });
    }
    if (*alive)
        RunDeferredSessionEnd();
}

} // namespace api
