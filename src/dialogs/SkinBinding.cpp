#include "dialogs/SkinBinding.h"

#include "platform/Picture.h"
#include "ui/Menus.h"
#include "ui/UnicodeCtrls.h"

using namespace settings;

namespace dialogs {

// Both sides write colours as 0x00BBGGRR; only the system-colour marker differs.
ui::TColor ToToolkitColour(TColour colour)
{
    if (colour == settings::clDefault)
        return ui::clDefault;
    if ((colour & 0xFF000000u) == 0xFF000000u)
        return ui::clSystemColor | (colour & 0xFFu);
    return colour;
}

bool TSkinComponentBinding::Enabled() const
{
    if (auto* control = dynamic_cast<ui::TControl*>(&component_))
        return control->Enabled();
    if (auto* item = dynamic_cast<ui::TUnicodeMenuItem*>(&component_))
        return item->Enabled();
    return true;
}

bool TSkinComponentBinding::Transparent() const
{
    auto* label = dynamic_cast<ui::TUnicodeLabel*>(&component_);
    return label && label->Transparent();
}

void TSkinComponentBinding::SetCaption(const std::string& text)
{
    if (auto* control = dynamic_cast<ui::TControl*>(&component_))
        control->SetCaption(text);
    else if (auto* item = dynamic_cast<ui::TUnicodeMenuItem*>(&component_))
        item->SetCaption(text);
}

void TSkinComponentBinding::SetHint(const std::string& text)
{
    if (auto* control = dynamic_cast<ui::TControl*>(&component_))
        control->SetHint(text);
}

int TSkinComponentBinding::ItemCount() const
{
    if (auto* tabs = dynamic_cast<ui::TUnicodeTabSet*>(&component_))
        return tabs->Tabs().Count();
    if (auto* view = dynamic_cast<ui::TListView*>(&component_))
        return static_cast<int>(view->Columns().size());
    if (auto* header = dynamic_cast<ui::THeaderControl*>(&component_))
        return static_cast<int>(header->Sections().size());
    if (auto* checks = dynamic_cast<ui::TCheckListBox*>(&component_))
        return checks->Items().Count();
    return 0;
}

void TSkinComponentBinding::SetItemText(int index, const std::string& text)
{
    if (index < 0 || index >= ItemCount())
        return;
    if (auto* tabs = dynamic_cast<ui::TUnicodeTabSet*>(&component_))
        tabs->Tabs().SetString(index, text);
    else if (auto* view = dynamic_cast<ui::TListView*>(&component_))
        view->SetColumnCaption(index, text);
    else if (auto* header = dynamic_cast<ui::THeaderControl*>(&component_))
        header->SetSectionText(index, text);
    else if (auto* checks = dynamic_cast<ui::TCheckListBox*>(&component_))
        checks->Items().SetString(index, text);
}

void TSkinComponentBinding::SetColour(TColour colour)
{
    if (auto* control = dynamic_cast<ui::TControl*>(&component_))
        control->SetColor(ToToolkitColour(colour));
}

void TSkinComponentBinding::SetFontColour(TColour colour)
{
    if (auto* control = dynamic_cast<ui::TControl*>(&component_))
        control->Font().SetColor(ToToolkitColour(colour));
}

void TSkinComponentBinding::SetMenuColours(const TSkinMenuColours& colours)
{
    if (auto* item = dynamic_cast<ui::TUnicodeMenuItem*>(&component_)) {
        item->ItemForeColor = ToToolkitColour(colours.ItemForeColor);
        item->ItemBackColor = ToToolkitColour(colours.ItemBackColor);
        item->SelectedForeColor = ToToolkitColour(colours.SelectedForeColor);
        item->SelectedBackColor = ToToolkitColour(colours.SelectedBackColor);
    }
}

void TSkinComponentBinding::SetTabColours(const TSkinTabColours& colours)
{
    if (auto* tabs = dynamic_cast<ui::TUnicodeTabSet*>(&component_)) {
        tabs->SetColor(ToToolkitColour(colours.Background));
        tabs->Font().SetColor(ToToolkitColour(colours.Text));
        tabs->SetSelectedColor(ToToolkitColour(colours.Selected));
        tabs->SetUnselectedColor(ToToolkitColour(colours.Unselected));
    }
}

void TSkinComponentBinding::SetPicture(const TKALogo& logo)
{
    auto* image = dynamic_cast<ui::TImage*>(&component_);
    if (image && logo.Loaded())
        image->SetPicture(*std::static_pointer_cast<const ui::TBitmap>(logo.Picture));
}

std::shared_ptr<const void> DecodeLogoPicture(const std::string& bytes)
{
    platform::TPicturePixels pixels;
    if (platform::DecodePicture(bytes, pixels) != 0)
        return nullptr;
    auto bitmap = std::make_shared<ui::TBitmap>();
    bitmap->Width = pixels.Width;
    bitmap->Height = pixels.Height;
    bitmap->Pixels = std::move(pixels.Pixels);
    return bitmap;
}

TSkinFormBinding::TSkinFormBinding(ui::TComponent& form) : self_(form)
{
    for (ui::TComponent* component : form.Components())
        components_.push_back(std::make_unique<TSkinComponentBinding>(*component));
}

} // namespace dialogs
