#pragma once
// TfmConferenceToHold: joins the current call and one of the held calls into a conference.

#include "dialogs/HeldCallList.h"

namespace dialogs {

class TfmConferenceToHold : public THeldCallDialog {
public:
    explicit TfmConferenceToHold(ui::TComponent* owner);
};

} // namespace dialogs
