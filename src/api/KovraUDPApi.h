#pragma once
// TKovraAPI: the program's session with the telephony server. It keeps the server list, logs in
// through the connection manager, offers one operation per request, keeps the session alive with
// a keep-alive and a watchdog timer, and raises the events of what the server sends.
// Main thread only, except the few reads the manager's worker makes (guarded).

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "api/KovraAPIEvents.h"
#include "api/KovraConnectionMngr.h"

namespace platform {
class Timer;
}

namespace api {

constexpr std::uint16_t KOVRA_DEFAULT_LOCAL_PORT = 6000;
// A meet-me list announcing more parties than this is dropped: no datagram stream carries it.
constexpr std::uint32_t KOVRA_MEETME_MAX_PARTIES = 4096;

// The session's own intervals in milliseconds, plus the exchange's; tests scale them down.
struct TKovraAPITimings {
    unsigned KeepAlive = 55000;
    unsigned Watchdog = 60000;
    unsigned LoginWait = 6000;       // Connect: from the acknowledged LOGIN_REQ to LOGIN_RSP
    unsigned DisconnectWait = 5000;  // until DISCONNECT has gone out
    unsigned PhoneStateWait = 10000; // QueryPhoneState
    unsigned ResponseWait = 8000;    // QueryPhoneConfig, GetForwarding, ApplicationGetData, RedirectCallWait
    unsigned SetDataWait = 30000;    // ApplicationSetData
    unsigned ShortStep = 50;         // steps of the waits for an answer
    unsigned LongStep = 100;         // steps of the waits for the outbound queue
    TKovraTimings Exchange;

    static TKovraAPITimings ScaledDown(unsigned divisor);
};

class TKovraAPI {
public:
    TKovraAPI();
    ~TKovraAPI();
    TKovraAPI(const TKovraAPI&) = delete;
    TKovraAPI& operator=(const TKovraAPI&) = delete;

    // True while a manager exists and its worker runs. Setting true binds the local port
    // (EKovraSocketError when it cannot); false ends the session and stops the manager.
    bool Active() const;
    void SetActive(bool active);
    // Port, ServerPort, LocalAddress and the exchange's timings are taken only while inactive.
    std::uint16_t Port() const { return port_; }
    void SetPort(std::uint16_t port);
    std::uint16_t ServerPort() const { return serverPort_; }
    void SetServerPort(std::uint16_t port);
    std::string LocalAddress() const { return localAddress_; }
    void SetLocalAddress(const std::string& address);
    const TKovraAPITimings& Timings() const { return timings_; }
    void SetTimings(const TKovraAPITimings& timings);
    // The port actually bound (differs from Port when Port is 0), or 0 while inactive.
    std::uint16_t BoundPort() const;

    bool Busy() const { return busy_; }
    void SetBusy(bool busy) { busy_ = busy; }
    std::uint32_t InvokeID() const { return invokeId_; }
    void SetInvokeID(std::uint32_t id) { invokeId_ = id; }
    std::string ClientName() const;
    void SetClientName(const std::string& name);
    std::string ClientVersion() const;
    void SetClientVersion(const std::string& version);
    std::string ApiVersion() const { return apiVersion_; }
    std::string ServerVersion() const { return serverVersion_; }
    bool Connected() const { return connected_; }
    std::uint32_t LastError() const { return lastError_; }

    // The server list and the active index, under the lock the worker shares.
    std::vector<std::string> Servers() const;
    void AddServer(const std::string& address);
    void ClearServers();
    int ActiveServerIndex() const;
    void SetActiveServerIndex(int index);
    std::string ActiveServerAddress() const;

    bool Connect();
    void Disconnect(bool notify);
    // What the last Connect heard: whether a server acknowledged LOGIN_REQ, and the error code of
    // the LOGIN_RSP that answered it (none when none came in time).
    bool LoginAcknowledged() const { return loginAcknowledged_; }
    std::optional<std::uint32_t> LoginAnswer() const { return loginAnswer_; }
    // Ends every wait running now, Connect's log-in included, as if no answer had come; the
    // session stays. For a caller that has to stop at once. Waits begun afterwards run as usual.
    void Interrupt() { ++interrupts_; }
    void MonitorStart(const std::string& Phone, const std::string& Password,
                      const std::string& Third = std::string());
    void MonitorStop(const std::string& Device, unsigned waitMs);

    void MakeCall(const std::string& Device, const std::string& Destination, std::uint32_t Param);
    void AnswerCall(const std::string& Device, const std::string& oidCall);
    void HoldCall(const std::string& Device, const std::string& oidCall);
    void RetrieveCall(const std::string& Device, const std::string& oidCall);
    void ParkCall(const std::string& Device, const std::string& oidCall);
    void DropCall(const std::string& Device, const std::string& oidCall);
    void AlternateCall(const std::string& Device, const std::string& oidCall, const std::string& oidCall2);
    void PickupCall(const std::string& Device, const std::string& Target);
    void RedirectCall(const std::string& Device, const std::string& oidCall, const std::string& Destination,
                      std::uint32_t Mode, std::uint32_t Param);
    void DialDigits(const std::string& Device, const std::string& oidCall, const std::string& Digits);
    void Transfer(const std::string& Device, const std::string& oidCall, const std::string& Destination,
                  std::uint32_t Param, bool SingleStep);
    void Conference(const std::string& Device, const std::string& oidCall, const std::string& Destination,
                    std::uint32_t Param, bool SingleStep);
    void CompleteTransfer(const std::string& Device, const std::string& oidCall,
                          const std::string& oidRelated);
    void CompleteConference(const std::string& Device, const std::string& oidCall,
                            const std::string& oidRelated);
    void ConferenceCall(const std::string& Device, const std::string& oidCall, const std::string& oidHeld);
    void DropConference(const std::string& Device, const std::string& oidCall, const std::string& Party);
    void SetDoNotDisturb(const std::string& Device, bool On);
    void VoiceMail(const std::string& Device, std::uint32_t Mode, const std::string& Password,
                   std::uint32_t Folder, std::uint32_t Message);

    // Waiting operations: they run the main loop until the answer comes, their time is up or their
    // session ends (they fail at once when there is none). Error, when given, receives the
    // answer's error code (0 when no answer came).
    bool QueryPhoneState(const std::string& Device, TKovraPhoneState& State);
    bool QueryPhoneConfig(const std::string& Device, TKovraPhoneConfig& Config,
                          std::uint32_t* Error = nullptr);
    bool GetForwarding(const std::string& Device, TKovraCallForwarding& CallForwarding,
                       std::uint32_t* Error = nullptr);
    bool ApplicationGetData(const std::string& Device, const std::string& Application, std::string& Value,
                            std::uint32_t* Error = nullptr);
    // The error output is the answer's error code (0 when no answer came).
    bool RedirectCallWait(std::uint32_t& Error, const std::string& Device, const std::string& oidCall,
                          const std::string& Destination, std::uint32_t Mode, std::uint32_t Param);
    void ApplicationSetData(const std::string& Device, const std::string& Application, bool Wait,
                            const std::string& DataValue);
    // The longest DataValue ApplicationSetData can carry: the request is one datagram.
    std::size_t ApplicationDataRoom(const std::string& Device, const std::string& Application);
    void SetForwarding(const std::string& Device, const std::string& Destination, unsigned waitMs,
                       std::uint32_t Kind);

    // The message being sent, received or dispatched while its hook (OnSend, OnReceive) or its
    // event runs, positioned after what has been read of it; null at other times.
    const TKovraAPIMsg* CurrentMessage() const { return currentMessage_; }

    // Meet-me lists still being collected.
    std::size_t MeetmeListsInAssembly() const { return meetmeLists_.size(); }

    TKovraLoginEvent OnLogin;
    TKovraEvent OnLogout;
    TKovraConnectedEvent OnConnected;
    TKovraDisconnectedEvent OnDisconnected;
    TKovraCallEvent OnMakeCall;
    TKovraEvent OnVoiceMail;
    TKovraEvent OnDoNotDisturb;
    TKovraEvent OnSetForwarding;
    TKovraCallForwardingEvent OnGetForwarding;
    TKovraEvent OnPickupCall;
    TKovraEvent OnAnswerCall;
    TKovraEvent OnParkCall;
    TKovraEvent OnRedirectCall;
    TKovraEvent OnHoldCall;
    TKovraEvent OnRetrieveCall;
    TKovraEvent OnAlternateCall;
    TKovraEvent OnDropCall;
    TKovraEvent OnDialDigits;
    TKovraEvent OnSingleTransfer;
    TKovraCallEvent OnSetupTransfer;
    TKovraEvent OnCompleteTransfer;
    TKovraEvent OnSingleConference;
    TKovraCallEvent OnSetupConference;
    TKovraEvent OnCompleteConference;
    TKovraEvent OnDropConference;
    TKovraEvent OnConferenceCall;
    TKovraPhoneStateEvent OnPhoneState;
    TKovraEvent OnQueryPhoneState;
    TKovraPhoneConfigEvent OnQueryPhoneConfig;
    TKovraCallConnectionEvent OnCallConnection;
    TKovraSendReceiveEvent OnReceive;
    TKovraSendReceiveEvent OnSend;
    TKovraEvent OnError;
    TKovraEvent OnApplicationSetData;
    TKovraGetAppDataEvent OnApplicationGetData;
    TKovraMeetmeLoginEvent OnMeetmeLogin;
    TKovraMeetmeEvent OnMeetmeLogout;
    TKovraMeetmeEvent OnMeetmeAckHand;
    TKovraMeetmeEvent OnMeetmeMute;
    TKovraMeetmeEvent OnMeetmeLock;
    TKovraMeetmeEvent OnMeetmeDropCall;
    TKovraMeetmeEvent OnMeetmeRollCall;
    TKovraMeetmeEvent OnMeetmeModify;
    TKovraEvent OnMeetmeOperator;
    TKovraMeetmeQueryEvent OnMeetmeQuery;
    TKovraMeetmeEvent OnMeetmeSetCallInfo;
    TKovraMeetmeChangedEvent OnMeetmeChanged;
    TKovraMeetmeConnectionsEvent OnMeetmeConnections;

private:
    class TOwnerLink;
    friend class TOwnerLink;
    class TOperation;
    friend class TOperation;

    // Hooks the manager runs on the main thread.
    void SendHook(const TKovraAPIMsg& msg);
    void ReceiveHook(const TKovraAPIMsg& msg);
    void LoginResult(std::uint32_t error, const std::string& apiVersion, const std::string& serverVersion);
    void DispatchMessage(TKovraAPIMsg& msg);
    void SessionEndRequested(bool notify);
    // Carries out a deactivation asked for inside an operation or hand-over once it has returned;
    // a session destroyed inside one leaves its manager to a stand-in that says goodbye and stops it.
    void PostDeferredDeactivation();
    void RetireManager();

    bool ConnectBusy();
    void DisconnectBusy(bool notify);
    void RunDeferredSessionEnd();
    void KeepAliveTick();
    void WatchdogTick();
    static void ArmAfter(platform::Timer& timer, unsigned ms);
    // What is left of interval since last (a tick), 0 when it has passed.
    unsigned StillToWait(std::uint64_t last, unsigned interval) const;

    std::unique_ptr<TKovraAPIMsg> Request(std::uint32_t type, const std::string& Device);
    void SendRequest(std::unique_ptr<TKovraAPIMsg> msg);
    void SendOid(std::uint32_t type, const std::string& Device, const std::string& oidCall);
    void SendTwoOids(std::uint32_t type, const std::string& Device, const std::string& oidCall,
                     const std::string& oidCall2);
    void SendCallSetup(std::uint32_t type, const std::string& Device, const std::string& oidCall,
                       const std::string& Destination, std::uint32_t Param);
    // Runs the loop in steps until done(), ms have passed or Interrupt is called. False when the
    // session was destroyed meanwhile: nothing of it may be touched then.
    template <typename Done> bool WaitUntil(unsigned ms, unsigned step, Done done);
    // The same, and the wait also ends when the session it began in ends or a deactivation is
    // asked for.
    template <typename Done> bool WaitWithinSession(unsigned ms, unsigned step, Done done);
    // The session numbered session (sessions_ when it began) has ended or is ending.
    bool SessionOver(std::uint64_t session) const;
    // Sends msg and runs the loop until it has gone out and the outbound queue is empty,
    // SendFailed is set or ms have passed; withinSession: also until the session ends. False as
    // WaitUntil.
    bool SendAndWait(std::unique_ptr<TKovraAPIMsg> msg, unsigned ms, bool withinSession);

    void DispatchResponse(TKovraAPIMsg& msg);
    void DispatchCallConnection(TKovraAPIMsg& msg);
    void DispatchPhoneState(TKovraAPIMsg& msg);
    void DispatchMeetmeConference(TKovraAPIMsg& msg);
    void DispatchMeetmeFragment(TKovraAPIMsg& msg, std::uint32_t confId, const std::string& oidCall,
                                std::uint32_t dwEvent, TKovraDateTime dtEventTime);

    std::unique_ptr<TOwnerLink> link_;
    // False once the session is destroyed; operations and hand-overs check it after running the
    // loop or a handler.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    // Operations that run the loop and hand-overs from the manager, running on the main thread
    // now: stopping the manager must wait until they have returned.
    int operationDepth_ = 0;
    bool deactivationDeferred_ = false;
    std::uint64_t sessions_ = 0;   // log-ins so far: a wait knows its session by it
    std::uint64_t interrupts_ = 0; // Interrupt calls so far
    bool loginAcknowledged_ = false;
    std::optional<std::uint32_t> loginAnswer_;
    const TKovraAPIMsg* currentMessage_ = nullptr;
    bool awaitingLogin_ = false; // Connect waits for LOGIN_RSP
    std::unique_ptr<TKovraConnectionMngr> manager_;
    std::unique_ptr<platform::Timer> keepAliveTimer_;
    std::unique_ptr<platform::Timer> watchdogTimer_;

    std::uint16_t port_ = KOVRA_DEFAULT_LOCAL_PORT;
    std::uint16_t serverPort_ = KOVRA_SERVER_PORT;
    std::string localAddress_;
    TKovraAPITimings timings_;

    bool busy_ = false;
    std::atomic<std::uint32_t> invokeId_{0};
    std::atomic<bool> connected_{false};
    std::uint32_t lastError_ = 0;
    std::string apiVersion_;
    std::string serverVersion_;

    mutable std::shared_mutex lock_; // servers, active index, client name and version
    std::vector<std::string> servers_;
    int activeServerIndex_ = -1;
    std::string clientName_;
    std::string clientVersion_;

    // A session end the worker or the watchdog asked for while Busy, carried out when Busy clears.
    int deferredEnd_ = -1; // -1 none, else notify

    std::vector<std::unique_ptr<TKovraMeetmeConference>> meetmeLists_;
};

} // namespace api
