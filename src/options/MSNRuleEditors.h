#pragma once
// The two rule editors of the options window, modal and on top. Set up from a rule, they show it;
// Apply writes what the user chose back into it (Run does so when the user confirms).

#include <vector>

#include "dialogs/DialogFrame.h"
#include "dialogs/DialogLists.h"
#include "messenger/MSNUtils.h"

// "Changing Messenger state": what the phone does when the user's status becomes this one.
class TfmIMOptions : public TKovraDialog {
public:
    explicit TfmIMOptions(ui::TComponent* owner);

    void SetUp(const messenger::TIMStateRec& rule, const std::vector<TForwardEntry>& forwards);
    void Apply(messenger::TIMStateRec& rule) const;
    bool Run(messenger::TIMStateRec& rule, const std::vector<TForwardEntry>& forwards);
    void UpdateControls();

    ui::TUnicodeLabel* txtMsgIMOptions;
    ui::TUnicodeRadioButton *btForward, *btEnableDnd, *btDisableDndFw, *btNothing;
    ui::TUnicodeComboBox* cbForward;
    ui::TUnicodePanel* btOk;

private:
    std::vector<TForwardEntry> forwards_;
};

// What status to set when the phone reaches this state, and in which statuses.
class TfmPhoneOptions : public TKovraDialog {
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
