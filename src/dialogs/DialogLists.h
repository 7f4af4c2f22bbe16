#pragma once
// The user's lists the call dialogs offer but do not own: the forward list (named destinations)
// and the call-later reminders. The options unit supplies them; the default has no entries and
// keeps no reminders, and every dialog works with that.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace dialogs {

struct TForwardEntry {
    std::string Name;
    std::string Number;
};

// One reminder to call a number. CallTime is a local DOS date-time (2-second steps); 0 means
// "as soon as possible". OnlineOnly waits for the matching messenger contact to be online.
struct TCallLater {
    std::string Name; // UTF-8
    std::string Number;
    std::uint32_t CallTime = 0;
    int OnlineOnly = 0;

    bool operator==(const TCallLater&) const = default;
};

// Local date-time to DOS date-time and back; years outside 1980..2107 clamp to the range ends.
std::uint32_t DateTimeToDos(platform::TDateTime value);
platform::TDateTime DosToDateTime(std::uint32_t dos);

class IDialogLists {
public:
    virtual ~IDialogLists() = default;
    virtual std::vector<TForwardEntry> ForwardEntries() const { return {}; }
    // A reminder to call back; contact is empty without a messenger contact.
    virtual void AddCallLater(const std::string& /*contact*/, const std::string& /*name*/,
                              const std::string& /*number*/, int /*minutes*/)
    {
    }
};

} // namespace dialogs
