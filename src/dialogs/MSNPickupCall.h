#pragma once
// TfmPickupCall: the ringing phone to pick up from, or the group pickup.

#include "dialogs/NumberEntry.h"

class TfmPickupCall : public TNumberEntryDialog {
public:
    explicit TfmPickupCall(ui::TComponent* owner, TKovraAssistantConfig& config = KovraAssistantConfig());

    ui::TUnicodeLabel* txtOr;
    ui::TUnicodePanel* btGroupPickup;
};
