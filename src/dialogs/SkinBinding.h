#pragma once
// The look and feel and the message bundle reach a form through the settings seam; this binds
// the seam to the toolkit's component model. Main thread only.

#include <memory>
#include <vector>

#include "settings/SkinTarget.h"
#include "ui/Component.h"

namespace dialogs {

// The look and feel's logo decoder: the system's picture loader, the picture as a toolkit bitmap
// (none where pictures are not decoded: the logo then counts as absent). Any thread.
std::shared_ptr<const void> DecodeLogoPicture(const std::string& bytes);

// A colour of the settings side as the toolkit writes it.
ui::TColor ToToolkitColour(settings::TColour colour);

class TSkinComponentBinding : public settings::ISkinComponent {
public:
    explicit TSkinComponentBinding(ui::TComponent& component) : component_(component) {}
    std::string Name() const override { return component_.Name(); }
    std::string ClassName() const override { return component_.ClassName(); }
    int Tag() const override { return static_cast<int>(component_.Tag()); }
    bool Enabled() const override;
    bool Transparent() const override;
    void SetCaption(const std::string& text) override;
    void SetHint(const std::string& text) override;
    int ItemCount() const override;
    void SetItemText(int index, const std::string& text) override;
    void SetColour(settings::TColour colour) override;
    void SetFontColour(settings::TColour colour) override;
    void SetMenuColours(const settings::TSkinMenuColours& colours) override;
    void SetTabColours(const settings::TSkinTabColours& colours) override;
    void SetPicture(const settings::TKALogo& logo) override;

private:
    ui::TComponent& component_;
};

// A form and the components it owns, in creation order.
class TSkinFormBinding : public settings::ISkinForm {
public:
    explicit TSkinFormBinding(ui::TComponent& form);
    std::string Name() const override { return self_.Name(); }
    std::string ClassName() const override { return self_.ClassName(); }
    int Tag() const override { return self_.Tag(); }
    void SetColour(settings::TColour colour) override { self_.SetColour(colour); }
    void SetFontColour(settings::TColour colour) override { self_.SetFontColour(colour); }
    int ComponentCount() const override { return static_cast<int>(components_.size()); }
    settings::ISkinComponent& Component(int index) override
    {
        return *components_[static_cast<std::size_t>(index)];
    }

private:
    TSkinComponentBinding self_;
    std::vector<std::unique_ptr<TSkinComponentBinding>> components_;
};

} // namespace dialogs
