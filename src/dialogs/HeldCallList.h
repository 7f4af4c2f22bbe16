#pragma once
// The owner-drawn two-column list of the held-call and conference-guest dialogs, and the base of
// the held-call dialogs. Main thread only.

#include <string>
#include <vector>

#include "dialogs/DialogFrame.h"

namespace dialogs {

// A held call as the dialogs show it.
struct THeldCall {
    std::string CallId;
    std::string Name;
    std::string Number;
    bool Conference = false;
};

// A list box with one tab stop at 70 pixels whose rows draw the text before the tab and the text
// after it as two columns.
void MakeTwoColumnList(ui::TUnicodeListBox& list);
// A first-column text: a tab inside a party's name would move the column split.
std::string ColumnText(std::string text);

// Transfer or conference with a held call: the caller on top, the held calls below, an action
// button that waits for a row.
class THeldCallDialog : public TKovraDialog {
public:
    struct THeldDesign {
        TFrameDesign Frame;
        std::string VerbLabel, VerbCaption;      // "Transfer" / "Conference"
        std::string AtLabel;                     // "at" between name and number
        std::string ToLabel, ToCaption;          // "to" / "with"
        std::string RowAtKey;                    // key of "at" inside the rows
        std::string ActionButton, ActionCaption; // the button that confirms
    };

    THeldCallDialog(ui::TComponent* owner, const THeldDesign& design);

    // The call to act on, as the main window shows it (name and formatted number).
    void SetCaller(const std::string& name, const std::string& formattedNumber);
    // Held conferences are not offered.
    void AddHeldCall(const THeldCall& call);
    // The chosen row's call identifier; empty until a row is chosen.
    const std::string& ChosenCallId() const { return chosen_; }

    ui::TUnicodePanel* pnHeader;
    ui::TUnicodeLabel *txtVerb, *txtCallerName, *txtAt, *txtCallerNumber, *txtTo, *txtPleaseSelectCall;
    ui::TUnicodeListBox* lbHeldCalls;
    ui::TUnicodePanel* btAction;

private:
    void RowChosen();

    std::string rowAtKey_;
    std::vector<THeldCall> calls_;
    std::string chosen_;
};

} // namespace dialogs
