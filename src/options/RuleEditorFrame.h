#pragma once
// What the two rule editors of the options window share: their frame and the rule's name in
// their texts.

#include <string>

#include "dialogs/DialogFrame.h"
#include "settings/TextUtil.h"

namespace options {

namespace rule_editor {

constexpr int kWidth = 360;

inline dialogs::TKovraDialog::TFrameDesign Design(const char* panel, const char* title, int height)
{
    dialogs::TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = height;
    design.TitlePanel = panel;
    design.Title = title;
    design.Position = ui::TPosition::poOwnerFormCenter;
    return design;
}

inline std::string WithName(const std::string& pattern, const std::string& name)
{
    return settings::Substitute(pattern, "%s", name);
}

} // namespace rule_editor

} // namespace options
