#pragma once
// TfmConferenceList: the guests of a conference call, one of whom the user removes.

#include <string>
#include <vector>

#include "dialogs/DialogFrame.h"

namespace dialogs {

struct TConferenceGuest {
    std::string Name;
    std::string Number;
};

class TfmConferenceList : public TKovraDialog {
public:
    explicit TfmConferenceList(ui::TComponent* owner);

    // Lists the guests, shows the dialog modally; true when a guest was chosen for removal.
    bool SetUp(const std::vector<TConferenceGuest>& guests);
    // The chosen guest's number in dialable form; empty until a row is chosen.
    const std::string& ChosenNumber() const { return chosen_; }

    ui::TUnicodeListBox* lbConfMembers;
    ui::TUnicodePanel* btRemove;

    // Fills the list without showing it (SetUp's first half).
    void FillGuests(const std::vector<TConferenceGuest>& guests);

private:
    void RowChosen();

    std::string chosen_;
};

} // namespace dialogs
