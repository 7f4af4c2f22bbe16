#pragma once
// TfmCallLaterCall: the reminder pop-up. It slides up at the bottom-right corner of the work
// area, offers to call now, later or not at all, chooses "in 5 minutes" by itself after 30 s and
// slides away, freeing itself. At most one exists. Main thread only.

#include <functional>

#include "dialogs/DialogFrame.h"
#include "dialogs/DialogLists.h"

namespace dialogs {

struct TReminderTimings {
    unsigned SlideStep = 20;
    unsigned Disappear = 30000;
};

class TfmCallLaterCall : public TKovraDialog {
public:
    // choice: 0 call now, minutes to postpone, -1 cancel.
    using TChoice = std::function<void(const TCallLater& entry, int choice)>;
    static constexpr int kCancel = -1;

    explicit TfmCallLaterCall(ui::TComponent* owner, TReminderTimings timings = {});
    ~TfmCallLaterCall() override;

    void SetUp(const TCallLater& entry, TChoice choice);
    // The reminder shown, as long as it was not answered.
    const TCallLater* Entry() const { return held_ ? &entry_ : nullptr; }
    void Choose(int choice);
    // Goes at once without an answer (its reminder was edited or deleted).
    void CloseNow();
    bool SlidingOut() const { return tmShow->Tag() == 1; }

    ui::TUnicodePanel* pnHeader;
    ui::TUnicodeLabel *txtCallLaterTo, *txtCallerName, *txtCallLaterAt, *txtCallerNumber;
    ui::TUnicodeLabel *btCall, *btCall5, *btCall10, *btCall15, *btCall30, *btCancelCall, *txtIn, *txtMins;
    ui::TSpinEdit* edTime;
    ui::TUnicodePanel* btCallInMins;
    ui::TTimer *tmShow, *tmDissapear;

private:
    ui::TUnicodeLabel* AddLink(const char* name, const char* caption, int top, int choice);
    void tmShowTimer();

    TCallLater entry_;
    TChoice choice_;
    bool held_ = false;
};

// The reminder pop-up on screen, or none.
extern TfmCallLaterCall* fmCallLaterCall;

} // namespace dialogs
