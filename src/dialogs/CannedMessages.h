#pragma once
// The canned instant messages offered to a ringing caller who is an online contact. The main
// window's Alerting page and the call pop-up both show them in an editable drop-down; the options
// window's Messages page lists them.

namespace ui {
class TItemList;
class TUnicodeComboBox;
} // namespace ui

namespace settings {
class TKovraAssistantConfig;
}

namespace dialogs {

// Replaces items with the stored messages, in their stored order.
void LoadCannedMessages(ui::TItemList& items, settings::TKovraAssistantConfig& config);
// Stores items as the messages, renumbered from 0.
void StoreCannedMessages(const ui::TItemList& items, settings::TKovraAssistantConfig& config);

// Lets the user edit the list in place: Enter keeps a new text and drops the list down, Delete
// removes the chosen message, leaving the box keeps a new text. Every change is stored at once,
// renumbered from 0.
void EditCannedMessagesInPlace(ui::TUnicodeComboBox& box, settings::TKovraAssistantConfig& config);

} // namespace dialogs
