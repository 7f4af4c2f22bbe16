#pragma once
// TfmMakeCall: a new call to a typed or recent number, with one of four call options.

#include "dialogs/NumberEntry.h"

namespace dialogs {

class TfmMakeCall : public TNumberEntryDialog {
public:
    explicit TfmMakeCall(ui::TComponent* owner,
                         settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());

    // 0 regular, 4 intercom, 2 urgent, 8 caller ID hidden.
    int CallOptions() const;

    ui::TUnicodePanel* pnCallType;
    ui::TUnicodeLightRadioButton *ckRegularCall, *ckIntercom, *ckUrgent, *ckDontShow;
};

} // namespace dialogs
