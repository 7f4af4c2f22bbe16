#pragma once
// The controls the forms are built from. Captions and items are UTF-8; texts that came from
// the message bundle are shown with their \uXXXX escapes decoded.

#include <functional>
#include <string>
#include <vector>

#include "ui/Canvas.h"
#include "ui/Component.h"

namespace ui {

// Strings with an attached object each (a list box line and its record, a tab and its data).
// The object is not owned.
class TItemList {
public:
    explicit TItemList(std::function<void()> changed) : changed_(std::move(changed)) {}

    int Count() const { return static_cast<int>(items_.size()); }
    int Add(std::string text, void* object = nullptr);
    void Insert(int index, std::string text, void* object = nullptr);
    void Delete(int index);
    void Clear();
    // Out-of-range reads give an empty text and no object.
    const std::string& Strings(int index) const;
    void* Objects(int index) const;
    template <class T> T* ObjectAs(int index) const { return static_cast<T*>(Objects(index)); }
    void SetString(int index, std::string text);
    void SetObject(int index, void* object);
    int IndexOf(std::string_view text) const;
    int IndexOfObject(const void* object) const;
    void Assign(const std::vector<std::string>& texts);

private:
    struct Item {
        std::string text;
        void* object;
    };
    std::vector<Item> items_;
    std::function<void()> changed_;
};

class TUnicodeLabel : public TControl {
public:
    explicit TUnicodeLabel(TComponent* owner);
    const char* ClassName() const override { return "TUnicodeLabel"; }
    TControlKind Kind() const override { return TControlKind::Label; }

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout layout);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on);
    // A link label underlines while the mouse is over it, unless its font is italic.
    bool IsLink() const { return link_; }
    void SetIsLink(bool on) { link_ = on; }
    // The font the label is drawn with now (underlined while a link is hovered).
    TFontStyles DrawnStyle() const;
    // A link is a tab stop and Enter or Space runs it.
    bool TabStop() const override { return link_ || TControl::TabStop(); }
    TAccessibleRole AccessibleRole() const override
    {
        return link_ ? TAccessibleRole::Link : TControl::AccessibleRole();
    }
    std::uint16_t DoKeyDown(std::uint16_t key, TShiftState shift) override;

    void DoMouseEnter() override;
    void DoMouseLeave() override;

private:
    bool transparent_ = false;
    bool link_ = false;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    TTextLayout layout_ = TTextLayout::tlTop;
    bool wordWrap_ = false;
};

enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TUnicodePanel : public TControl {
public:
    explicit TUnicodePanel(TComponent* owner);
    const char* ClassName() const override { return "TUnicodePanel"; }
    TControlKind Kind() const override { return TControlKind::Panel; }
    bool AcceptsChildren() const override { return true; }

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    TBevelCut BevelOuter() const { return bevel_; }
    void SetBevelOuter(TBevelCut bevel);

private:
    TAlignment alignment_ = TAlignment::taCenter;
    TBevelCut bevel_ = TBevelCut::bvNone;
};

class TUnicodeGroupBox : public TControl {
public:
    explicit TUnicodeGroupBox(TComponent* owner);
    const char* ClassName() const override { return "TUnicodeGroupBox"; }
    TControlKind Kind() const override { return TControlKind::GroupBox; }
    bool AcceptsChildren() const override { return true; }
};

enum class TOwnerDrawState : unsigned { odNone = 0, odSelected = 1, odFocused = 2, odDisabled = 4 };
inline bool HasState(TOwnerDrawState set, TOwnerDrawState flag)
{
    return (static_cast<unsigned>(set) & static_cast<unsigned>(flag)) != 0;
}

enum class TListBoxStyle { lbStandard, lbOwnerDrawFixed };

class TCustomListBox;
using TDrawItemEvent =
    std::function<void(TCustomListBox* sender, int index, const TRect& rect, TOwnerDrawState state)>;

class TCustomListBox : public TControl {
public:
    explicit TCustomListBox(TComponent* owner);
    bool TabStop() const override { return true; }

    TItemList& Items() { return items_; }
    const TItemList& Items() const { return items_; }
    // -1 when nothing is selected.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle style);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);
    const std::vector<int>& TabStops() const { return tabStops_; }
    void SetTabStops(std::vector<int> stops);
    int TopIndex() const { return topIndex_; }
    void SetTopIndex(int index);
    TRect ItemRect(int index) const;

    // The canvas an owner-draw handler paints on; valid only inside OnDrawItem.
    TCanvas& Canvas() { return *canvas_; }
    TDrawItemEvent OnDrawItem;

    // Selects as the user would: the selection moves, then OnClick.
    void SelectItem(int index);
    // What a screen reader says of a line: OnAccessibleItem's text, else the line's own with its
    // columns (tab stops) read as a list.
    std::function<std::string(int index)> OnAccessibleItem;
    std::string AccessibleItemName(int index) const;
    // Back ends: paint one line on a canvas they provide.
    void DrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state);

protected:
    virtual void DrawItemDefault(int index, const TRect& rect, TOwnerDrawState state);
    virtual void ItemsChanged();

private:
    TItemList items_;
    int itemIndex_ = -1;
    int topIndex_ = 0;
    TListBoxStyle style_ = TListBoxStyle::lbStandard;
    int itemHeight_ = 16;
    std::vector<int> tabStops_;
    TCanvas* canvas_ = nullptr;
};

class TUnicodeListBox : public TCustomListBox {
public:
    explicit TUnicodeListBox(TComponent* owner) : TCustomListBox(owner) {}
    const char* ClassName() const override { return "TUnicodeListBox"; }
    TControlKind Kind() const override { return TControlKind::ListBox; }
};

class TCheckListBox : public TCustomListBox {
public:
    explicit TCheckListBox(TComponent* owner) : TCustomListBox(owner) {}
    const char* ClassName() const override { return "TCheckListBox"; }
    TControlKind Kind() const override { return TControlKind::CheckListBox; }

    bool Checked(int index) const;
    void SetChecked(int index, bool checked);
    // Toggles as a click on the box does, then OnClickCheck.
    void ToggleCheck(int index);
    TNotifyEvent OnClickCheck;

protected:
    void ItemsChanged() override;

private:
    std::vector<bool> checked_;
};

// Text entry shared by the edit, the spin edit and the combo box.
class TCustomEdit : public TControl {
public:
    explicit TCustomEdit(TComponent* owner);

    const std::string& Text() const { return Caption(); }
    // Programmatic change: raises OnChange like the window system does.
    void SetText(std::string text);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length) { maxLength_ = length; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on);

    TNotifyEvent OnChange;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyDown;
    TNotifyEvent OnExit;

    // Input as typed: the key goes through OnKeyPress and, unless discarded, into the text
    // (backspace removes the last character). Returns whether the key was kept.
    bool TypeKey(char16_t key);
    // A key pressed down (Enter, Delete...): OnKeyDown; returns the key left after it.
    std::uint16_t PressKey(std::uint16_t key, TShiftState shift = 0);
    bool TabStop() const override { return true; }
    std::uint16_t DoKeyDown(std::uint16_t key, TShiftState shift) override { return PressKey(key, shift); }
    void Exit();

    // Back ends: the key filter alone, and a text the native control already shows.
    virtual char16_t FilterKey(char16_t key);
    void TextEdited(const std::string& text);

protected:
    virtual void TextChanged();

private:
    int maxLength_ = 0;
    bool readOnly_ = false;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
    const char* ClassName() const override { return "TEdit"; }
    TControlKind Kind() const override { return TControlKind::Edit; }
};

class TSpinEdit : public TCustomEdit {
public:
    explicit TSpinEdit(TComponent* owner);
    const char* ClassName() const override { return "TSpinEdit"; }
    TControlKind Kind() const override { return TControlKind::SpinEdit; }

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    void SetRange(int minValue, int maxValue);
    // The text as a number, held within the range (the minimum when it is no number).
    int Value() const;
    void SetValue(int value);
    int Increment() const { return increment_; }
    void SetIncrement(int step) { increment_ = step; }
    // The up and down arrows.
    void StepUp() { SetValue(Value() + increment_); }
    void StepDown() { SetValue(Value() - increment_); }
    // Digits, a minus sign and backspace only, after OnKeyPress.
    char16_t FilterKey(char16_t key) override;

private:
    int min_ = 0;
    int max_ = 100;
    int increment_ = 1;
};

enum class TComboBoxStyle { csDropDown, csDropDownList };

class TUnicodeComboBox : public TCustomEdit {
public:
    explicit TUnicodeComboBox(TComponent* owner);
    const char* ClassName() const override { return "TUnicodeComboBox"; }
    TControlKind Kind() const override { return TControlKind::ComboBox; }

    TItemList& Items() { return items_; }
    const TItemList& Items() const { return items_; }
    int ItemIndex() const { return itemIndex_; }
    // Selecting an item shows its text; -1 leaves the text as it is.
    void SetItemIndex(int index);
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle style);
    bool DroppedDown() const { return droppedDown_; }
    void SetDroppedDown(bool dropped);

    // A choice from the list, as the user makes it: OnSelect, then OnChange.
    void SelectItem(int index);
    TNotifyEvent OnSelect;

    // Back ends: the list closed up or dropped down by itself.
    void DropStateChanged(bool dropped) { droppedDown_ = dropped; }

protected:
    void TextChanged() override;

private:
    TItemList items_;
    int itemIndex_ = -1;
    TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
    bool droppedDown_ = false;
    bool selecting_ = false;
};

struct TListColumn {
    std::string Caption;
    int Width = 50;
};

struct TListItem {
    std::string Caption;
    std::vector<std::string> SubItems;
    void* Data = nullptr;
};

class TListView : public TControl {
public:
    explicit TListView(TComponent* owner);
    const char* ClassName() const override { return "TListView"; }
    bool TabStop() const override { return true; }
    // Without a label before it, a list is named by its columns.
    std::string AccessibleName() const override;
    TControlKind Kind() const override { return TControlKind::ListView; }

    const std::vector<TListColumn>& Columns() const { return columns_; }
    int AddColumn(std::string caption, int width);
    void SetColumnCaption(int index, std::string caption);
    void ClearColumns();

    const std::vector<TListItem>& Items() const { return items_; }
    int ItemCount() const { return static_cast<int>(items_.size()); }
    int AddItem(std::string caption, std::vector<std::string> subItems = {}, void* data = nullptr);
    void SetItem(int index, TListItem item);
    void DeleteItem(int index);
    void ClearItems();
    // Every row replaced at once, none selected: one change, where adding them one by one is a
    // change each (a native list is refilled whole on each).
    void SetItems(std::vector<TListItem> items);
    // Row text of a column: 0 is the caption, then the sub-items.
    std::string CellText(int row, int column) const;

    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    bool RowSelect() const { return rowSelect_; }
    void SetRowSelect(bool on);

    std::function<void(TComponent* sender, int index, bool selected)> OnSelectItem;
    // As the user selects a row: selection, OnSelectItem, OnClick.
    void SelectItem(int index);
    // Back ends: the native list moved its selection.
    void SelectionChanged(int index);

private:
    std::vector<TListColumn> columns_;
    std::vector<TListItem> items_;
    int itemIndex_ = -1;
    bool rowSelect_ = true;
};

// Check boxes and radio buttons: the model keeps the checked state.
class TButtonControl : public TControl {
public:
    explicit TButtonControl(TComponent* owner);
    bool TabStop() const override { return true; }
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    // A click by the user: a check box toggles, a radio button checks; then OnClick.
    void Click() override;

protected:
    virtual bool IsRadio() const = 0;

private:
    bool checked_ = false;
};

class TUnicodeLightCheckBox : public TButtonControl {
public:
    explicit TUnicodeLightCheckBox(TComponent* owner) : TButtonControl(owner) {}
    const char* ClassName() const override { return "TUnicodeLightCheckBox"; }
    TControlKind Kind() const override { return TControlKind::CheckBox; }

protected:
    bool IsRadio() const override { return false; }
};

class TUnicodeRadioButton : public TButtonControl {
public:
    explicit TUnicodeRadioButton(TComponent* owner) : TButtonControl(owner) {}
    const char* ClassName() const override { return "TUnicodeRadioButton"; }
    TControlKind Kind() const override { return TControlKind::RadioButton; }

protected:
    bool IsRadio() const override { return true; }
};

class TUnicodeLightRadioButton : public TButtonControl {
public:
    explicit TUnicodeLightRadioButton(TComponent* owner) : TButtonControl(owner) {}
    const char* ClassName() const override { return "TUnicodeLightRadioButton"; }
    TControlKind Kind() const override { return TControlKind::RadioButton; }

protected:
    bool IsRadio() const override { return true; }
};

// One page of a notebook; its caption is the page's name.
class TPage : public TControl {
public:
    explicit TPage(TComponent* owner);
    const char* ClassName() const override { return "TPage"; }
    TControlKind Kind() const override { return TControlKind::Page; }
    bool AcceptsChildren() const override { return true; }
};

class TNotebook : public TControl {
public:
    explicit TNotebook(TComponent* owner);
    const char* ClassName() const override { return "TNotebook"; }
    TControlKind Kind() const override { return TControlKind::Notebook; }
    bool AcceptsChildren() const override { return true; }

    // A new page fills the notebook; the first one becomes active.
    TPage* AddPage(std::string name);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TPage* Page(int index) const;
    int PageIndex() const { return pageIndex_; }
    void SetPageIndex(int index);
    const std::string& ActivePage() const;
    // By page name, case-insensitive; an unknown name changes nothing.
    void SetActivePage(std::string_view name);

private:
    std::vector<TPage*> pages_;
    int pageIndex_ = -1;
};

using TTabChangeEvent = std::function<void(TComponent* sender, int newTab, bool& allowChange)>;

class TUnicodeTabSet : public TControl {
public:
    explicit TUnicodeTabSet(TComponent* owner);
    const char* ClassName() const override { return "TUnicodeTabSet"; }
    TControlKind Kind() const override { return TControlKind::TabSet; }

    TItemList& Tabs() { return tabs_; }
    const TItemList& Tabs() const { return tabs_; }
    int TabIndex() const { return tabIndex_; }
    void SetTabIndex(int index);
    TColor SelectedColor() const { return selectedColor_; }
    void SetSelectedColor(TColor color);
    TColor UnselectedColor() const { return unselectedColor_; }
    void SetUnselectedColor(TColor color);
    // Where each tab is drawn (the back ends and hit tests share it).
    std::vector<TRect> TabRects();

    TTabChangeEvent OnChange;
    TNotifyEvent OnClickTab;
    // As the user clicks a tab: OnChange may refuse it; then OnClick.
    void SelectTab(int index);
    // The arrow keys (and Home, End) select the tab beside (or at the end) as a click does.
    bool TabStop() const override { return true; }
    std::uint16_t DoKeyDown(std::uint16_t key, TShiftState shift) override;
    // Without a name of its own, the tabs are named after their form (its caption).
    std::string AccessibleName() const override;

private:
    TItemList tabs_;
    int tabIndex_ = -1;
    TColor selectedColor_ = clBtnFace;
    TColor unselectedColor_ = clWindow;
};

class TImage : public TControl {
public:
    explicit TImage(TComponent* owner);
    const char* ClassName() const override { return "TImage"; }
    TControlKind Kind() const override { return TControlKind::Image; }

    const TBitmap& Picture() const { return picture_; }
    void SetPicture(TBitmap picture);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool on);
    bool Center() const { return center_; }
    void SetCenter(bool on);

private:
    TBitmap picture_;
    bool stretch_ = false;
    bool center_ = false;
};

class TSpeedButton : public TControl {
public:
    explicit TSpeedButton(TComponent* owner);
    const char* ClassName() const override { return "TSpeedButton"; }
    TControlKind Kind() const override { return TControlKind::SpeedButton; }

    bool Flat() const { return flat_; }
    void SetFlat(bool on);
    bool Down() const { return down_; }
    void SetDown(bool down);
    // Buttons of one group index above 0 stay down one at a time.
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int index) { groupIndex_ = index; }
    const TBitmap& Glyph() const { return glyph_; }
    void SetGlyph(TBitmap glyph);
    void Click() override;

private:
    bool flat_ = true;
    bool down_ = false;
    int groupIndex_ = 0;
    TBitmap glyph_;
};

struct THeaderSection {
    std::string Text;
    int Width = 80;
};

class THeaderControl : public TControl {
public:
    explicit THeaderControl(TComponent* owner);
    const char* ClassName() const override { return "THeaderControl"; }
    TControlKind Kind() const override { return TControlKind::HeaderControl; }

    const std::vector<THeaderSection>& Sections() const { return sections_; }
    int AddSection(std::string text, int width);
    void SetSectionText(int index, std::string text);
    void SetSectionWidth(int index, int width);
    int SectionAt(int x) const;

    std::function<void(TComponent* sender, int section)> OnSectionClick;
    void ClickSection(int index);

private:
    std::vector<THeaderSection> sections_;
};

// The small window that shows a control's hint; a top-level control of its own.
class TUnicodeHintWindow : public TControl {
public:
    explicit TUnicodeHintWindow(TComponent* owner);
    const char* ClassName() const override { return "TUnicodeHintWindow"; }
    TControlKind Kind() const override { return TControlKind::HintWindow; }

    // Shows text at the rectangle's top-left, sized to fit the text.
    void ActivateHint(const TRect& rect, const std::string& text);
    void ReleaseHint();
};

} // namespace ui
