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

namespace options {

// A messaging-client contact as the reminders need it.
struct TReminderContact {
    std::string Id;
    int Status = 0; // 2: online
    dialogs::TContactNumbers Numbers;
};

// Whether a contact's number (as the messaging client holds it) is the reminder's number: the
// last four digits of a longer contact number match an extension; a shorter one is completed
// with the reminder number's leading digits.
bool ContactNumberMatches(const std::string& contactNumber, const std::string& number);

class TOptionsLists : public dialogs::IDialogLists {
public:
    explicit TOptionsLists(settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig(),
                           dialogs::TReminderClock clock = platform::Now);
    ~TOptionsLists() override;

    using TForwards = std::vector<std::unique_ptr<dialogs::TForwardEntry>>;
    using TReminders = std::vector<std::unique_ptr<dialogs::TCallLater>>;

    const TForwards& Forwards() const { return forwards_; }
    std::vector<dialogs::TForwardEntry> ForwardEntries() const override;
    void LoadForwards();
    void SaveForwards();
    // Opens the editor on the entry, or on a new one for none.
    void OpenForwardEditor(dialogs::TForwardEntry* target);
    void DeleteForward(const dialogs::TForwardEntry* target);

    const TReminders& Reminders() const { return reminders_; }
    // The time the reminders count down to.
    platform::TDateTime Now() const { return clock_(); }
    void LoadReminders();
    void SaveReminders();
    void AddCallLater(const std::string& contact, const std::string& name, const std::string& number,
                      int minutes) override;
    void EditReminder(dialogs::TCallLater* target);
    void DeleteReminder(const dialogs::TCallLater* target);
    bool MayBeCalledNow(const dialogs::TCallLater& entry) const;
    // One countdown step: the texts of the "Call Time" column, row by row; announces the last
    // due reminder when no pop-up is up and it may be called now.
    std::vector<std::string> CountDown(platform::TDateTime now);
    // The "Call Time" column's text of one reminder.
    static std::string CountDownText(const dialogs::TCallLater& entry, platform::TDateTime now);
    void ReminderChosen(const dialogs::TCallLater& entry, int choice);

    // The call state of the last call-connection event (csGone and csHeld let reminders call).
    void SetCallState(int state) { callState_ = state; }
    // Sends a make-call request for the number: crNoSession (or none) without a session, crRefused
    // (the reason told) when the dialing rules cannot dial it.
    enum TCallResult { crCalled, crNoSession, crRefused };
    std::function<TCallResult(const std::string& number)> MakeCall;
    // Messenger integration, and the client's contacts in its order (none until it has them).
    std::function<bool()> MessengerOn;
    std::function<std::vector<TReminderContact>()> Contacts;
    // A list changed: the options window rebuilds its view.
    std::function<void()> OnForwardsChanged;
    std::function<void()> OnRemindersChanged;
    dialogs::TReminderTimings ReminderTimings;
    // Owner of the editors and the pop-up.
    ui::TComponent* Owner = nullptr;

private:
    std::optional<TReminderContact> MatchingContact(const std::string& number) const;
    void ForwardEdited(const dialogs::TForwardEntry& result, dialogs::TForwardEntry* target, bool cancelled);
    void ReminderEdited(const dialogs::TCallLater& result, dialogs::TCallLater* target, bool cancelled);
    void OpenReminderEditor(dialogs::TCallLater* target, const dialogs::TCallLater& entry,
                            const std::string& contact);
    void CloseReminderPopup(const dialogs::TCallLater& entry);
    void RemoveReminder(const dialogs::TCallLater* target);
    // True when called; a reminder the rules refuse is not announced again until it is edited.
    bool CallNow(const dialogs::TCallLater& entry);

    settings::TKovraAssistantConfig& config_;
    dialogs::TReminderClock clock_;
    TForwards forwards_;
    TReminders reminders_;
    int callState_ = 0;
    std::vector<dialogs::TCallLater> refused_;
};

} // namespace options
