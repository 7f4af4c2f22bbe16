#pragma once
// The number entry of the call dialogs: its key filter, the recent numbers kept in the
// configuration, and the dialog base that owns the entry and its OK button. Main thread only.

#include <string>
#include <string_view>

#include "dialogs/DialogFrame.h"
#include "settings/MSNConfig.h"

namespace dialogs {

// The typed characters a number entry keeps: backspace, "#", "(", ")", "*", "+", "-" and digits.
// Everything else comes back as 0 (discarded); pasted text is not filtered.
char16_t PhoneNumberKey(char16_t key);

constexpr int kRecentNumbersLimit = 5;

// Clears the drop-down's list and adds the stored numbers in display form, most recent first.
void FillRecentNumbers(ui::TUnicodeComboBox& box,
                       const settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());
// Stores the number as written (its digits, "+" kept) at the top, moving it if present, keeping at
// most five.
void AddRecentNumber(std::string_view text,
                     settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());

class TNumberEntryDialog : public TKovraDialog {
public:
    struct TEntryDesign {
        TFrameDesign Frame;
        std::string LabelName;
        std::string LabelCaption;
        // Filled from the recent numbers at creation.
        bool RecentNumbers = true;
    };

    TNumberEntryDialog(ui::TComponent* owner, const TEntryDesign& design,
                       settings::TKovraAssistantConfig& config);

    std::string Number() const { return cbPhones->Text(); }

    ui::TUnicodeLabel* txtEntryLabel;
    ui::TUnicodeComboBox* cbPhones;
    ui::TUnicodePanel* btOk;

protected:
    // What OK does before the modal result: number dialogs remember the number.
    virtual void OkClicked();
    // Rows below the entry start here.
    int ContentTop() const { return 56; }
    // OK follows the entry text: enabled exactly when it is not empty.
    void EntryChanged();
    settings::TKovraAssistantConfig& config_;
};

} // namespace dialogs
