#pragma once
// The phone system behind the protocol: phones with their settings, monitors and application
// data, and the calls between phones and outside numbers. Every request of the client is
// answered here; every change of a call is reported as CALL_CONNECTION_EVENT to each client
// monitoring a phone in that call, with that phone as the first connection. All methods run
// with the simulator's lock held.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "SimConfig.h"
#include "SimProtocol.h"
#include "SimTrace.h"
#include "api/KovraCodes.h"

namespace kovrasim {

struct TSimPhone {
    TSimPhoneSpec Spec;
    bool DoNotDisturb = false;
    bool InService = true;
    std::string Forward[4]; // always, busy, no answer, out of service
    int MonitorSession = 0; // 0: not monitored
    std::uint32_t MonitorId = 0;
    std::set<std::string> Blocked; // callers refused by the privacy guard's "do not call again"
};

struct TSimParty {
    std::string Number;
    std::string Name;
    std::uint32_t ConnState = api::csGone;
    std::uint32_t PartyState = api::psNone; // psParked or psPrivacyGuard, the states the client reads
    std::uint32_t Since = 0;                // seconds since 1970 UTC
    bool IsPhone = false;
    bool Hidden = false; // the caller asked not to show its number
};

struct TSimCall {
    std::string Oid;
    std::vector<TSimParty> Parties;
    std::string RelatedOid;
    std::uint32_t Cause = 0;                       // 16: urgent
    std::map<std::string, std::uint32_t> Reported; // phone number -> state last reported to it
    std::uint64_t AnswerDueMs = 0;                 // the outside party answers then
    std::uint64_t NoAnswerDueMs = 0;               // forwarding when not answered
    std::string NoAnswerPhone;
    bool Privacy = false;
    bool HideCaller = false;
};

class TSimPhoneSystem : public ISimRequestHandler {
public:
    TSimPhoneSystem(const TSimOptions& options, TSimServer& server, TSimTrace& trace);

    // Reads the application data file, if one is configured. False with a message on a broken file.
    bool LoadData(std::string& error);

    void HandleRequest(int session, std::uint32_t invokeId, api::TKovraAPIMsg& msg) override;
    void SessionEnded(int session) override;
    void Tick(std::uint64_t nowMs) override;

    // Control commands; each returns an empty text on success or the reason it failed.
    std::string Ring(const std::string& phone, const std::string& from, const std::string& name, bool urgent,
                     bool privacy, std::string& oid);
    std::string AnswerFar(const std::string& oid);
    std::string HangupFar(const std::string& oid);
    // The user at the phone itself (answer, hold, retrieve, hangup; transfer to NUMBER): the
    // phone's capabilities do not apply, and its client hears of it as of any change.
    std::string AtPhone(const std::string& phone, const std::string& action, const std::string& oid,
                        const std::string& destination);
    std::string SetCapabilities(const std::string& phone, std::uint32_t mask);
    std::string SetVoiceMail(const std::string& phone, std::uint32_t count);
    std::string SetService(const std::string& phone, bool on);
    std::string SetDoNotDisturb(const std::string& phone, bool on);
    std::string SetForward(const std::string& phone, unsigned kind, const std::string& destination);
    std::string MeetmeChange(std::uint32_t confId, const std::string& topic);
    std::string MeetmeParties(std::uint32_t confId, unsigned count, unsigned fragments);

    const std::map<std::string, TSimCall>& Calls() const { return calls_; }
    const TSimPhone* FindPhone(const std::string& number) const;
    const std::map<std::string, TSimPhone>& Phones() const { return phones_; }
    std::string AppData(const std::string& phone, const std::string& application) const;
    // The oid of the call made most recently ("last" in control commands).
    const std::string& LastCall() const { return lastCall_; }

private:
    using Overrides = std::map<std::string, std::uint32_t>;

    // SimPhones.cpp: sessions, phones, settings, application data.
    TSimPhone* Phone(const std::string& number);
    TSimPhone* RequireDevice(int session, const std::string& device, std::uint32_t& error);
    bool Allowed(const TSimPhone& phone, api::TKovraCapability bit, std::uint32_t& error) const;
    void MonitorStart(int session, std::uint32_t invokeId, api::TKovraAPIMsg& msg);
    void MonitorStop(int session, std::uint32_t invokeId, api::TKovraAPIMsg& msg);
    void DeviceRequest(int session, std::uint32_t invokeId, api::TKovraAPIMsg& msg);
    void SettingRequest(int session, std::uint32_t invokeId, TSimPhone& phone, api::TKovraAPIMsg& msg);
    void SendPhoneState(const TSimPhone& phone, std::uint32_t stateOverride = 0);
    std::set<int> MonitoringSessions() const;
    bool SaveData();
    void Respond(int session, std::uint32_t type, std::uint32_t invokeId, std::uint32_t error);
    api::TKovraAPIMsg Response(std::uint32_t type, std::uint32_t invokeId, std::uint32_t error) const;

    // SimCalls.cpp: the call model.
    void CallRequest(int session, std::uint32_t invokeId, TSimPhone& phone, api::TKovraAPIMsg& msg);
    std::uint32_t MakeCall(TSimPhone& phone, const std::string& destination, std::uint32_t options,
                           const std::string& related, std::string& oid);
    std::uint32_t Answer(TSimPhone& phone, const std::string& oid);
    std::uint32_t HoldOrRetrieve(TSimPhone& phone, const std::string& oid, bool hold);
    std::uint32_t Alternate(TSimPhone& phone, const std::string& first, const std::string& second);
    std::uint32_t Drop(TSimPhone& phone, const std::string& oid);
    std::uint32_t Park(TSimPhone& phone, const std::string& oid);
    std::uint32_t Pickup(TSimPhone& phone, const std::string& target);
    std::uint32_t Redirect(TSimPhone& phone, const std::string& oid, std::uint32_t mode,
                           const std::string& destination);
    std::uint32_t DialDigits(TSimPhone& phone, const std::string& oid, const std::string& digits);
    std::uint32_t SingleStep(TSimPhone& phone, const std::string& oid, const std::string& destination,
                             bool conference);
    std::uint32_t SetupConsultation(TSimPhone& phone, const std::string& oid, const std::string& destination,
                                    std::string& newOid);
    std::uint32_t Join(TSimPhone& phone, const std::string& from, const std::string& into, bool stayInCall);
    std::uint32_t DropParty(TSimPhone& phone, const std::string& oid, const std::string& party);
    std::uint32_t VoiceMail(TSimPhone& phone, std::uint32_t mode);

    TSimCall& NewCall();
    TSimCall* FindCall(const std::string& oid);
    TSimParty* PartyOf(TSimCall& call, const std::string& number);
    TSimParty MakeParty(const std::string& number, std::uint32_t state) const;
    bool Busy(const std::string& number) const;
    bool IsOutsideInvalid(const std::string& number) const;
    std::string ParkPlaceFor() const;
    // Adds the party a call to number reaches, following forwarding, do-not-disturb and service.
    void Deliver(TSimCall& call, const std::string& number, int depth = 0);
    void ToVoiceMail(TSimCall& call, TSimPhone& mailbox);
    // The party leaves; a call left with fewer than two live parties ends for all.
    void Leave(TSimCall& call, const std::string& number);
    // Callers still waiting for the far end move on once somebody answered.
    void ConnectWaitingCallers(TSimCall& call);
    // Reports the call to every monitored phone in it, then drops gone parties and ended calls.
    void Publish(const std::string& oid, const Overrides& overrides = {});
    // Sends what Publish and the phone-state reports queued, after the request's own answer.
    void Flush();
    api::TKovraAPIMsg ConnectionEvent(const TSimCall& call, const TSimPhone& observer, std::size_t self,
                                      std::uint32_t event) const;

    const TSimOptions& options_;
    TSimServer& server_;
    TSimTrace& trace_;
    std::map<std::string, TSimPhone> phones_;
    std::map<std::string, std::map<std::string, std::string>> appData_; // phone -> application -> value
    std::map<std::string, TSimCall> calls_;
    std::map<std::uint32_t, std::vector<TSimParty>> meetme_; // conference -> parties sent there
    std::uint32_t nextMonitorId_ = 1;
    std::uint32_t nextCall_ = 1;
    std::uint32_t epoch_ = 0;
    std::string lastCall_;
    std::vector<std::pair<int, api::TKovraAPIMsg>> outbox_;
};

std::uint32_t UnixNow();

} // namespace kovrasim
