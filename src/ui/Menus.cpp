#include "ui/Menus.h"

#include <algorithm>
#include <deque>

#include "ui/Forms.h"

namespace ui {
namespace {

// Command identifiers stay below 0xF000, where the window system's own commands begin. Menus rebuilt
// from scratch (the "I want to..." copies) hand their identifiers back, so the numbers stay as few as
// the items alive. A freed identifier rests until kRestingCommands others have been freed after it:
// a command posted for an item just deleted then finds no item rather than its successor.
constexpr unsigned kFirstCommand = 100;
constexpr unsigned kEndCommand = 0xF000;
constexpr std::size_t kRestingCommands = 64;
unsigned gNextCommand = kFirstCommand;

// Never destroyed: an item may outlive the statics of this file at exit.
std::deque<unsigned>& FreeCommands()
{
    static auto* commands = new std::deque<unsigned>;
    return *commands;
}

unsigned NextCommand()
{
    std::deque<unsigned>& free = FreeCommands();
    if (free.size() > kRestingCommands || (gNextCommand >= kEndCommand && !free.empty())) {
        const unsigned command = free.front();
        free.pop_front();
        return command;
    }
    if (gNextCommand >= kEndCommand)
        gNextCommand = kFirstCommand;
    return gNextCommand++;
}

void FreeCommand(unsigned command)
{
    FreeCommands().push_back(command);
}

} // namespace

TUnicodeMenuItem::TUnicodeMenuItem(TComponent* owner) : TComponent(owner), command_(NextCommand())
{
}

TUnicodeMenuItem::~TUnicodeMenuItem()
{
    FreeCommand(command_);
    for (TUnicodeMenuItem* item : items_)
        item->parent_ = nullptr;
    if (parent_)
        parent_->Remove(this);
}

void TUnicodeMenuItem::SetCaption(std::string caption)
{
    caption_ = std::move(caption);
    Changed();
}

void TUnicodeMenuItem::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    Changed();
}

void TUnicodeMenuItem::SetVisible(bool visible)
{
    visible_ = visible;
    Changed();
}

void TUnicodeMenuItem::SetChecked(bool checked)
{
    checked_ = checked;
    Changed();
}

void TUnicodeMenuItem::SetRightJustify(bool on)
{
    rightJustify_ = on;
    Changed();
}

void TUnicodeMenuItem::Add(TUnicodeMenuItem* item)
{
    Insert(Count(), item);
}

void TUnicodeMenuItem::Insert(int index, TUnicodeMenuItem* item)
{
    if (!item || item == this)
        return;
    if (item->parent_)
        item->parent_->Remove(item);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    Changed();
}

void TUnicodeMenuItem::Remove(TUnicodeMenuItem* item)
{
    auto found = std::find(items_.begin(), items_.end(), item);
    if (found == items_.end())
        return;
    items_.erase(found);
    item->parent_ = nullptr;
    Changed();
}

void TUnicodeMenuItem::Clear()
{
    while (!items_.empty()) {
        TUnicodeMenuItem* item = items_.back();
        items_.pop_back();
        item->parent_ = nullptr;
        delete item;
    }
    Changed();
}

TUnicodeMenuItem* TUnicodeMenuItem::FindCommand(unsigned command)
{
    if (command_ == command)
        return this;
    for (TUnicodeMenuItem* item : items_)
        if (TUnicodeMenuItem* found = item->FindCommand(command))
            return found;
    return nullptr;
}

void TUnicodeMenuItem::Click()
{
    for (const TUnicodeMenuItem* item = this; item; item = item->parent_)
        if (!item->enabled_ || !item->visible_)
            return;
    if (OnClick)
        OnClick(this);
}

TMenu* TUnicodeMenuItem::Menu() const
{
    const TUnicodeMenuItem* item = this;
    while (item->parent_)
        item = item->parent_;
    return item->menu_;
}

void TUnicodeMenuItem::Changed()
{
    if (TMenu* menu = Menu())
        menu->ItemsChanged();
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), root_(new TUnicodeMenuItem(this))
{
    root_->menu_ = this;
}

void TPopupMenu::Popup(int x, int y)
{
    lastChoice_ = nullptr;
    if (OnPopup)
        OnPopup(this);
    TUnicodeMenuItem* choice = CurrentBackend().TrackPopupMenu(*this, {x, y});
    // The choice may have been deleted by work that ran while the menu was open.
    if (choice && FindCommand(choice->Command()) == choice) {
        lastChoice_ = choice;
        choice->Click();
    }
}

TMainMenu::~TMainMenu()
{
    if (form_)
        form_->SetMenu(nullptr);
}

void TMainMenu::ItemsChanged()
{
    if (form_ && form_->Peer())
        form_->Peer()->Changed(TChange::Menu);
}

} // namespace ui
