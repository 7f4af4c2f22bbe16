#pragma once
// TfmForwardEntry: the modeless editor of one forward-list entry. At most one exists; opening
// another frees it first, and an entry still held then is reported as cancelled. Main thread only.

#include <functional>
#include <string>

#include "dialogs/DialogFrame.h"
#include "dialogs/DialogLists.h"

namespace dialogs {

// Keeps only what a forward number may hold: digits, "*", "#", "-" and space.
std::string CleanForwardNumber(std::string_view text);

class TfmForwardEntry : public TKovraDialog {
public:
    // result: the edited name and number; target: the list's entry, none for a new one.
    using TDone = std::function<void(const TForwardEntry& result, TForwardEntry* target, bool cancelled)>;
    // Whether another entry than target already carries the number (the list keys on numbers).
    using TNumberTaken = std::function<bool(const std::string& number, const TForwardEntry* target)>;

    explicit TfmForwardEntry(ui::TComponent* owner);
    ~TfmForwardEntry() override;

    void SetUp(TForwardEntry* target, const TForwardEntry& entry, TDone done, TNumberTaken taken = {});
    bool Pending() const { return pending_; }
    TForwardEntry* Target() const { return target_; }
    // The list was read again: the same entry is now this object.
    void Retarget(TForwardEntry* target) { target_ = target; }

    ui::TUnicodeLabel *txtName, *txtNumber, *txtNumberTaken;
    ui::TEdit *edName, *edNumber;
    ui::TUnicodePanel* btOk;

private:
    void UpdateOk();
    void NumberChanged();
    void OkClick();

    TForwardEntry* target_ = nullptr;
    TDone done_;
    TNumberTaken taken_;
    bool pending_ = false;
};

// The open editor, or none.
extern TfmForwardEntry* fmForwardEntry;

} // namespace dialogs
