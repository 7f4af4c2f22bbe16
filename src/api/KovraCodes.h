#pragma once
// The codes the server puts in its events and configuration, by name. The values are the wire's;
// the server defines what they mean, and these names say how the client reads them.

#include <cstdint>

namespace api {

// dwEvent of CALL_CONNECTION_EVENT: what happened to the call at the monitored device.
enum TKovraCallEventCode : std::uint32_t {
    ceState = 0, // a report of where the call stands; the own connection state tells which
    ceDialing = 1,
    ceDelivered = 2, // the far end is being called
    ceAlerting = 3,  // ringing at the monitored device
    ceEstablished = 4,
    ceHeld = 5,
    ceRetrieved = 6,
    ceCleared = 7,
    ceConferenced = 8,
    ceParked = 9,
    ceTransferred = 10,
    ceFailed = 11,
    cePickedUp = 12,
};

// dwEventCause values the client reads.
enum TKovraEventCause : std::uint32_t {
    ecUrgent = 16,
};

// A connection's state (PartyConnState; a call's LocalState takes the own connection's).
enum TKovraConnState : std::uint32_t {
    csGone = 0,
    csDialing = 1,
    csRinging = 2,
    csAttempting = 3,
    csConnected = 4,
    csHeld = 5,
    csQueued = 6,
    csFailed = 7,
    csHidden = 8, // a party of the call that is not listed
};

// A party's state (PartyState; a call's RemoteState takes the far end's). The others are carried.
enum TKovraPartyState : std::uint32_t {
    psNone = 0,
    psPassive = 3,    // passed over, as psNone is, when the far end is chosen among three or more
    psVia = 4,        // a named third party, shown in brackets after the first name
    psRestricted = 7, // park, transfer, conference and meet-me are withheld
    psParked = 8,
    psPrivacyGuard = 9,
    psNotConference = 10,
};

// TKovraPhoneState::PhoneState values the client reads.
enum TKovraPhoneStateCode : std::uint32_t {
    phsOutOfService = 1,
    phsDoNotDisturb = 3,  // do not disturb changed: the DoNotDisturb flag says which way
    phsForwarding = 4,    // forwarding changed: the Forwarded flag says which way
    phsConfigChanged = 8, // the phone's configuration changed: read it again
};

// Bits of TKovraPhoneConfig::Capabilities: bit n allows the feature when set.
enum TKovraCapability : int {
    capDoNotDisturb = 0,
    capForwardAlways = 1,
    capVoiceMail = 2, // listen; send a call to voice mail
    capPark = 3,
    capAlternate = 4, // swap the active and the held call
    capAnswer = 5,    // answer; hold a ringing call
    capPrivacyGuard = 6,
    capDrop = 7,
    capHold = 8,
    capMakeCall = 9,
    capPickup = 10,
    capRedirect = 12, // redirect a ringing call; the forward list; the meet-me move
    capCompleteTransfer = 14,
    capCompleteConference = 15, // also conference calls together
    capSingleStepTransfer = 16,
    capSingleStepConference = 17, // also dial a pending number after hold
    capIgnore = 20,
    capForwardBusy = 23,
    capForwardNoAnswer = 24,
    capForwardOutOfService = 25,
    capConsultTransfer = 27,
    capConsultConference = 28,
};

constexpr bool HasCapability(std::uint32_t capabilities, TKovraCapability bit)
{
    return (capabilities >> bit) & 1u;
}

} // namespace api
