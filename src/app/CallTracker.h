#pragma once
// TCallTracker: the calls at the user's phone, in the order they were first reported, and the
// current-call identifiers the commands act on. It reads each call connection event into the
// records and tells the window what to show and do; finished calls go to the history. No windows
// here: the main window lists the records and acts on the outcome. Main thread only.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "api/KovraAPIEvents.h"
#include "api/KovraCodes.h"
#include "app/CallHistory.h"
#include "app/MSNCallInfo.h"
#include "messenger/MSNUtils.h"

namespace app {

// A call connection event as the server sent it.
struct TCallEvent {
    std::string Device; // the device the event is about
    std::string CallId;
    std::string RelatedCallId;
    std::uint32_t Event = api::ceState;
    std::uint32_t Cause = 0;
    // The count on the wire; a malformed event may carry fewer connections.
    int Count = 0;
    std::span<const api::TKovraCallConnection> Connections;
};

// What the window does after an event.
struct TCallOutcome {
    // The record the event is about: the tracker's, or Ended's when the event ended the call.
    TCallInfo* Call = nullptr;
    // The event made the record: the window lists it.
    bool Created = false;
    // The event names the user's device. When it does not, nothing else changed and nothing is shown.
    bool Tracked = false;
    // The own connection's state; the record's LocalState may differ (a failed party makes it failed).
    int OwnState = -1;
    messenger::TPhoneEvent PhoneEvent = messenger::pePhoneNone;
    bool OpenPopup = false;
    bool ClosePopup = false;
    struct TParkNotice {
        std::string From;
        std::string ParkedAt;
    };
    std::optional<TParkNotice> ParkNotice;
    // The number the user asked for while the call was connected, now that it is held.
    struct TPendingCall {
        std::string Number;
        int Options = 0;
    };
    std::optional<TPendingCall> Dial;
    // The ended call, handed over so that the window takes its line down before it goes.
    std::unique_ptr<TCallInfo> Ended;
    // The ended call was kept in the history.
    bool Recorded = false;
};

class TCallTracker {
public:
    // The history the finished calls go to; it outlives the tracker.
    explicit TCallTracker(TCallHistory& history);
    ~TCallTracker();
    TCallTracker(const TCallTracker&) = delete;
    TCallTracker& operator=(const TCallTracker&) = delete;

    TCallInfo* Find(const std::string& oid) const;
    std::vector<TCallInfo*> Calls() const;
    // The same without a copy, for the walks every update makes with hundreds of calls listed.
    const std::vector<std::unique_ptr<TCallInfo>>& Listed() const { return calls_; }
    // Held calls as the state pages count them: held here, the far end neither restricted, parked
    // nor guarded.
    std::vector<TCallInfo*> HeldCalls() const;
    // Held calls as the commands count them: every call held here.
    std::vector<TCallInfo*> CallsOnHold() const;

    // Empty when there is none. Only events change them; the park command names the parked call.
    const std::string& ActiveCallId() const { return activeCallId_; }
    const std::string& AlertingCallId() const { return alertingCallId_; }
    const std::string& HeldCallId() const { return heldCallId_; }
    const std::string& ParkedCallId() const { return parkedCallId_; }
    void ParkRequested(const std::string& oid) { parkedCallId_ = oid; }

    // ownDevice is the user's phone; capabilities decide whether a pending number is dialled.
    TCallOutcome Apply(const TCallEvent& event, const std::string& ownDevice, std::uint32_t capabilities);
    // The phone was asked to dial a number the user gave otherwise: the call that shows the dialled
    // number shows the written one beside it. The latest few are remembered.
    void Dialling(const std::string& written, const std::string& dialled);
    // The session was lost: every call is kept in the history as it stands and forgotten. True when
    // any was kept.
    bool DropAll();

private:
    TCallInfo& Add(const std::string& oid);
    std::unique_ptr<TCallInfo> Take(const std::string& oid);
    void UpdateIdentifiers(std::uint32_t event, int ownState, const std::string& oid);
    void TrackOwnState(TCallInfo& call, int ownState, std::uint32_t capabilities, TCallOutcome& outcome);
    std::optional<TCallRecord> Record(const TCallInfo& call);

    TCallHistory& history_;
    std::vector<std::unique_ptr<TCallInfo>> calls_;
    // The same records by oid: every event looks its call up, and hundreds may be listed.
    std::unordered_map<std::string, TCallInfo*> byId_;
    std::string activeCallId_, alertingCallId_, heldCallId_, parkedCallId_;
    // Calls kept when their session was lost, by oid: one the next session reports again takes
    // its entry over when it ends.
    std::map<std::string, TCallRecord> cutOff_;
    // Dialled number and written number, oldest first.
    std::vector<std::pair<std::string, std::string>> written_;
};

} // namespace app
