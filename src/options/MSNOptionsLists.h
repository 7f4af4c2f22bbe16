#pragma once
// TOptionsLists: the program-wide forward list and call-later reminders, with their editors,
// the reminder pop-up and the one-second countdown step. One object lives for the whole run;
// the options window shows and edits it, the call dialogs read it through IDialogLists.
// Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/KovraCodes.h"
#include "dialogs/CallLaterEntryFm.h"
#include "dialogs/DialogLists.h"
#include "dialogs/MSNCallLaterCallFm.h"
#include "dialogs/MSNForwardEntry.h"
#include "settings/MSNConfig.h"

// A messaging-client contact as the reminders need it.
struct TReminderContact {
    std::string Id;
    int Status = 0; // 2: online
    TContactNumbers Numbers;
};

// Whether a contact's number (as the messaging client holds it) is the reminder's number: the
// last four digits of a longer contact number match an extension; a shorter one is completed
// with the reminder number's leading digits.
bool ContactNumberMatches(const std::string& contactNumber, const std::string& number);

class TOptionsLists : public IDialogLists {
public:
    explicit TOptionsLists(TKovraAssistantConfig& config = KovraAssistantConfig(),
                           TReminderClock clock = platform::Now);
    ~TOptionsLists() override;

    using TForwards = std::vector<std::unique_ptr<TForwardEntry>>;
    using TReminders = std::vector<std::unique_ptr<TCallLater>>;

    const TForwards& Forwards() const { return forwards_; }
    std::vector<TForwardEntry> ForwardEntries() const override;
    void LoadForwards();
    void SaveForwards();
    // Opens the editor on the entry, or on a new one for none.
    void OpenForwardEditor(TForwardEntry* target);
    void DeleteForward(const TForwardEntry* target);

    const TReminders& Reminders() const { return reminders_; }
    // The time the reminders count down to.
    platform::TDateTime Now() const { return clock_(); }
    void LoadReminders();
    void SaveReminders();
    void AddCallLater(const std::string& contact, const std::string& name, const std::string& number,
                      int minutes) override;
    void EditReminder(TCallLater* target);
    void DeleteReminder(const TCallLater* target);
    bool MayBeCalledNow(const TCallLater& entry) const;
    // One countdown step: the texts of the "Call Time" column, row by row; announces the last
    // due reminder when no pop-up is up and it may be called now.
    std::vector<std::string> CountDown(platform::TDateTime now);
    // The "Call Time" column's text of one reminder.
    static std::string CountDownText(const TCallLater& entry, platform::TDateTime now);
    void ReminderChosen(const TCallLater& entry, int choice);

    // The call state of the last call-connection event (csGone and csHeld let reminders call).
    void SetCallState(int state) { callState_ = state; }
    // Sends a make-call request for the number; false (or none) without a session.
    std::function<bool(const std::string& number)> MakeCall;
    // Messenger integration, and the client's contacts in its order (none until it has them).
    std::function<bool()> MessengerOn;
    std::function<std::vector<TReminderContact>()> Contacts;
    // A list changed: the options window rebuilds its view.
    std::function<void()> OnForwardsChanged;
    std::function<void()> OnRemindersChanged;
    TReminderTimings ReminderTimings;
    // Owner of the editors and the pop-up.
    ui::TComponent* Owner = nullptr;

private:
    std::optional<TReminderContact> MatchingContact(const std::string& number) const;
    void ForwardEdited(const TForwardEntry& result, TForwardEntry* target, bool cancelled);
    void ReminderEdited(const TCallLater& result, TCallLater* target, bool cancelled);
    void OpenReminderEditor(TCallLater* target, const TCallLater& entry, const std::string& contact);
    void CloseReminderPopup(const TCallLater& entry);
    void RemoveReminder(const TCallLater* target);
    bool CallNow(const std::string& number);

    TKovraAssistantConfig& config_;
    TReminderClock clock_;
    TForwards forwards_;
    TReminders reminders_;
    int callState_ = 0;
};
