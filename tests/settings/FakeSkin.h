#pragma once
// A form made of plain records that show what the bundle and the colour table gave them.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/SkinTarget.h"

struct FakeComponent : settings::ISkinComponent {
    std::string Name() const override { return name; }
    std::string ClassName() const override { return className; }
    int Tag() const override { return tag; }
    bool Enabled() const override { return enabled; }
    bool Transparent() const override { return transparent; }
    void SetCaption(const std::string& text) override { caption = text; }
    void SetHint(const std::string& text) override { hint = text; }
    int ItemCount() const override { return static_cast<int>(itemTexts.size()); }
    void SetItemText(int index, const std::string& text) override
    {
        itemTexts.at(static_cast<std::size_t>(index)) = text;
    }
    void SetColour(settings::TColour value) override { colour = value; }
    void SetFontColour(settings::TColour value) override { fontColour = value; }
    void SetMenuColours(const settings::TSkinMenuColours& value) override { menu = value; }
    void SetTabColours(const settings::TSkinTabColours& value) override { tabs = value; }
    void SetPicture(const settings::TKALogo& logo) override { picture = logo.Picture; }

    std::string name, className;
    int tag = 0;
    bool enabled = true;
    bool transparent = false;
    std::vector<std::string> itemTexts; // "item0", "item1"... until set
    std::optional<std::string> caption, hint;
    std::optional<settings::TColour> colour, fontColour;
    std::optional<settings::TSkinMenuColours> menu;
    std::optional<settings::TSkinTabColours> tabs;
    std::shared_ptr<const void> picture;
};

struct FakeForm : settings::ISkinForm {
    explicit FakeForm(std::string name = "fmTest", int tag = 0) : name(std::move(name)), tag(tag) {}

    FakeComponent& Add(std::string componentName, std::string className, int componentTag = 0, int items = 0)
    {
        FakeComponent& added = *components.emplace_back(std::make_unique<FakeComponent>());
        added.name = std::move(componentName);
        added.className = std::move(className);
        added.tag = componentTag;
        for (int i = 0; i < items; ++i)
            added.itemTexts.push_back("item" + std::to_string(i));
        return added;
    }

    std::string Name() const override { return name; }
    std::string ClassName() const override { return "TForm"; }
    int Tag() const override { return tag; }
    void SetColour(settings::TColour value) override { colour = value; }
    int ComponentCount() const override { return static_cast<int>(components.size()); }
    settings::ISkinComponent& Component(int index) override
    {
        return *components.at(static_cast<std::size_t>(index));
    }

    std::string name;
    int tag;
    std::optional<settings::TColour> colour;
    std::vector<std::unique_ptr<FakeComponent>> components;
};
