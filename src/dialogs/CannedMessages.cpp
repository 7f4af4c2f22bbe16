#include "dialogs/CannedMessages.h"

#include <string>
#include <vector>

#include "settings/MSNConfig.h"
#include "ui/UnicodeCtrls.h"

using namespace settings;

namespace dialogs {

namespace {

const char* const kSection = "IMMessages";

bool KeepTyped(ui::TUnicodeComboBox& box, TKovraAssistantConfig& config)
{
    const std::string text = box.Text();
    if (text.empty() || box.Items().IndexOf(text) >= 0)
        return false;
    box.Items().Add(text);
    StoreCannedMessages(box.Items(), config);
    return true;
}

} // namespace

void LoadCannedMessages(ui::TItemList& items, TKovraAssistantConfig& config)
{
    items.Clear();
    std::vector<std::string> keys;
    config.ReadSection(kSection, keys);
    for (const std::string& key : keys)
        items.Add(config.ReadString(kSection, key, ""));
}

void StoreCannedMessages(const ui::TItemList& items, TKovraAssistantConfig& config)
{
    config.EraseSection(kSection);
    for (int i = 0; i < items.Count(); ++i)
        config.WriteString(kSection, std::to_string(i), items.Strings(i));
}

void EditCannedMessagesInPlace(ui::TUnicodeComboBox& box, TKovraAssistantConfig& config)
{
    box.OnKeyDown = [&box, &config](ui::TComponent*, std::uint16_t& key, ui::TShiftState) {
        if (key == ui::VK_RETURN_KEY) {
            if (KeepTyped(box, config))
                box.SetDroppedDown(true);
            key = 0;
        } else if (key == ui::VK_DELETE_KEY && box.ItemIndex() >= 0) {
            box.Items().Delete(box.ItemIndex());
            // The deleted text left in the box would be kept again when the box is left.
            box.SetItemIndex(-1);
            box.SetText("");
            StoreCannedMessages(box.Items(), config);
            key = 0;
        }
    };
    box.OnExit = [&box, &config](ui::TComponent*) { KeepTyped(box, config); };
}

} // namespace dialogs
