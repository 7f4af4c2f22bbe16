#pragma once
// TKovraDialog: the frame every call-control dialog shares. A borderless window with a caption
// strip that drags it, a close image that cancels, a title panel, panel buttons with a hand
// cursor, colours by Tag and texts by component name. There is deliberately no default or
// cancel key: only the button panels and the caption image end a dialog. Main thread only.

#include <string>
#include <string_view>

#include "ui/Forms.h"
#include "ui/UnicodeCtrls.h"

namespace dialogs {

// Colour roles carried in Tag.
enum TDialogColourRole {
    crFrame = 110,
    crPopupHeader = 120,
    crPopupHeaderText = 121,
    crButton = 130,
    crPopupRow = 140,
    crPopupLink = 141,
    crListBack = 150,
    crListText = 152,
    crListSelectedBack = 153,
    crListSelectedText = 154,
    crBody = 160,
    crBodyText = 161,
};

// A localised text from the message bundle, with its built-in default; escapes stay for the
// control that shows it to decode.
std::string DialogText(std::string_view key, std::string_view fallback);
// The localised "<Unknown>".
std::string UnknownText();
// The program's name for captions.
std::string ApplicationTitle();

// Colours by Tag from the program-wide colour table, then texts by component name.
void ApplyDialogColours(ui::TForm& form);
void ApplyDialogTexts(ui::TForm& form);

class TKovraDialog : public ui::TForm {
public:
    struct TFrameDesign {
        int Width = 300;
        int Height = 200;
        std::string TitlePanel; // empty: no title panel
        std::string Title;
        std::string CloseImage = "imHide";
        std::string CloseHint = "Hide this window";
        std::string WindowCaption = "Kovra Assistant";
        ui::TPosition Position = ui::TPosition::poOwnerFormCenter;
    };

    TKovraDialog(ui::TComponent* owner, const TFrameDesign& design);

    // Colours and texts, as at creation (texts by name override the design captions).
    void ApplyLookAndFeel();
    // Colours only: a button that changed its enabled state shows its text colour again.
    void ApplyColours();
    // What the caption image does: cancel a modal dialog, close a modeless one.
    void Cancel();
    // The modal result OK, for the action buttons.
    void Accept();

    ui::TUnicodePanel* pnCaption;
    ui::TImage* imCaption;
    ui::TUnicodePanel* pnTitle = nullptr;
    // The area under the title where the dialog's own controls go.
    ui::TUnicodePanel* pnBody;

protected:
    template <class T>
    T* Add(ui::TControl* parent, std::string name, int left, int top, int width, int height, int tag = 0)
    {
        T* control = new T(this);
        control->SetName(std::move(name));
        control->SetParent(parent);
        control->SetBounds(left, top, width, height);
        control->SetTag(tag);
        return control;
    }
    ui::TUnicodeLabel* AddLabel(ui::TControl* parent, std::string name, std::string caption, int left,
                                int top, int width, int tag = crBodyText);
    // A button is a panel with a hand cursor; its disabled colour comes with ApplyColours.
    ui::TUnicodePanel* AddButton(ui::TControl* parent, std::string name, std::string caption, int left,
                                 int top, int width = 75, int height = 22);
    // The last step of every dialog's constructor.
    void FinishCreation();
};

} // namespace dialogs
