#pragma once
// TCallInfo: one call at the user's phone as the main window tracks it. Main thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "api/KovraCodes.h"

namespace app {

class ICallPopup;

class TCallInfo {
public:
    explicit TCallInfo(std::string oid);
    ~TCallInfo();
    TCallInfo(const TCallInfo&) = delete;
    TCallInfo& operator=(const TCallInfo&) = delete;

    int RemoteState = 0;
    std::string CallId;
    std::string RelatedCallId;
    std::uint32_t StartTick;
    std::uint32_t HoldTick = 0;
    int LocalState = -1;
    std::string PendingNumber;
    int PendingOptions = 0;
    // The incoming-call pop-up; it belongs to this record.
    ICallPopup* Popup = nullptr;
    bool Urgent = false;
    std::vector<std::string> Names;
    std::vector<std::string> Devices;
    std::string ViaName;
    // What the call history keeps of it: when it was first seen (seconds since 1970, UTC), whether it
    // rang or was answered here, and the last outside party it showed.
    std::int64_t Began;
    bool Rang = false;
    bool Answered = false;
    std::string PartyName;
    std::string PartyNumber;
    // The number as the user gave it, when the phone dialled it otherwise (PartyNumber); shown beside it.
    std::string Written;
    // The screen-pop address was opened for it (once per call).
    bool ScreenPopped = false;

    // Two or more parties, unless the far side is parked, guarded or says it is no conference.
    bool IsConference() const;
    std::string FirstName() const { return Name(0); }
    std::string FirstDevice() const { return Device(0); }
    void SetFirstName(const std::string& name);
    void SetFirstDevice(const std::string& device);
    std::string Name(int index) const;
    std::string Device(int index) const;
    int NameCount() const { return static_cast<int>(Names.size()); }
    int DeviceCount() const { return static_cast<int>(Devices.size()); }
    void AddParty(const std::string& name, const std::string& device);
    void ClearParties();
    // Ends the pop-up, if any: its window goes back hidden for the next ringing call.
    void ClosePopup();
};

} // namespace app
