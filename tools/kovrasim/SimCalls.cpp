#include "SimPhones.h"

#include <algorithm>
#include <cstdio>

#include "api/KovraAPIConsts.h"

using namespace api;

namespace kovrasim {
namespace {

enum TCallError : std::uint32_t {
    kOk = 0,
    kInvalidCall = 3,
    kInvalidState = 4,
    kInvalidParameter = 10,
    kResourceBusy = 17,
    kOutOfService = 18,
    kNoCallToAnswer = 19,
    kConferenceFailure = 20,
    kNoCallToPickup = 24,
    kFeatureNotEnabled = 28,
    kInvalidNumber = 29,
};

const std::string kNoOid(24, '0');

// The event for a change of a connection, chosen so that the client's current-call identifiers
// follow its own connection.
std::uint32_t EventFor(std::uint32_t before, std::uint32_t now)
{
    switch (now) {
    case csGone:
        return ceCleared;
    case csDialing:
        return ceDialing;
    case csRinging:
        return ceAlerting;
    case csAttempting:
        return ceDelivered;
    case csConnected:
        return before == csHeld ? ceRetrieved : before == csConnected ? ceState : ceEstablished;
    case csHeld:
        return ceHeld;
    case csFailed:
        return ceFailed;
    default:
        return ceState;
    }
}

bool Live(const TSimParty& party)
{
    return party.ConnState != csGone && party.ConnState != csFailed;
}

} // namespace

TSimCall& TSimPhoneSystem::NewCall()
{
    char oid[25];
    std::snprintf(oid, sizeof oid, "4B4F5652%08X%08X", epoch_, nextCall_++);
    TSimCall& call = calls_[oid];
    call.Oid = oid;
    call.RelatedOid = kNoOid;
    lastCall_ = oid;
    return call;
}

TSimCall* TSimPhoneSystem::FindCall(const std::string& oid)
{
    const auto found = calls_.find(oid == "last" ? lastCall_ : oid);
    return found == calls_.end() ? nullptr : &found->second;
}

TSimParty* TSimPhoneSystem::PartyOf(TSimCall& call, const std::string& number)
{
    for (TSimParty& party : call.Parties)
        if (party.Number == number && party.ConnState != csGone)
            return &party;
    return nullptr;
}

TSimParty TSimPhoneSystem::MakeParty(const std::string& number, std::uint32_t state) const
{
    TSimParty party;
    party.Number = number;
    party.ConnState = state;
    party.Since = UnixNow();
    if (const TSimPhone* phone = FindPhone(number)) {
        party.IsPhone = true;
        party.Name = phone->Spec.Name;
    }
    return party;
}

bool TSimPhoneSystem::Busy(const std::string& number) const
{
    for (const auto& [oid, call] : calls_)
        for (const TSimParty& party : call.Parties)
            if (party.Number == number && (party.ConnState == csDialing || party.ConnState == csAttempting ||
                                           party.ConnState == csConnected || party.ConnState == csHeld))
                return true;
    return false;
}

bool TSimPhoneSystem::IsOutsideInvalid(const std::string& number) const
{
    return !FindPhone(number) && std::find(options_.InvalidNumbers.begin(), options_.InvalidNumbers.end(),
                                           number) != options_.InvalidNumbers.end();
}

std::string TSimPhoneSystem::ParkPlaceFor() const
{
    for (int place = 1; place <= 9; ++place) {
        const std::string number = options_.ParkBase + std::to_string(place);
        bool used = false;
        for (const auto& [oid, call] : calls_)
            for (const TSimParty& party : call.Parties)
                used = used || (party.Number == number && party.ConnState != csGone);
        if (!used)
            return number;
    }
    return std::string();
}

void TSimPhoneSystem::Deliver(TSimCall& call, const std::string& number, int depth)
{
    TSimPhone* phone = Phone(number);
    // A forwarding chain that loops, or that leads back into the call, fails.
    if (depth > 5 || PartyOf(call, number)) {
        call.Parties.push_back(MakeParty(number, csFailed));
        return;
    }
    if (!phone) {
        if (number == options_.VoiceMailNumber) {
            TSimParty mail = MakeParty(number, csConnected);
            mail.Name = "Voice Mail";
            call.Parties.push_back(mail);
        } else if (IsOutsideInvalid(number)) {
            call.Parties.push_back(MakeParty(number, csFailed));
        } else {
            call.Parties.push_back(MakeParty(number, csRinging));
            if (options_.AnswerDelayMs >= 0)
                call.AnswerDueMs = NowMs() + static_cast<std::uint64_t>(options_.AnswerDelayMs);
        }
        return;
    }
    const std::string& caller = call.Parties.empty() ? std::string() : call.Parties.front().Number;
    if (phone->Blocked.count(caller)) {
        call.Parties.push_back(MakeParty(number, csFailed));
    } else if (!phone->InService) {
        if (!phone->Forward[3].empty())
            Deliver(call, phone->Forward[3], depth + 1);
        else
            call.Parties.push_back(MakeParty(number, csFailed));
    } else if (!phone->Forward[0].empty()) {
        Deliver(call, phone->Forward[0], depth + 1);
    } else if (!phone->Forward[1].empty() && Busy(number)) {
        Deliver(call, phone->Forward[1], depth + 1);
    } else if (phone->DoNotDisturb) {
        ToVoiceMail(call, *phone);
    } else {
        call.Parties.push_back(MakeParty(number, csRinging));
        if (!phone->Forward[2].empty() && options_.NoAnswerMs >= 0) {
            call.NoAnswerDueMs = NowMs() + static_cast<std::uint64_t>(options_.NoAnswerMs);
            call.NoAnswerPhone = number;
        }
    }
}

void TSimPhoneSystem::ToVoiceMail(TSimCall& call, TSimPhone& mailbox)
{
    TSimParty mail = MakeParty(options_.VoiceMailNumber, csConnected);
    mail.Name = "Voice Mail";
    call.Parties.push_back(mail);
    ++mailbox.Spec.VoiceMailCount;
    SendPhoneState(mailbox);
}

void TSimPhoneSystem::Leave(TSimCall& call, const std::string& number)
{
    if (TSimParty* party = PartyOf(call, number))
        party->ConnState = csGone;
    const auto live = std::count_if(call.Parties.begin(), call.Parties.end(), Live);
    if (live < 2)
        for (TSimParty& party : call.Parties)
            party.ConnState = csGone;
}

void TSimPhoneSystem::ConnectWaitingCallers(TSimCall& call)
{
    for (TSimParty& party : call.Parties)
        if (party.ConnState == csAttempting || party.ConnState == csDialing)
            party.ConnState = csConnected;
}

void TSimPhoneSystem::Publish(const std::string& oid, const Overrides& overrides)
{
    const auto found = calls_.find(oid);
    if (found == calls_.end())
        return;
    TSimCall& call = found->second;
    for (std::size_t i = 0; i < call.Parties.size(); ++i) {
        const TSimParty& party = call.Parties[i];
        if (!party.IsPhone)
            continue;
        const auto reported = call.Reported.find(party.Number);
        // A phone that joined and left between two reports never hears of the call.
        if (reported == call.Reported.end() && party.ConnState == csGone)
            continue;
        const std::uint32_t before = reported == call.Reported.end() ? csGone : reported->second;
        const auto chosen = overrides.find(party.Number);
        const std::uint32_t event =
            chosen != overrides.end() ? chosen->second : EventFor(before, party.ConnState);
        call.Reported[party.Number] = party.ConnState;
        const TSimPhone* phone = FindPhone(party.Number);
        if (phone && phone->MonitorSession != 0)
            outbox_.emplace_back(phone->MonitorSession, ConnectionEvent(call, *phone, i, event));
    }
    std::erase_if(call.Parties, [](const TSimParty& party) { return party.ConnState == csGone; });
    std::erase_if(call.Reported, [&](const auto& entry) { return !PartyOf(call, entry.first); });
    if (call.Parties.empty())
        calls_.erase(found);
}

TKovraAPIMsg TSimPhoneSystem::ConnectionEvent(const TSimCall& call, const TSimPhone& observer,
                                              std::size_t self, std::uint32_t event) const
{
    TKovraAPIMsg msg(KovraMsg::CALL_CONNECTION_EVENT, 0);
    msg.WriteInt32(observer.MonitorId);
    msg.WriteStr(observer.Spec.Number);
    msg.WriteOid(call.Oid);
    msg.WriteInt32(event);
    msg.WriteInt32(call.Cause);
    msg.WriteInt32(UnixNow());
    msg.WriteInt32(static_cast<std::uint32_t>(call.Parties.size()));
    auto write = [&](const TSimParty& party, bool own) {
        const bool hide = party.Hidden && !own;
        msg.WriteInt32(party.Since);
        msg.WriteStr(hide ? std::string() : party.Number);
        msg.WriteStr(hide ? std::string("Private") : party.Name);
        msg.WriteInt32(party.PartyState);
        msg.WriteInt32(party.ConnState);
    };
    write(call.Parties[self], true);
    for (std::size_t i = 0; i < call.Parties.size(); ++i)
        if (i != self)
            write(call.Parties[i], false);
    msg.WriteOid(call.RelatedOid);
    return msg;
}

void TSimPhoneSystem::Flush()
{
    for (auto& [session, msg] : outbox_)
        server_.Send(session, std::move(msg));
    outbox_.clear();
}

void TSimPhoneSystem::CallRequest(int session, std::uint32_t invokeId, TSimPhone& phone, TKovraAPIMsg& msg)
{
    const std::uint32_t answer = msg.dwMsgType + 1;
    std::uint32_t error = kOk;
    std::string newOid;
    bool carriesOid = false;
    switch (msg.dwMsgType) {
    case KovraMsg::MAKE_CALL_REQ: {
        const std::string destination = msg.ReadStr();
        const std::uint32_t options = msg.ReadInt32();
        carriesOid = true;
        if (Allowed(phone, capMakeCall, error))
            error = MakeCall(phone, destination, options, kNoOid, newOid);
        break;
    }
    case KovraMsg::ANSWER_CALL_REQ:
        error = Allowed(phone, capAnswer, error) ? Answer(phone, msg.ReadOid()) : error;
        break;
    case KovraMsg::HOLD_CALL_REQ:
        error = Allowed(phone, capHold, error) ? HoldOrRetrieve(phone, msg.ReadOid(), true) : error;
        break;
    case KovraMsg::RETRIEVE_CALL_REQ:
        error = HoldOrRetrieve(phone, msg.ReadOid(), false);
        break;
    case KovraMsg::ALTERNATE_CALL_REQ: {
        const std::string first = msg.ReadOid();
        error = Allowed(phone, capAlternate, error) ? Alternate(phone, first, msg.ReadOid()) : error;
        break;
    }
    case KovraMsg::DROP_CONNECTION_REQ:
        error = Drop(phone, msg.ReadOid());
        break;
    case KovraMsg::PARK_CALL_REQ:
        error = Allowed(phone, capPark, error) ? Park(phone, msg.ReadOid()) : error;
        break;
    case KovraMsg::PICKUP_CALL_REQ:
        error = Allowed(phone, capPickup, error) ? Pickup(phone, msg.ReadStr()) : error;
        break;
    case KovraMsg::REDIRECT_CALL_REQ: {
        const std::string oid = msg.ReadOid();
        const std::uint32_t mode = msg.ReadInt32();
        error = Redirect(phone, oid, mode, msg.ReadStr());
        break;
    }
    case KovraMsg::DIAL_DIGITS_REQ: {
        const std::string oid = msg.ReadOid();
        error = DialDigits(phone, oid, msg.ReadStr());
        break;
    }
    case KovraMsg::SINGLE_STEP_TRANSFER_REQ:
    case KovraMsg::SINGLE_STEP_CONFERENCE_REQ: {
        const bool conference = msg.dwMsgType == KovraMsg::SINGLE_STEP_CONFERENCE_REQ;
        const std::string oid = msg.ReadOid();
        if (Allowed(phone, conference ? capSingleStepConference : capSingleStepTransfer, error))
            error = SingleStep(phone, oid, msg.ReadStr(), conference);
        break;
    }
    case KovraMsg::SETUP_TRANSFER_REQ:
    case KovraMsg::SETUP_CONFERENCE_REQ: {
        const std::string oid = msg.ReadOid();
        carriesOid = true;
        if (Allowed(phone,
                    msg.dwMsgType == KovraMsg::SETUP_CONFERENCE_REQ ? capConsultConference
                                                                    : capConsultTransfer,
                    error))
            error = SetupConsultation(phone, oid, msg.ReadStr(), newOid);
        break;
    }
    case KovraMsg::COMPLETE_TRANSFER_REQ:
    case KovraMsg::COMPLETE_CONFERENCE_REQ:
    case KovraMsg::CONFERENCE_CALL_REQ: {
        const std::string from = msg.ReadOid();
        const std::string into = msg.ReadOid();
        error = Join(phone, from, into, msg.dwMsgType != KovraMsg::COMPLETE_TRANSFER_REQ);
        break;
    }
    case KovraMsg::DROP_CONFERENCE_CONNECTION_REQ: {
        const std::string oid = msg.ReadOid();
        error = DropParty(phone, oid, msg.ReadStr());
        break;
    }
    case KovraMsg::VOICE_MAIL_REQ:
        // Older API versions send the device alone.
        error = VoiceMail(phone, msg.Remaining() >= 4 ? msg.ReadInt32() : 0);
        break;
    default:
        error = kInvalidParameter;
        break;
    }
    TKovraAPIMsg response = Response(answer, invokeId, error);
    if (carriesOid)
        response.WriteOid(error == kOk ? newOid : kNoOid);
    server_.Send(session, std::move(response));
}

std::uint32_t TSimPhoneSystem::MakeCall(TSimPhone& phone, const std::string& destination,
                                        std::uint32_t options, const std::string& related, std::string& oid)
{
    if (destination.empty() || destination == phone.Spec.Number)
        return kInvalidNumber;
    if (!phone.InService)
        return kOutOfService;
    TSimCall& call = NewCall();
    oid = call.Oid;
    call.RelatedOid = related;
    if (options & 2)
        call.Cause = ecUrgent;
    TSimParty me = MakeParty(phone.Spec.Number, csDialing);
    me.Hidden = (options & 8) != 0;
    call.Parties.push_back(me);
    Publish(oid);
    Deliver(call, destination);
    TSimParty& far = call.Parties.back();
    if (far.ConnState == csFailed && IsOutsideInvalid(destination)) {
        // The number does not exist: the caller alone, failed.
        call.Parties.pop_back();
        call.Parties.front().ConnState = csFailed;
    } else {
        call.Parties.front().ConnState = far.ConnState == csConnected ? csConnected : csAttempting;
    }
    Publish(oid);
    return kOk;
}

std::uint32_t TSimPhoneSystem::Answer(TSimPhone& phone, const std::string& oid)
{
    TSimCall* call = FindCall(oid);
    TSimParty* me = call ? PartyOf(*call, phone.Spec.Number) : nullptr;
    if (!me)
        return kInvalidCall;
    if (me->ConnState != csRinging)
        return kNoCallToAnswer;
    me->ConnState = csConnected;
    ConnectWaitingCallers(*call);
    if (call->NoAnswerPhone == phone.Spec.Number)
        call->NoAnswerDueMs = 0;
    Publish(call->Oid);
    return kOk;
}

std::uint32_t TSimPhoneSystem::HoldOrRetrieve(TSimPhone& phone, const std::string& oid, bool hold)
{
    TSimCall* call = FindCall(oid);
    TSimParty* me = call ? PartyOf(*call, phone.Spec.Number) : nullptr;
    if (!me)
        return kInvalidCall;
    if (me->ConnState != (hold ? csConnected : csHeld))
        return kInvalidState;
    me->ConnState = hold ? csHeld : csConnected;
    Publish(call->Oid);
    return kOk;
}

std::uint32_t TSimPhoneSystem::Alternate(TSimPhone& phone, const std::string& first,
                                         const std::string& second)
{
    TSimCall* a = FindCall(first);
    TSimCall* b = FindCall(second);
    TSimParty* meA = a ? PartyOf(*a, phone.Spec.Number) : nullptr;
    TSimParty* meB = b ? PartyOf(*b, phone.Spec.Number) : nullptr;
    if (!meA || !meB || a == b)
        return kInvalidCall;
    const bool swappable = (meA->ConnState == csConnected && meB->ConnState == csHeld) ||
                           (meA->ConnState == csHeld && meB->ConnState == csConnected);
    if (!swappable)
        return kInvalidState;
    std::swap(meA->ConnState, meB->ConnState);
    // The call going on hold is reported first, so the client never sees two active calls.
    const bool aHeldNow = meA->ConnState == csHeld;
    Publish(aHeldNow ? a->Oid : b->Oid);
    Publish(aHeldNow ? b->Oid : a->Oid);
    return kOk;
}

std::uint32_t TSimPhoneSystem::Drop(TSimPhone& phone, const std::string& oid)
{
    TSimCall* call = FindCall(oid);
    if (!call || !PartyOf(*call, phone.Spec.Number))
        return kInvalidCall;
    Leave(*call, phone.Spec.Number);
    Publish(call->Oid);
    return kOk;
}

std::uint32_t TSimPhoneSystem::Park(TSimPhone& phone, const std::string& oid)
{
    TSimCall* call = FindCall(oid);
    TSimParty* me = call ? PartyOf(*call, phone.Spec.Number) : nullptr;
    if (!me)
        return kInvalidCall;
    const auto live = std::count_if(call->Parties.begin(), call->Parties.end(), Live);
    if ((me->ConnState != csConnected && me->ConnState != csHeld) || live != 2)
        return kInvalidState;
    const std::string place = ParkPlaceFor();
    if (place.empty())
        return kResourceBusy;
    // The parker's last report lists itself, the park place, then the parked party.
    TSimParty mine = *me;
    mine.ConnState = csGone;
    std::vector<TSimParty> parties{mine};
    TSimParty park = MakeParty(place, csQueued);
    park.Name = "Park " + place;
    park.PartyState = psParked;
    parties.push_back(park);
    for (const TSimParty& party : call->Parties)
        if (party.Number != phone.Spec.Number && party.ConnState != csGone) {
            parties.push_back(party);
            parties.back().ConnState = csHeld;
        }
    call->Parties = std::move(parties);
    call->RelatedOid = call->Oid;
    Publish(call->Oid, {{phone.Spec.Number, ceParked}});
    call->RelatedOid = kNoOid;
    return kOk;
}

std::uint32_t TSimPhoneSystem::Pickup(TSimPhone& phone, const std::string& target)
{
    if (Busy(phone.Spec.Number) && !target.empty() && target == phone.Spec.Number)
        return kInvalidNumber;
    for (auto& [oid, call] : calls_) {
        for (TSimParty& party : call.Parties) {
            const bool parked = party.PartyState == psParked && party.Number == target && !target.empty();
            const bool ringing = party.ConnState == csRinging && party.IsPhone &&
                                 party.Number != phone.Spec.Number &&
                                 (target.empty() || party.Number == target);
            if (!parked && !ringing)
                continue;
            party.ConnState = csGone;
            if (call.NoAnswerPhone == party.Number)
                call.NoAnswerDueMs = 0;
            call.Parties.push_back(MakeParty(phone.Spec.Number, csConnected));
            for (TSimParty& other : call.Parties)
                if (other.ConnState == csHeld || other.ConnState == csAttempting ||
                    other.ConnState == csDialing)
                    other.ConnState = csConnected;
            const std::string picked = oid;
            Publish(picked, {{phone.Spec.Number, cePickedUp}});
            return kOk;
        }
    }
    return kNoCallToPickup;
}

std::uint32_t TSimPhoneSystem::Redirect(TSimPhone& phone, const std::string& oid, std::uint32_t mode,
                                        const std::string& destination)
{
    TSimCall* call = FindCall(oid);
    TSimParty* me = call ? PartyOf(*call, phone.Spec.Number) : nullptr;
    if (!me)
        return kInvalidCall;
    if (me->ConnState != csRinging && me->ConnState != csConnected && me->ConnState != csHeld)
        return kInvalidState;
    std::uint32_t error = kOk;
    switch (mode) {
    case 1:
        if (!Allowed(phone, capRedirect, error))
            return error;
        if (destination.empty() || destination == phone.Spec.Number || IsOutsideInvalid(destination))
            return kInvalidNumber;
        if (PartyOf(*call, destination))
            return kInvalidParameter;
        Deliver(*call, destination);
        if (call->Parties.back().ConnState == csRinging)
            for (TSimParty& party : call->Parties)
                if (party.ConnState == csConnected && party.Number != phone.Spec.Number)
                    party.ConnState = csAttempting;
        break;
    case 2:
        if (!Allowed(phone, capVoiceMail, error))
            return error;
        ToVoiceMail(*call, phone);
        ConnectWaitingCallers(*call);
        break;
    case 3:
        if (!Allowed(phone, capIgnore, error))
            return error;
        // An ignored call goes where an unanswered one would.
        if (!phone.Forward[2].empty())
            Deliver(*call, phone.Forward[2]);
        else
            ToVoiceMail(*call, phone);
        if (call->Parties.back().ConnState == csConnected)
            ConnectWaitingCallers(*call);
        break;
    case 6: {
        if (!Allowed(phone, capRedirect, error))
            return error;
        const auto conference = ParseNumber(destination);
        if (!conference)
            return kInvalidParameter;
        auto& guests = meetme_[*conference];
        for (const TSimParty& party : call->Parties)
            if (party.Number != phone.Spec.Number && Live(party))
                guests.push_back(party);
        TSimParty bridge = MakeParty(destination, csConnected);
        bridge.Name = "Meet-me " + destination;
        call->Parties.push_back(bridge);
        ConnectWaitingCallers(*call);
        break;
    }
    default:
        return kInvalidParameter;
    }
    if (call->NoAnswerPhone == phone.Spec.Number)
        call->NoAnswerDueMs = 0;
    Leave(*call, phone.Spec.Number);
    Publish(call->Oid);
    return kOk;
}

std::uint32_t TSimPhoneSystem::DialDigits(TSimPhone& phone, const std::string& oid, const std::string& digits)
{
    TSimCall* call = FindCall(oid);
    TSimParty* me = call ? PartyOf(*call, phone.Spec.Number) : nullptr;
    if (!me)
        return kInvalidCall;
    if (me->ConnState != csConnected)
        return kInvalidState;
    if (digits.empty())
        return kInvalidParameter;
    if (!call->Privacy)
        return kOk; // tones on an ordinary call change nothing here
    std::uint32_t error = kOk;
    if (!Allowed(phone, capPrivacyGuard, error))
        return error;
    auto guarded = std::find_if(call->Parties.begin(), call->Parties.end(),
                                [](const TSimParty& party) { return party.PartyState == psPrivacyGuard; });
    if (guarded == call->Parties.end())
        return kInvalidState;
    const std::string caller = guarded->Number;
    if (digits == "1") {
        guarded->PartyState = psNone;
        call->Privacy = false;
    } else if (digits == "2" || digits == "4") {
        if (digits == "4")
            phone.Blocked.insert(caller);
        for (TSimParty& party : call->Parties)
            party.ConnState = csGone;
    } else if (digits == "3") {
        guarded->PartyState = psNone;
        call->Privacy = false;
        ToVoiceMail(*call, phone);
        Leave(*call, phone.Spec.Number);
    } else {
        return kInvalidParameter;
    }
    Publish(call->Oid);
    return kOk;
}

std::uint32_t TSimPhoneSystem::SingleStep(TSimPhone& phone, const std::string& oid,
                                          const std::string& destination, bool conference)
{
    TSimCall* call = FindCall(oid);
    TSimParty* me = call ? PartyOf(*call, phone.Spec.Number) : nullptr;
    if (!me)
        return kInvalidCall;
    if (me->ConnState != csConnected && (conference || me->ConnState != csHeld))
        return kInvalidState;
    if (destination.empty() || destination == phone.Spec.Number || IsOutsideInvalid(destination))
        return kInvalidNumber;
    if (PartyOf(*call, destination))
        return conference ? kConferenceFailure : kInvalidParameter;
    Deliver(*call, destination);
    Overrides overrides;
    if (!conference) {
        Leave(*call, phone.Spec.Number);
        for (const TSimParty& party : call->Parties)
            if (party.IsPhone && party.Number != phone.Spec.Number && party.ConnState == csConnected)
                overrides[party.Number] = ceTransferred;
    }
    Publish(call->Oid, overrides);
    return kOk;
}

std::uint32_t TSimPhoneSystem::SetupConsultation(TSimPhone& phone, const std::string& oid,
                                                 const std::string& destination, std::string& newOid)
{
    TSimCall* call = FindCall(oid);
    TSimParty* me = call ? PartyOf(*call, phone.Spec.Number) : nullptr;
    if (!me)
        return kInvalidCall;
    if (me->ConnState != csConnected && me->ConnState != csHeld)
        return kInvalidState;
    if (destination.empty() || destination == phone.Spec.Number)
        return kInvalidNumber;
    if (PartyOf(*call, destination))
        return kInvalidParameter;
    if (me->ConnState == csConnected) {
        me->ConnState = csHeld;
        Publish(call->Oid);
    }
    return MakeCall(phone, destination, 0, oid, newOid);
}

std::uint32_t TSimPhoneSystem::Join(TSimPhone& phone, const std::string& from, const std::string& into,
                                    bool stayInCall)
{
    TSimCall* source = FindCall(from);
    TSimCall* target = FindCall(into);
    if (!source || !target || source == target)
        return kInvalidCall;
    TSimParty* inSource = PartyOf(*source, phone.Spec.Number);
    TSimParty* inTarget = PartyOf(*target, phone.Spec.Number);
    if (!inSource || !inTarget)
        return kInvalidCall;
    if (!Live(*inSource) || !Live(*inTarget))
        return kInvalidState;
    std::vector<TSimParty*> movers;
    for (TSimParty& party : source->Parties)
        if (party.Number != phone.Spec.Number && Live(party) && !PartyOf(*target, party.Number))
            movers.push_back(&party);
    if (movers.empty())
        return stayInCall ? kConferenceFailure : kInvalidState;
    const std::uint32_t joinedEvent = stayInCall ? ceConferenced : ceTransferred;
    Overrides overrides;
    for (TSimParty* mover : movers) {
        TSimParty moved = *mover;
        if (moved.ConnState == csAttempting || moved.ConnState == csDialing)
            moved.ConnState = csConnected;
        target->Parties.push_back(moved);
        mover->ConnState = csGone;
    }
    Leave(*source, phone.Spec.Number);
    if (stayInCall)
        PartyOf(*target, phone.Spec.Number)->ConnState = csConnected;
    else
        Leave(*target, phone.Spec.Number);
    for (const TSimParty& party : target->Parties)
        if (party.IsPhone && Live(party))
            overrides[party.Number] = joinedEvent;
    Publish(source->Oid);
    Publish(into, overrides);
    return kOk;
}

std::uint32_t TSimPhoneSystem::DropParty(TSimPhone& phone, const std::string& oid, const std::string& party)
{
    TSimCall* call = FindCall(oid);
    if (!call || !PartyOf(*call, phone.Spec.Number))
        return kInvalidCall;
    if (party == phone.Spec.Number || !PartyOf(*call, party))
        return kInvalidParameter;
    Leave(*call, party);
    Publish(call->Oid);
    return kOk;
}

std::uint32_t TSimPhoneSystem::VoiceMail(TSimPhone& phone, std::uint32_t mode)
{
    if (!phone.InService)
        return kOutOfService;
    TSimCall& call = NewCall();
    call.Parties.push_back(MakeParty(phone.Spec.Number, csConnected));
    TSimParty mail = MakeParty(options_.VoiceMailNumber, csConnected);
    mail.Name = "Voice Mail";
    call.Parties.push_back(mail);
    // Playing one message (mode 2) marks it heard.
    if (mode == 2 && phone.Spec.VoiceMailCount > 0) {
        --phone.Spec.VoiceMailCount;
        SendPhoneState(phone);
    }
    Publish(call.Oid);
    return kOk;
}

void TSimPhoneSystem::Tick(std::uint64_t nowMs)
{
    std::vector<std::string> oids;
    for (const auto& [oid, call] : calls_)
        if ((call.AnswerDueMs && nowMs >= call.AnswerDueMs) ||
            (call.NoAnswerDueMs && nowMs >= call.NoAnswerDueMs))
            oids.push_back(oid);
    for (const std::string& oid : oids) {
        TSimCall& call = calls_[oid];
        if (call.AnswerDueMs && nowMs >= call.AnswerDueMs) {
            call.AnswerDueMs = 0;
            bool answered = false;
            for (TSimParty& party : call.Parties)
                if (!party.IsPhone && party.ConnState == csRinging) {
                    party.ConnState = csConnected;
                    answered = true;
                }
            if (answered)
                ConnectWaitingCallers(call);
        }
        if (call.NoAnswerDueMs && nowMs >= call.NoAnswerDueMs) {
            call.NoAnswerDueMs = 0;
            const TSimPhone* phone = FindPhone(call.NoAnswerPhone);
            TSimParty* ringing = PartyOf(call, call.NoAnswerPhone);
            if (phone && ringing && ringing->ConnState == csRinging && !phone->Forward[2].empty()) {
                const std::string forward = phone->Forward[2];
                ringing->ConnState = csGone;
                Deliver(call, forward, 1);
            }
        }
        Publish(oid);
    }
    Flush();
}

std::string TSimPhoneSystem::Ring(const std::string& number, const std::string& from, const std::string& name,
                                  bool urgent, bool privacy, std::string& oid)
{
    if (!FindPhone(number))
        return "unknown phone " + number;
    if (from.empty() || from == number)
        return "the caller must be another number";
    TSimCall& call = NewCall();
    oid = call.Oid;
    TSimParty caller = MakeParty(from, csAttempting);
    if (!name.empty())
        caller.Name = name;
    caller.PartyState = privacy ? psPrivacyGuard : psNone;
    call.Privacy = privacy;
    call.Cause = urgent ? std::uint32_t{ecUrgent} : 0u;
    call.Parties.push_back(caller);
    Deliver(call, number);
    const bool failed = call.Parties.back().ConnState == csFailed;
    if (call.Parties.back().ConnState == csConnected)
        ConnectWaitingCallers(call);
    Publish(oid);
    Flush();
    return failed ? "the call failed (phone out of service, blocked, or a forwarding loop)" : std::string();
}

std::string TSimPhoneSystem::AnswerFar(const std::string& oid)
{
    TSimCall* call = FindCall(oid);
    if (!call)
        return "no call " + oid;
    bool answered = false;
    for (TSimParty& party : call->Parties) {
        const TSimPhone* phone = party.IsPhone ? FindPhone(party.Number) : nullptr;
        if (party.ConnState == csRinging && (!phone || phone->MonitorSession == 0)) {
            party.ConnState = csConnected;
            answered = true;
        }
    }
    if (!answered)
        return "nothing rings at the far end of " + call->Oid;
    call->AnswerDueMs = 0;
    ConnectWaitingCallers(*call);
    Publish(call->Oid);
    Flush();
    return std::string();
}

std::string TSimPhoneSystem::HangupFar(const std::string& oid)
{
    TSimCall* call = FindCall(oid);
    if (!call)
        return "no call " + oid;
    for (TSimParty& party : call->Parties) {
        const TSimPhone* phone = party.IsPhone ? FindPhone(party.Number) : nullptr;
        if (party.ConnState != csGone && party.PartyState != psParked &&
            (!phone || phone->MonitorSession == 0)) {
            Leave(*call, party.Number);
            Publish(call->Oid);
            Flush();
            return std::string();
        }
    }
    return "no far party in " + call->Oid;
}

std::string TSimPhoneSystem::AtPhone(const std::string& number, const std::string& action,
                                     const std::string& oid, const std::string& destination)
{
    TSimPhone* phone = Phone(number);
    if (!phone)
        return "unknown phone " + number;
    std::uint32_t error;
    if (action == "answer")
        error = Answer(*phone, oid);
    else if (action == "hold" || action == "retrieve")
        error = HoldOrRetrieve(*phone, oid, action == "hold");
    else if (action == "transfer")
        error = SingleStep(*phone, oid, destination, false);
    else if (action == "hangup")
        error = Drop(*phone, oid);
    else
        return "unknown action " + action;
    Flush();
    return error == kOk ? std::string() : "refused with error " + std::to_string(error);
}

} // namespace kovrasim
