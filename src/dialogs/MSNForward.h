#pragma once
// TfmForward: the phone's four forwarding destinations (always, busy, not answered, out of
// service). The main window asks the server for them, shows this dialog modally and sends the
// kinds the user changed. Main thread only.

#include <array>
#include <string>

#include "dialogs/DialogFrame.h"
#include "settings/MSNConfig.h"

namespace dialogs {

class TfmForward : public TKovraDialog {
public:
    static constexpr int kKinds = 4;

    explicit TfmForward(ui::TComponent* owner,
                        settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());

    // The destinations received (empty when no answer came) and which kinds the phone allows.
    void SetUp(const std::array<std::string, kKinds>& current, const std::array<bool, kKinds>& enabled);
    std::array<std::string, kKinds> Texts() const;

    ui::TUnicodeLabel* txtPhoneNumber;
    ui::TUnicodeComboBox *cbForwardAll, *cbForwardBusy, *cbForwardNoAnswer, *cbForwardOOS;
    ui::TUnicodePanel* btOk;

private:
    std::array<ui::TUnicodeComboBox*, kKinds> Boxes() const;
    void OkClick();

    settings::TKovraAssistantConfig& config_;
};

} // namespace dialogs
