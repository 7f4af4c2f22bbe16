#pragma once
// The options window's editor of a messenger rule, modal and on top. Set up from a rule, it shows
// it; Apply writes what the user chose back into it (Run does so when the user confirms).

#include <vector>

#include "dialogs/DialogFrame.h"
#include "dialogs/DialogLists.h"
#include "messenger/MSNUtils.h"

namespace options {

// "Changing Messenger state": what the phone does when the user's status becomes this one.
class TfmIMOptions : public dialogs::TKovraDialog {
public:
    explicit TfmIMOptions(ui::TComponent* owner);

    void SetUp(const messenger::TIMStateRec& rule, const std::vector<dialogs::TForwardEntry>& forwards);
    void Apply(messenger::TIMStateRec& rule) const;
    bool Run(messenger::TIMStateRec& rule, const std::vector<dialogs::TForwardEntry>& forwards);
    void UpdateControls();

    ui::TUnicodeLabel* txtMsgIMOptions;
    ui::TUnicodeRadioButton *btForward, *btEnableDnd, *btDisableDndFw, *btNothing;
    ui::TUnicodeComboBox* cbForward;
    ui::TUnicodePanel* btOk;

private:
    std::vector<dialogs::TForwardEntry> forwards_;
};

} // namespace options
