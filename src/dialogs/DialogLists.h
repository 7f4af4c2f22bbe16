#pragma once
// The user's lists the call dialogs offer but do not own: the forward list (named destinations)
// and the call-later reminders. The options window fills them in later; until then the default
// has no entries and keeps no reminders, and every dialog works with that.

#include <string>
#include <vector>

struct TForwardEntry {
    std::string Name;
    std::string Number;
};

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
