#include "app/CallTracker.h"

#include <algorithm>

#include "platform/Clock.h"
#include "settings/DialingRules.h"
#include "settings/MessageBundle.h"

using namespace api;
using namespace settings;

namespace app {

namespace {

using TConnections = std::span<const TKovraCallConnection>;

const std::string kNoRelatedCall(24, '0');

std::uint32_t Now32()
{
    return static_cast<std::uint32_t>(platform::TickCount());
}

// The connections after the own side's first one, which is never listed.
TConnections Others(TConnections connections)
{
    return connections.size() > 1 ? connections.subspan(1) : TConnections();
}

// The far end's state; a named third party on the way there leaves its name in via.
int FarState(TConnections connections, std::string& via)
{
    if (connections.empty())
        return psNone;
    if (connections.size() <= 2)
        return static_cast<int>(connections.back().PartyState);
    for (const TKovraCallConnection& party : Others(connections))
        if (party.PartyState != psNone && party.PartyState != psPassive) {
            if (party.PartyState == psVia)
                via = party.PartyName;
            return static_cast<int>(party.PartyState);
        }
    return static_cast<int>(connections[1].PartyState);
}

// The state of the user's own connection, -1 when the event does not name the device.
int OwnState(TConnections connections, const std::string& device)
{
    for (const TKovraCallConnection& party : connections)
        if (party.PartyNumber == device)
            return static_cast<int>(party.PartyConnState);
    return -1;
}

void ListParties(TCallInfo& call, TConnections connections, int ownState)
{
    call.ClearParties();
    if (connections.size() == 1) {
        if (ownState == csDialing)
            call.SetFirstName(MessageBundle().GetText("Dialing", "Dialing..."));
        else if (ownState == csFailed)
            call.SetFirstName(MessageBundle().GetText("InvalidNumber", "Invalid Number"));
        else
            call.SetFirstName("");
        call.SetFirstDevice("");
        return;
    }
    for (const TKovraCallConnection& party : Others(connections)) {
        switch (party.PartyConnState) {
        case csGone:
            if (connections.size() == 2)
                call.AddParty(party.PartyName, party.PartyNumber);
            break;
        case csFailed:
            call.LocalState = csFailed;
            call.AddParty("", party.PartyNumber);
            break;
        case csHidden:
            break;
        default:
            call.AddParty(party.PartyName, party.PartyNumber);
            break;
        }
    }
    if (!call.IsConference() && !call.FirstDevice().empty()) {
        call.PartyName = call.FirstName();
        call.PartyNumber = call.FirstDevice();
    }
}

// The presence rules hear of the call, and its pop-up opens while it rings and closes once it is
// answered or held.
void ReactToOwnState(TCallOutcome& outcome, int ownState)
{
    switch (ownState) {
    case csGone:
        outcome.PhoneEvent = messenger::peHangup;
        break;
    case csDialing:
        outcome.PhoneEvent = messenger::peOffHook;
        break;
    case csRinging:
        outcome.OpenPopup = true;
        break;
    case csConnected:
        outcome.PhoneEvent = messenger::peBusy;
        outcome.ClosePopup = true;
        break;
    case csHeld:
        outcome.PhoneEvent = messenger::peHangup;
        outcome.ClosePopup = true;
        break;
    default:
        break;
    }
}

} // namespace

TCallTracker::TCallTracker(TCallHistory& history) : history_(history)
{
}

TCallTracker::~TCallTracker()
{
    // A pop-up closing with its record may ask for the calls: it finds none.
    const auto calls = std::move(calls_);
    calls_.clear();
    byId_.clear();
}

TCallInfo* TCallTracker::Find(const std::string& oid) const
{
    const auto found = byId_.find(oid);
    return found == byId_.end() ? nullptr : found->second;
}

std::vector<TCallInfo*> TCallTracker::Calls() const
{
    std::vector<TCallInfo*> calls;
    calls.reserve(calls_.size());
    for (const auto& call : calls_)
        calls.push_back(call.get());
    return calls;
}

std::vector<TCallInfo*> TCallTracker::HeldCalls() const
{
    std::vector<TCallInfo*> held;
    for (TCallInfo* call : CallsOnHold())
        if (call->RemoteState != psRestricted && call->RemoteState != psParked &&
            call->RemoteState != psPrivacyGuard)
            held.push_back(call);
    return held;
}

std::vector<TCallInfo*> TCallTracker::CallsOnHold() const
{
    std::vector<TCallInfo*> held;
    for (const auto& call : calls_)
        if (call->LocalState == csHeld)
            held.push_back(call.get());
    return held;
}

TCallInfo& TCallTracker::Add(const std::string& oid)
{
    auto call = std::make_unique<TCallInfo>(oid);
    if (const auto cut = cutOff_.find(oid); cut != cutOff_.end()) {
        // Reported again after a lost session: the same call, which began, rang and was answered then.
        call->Began = cut->second.Start;
        call->Rang = cut->second.Incoming;
        call->Answered = cut->second.Answered;
        call->StartTick = Now32() - static_cast<std::uint32_t>(cut->second.Seconds) * 1000u;
    }
    byId_[oid] = call.get();
    calls_.push_back(std::move(call));
    return *calls_.back();
}

std::unique_ptr<TCallInfo> TCallTracker::Take(const std::string& oid)
{
    TCallInfo* listed = Find(oid);
    if (!listed)
        return nullptr;
    byId_.erase(oid);
    const auto found =
        std::find_if(calls_.begin(), calls_.end(), [&](const auto& call) { return call.get() == listed; });
    std::unique_ptr<TCallInfo> call = std::move(*found);
    calls_.erase(found);
    return call;
}

TCallOutcome TCallTracker::Apply(const TCallEvent& event, const std::string& ownDevice,
                                 std::uint32_t capabilities)
{
    const int count = std::min<int>(std::max(event.Count, 0), static_cast<int>(event.Connections.size()));
    const TConnections connections = event.Connections.first(static_cast<std::size_t>(count));
    std::string via;
    const int far = FarState(connections, via);
    std::string related = far == psPrivacyGuard ? std::string() : event.RelatedCallId;

    TCallOutcome outcome;
    outcome.Call = Find(event.CallId);
    outcome.Created = !outcome.Call;
    if (outcome.Created)
        outcome.Call = &Add(event.CallId);
    TCallInfo& call = *outcome.Call;
    if (event.Cause == ecUrgent)
        call.Urgent = true;
    call.RemoteState = far;

    const int own = OwnState(connections, ownDevice);
    if (own < 0)
        return outcome;
    outcome.Tracked = true;
    outcome.OwnState = own;
    if (call.RemoteState == psVia)
        call.ViaName = via;
    if (event.Device == ownDevice) {
        UpdateIdentifiers(event.Event, own, event.CallId);
        if (related == kNoRelatedCall)
            related.clear();
        call.RelatedCallId = related;
    }
    if (event.Event == ceParked && call.RemoteState == psParked && !parkedCallId_.empty() &&
        related == parkedCallId_ && connections.size() >= 3)
        outcome.ParkNotice = TCallOutcome::TParkNotice{
            connections[2].PartyName + "   (" + connections[2].PartyNumber + ")", connections[1].PartyNumber};

    TrackOwnState(call, own, capabilities, outcome);
    if (call.LocalState == csGone) {
        outcome.Recorded = Record(call).has_value();
        outcome.Ended = Take(event.CallId);
    } else {
        ListParties(call, connections, own);
        if (!call.Rang && call.Written.empty())
            for (const auto& [dialled, written] : written_)
                if (dialled == call.PartyNumber)
                    call.Written = written;
    }
    ReactToOwnState(outcome, own);
    return outcome;
}

void TCallTracker::UpdateIdentifiers(std::uint32_t event, int ownState, const std::string& oid)
{
    auto clearIf = [&](std::string& id) {
        if (id == oid)
            id.clear();
    };
    switch (event) {
    case ceState:
        if (ownState == csDialing || ownState == csAttempting || ownState == csConnected)
            activeCallId_ = oid;
        else if (ownState == csRinging)
            alertingCallId_ = oid;
        else if (ownState == csHeld)
            heldCallId_ = oid;
        break;
    case ceDialing:
    case ceDelivered:
    case ceConferenced:
    case ceTransferred:
    case cePickedUp:
        activeCallId_ = oid;
        break;
    case ceAlerting:
        alertingCallId_ = oid;
        break;
    case ceEstablished:
        activeCallId_ = oid;
        clearIf(alertingCallId_);
        break;
    case ceHeld:
        heldCallId_ = oid;
        clearIf(activeCallId_);
        break;
    case ceRetrieved:
        activeCallId_ = oid;
        clearIf(heldCallId_);
        break;
    case ceCleared:
    case ceParked:
    case ceFailed:
        clearIf(heldCallId_);
        clearIf(alertingCallId_);
        clearIf(activeCallId_);
        break;
    default:
        break;
    }
}

// The durations restart at connection and at hold; a number asked for while connected is dialled
// once the call is held, when the phone allows it, and forgotten either way.
void TCallTracker::TrackOwnState(TCallInfo& call, int ownState, std::uint32_t capabilities,
                                 TCallOutcome& outcome)
{
    const int previous = call.LocalState;
    if (ownState == csConnected &&
        (previous == csDialing || previous == csRinging || previous == csAttempting))
        call.StartTick = Now32();
    if (ownState == csRinging)
        call.Rang = true;
    else if (ownState == csConnected)
        call.Answered = true;
    if (ownState == csHeld) {
        call.HoldTick = Now32();
        if (!call.PendingNumber.empty() && HasCapability(capabilities, capSingleStepConference))
            outcome.Dial = TCallOutcome::TPendingCall{call.PendingNumber, call.PendingOptions};
        call.PendingNumber.clear();
        call.PendingOptions = 0;
    }
    call.LocalState = ownState;
}

std::optional<TCallRecord> TCallTracker::Record(const TCallInfo& call)
{
    // A call that never showed another party, never rang and was never answered leaves nothing to keep.
    if (!call.Rang && !call.Answered && call.PartyNumber.empty())
        return std::nullopt;
    TCallRecord record;
    record.Incoming = call.Rang;
    record.Name = call.PartyName;
    record.Number = call.Written.empty() ? call.PartyNumber : call.Written;
    if (!call.Written.empty())
        record.Dialled = call.PartyNumber;
    record.Start = call.Began;
    record.Answered = call.Answered;
    record.Seconds = call.Answered ? static_cast<int>((Now32() - call.StartTick) / 1000) : 0;
    const auto cut = cutOff_.find(call.CallId);
    if (cut == cutOff_.end() || !history_.Replace(cut->second, record))
        history_.Add(record);
    if (cut != cutOff_.end())
        cutOff_.erase(cut);
    return record;
}

void TCallTracker::Dialling(const std::string& written, const std::string& dialled)
{
    constexpr std::size_t kRemembered = 8;
    std::erase_if(written_, [&](const auto& entry) { return entry.first == dialled; });
    // Only a written form other than the dialled digits is worth showing beside them.
    if (WrittenDigits(written) != dialled)
        written_.emplace_back(dialled, written);
    if (written_.size() > kRemembered)
        written_.erase(written_.begin());
}

bool TCallTracker::DropAll()
{
    // Their end is unknown: each is kept as it stands, and one that the next session reports again
    // takes its entry over when it ends. The pop-ups close with their records, after the list is
    // empty.
    const auto dropped = std::move(calls_);
    calls_.clear();
    byId_.clear();
    std::map<std::string, TCallRecord> cutOff;
    for (const auto& call : dropped)
        if (const auto record = Record(*call))
            cutOff[call->CallId] = *record;
    cutOff_ = std::move(cutOff);
    // Identifiers of calls no longer listed would make the commands wait for calls that are gone.
    activeCallId_.clear();
    alertingCallId_.clear();
    heldCallId_.clear();
    return !cutOff_.empty();
}

} // namespace app
