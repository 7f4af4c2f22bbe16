#pragma once
// TfmCallLaterEntry: the modeless editor of one call-later reminder: name, number (or one of the
// messenger contact's numbers), now or in some minutes, and whether to wait until the contact is
// online. At most one exists; an entry it still holds when it goes is reported as cancelled.
// Main thread only.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/DialogFrame.h"
#include "dialogs/DialogLists.h"
#include "platform/Clock.h"

namespace dialogs {

// A messenger contact's phone numbers; an absent one is empty.
struct TContactNumbers {
    std::string Home;   // kind 0
    std::string Work;   // kind 1
    std::string Mobile; // kind 2
};

// Whole minutes from now until the call time, plus one; 0 for "as soon as possible" or a time gone.
int MinutesUntil(std::uint32_t callTime, platform::TDateTime now);

// The reminders' clock: the current local time.
using TReminderClock = std::function<platform::TDateTime()>;

class TfmCallLaterEntry : public TKovraDialog {
public:
    // result: the edited reminder; target: the list's entry, none for a new one.
    using TDone = std::function<void(const TCallLater& result, TCallLater* target, bool cancelled)>;

    explicit TfmCallLaterEntry(ui::TComponent* owner, TReminderClock clock = platform::Now);
    ~TfmCallLaterEntry() override;

    // messenger: integration is on (the online box shows); contact: the numbers to pick from.
    void SetUp(TCallLater* target, const TCallLater& entry, TDone done, bool messenger,
               const std::optional<TContactNumbers>& contact = std::nullopt);
    bool Pending() const { return pending_; }
    TCallLater* Target() const { return target_; }
    // The list was read again: the same reminder is now this object.
    void Retarget(TCallLater* target) { target_ = target; }

    ui::TUnicodePanel *pnEntry, *pnNumber, *pnWhen, *pnIM, *pnButtons;
    ui::TEdit *edName, *edNumber;
    ui::TUnicodeListBox* lbSelect;
    ui::TUnicodeLightRadioButton *rbCallNow, *rbCallIn;
    ui::TSpinEdit* edTime;
    ui::TUnicodeLightCheckBox* ckOnline;
    ui::TUnicodePanel* btOk;

private:
    void FillNumbers(const std::optional<TContactNumbers>& contact);
    void UpdateControls();
    void SelectClick();
    void OkClick();

    TReminderClock clock_;
    std::vector<std::string> numbers_; // the contact's numbers as lbSelect shows them
    TCallLater* target_ = nullptr;
    TDone done_;
    bool pending_ = false;
};

// The open editor, or none.
extern TfmCallLaterEntry* fmCallLaterEntry;

} // namespace dialogs
