#pragma once
// The canned instant messages offered to a ringing caller who is an online contact. The main
// window's Alerting page and the call pop-up both show them in an editable drop-down.

namespace ui {
class TUnicodeComboBox;
}
class TKovraAssistantConfig;

// Fills the box with the stored messages, in their stored order.
void LoadCannedMessages(ui::TUnicodeComboBox& box, TKovraAssistantConfig& config);

// Lets the user edit the list in place: Enter keeps a new text and drops the list down, Delete
// removes the chosen message, leaving the box keeps a new text. Every change is stored at once,
// renumbered from 0.
void EditCannedMessagesInPlace(ui::TUnicodeComboBox& box, TKovraAssistantConfig& config);
