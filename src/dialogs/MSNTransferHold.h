#pragma once
// TfmTransferToHold: completes a transfer of the current call to one of the held calls.

#include "dialogs/HeldCallList.h"

namespace dialogs {

class TfmTransferToHold : public THeldCallDialog {
public:
    explicit TfmTransferToHold(ui::TComponent* owner);
};

} // namespace dialogs
