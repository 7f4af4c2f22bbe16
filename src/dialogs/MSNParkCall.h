#pragma once
// TFrmParkCallNotification: tells the user where a call was parked; hides itself after 12 s.

#include <string>

#include "dialogs/DialogFrame.h"

namespace dialogs {

class TFrmParkCallNotification : public TKovraDialog {
public:
    explicit TFrmParkCallNotification(ui::TComponent* owner, unsigned hideAfterMs = 12000);

    // Shows (again) with new texts and starts the 12 s over.
    void ShowNotice(const std::string& from, const std::string& to);
    void HideNotice();

    ui::TUnicodeLabel *labCallFrom, *labParkedAt, *txtParkFrom, *txtParkTo;
    ui::TUnicodePanel* btOk;
    ui::TTimer* tmHide;
};

} // namespace dialogs
