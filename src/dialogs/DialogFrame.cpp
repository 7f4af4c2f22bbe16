#include "dialogs/DialogFrame.h"

#include <memory>
#include <vector>

#include "dialogs/SkinBinding.h"
#include "settings/KALookAndFeel.h"
#include "settings/MessageBundle.h"
#include "settings/SkinTarget.h"

using namespace settings;

namespace dialogs {

namespace {

constexpr int kCaptionHeight = 22;
constexpr int kTitleHeight = 26;

} // namespace

std::string DialogText(std::string_view key, std::string_view fallback)
{
    return LocalText(key, fallback);
}

std::string UnknownText()
{
    return DialogText("Unknown", "<Unknown>");
}

std::string ApplicationTitle()
{
    const std::string& title = ui::Application->Title();
    return title.empty() ? std::string("Kovra Assistant") : title;
}

void ApplyDialogColours(ui::TForm& form)
{
    TSkinFormBinding skin(form);
    ApplyColours(skin);
}

void ApplyDialogTexts(ui::TForm& form)
{
    TSkinFormBinding skin(form);
    MessageBundle().ApplyToComponents(skin);
}

TKovraDialog::TKovraDialog(ui::TComponent* owner, const TFrameDesign& design) : ui::TForm(owner)
{
    SetBorderStyle(ui::TFormBorderStyle::bsNone);
    SetPosition(design.Position);
    SetCaption(design.WindowCaption);
    SetBounds(0, 0, design.Width, design.Height);
    SetTag(crFrame);

    pnCaption = Add<ui::TUnicodePanel>(this, "pnCaption", 0, 0, design.Width, kCaptionHeight, crFrame);
    pnCaption->SetAlign(ui::TAlign::alTop);
    pnCaption->SetCaption(design.WindowCaption);
    pnCaption->SetDragsForm(true);
    imCaption = Add<ui::TImage>(pnCaption, design.CloseImage, design.Width - 20, 3, 16, 16);
    imCaption->SetHint(design.CloseHint);
    imCaption->SetShowHint(true);
    imCaption->SetCursor(ui::TCursor::crHandPoint);
    // A small cross, so the image shows on any caption colour.
    ui::TBitmap cross = ui::TBitmap::Solid(16, 16, 0);
    for (int i = 3; i < 13; ++i) {
        cross.Pixels[static_cast<std::size_t>(i * 16 + i)] = 0xFFFFFFFFu;
        cross.Pixels[static_cast<std::size_t>(i * 16 + 15 - i)] = 0xFFFFFFFFu;
    }
    imCaption->SetPicture(cross);
    imCaption->OnClick = [this](ui::TComponent*) { Cancel(); };

    if (!design.TitlePanel.empty()) {
        pnTitle = Add<ui::TUnicodePanel>(this, design.TitlePanel, 0, kCaptionHeight, design.Width,
                                         kTitleHeight, crBody);
        pnTitle->SetAlign(ui::TAlign::alTop);
        pnTitle->SetCaption(design.Title);
        pnTitle->Font().SetStyle(ui::fsBold);
        pnTitle->Font().SetSize(10);
    }
    pnBody = Add<ui::TUnicodePanel>(this, "pnBody", 0, 0, design.Width, design.Height, crBody);
    pnBody->SetAlign(ui::TAlign::alClient);
}

ui::TUnicodeLabel* TKovraDialog::AddLabel(ui::TControl* parent, std::string name, std::string caption,
                                          int left, int top, int width, int tag)
{
    auto* label = Add<ui::TUnicodeLabel>(parent, std::move(name), left, top, width, 16, tag);
    label->SetCaption(std::move(caption));
    label->SetTransparent(true);
    return label;
}

ui::TUnicodePanel* TKovraDialog::AddButton(ui::TControl* parent, std::string name, std::string caption,
                                           int left, int top, int width, int height)
{
    auto* button = Add<ui::TUnicodePanel>(parent, std::move(name), left, top, width, height, crButton);
    button->SetCaption(std::move(caption));
    button->SetCursor(ui::TCursor::crHandPoint);
    button->SetBevelOuter(ui::TBevelCut::bvRaised);
    return button;
}

void TKovraDialog::FinishCreation()
{
    ApplyLookAndFeel();
}

void TKovraDialog::ApplyLookAndFeel()
{
    ApplyDialogColours(*this);
    ApplyDialogTexts(*this);
}

void TKovraDialog::ApplyColours()
{
    ApplyDialogColours(*this);
}

void TKovraDialog::Cancel()
{
    if (Modal())
        SetModalResult(ui::mrCancel);
    else
        Close();
}

void TKovraDialog::Accept()
{
    if (Modal())
        SetModalResult(ui::mrOk);
    else
        Close();
}

} // namespace dialogs
