#pragma once
// Menus: items with captions (& marks the accelerator), submenus, a command identifier each,
// and the colours a skinned menu is drawn in.

#include <vector>

#include "ui/Component.h"

namespace ui {

class TForm;
class TMenu;

class TUnicodeMenuItem : public TComponent {
public:
    explicit TUnicodeMenuItem(TComponent* owner);
    ~TUnicodeMenuItem() override;
    const char* ClassName() const override { return "TUnicodeMenuItem"; }

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    // "-" makes a separator.
    bool IsSeparator() const { return caption_ == "-"; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    // In a menu bar: this item and the ones after it sit at the right end.
    bool RightJustify() const { return rightJustify_; }
    void SetRightJustify(bool on);
    // Unique among the items alive; what the window system reports when the item is chosen. The
    // identifier of a deleted item is given to a later one.
    unsigned Command() const { return command_; }

    TColor ItemForeColor = clDefault;
    TColor ItemBackColor = clDefault;
    TColor SelectedForeColor = clDefault;
    TColor SelectedBackColor = clDefault;

    TUnicodeMenuItem* Parent() const { return parent_; }
    const std::vector<TUnicodeMenuItem*>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    void Add(TUnicodeMenuItem* item);
    void Insert(int index, TUnicodeMenuItem* item);
    void Remove(TUnicodeMenuItem* item);
    // Deletes the submenu's items (dynamic menus rebuild this way).
    void Clear();
    // This item or one below it with that command.
    TUnicodeMenuItem* FindCommand(unsigned command);

    TNotifyEvent OnClick;
    // As the user chooses it; disabled and hidden items do nothing.
    void Click();

    // The menu this item belongs to, through its parents.
    TMenu* Menu() const;

private:
    friend class TMenu;
    void Changed();

    std::string caption_;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    bool rightJustify_ = false;
    unsigned command_;
    TUnicodeMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr; // set on a menu's root item
    std::vector<TUnicodeMenuItem*> items_;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    TUnicodeMenuItem& Items() { return *root_; }
    const TUnicodeMenuItem& Items() const { return *root_; }
    TUnicodeMenuItem* FindCommand(unsigned command) { return root_->FindCommand(command); }
    // An item anywhere in this menu changed.
    virtual void ItemsChanged() {}

private:
    TUnicodeMenuItem* root_;
};

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* owner) : TMenu(owner) {}
    const char* ClassName() const override { return "TPopupMenu"; }

    TNotifyEvent OnPopup;
    // Shows the menu at a screen position and runs the chosen item's OnClick.
    void Popup(int x, int y);
    // The item chosen by the last Popup, or none.
    TUnicodeMenuItem* LastChoice() const { return lastChoice_; }

private:
    TUnicodeMenuItem* lastChoice_ = nullptr;
};

// A form's menu bar.
class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
    ~TMainMenu() override;
    const char* ClassName() const override { return "TMainMenu"; }
    TForm* Form() const { return form_; }
    void SetForm(TForm* form) { form_ = form; }
    void ItemsChanged() override;

private:
    TForm* form_ = nullptr;
};

} // namespace ui
