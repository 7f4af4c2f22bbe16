#include "ui/UnicodeCtrls.h"

#include <algorithm>
#include <charconv>

#include "platform/Text.h"
#include "ui/Forms.h"
#include "ui/UnicodeText.h"

namespace ui {
namespace {

const std::string kEmpty;

// Removes the last character (not the last byte) of a UTF-8 text.
void PopCharacter(std::string& text)
{
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.back());
        text.pop_back();
        if ((byte & 0xC0) != 0x80)
            break;
    }
}

} // namespace

int TItemList::Add(std::string text, void* object)
{
    items_.push_back({std::move(text), object});
    changed_();
    return Count() - 1;
}

void TItemList::Insert(int index, std::string text, void* object)
{
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, {std::move(text), object});
    changed_();
}

void TItemList::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    items_.erase(items_.begin() + index);
    changed_();
}

void TItemList::Clear()
{
    if (items_.empty())
        return;
    items_.clear();
    changed_();
}

const std::string& TItemList::Strings(int index) const
{
    return index >= 0 && index < Count() ? items_[index].text : kEmpty;
}

void* TItemList::Objects(int index) const
{
    return index >= 0 && index < Count() ? items_[index].object : nullptr;
}

void TItemList::SetString(int index, std::string text)
{
    if (index < 0 || index >= Count())
        return;
    items_[index].text = std::move(text);
    changed_();
}

void TItemList::SetObject(int index, void* object)
{
    if (index >= 0 && index < Count())
        items_[index].object = object;
}

int TItemList::IndexOf(std::string_view text) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[i].text == text)
            return i;
    return -1;
}

int TItemList::IndexOfObject(const void* object) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[i].object == object)
            return i;
    return -1;
}

void TItemList::Assign(const std::vector<std::string>& texts)
{
    items_.clear();
    for (const std::string& text : texts)
        items_.push_back({text, nullptr});
    changed_();
}

TUnicodeLabel::TUnicodeLabel(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 65, 13);
}

void TUnicodeLabel::SetTransparent(bool on)
{
    if (transparent_ == on)
        return;
    transparent_ = on;
    Changed(TChange::Style);
}

void TUnicodeLabel::SetAlignment(TAlignment alignment)
{
    if (alignment_ == alignment)
        return;
    alignment_ = alignment;
    Changed(TChange::Style);
}

void TUnicodeLabel::SetLayout(TTextLayout layout)
{
    if (layout_ == layout)
        return;
    layout_ = layout;
    Changed(TChange::Style);
}

void TUnicodeLabel::SetWordWrap(bool on)
{
    if (wordWrap_ == on)
        return;
    wordWrap_ = on;
    Changed(TChange::Style);
}

TFontStyles TUnicodeLabel::DrawnStyle() const
{
    TFontStyles style = Font().Style();
    if (link_ && MouseInside() && !(style & fsItalic))
        style |= fsUnderline;
    return style;
}

std::uint16_t TUnicodeLabel::DoKeyDown(std::uint16_t key, TShiftState shift)
{
    if (!link_)
        return TControl::DoKeyDown(key, shift);
    if (shift != 0 || (key != VK_RETURN_KEY && key != VK_SPACE_KEY))
        return key;
    Click();
    return 0;
}

void TUnicodeLabel::DoMouseEnter()
{
    TControl::DoMouseEnter();
    if (link_)
        Changed(TChange::Font);
}

void TUnicodeLabel::DoMouseLeave()
{
    TControl::DoMouseLeave();
    if (link_)
        Changed(TChange::Font);
}

TUnicodePanel::TUnicodePanel(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 185, 41);
}

void TUnicodePanel::SetAlignment(TAlignment alignment)
{
    if (alignment_ == alignment)
        return;
    alignment_ = alignment;
    Changed(TChange::Style);
}

void TUnicodePanel::SetBevelOuter(TBevelCut bevel)
{
    if (bevel_ == bevel)
        return;
    bevel_ = bevel;
    Changed(TChange::Style);
}

TUnicodeGroupBox::TUnicodeGroupBox(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 185, 105);
}

TCustomListBox::TCustomListBox(TComponent* owner) : TControl(owner), items_([this] { ItemsChanged(); })
{
    SetBounds(0, 0, 121, 97);
    SetColor(clWindow);
}

void TCustomListBox::ItemsChanged()
{
    if (itemIndex_ >= items_.Count())
        itemIndex_ = -1;
    Changed(TChange::Items);
}

void TCustomListBox::SetItemIndex(int index)
{
    if (index < -1 || index >= items_.Count())
        index = -1;
    if (itemIndex_ == index)
        return;
    itemIndex_ = index;
    Changed(TChange::ItemIndex);
}

void TCustomListBox::SetStyle(TListBoxStyle style)
{
    if (style_ == style)
        return;
    style_ = style;
    Changed(TChange::Style);
}

void TCustomListBox::SetItemHeight(int height)
{
    height = std::max(height, 1);
    if (itemHeight_ == height)
        return;
    itemHeight_ = height;
    Changed(TChange::Style);
}

void TCustomListBox::SetTabStops(std::vector<int> stops)
{
    tabStops_ = std::move(stops);
    Changed(TChange::Style);
}

void TCustomListBox::SetTopIndex(int index)
{
    topIndex_ = std::clamp(index, 0, std::max(items_.Count() - 1, 0));
    Changed(TChange::ItemIndex);
}

TRect TCustomListBox::ItemRect(int index) const
{
    const int top = (index - topIndex_) * itemHeight_;
    return {0, top, Width(), top + itemHeight_};
}

void TCustomListBox::SelectItem(int index)
{
    if (!Enabled())
        return;
    SetItemIndex(index);
    Click();
}

std::string TCustomListBox::AccessibleItemName(int index) const
{
    if (OnAccessibleItem)
        return OnAccessibleItem(index);
    std::string text = DecodeEscapes(items_.Strings(index));
    for (std::size_t at = text.find('\t'); at != std::string::npos; at = text.find('\t', at + 2))
        text.replace(at, 1, ", ");
    return text;
}

void TCustomListBox::DrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state)
{
    TCanvas* previous = canvas_;
    canvas_ = &canvas;
    const bool selected = HasState(state, TOwnerDrawState::odSelected);
    canvas.BrushColor = selected ? clHighlight : Color();
    canvas.Font = Font();
    if (selected)
        canvas.Font.SetColor(clHighlightText);
    if (OnDrawItem && style_ == TListBoxStyle::lbOwnerDrawFixed)
        OnDrawItem(this, index, rect, state);
    else
        DrawItemDefault(index, rect, state);
    canvas_ = previous;
}

void TCustomListBox::DrawItemDefault(int index, const TRect& rect, TOwnerDrawState)
{
    canvas_->FillRect(rect);
    canvas_->TextOut(rect.Left + 2, rect.Top + 1, DecodeEscapes(items_.Strings(index)));
}

bool TCheckListBox::Checked(int index) const
{
    return index >= 0 && index < static_cast<int>(checked_.size()) && checked_[index];
}

void TCheckListBox::SetChecked(int index, bool checked)
{
    if (index < 0 || index >= Items().Count())
        return;
    checked_.resize(Items().Count());
    if (checked_[index] == checked)
        return;
    checked_[index] = checked;
    Changed(TChange::Checked);
}

void TCheckListBox::ToggleCheck(int index)
{
    if (!Enabled() || index < 0 || index >= Items().Count())
        return;
    SetChecked(index, !Checked(index));
    if (OnClickCheck)
        OnClickCheck(this);
}

void TCheckListBox::ItemsChanged()
{
    checked_.resize(Items().Count());
    TCustomListBox::ItemsChanged();
}

TCustomEdit::TCustomEdit(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 121, 21);
    SetColor(clWindow);
}

void TCustomEdit::SetText(std::string text)
{
    if (text == Text())
        return;
    SetCaption(std::move(text));
    TextChanged();
}

void TCustomEdit::SetReadOnly(bool on)
{
    if (readOnly_ == on)
        return;
    readOnly_ = on;
    Changed(TChange::Style);
}

char16_t TCustomEdit::FilterKey(char16_t key)
{
    if (OnKeyPress)
        OnKeyPress(this, key);
    return key;
}

bool TCustomEdit::TypeKey(char16_t key)
{
    if (!Enabled())
        return false;
    key = FilterKey(key);
    if (key == 0 || readOnly_)
        return false;
    std::string text = Text();
    if (key == 8) {
        if (text.empty())
            return true;
        PopCharacter(text);
    } else {
        if (key < 0x20)
            return true; // other control characters do not reach the text
        if (maxLength_ > 0 && static_cast<int>(Utf16Length(text)) >= maxLength_)
            return true;
        text += Utf16ToUtf8(std::u16string(1, key));
    }
    SetCaption(std::move(text));
    TextChanged();
    return true;
}

std::uint16_t TCustomEdit::PressKey(std::uint16_t key, TShiftState shift)
{
    if (Enabled() && OnKeyDown)
        OnKeyDown(this, key, shift);
    return key;
}

void TCustomEdit::Exit()
{
    if (OnExit)
        OnExit(this);
}

void TCustomEdit::TextEdited(const std::string& text)
{
    if (text == Text())
        return;
    SetCaption(text);
    TextChanged();
}

void TCustomEdit::TextChanged()
{
    if (OnChange)
        OnChange(this);
}

TSpinEdit::TSpinEdit(TComponent* owner) : TCustomEdit(owner)
{
    SetCaption("0");
}

char16_t TSpinEdit::FilterKey(char16_t key)
{
    key = TCustomEdit::FilterKey(key);
    const bool allowed = key == 8 || key == u'-' || (key >= u'0' && key <= u'9');
    return allowed ? key : 0;
}

void TSpinEdit::SetRange(int minValue, int maxValue)
{
    min_ = std::min(minValue, maxValue);
    max_ = std::max(minValue, maxValue);
    Changed(TChange::Style);
    if (Value() != std::atoi(Text().c_str()))
        SetValue(Value());
}

int TSpinEdit::Value() const
{
    int value = min_;
    const std::string& text = Text();
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc())
        value = min_;
    return std::clamp(value, min_, max_);
}

void TSpinEdit::SetValue(int value)
{
    SetText(std::to_string(std::clamp(value, min_, max_)));
}

TUnicodeComboBox::TUnicodeComboBox(TComponent* owner)
    : TCustomEdit(owner), items_([this] {
          if (itemIndex_ >= items_.Count())
              itemIndex_ = -1;
          Changed(TChange::Items);
      })
{
}

void TUnicodeComboBox::SetItemIndex(int index)
{
    if (index < -1 || index >= items_.Count())
        index = -1;
    itemIndex_ = index;
    Changed(TChange::ItemIndex);
    if (index >= 0 && Text() != items_.Strings(index)) {
        selecting_ = true;
        SetCaption(items_.Strings(index));
        selecting_ = false;
    }
}

void TUnicodeComboBox::SetStyle(TComboBoxStyle style)
{
    if (style_ == style)
        return;
    style_ = style;
    Changed(TChange::Style);
}

void TUnicodeComboBox::SetDroppedDown(bool dropped)
{
    if (droppedDown_ == dropped)
        return;
    droppedDown_ = dropped;
    Changed(TChange::DroppedDown);
}

void TUnicodeComboBox::SelectItem(int index)
{
    if (!Enabled() || index < 0 || index >= items_.Count())
        return;
    SetItemIndex(index);
    if (OnSelect)
        OnSelect(this);
    TCustomEdit::TextChanged();
}

void TUnicodeComboBox::TextChanged()
{
    // Typed text that is not an item leaves no item selected.
    if (!selecting_ && items_.Strings(itemIndex_) != Text())
        itemIndex_ = items_.IndexOf(Text());
    TCustomEdit::TextChanged();
}

TListView::TListView(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 250, 150);
    SetColor(clWindow);
}

int TListView::AddColumn(std::string caption, int width)
{
    columns_.push_back({std::move(caption), width});
    Changed(TChange::Items);
    return static_cast<int>(columns_.size()) - 1;
}

void TListView::SetColumnCaption(int index, std::string caption)
{
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        return;
    columns_[index].Caption = std::move(caption);
    Changed(TChange::Items);
}

void TListView::ClearColumns()
{
    columns_.clear();
    Changed(TChange::Items);
}

int TListView::AddItem(std::string caption, std::vector<std::string> subItems, void* data)
{
    items_.push_back({std::move(caption), std::move(subItems), data});
    Changed(TChange::Items);
    return ItemCount() - 1;
}

void TListView::SetItem(int index, TListItem item)
{
    if (index < 0 || index >= ItemCount())
        return;
    items_[index] = std::move(item);
    Changed(TChange::Items);
}

void TListView::DeleteItem(int index)
{
    if (index < 0 || index >= ItemCount())
        return;
    items_.erase(items_.begin() + index);
    if (itemIndex_ == index)
        itemIndex_ = -1;
    else if (itemIndex_ > index)
        --itemIndex_;
    Changed(TChange::Items);
}

void TListView::ClearItems()
{
    items_.clear();
    itemIndex_ = -1;
    Changed(TChange::Items);
}

void TListView::SetItems(std::vector<TListItem> items)
{
    items_ = std::move(items);
    itemIndex_ = -1;
    Changed(TChange::Items);
}

std::string TListView::CellText(int row, int column) const
{
    if (row < 0 || row >= ItemCount() || column < 0)
        return {};
    const TListItem& item = items_[row];
    if (column == 0)
        return item.Caption;
    return column - 1 < static_cast<int>(item.SubItems.size()) ? item.SubItems[column - 1] : std::string();
}

void TListView::SetItemIndex(int index)
{
    if (index < -1 || index >= ItemCount())
        index = -1;
    if (itemIndex_ == index)
        return;
    itemIndex_ = index;
    Changed(TChange::ItemIndex);
}

void TListView::SetRowSelect(bool on)
{
    if (rowSelect_ == on)
        return;
    rowSelect_ = on;
    Changed(TChange::Style);
}

void TListView::SelectItem(int index)
{
    if (!Enabled())
        return;
    SelectionChanged(index);
    Click();
}

void TListView::SelectionChanged(int index)
{
    if (index < -1 || index >= ItemCount())
        index = -1;
    if (index == itemIndex_)
        return;
    const int previous = itemIndex_;
    itemIndex_ = index;
    Changed(TChange::ItemIndex);
    if (OnSelectItem) {
        if (previous >= 0)
            OnSelectItem(this, previous, false);
        if (index >= 0)
            OnSelectItem(this, index, true);
    }
}

TButtonControl::TButtonControl(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 113, 17);
}

void TButtonControl::SetChecked(bool checked)
{
    if (checked_ == checked)
        return;
    checked_ = checked;
    Changed(TChange::Checked);
    if (checked && IsRadio() && Parent()) {
        // Radio buttons of one container exclude each other.
        for (TControl* sibling : Parent()->Controls()) {
            auto* radio = dynamic_cast<TButtonControl*>(sibling);
            if (radio && radio != this && radio->IsRadio())
                radio->SetChecked(false);
        }
    }
}

void TButtonControl::Click()
{
    if (!Enabled())
        return;
    SetChecked(IsRadio() ? true : !checked_);
    TControl::Click();
}

TPage::TPage(TComponent* owner) : TControl(owner)
{
    SetAlign(TAlign::alClient);
}

TNotebook::TNotebook(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 150, 150);
}

TPage* TNotebook::AddPage(std::string name)
{
    auto* page = new TPage(this);
    page->SetCaption(std::move(name));
    page->SetColor(Color());
    page->SetVisible(pages_.empty());
    page->SetParent(this);
    pages_.push_back(page);
    if (pageIndex_ < 0)
        pageIndex_ = 0;
    Changed(TChange::Items);
    return page;
}

TPage* TNotebook::Page(int index) const
{
    return index >= 0 && index < PageCount() ? pages_[index] : nullptr;
}

void TNotebook::SetPageIndex(int index)
{
    if (index < 0 || index >= PageCount() || index == pageIndex_)
        return;
    pageIndex_ = index;
    for (int i = 0; i < PageCount(); ++i)
        pages_[i]->SetVisible(i == index);
    Changed(TChange::ItemIndex);
}

const std::string& TNotebook::ActivePage() const
{
    return pageIndex_ >= 0 ? pages_[pageIndex_]->Caption() : kEmpty;
}

void TNotebook::SetActivePage(std::string_view name)
{
    for (int i = 0; i < PageCount(); ++i)
        if (platform::SameText(pages_[i]->Caption(), name)) {
            SetPageIndex(i);
            return;
        }
}

TUnicodeTabSet::TUnicodeTabSet(TComponent* owner)
    : TControl(owner), tabs_([this] {
          if (tabIndex_ >= tabs_.Count())
              tabIndex_ = tabs_.Count() - 1;
          if (tabIndex_ < 0 && tabs_.Count() > 0)
              tabIndex_ = 0;
          Changed(TChange::Items);
      })
{
    SetBounds(0, 0, 185, 21);
}

void TUnicodeTabSet::SetTabIndex(int index)
{
    if (index < -1 || index >= tabs_.Count() || index == tabIndex_)
        return;
    tabIndex_ = index;
    Changed(TChange::ItemIndex);
}

void TUnicodeTabSet::SetSelectedColor(TColor color)
{
    selectedColor_ = color;
    Invalidate();
}

void TUnicodeTabSet::SetUnselectedColor(TColor color)
{
    unselectedColor_ = color;
    Invalidate();
}

std::vector<TRect> TUnicodeTabSet::TabRects()
{
    std::vector<int> widths;
    int total = 0;
    for (int i = 0; i < tabs_.Count(); ++i) {
        const std::string text = StripAccelerators(DecodeEscapes(tabs_.Strings(i)));
        widths.push_back(CurrentBackend().TextExtent(Font(), text).X + 16);
        total += widths.back();
    }
    // Tabs that do not all fit share the width, so none is cut off where it cannot be clicked.
    const int room = Width() - 8;
    if (room > 0 && total > room)
        for (int& width : widths)
            width = width * room / total;
    std::vector<TRect> rects;
    int x = 4;
    for (const int width : widths) {
        rects.push_back({x, 0, x + width, Height()});
        x += width;
    }
    return rects;
}

void TUnicodeTabSet::SelectTab(int index)
{
    if (!Enabled() || index < 0 || index >= tabs_.Count())
        return;
    if (index != tabIndex_) {
        bool allow = true;
        if (OnChange)
            OnChange(this, index, allow);
        if (!allow)
            return;
        SetTabIndex(index);
    }
    Click();
}

std::string TListView::AccessibleName() const
{
    const std::string name = TControl::AccessibleName();
    if (!name.empty())
        return name;
    std::string columns;
    for (const TListColumn& column : columns_)
        if (!column.Caption.empty())
            columns += (columns.empty() ? "" : ", ") + DecodeEscapes(column.Caption);
    return columns;
}

std::uint16_t TUnicodeTabSet::DoKeyDown(std::uint16_t key, TShiftState shift)
{
    const int last = tabs_.Count() - 1;
    if (shift != 0 || last < 0)
        return key;
    switch (key) {
    case VK_LEFT_KEY:
    case VK_UP_KEY:
        SelectTab(tabIndex_ <= 0 ? last : tabIndex_ - 1);
        return 0;
    case VK_RIGHT_KEY:
    case VK_DOWN_KEY:
        SelectTab(tabIndex_ >= last ? 0 : tabIndex_ + 1);
        return 0;
    case VK_HOME_KEY:
        SelectTab(0);
        return 0;
    case VK_END_KEY:
        SelectTab(last);
        return 0;
    default:
        return key;
    }
}

std::string TUnicodeTabSet::AccessibleName() const
{
    std::string name = TControl::AccessibleName();
    if (name.empty())
        if (const TForm* form = ParentForm())
            name = form->AccessibleName();
    return name;
}

TImage::TImage(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 105, 105);
}

void TImage::SetPicture(TBitmap picture)
{
    picture_ = std::move(picture);
    Changed(TChange::Picture);
}

void TImage::SetStretch(bool on)
{
    stretch_ = on;
    Changed(TChange::Picture);
}

void TImage::SetCenter(bool on)
{
    center_ = on;
    Changed(TChange::Picture);
}

TSpeedButton::TSpeedButton(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 23, 22);
}

void TSpeedButton::SetFlat(bool on)
{
    flat_ = on;
    Changed(TChange::Style);
}

void TSpeedButton::SetDown(bool down)
{
    if (down_ == down)
        return;
    down_ = down;
    Changed(TChange::Checked);
    if (down && groupIndex_ > 0 && Parent())
        for (TControl* sibling : Parent()->Controls()) {
            auto* button = dynamic_cast<TSpeedButton*>(sibling);
            if (button && button != this && button->groupIndex_ == groupIndex_)
                button->SetDown(false);
        }
}

void TSpeedButton::SetGlyph(TBitmap glyph)
{
    glyph_ = std::move(glyph);
    Changed(TChange::Picture);
}

void TSpeedButton::Click()
{
    if (!Enabled())
        return;
    if (groupIndex_ > 0)
        SetDown(true);
    TControl::Click();
}

THeaderControl::THeaderControl(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 250, 17);
}

int THeaderControl::AddSection(std::string text, int width)
{
    sections_.push_back({std::move(text), width});
    Changed(TChange::Items);
    return static_cast<int>(sections_.size()) - 1;
}

void THeaderControl::SetSectionText(int index, std::string text)
{
    if (index < 0 || index >= static_cast<int>(sections_.size()))
        return;
    sections_[index].Text = std::move(text);
    Changed(TChange::Items);
}

void THeaderControl::SetSectionWidth(int index, int width)
{
    if (index < 0 || index >= static_cast<int>(sections_.size()))
        return;
    sections_[index].Width = std::max(width, 0);
    Changed(TChange::Items);
}

int THeaderControl::SectionAt(int x) const
{
    int left = 0;
    for (int i = 0; i < static_cast<int>(sections_.size()); ++i) {
        if (x >= left && x < left + sections_[i].Width)
            return i;
        left += sections_[i].Width;
    }
    return -1;
}

void THeaderControl::ClickSection(int index)
{
    if (Enabled() && index >= 0 && index < static_cast<int>(sections_.size()) && OnSectionClick)
        OnSectionClick(this, index);
}

TUnicodeHintWindow::TUnicodeHintWindow(TComponent* owner) : TControl(owner)
{
    SetVisible(false);
    SetColor(clInfoBk);
    Font().SetColor(clInfoText);
}

void TUnicodeHintWindow::ActivateHint(const TRect& rect, const std::string& text)
{
    SetCaption(text);
    const TPoint extent = CurrentBackend().TextExtent(Font(), DisplayCaption());
    SetBounds(rect.Left, rect.Top, extent.X + 8, extent.Y + 4);
    HandleNeeded();
    SetVisible(true);
}

void TUnicodeHintWindow::ReleaseHint()
{
    SetVisible(false);
}

} // namespace ui
