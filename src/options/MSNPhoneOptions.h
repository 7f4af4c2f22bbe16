#pragma once
// The options window's editor of a phone rule, modal and on top. Set up from a rule, it shows it;
// Apply writes what the user chose back into it (Run does so when the user confirms).

#include <vector>

#include "dialogs/DialogFrame.h"
#include "messenger/MSNUtils.h"

namespace options {

// What status to set when the phone reaches this state, and in which statuses.
class TfmPhoneOptions : public dialogs::TKovraDialog {
public:
    explicit TfmPhoneOptions(ui::TComponent* owner);

    void SetUp(const messenger::TPhoneStateRec& rule, const messenger::TPresenceRules& rules);
    void Apply(messenger::TPhoneStateRec& rule) const;
    bool Run(messenger::TPhoneStateRec& rule, const messenger::TPresenceRules& rules);
    void UpdateControls();

    ui::TUnicodeLabel* txtMsgPhoneOptions;
    ui::TUnicodeComboBox* cbState;
    ui::TCheckListBox* lbStates;
    ui::TUnicodeRadioButton *rbStates, *rbAny;
    ui::TUnicodePanel* btOk;

private:
    std::vector<int> targets_, statuses_;
};

} // namespace options
