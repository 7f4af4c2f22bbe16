#pragma once
// TfmPickupCall: the ringing phone to pick up from, or the group pickup.

#include "dialogs/NumberEntry.h"

namespace dialogs {

class TfmPickupCall : public TNumberEntryDialog {
public:
    explicit TfmPickupCall(ui::TComponent* owner,
                           settings::TKovraAssistantConfig& config = settings::KovraAssistantConfig());

    ui::TUnicodeLabel* txtOr;
    ui::TUnicodePanel* btGroupPickup;
};

} // namespace dialogs
