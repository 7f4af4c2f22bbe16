#include "ui/Component.h"

#include <algorithm>

#include "platform/MainLoop.h"
#include "platform/Text.h"
#include "ui/Dpi.h"
#include "ui/Forms.h"
#include "ui/UnicodeText.h"

namespace ui {
TComponent::TComponent(TComponent* owner) : owner_(owner)
{
    if (owner_)
        owner_->components_.push_back(this);
}

TComponent::~TComponent()
{
    DestroyComponents();
    if (owner_) {
        auto& list = owner_->components_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void TComponent::DestroyComponents()
{
    // Each component removes itself from the list as it goes.
    while (!components_.empty())
        delete components_.back();
}

TComponent* TComponent::FindComponent(std::string_view name) const
{
    if (name.empty())
        return nullptr;
    for (TComponent* component : components_)
        if (platform::SameText(component->Name(), name))
            return component;
    return nullptr;
}

TFont& TFont::operator=(const TFont& other)
{
    name_ = other.name_;
    size_ = other.size_;
    style_ = other.style_;
    color_ = other.color_;
    Notify();
    return *this;
}

void TFont::SetName(std::string name)
{
    if (name_ == name)
        return;
    name_ = std::move(name);
    Notify();
}

void TFont::SetSize(int size)
{
    if (size_ == size)
        return;
    size_ = size;
    Notify();
}

void TFont::SetStyle(TFontStyles style)
{
    if (style_ == style)
        return;
    style_ = style;
    Notify();
}

void TFont::SetColor(TColor color)
{
    if (color_ == color)
        return;
    color_ = color;
    Notify();
}

void TFont::Notify()
{
    if (owner_)
        owner_->FontChanged();
}

TControl::TControl(TComponent* owner) : TComponent(owner)
{
}

TControl::~TControl()
{
    // Owned components go first, while this control's native window still exists.
    DestroyComponents();
    for (TControl* child : std::vector<TControl*>(children_)) {
        child->ReleasePeerTree();
        child->parent_ = nullptr;
    }
    children_.clear();
    peer_.reset();
    if (parent_) {
        auto& list = parent_->children_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        parent_->Realign();
    }
}

void TControl::SetParent(TControl* parent)
{
    if (parent == parent_ || parent == this)
        return;
    if (parent && !parent->AcceptsChildren())
        return;
    ReleasePeerTree();
    if (parent_) {
        auto& list = parent_->children_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        parent_->Realign();
    }
    parent_ = parent;
    if (parent_) {
        parent_->children_.push_back(this);
        parent_->Realign();
        if (parent_->HandleAllocated())
            HandleNeeded();
    }
}

TForm* TControl::ParentForm() const
{
    const TControl* control = this;
    while (control->parent_)
        control = control->parent_;
    return dynamic_cast<TForm*>(const_cast<TControl*>(control));
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    const bool resized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Changed(TChange::Bounds);
    if (resized)
        Realign();
    if (parent_ && align_ != TAlign::alNone)
        parent_->Realign();
}

void TControl::SetAlign(TAlign align)
{
    if (align_ == align)
        return;
    align_ = align;
    if (parent_)
        parent_->Realign();
}

// Docks aligned children the usual way: top, bottom, left, right, then the client area.
void TControl::Realign()
{
    if (realigning_)
        return;
    realigning_ = true;
    TRect area = ClientRect();
    for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
        for (TControl* child : children_) {
            if (child->align_ != pass || !child->visible_)
                continue;
            switch (pass) {
            case TAlign::alTop:
                child->SetBounds(area.Left, area.Top, area.Width(), child->height_);
                area.Top += child->height_;
                break;
            case TAlign::alBottom:
                child->SetBounds(area.Left, area.Bottom - child->height_, area.Width(), child->height_);
                area.Bottom -= child->height_;
                break;
            case TAlign::alLeft:
                child->SetBounds(area.Left, area.Top, child->width_, area.Height());
                area.Left += child->width_;
                break;
            case TAlign::alRight:
                child->SetBounds(area.Right - child->width_, area.Top, child->width_, area.Height());
                area.Right -= child->width_;
                break;
            default:
                child->SetBounds(area.Left, area.Top, area.Width(), area.Height());
                break;
            }
        }
    }
    realigning_ = false;
}

void TControl::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    Changed(TChange::Visible);
    if (parent_ && align_ != TAlign::alNone)
        parent_->Realign();
}

bool TControl::Showing() const
{
    if (!visible_)
        return false;
    if (parent_)
        return parent_->Showing();
    return HandleAllocated();
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    Changed(TChange::Enabled);
}

void TControl::SetCaption(std::string caption)
{
    if (caption_ == caption)
        return;
    caption_ = std::move(caption);
    Changed(TChange::Caption);
}

std::string TControl::DisplayCaption() const
{
    return DecodeEscapes(caption_);
}

void TControl::SetHint(std::string hint)
{
    if (hint_ == hint)
        return;
    hint_ = std::move(hint);
    Changed(TChange::Hint);
}

void TControl::SetColor(TColor color)
{
    if (color_ == color)
        return;
    color_ = color;
    Changed(TChange::Color);
}

void TControl::SetCursor(TCursor cursor)
{
    if (cursor_ == cursor)
        return;
    cursor_ = cursor;
    Changed(TChange::Cursor);
}

void TControl::Click()
{
    if (!enabled_)
        return;
    if (OnClick)
        OnClick(this);
}

bool TControl::Clickable() const
{
    switch (Kind()) {
    case TControlKind::SpeedButton:
        return true;
    case TControlKind::Panel:
    case TControlKind::Label:
    case TControlKind::Image:
        return static_cast<bool>(OnClick);
    default:
        return false;
    }
}

std::uint16_t TControl::DoKeyDown(std::uint16_t key, TShiftState shift)
{
    if (!Clickable() || shift != 0 || (key != VK_RETURN_KEY && key != VK_SPACE_KEY))
        return key;
    Click();
    return 0;
}

namespace {

// Controls whose caption is their content, not their name.
bool NamedByLabel(TControlKind kind)
{
    switch (kind) {
    case TControlKind::Edit:
    case TControlKind::SpinEdit:
    case TControlKind::ComboBox:
    case TControlKind::ListBox:
    case TControlKind::CheckListBox:
    case TControlKind::ListView:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string TControl::AccessibleName() const
{
    if (!accessibleName_.empty())
        return DecodeEscapes(accessibleName_);
    std::string name;
    if (NamedByLabel(Kind())) {
        // As the window system names an edit: by the label made just before it, unless another
        // field came between them.
        if (parent_)
            for (const TControl* sibling : parent_->Controls()) {
                if (sibling == this)
                    break;
                if (sibling->Kind() == TControlKind::Label && sibling->Visible())
                    name = sibling->AccessibleName();
                else if (sibling->TabStop())
                    name.clear();
            }
    } else {
        name = StripAccelerators(DisplayCaption());
    }
    if (name.empty())
        name = DecodeEscapes(hint_);
    if (name.empty() && AcceptsChildren())
        for (const TControl* child : children_)
            if (child->Visible() && !(name = child->AccessibleName()).empty())
                break;
    // Captions padded with blanks for their look are read without them.
    const auto first = name.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : name.substr(first, name.find_last_not_of(' ') - first + 1);
}

TAccessibleRole TControl::AccessibleRole() const
{
    if (accessibleRole_)
        return *accessibleRole_;
    const bool clickable = Clickable();
    switch (Kind()) {
    case TControlKind::Form:
        return TAccessibleRole::Client;
    case TControlKind::Panel:
        return clickable ? TAccessibleRole::PushButton
                         : (caption_.empty() ? TAccessibleRole::Pane : TAccessibleRole::StaticText);
    case TControlKind::Label:
        return clickable ? TAccessibleRole::PushButton : TAccessibleRole::StaticText;
    case TControlKind::ListBox:
    case TControlKind::CheckListBox:
    case TControlKind::ListView:
        return TAccessibleRole::List;
    case TControlKind::ComboBox:
        return TAccessibleRole::ComboBox;
    case TControlKind::Edit:
    case TControlKind::SpinEdit:
        return TAccessibleRole::Text;
    case TControlKind::GroupBox:
        return TAccessibleRole::Grouping;
    case TControlKind::CheckBox:
        return TAccessibleRole::CheckButton;
    case TControlKind::RadioButton:
        return TAccessibleRole::RadioButton;
    case TControlKind::Notebook:
        return TAccessibleRole::Pane;
    case TControlKind::Page:
        return TAccessibleRole::PropertyPage;
    case TControlKind::TabSet:
        return TAccessibleRole::PageTabList;
    case TControlKind::Image:
        return clickable ? TAccessibleRole::PushButton : TAccessibleRole::Graphic;
    case TControlKind::SpeedButton:
        return TAccessibleRole::PushButton;
    case TControlKind::HeaderControl:
        return TAccessibleRole::ColumnHeader;
    case TControlKind::HintWindow:
        return TAccessibleRole::ToolTip;
    }
    return TAccessibleRole::Pane;
}

void TControl::DblClick()
{
    if (enabled_ && OnDblClick)
        OnDblClick(this);
}

void TControl::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (!enabled_)
        return;
    if (button == TMouseButton::mbLeft) {
        pressed_ = true;
        TForm* form = ParentForm();
        if (dragsForm_ && form) {
            dragging_ = true;
            const TPoint cursor = CurrentBackend().CursorPos();
            dragOffset_ = {cursor.X - form->Left(), cursor.Y - form->Top()};
        }
    }
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TControl::DoMouseMove(TShiftState shift, int x, int y)
{
    if (dragging_) {
        if (TForm* form = ParentForm()) {
            const TPoint cursor = CurrentBackend().CursorPos();
            form->SetBounds(cursor.X - dragOffset_.X, cursor.Y - dragOffset_.Y, form->Width(),
                            form->Height());
            platform::ProcessMessages(0); // lets the windows repaint while dragging
        }
    }
    if (enabled_ && OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TControl::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    const bool wasPressed = pressed_ && button == TMouseButton::mbLeft;
    if (button == TMouseButton::mbLeft) {
        pressed_ = false;
        dragging_ = false;
    }
    if (!enabled_)
        return;
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
    if (wasPressed && ClientRect().Contains({x, y}))
        Click();
}

void TControl::DoMouseEnter()
{
    mouseInside_ = true;
    if (showHint_ && !hint_.empty())
        Application->ShowHintFor(this);
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TControl::DoMouseLeave()
{
    mouseInside_ = false;
    if (showHint_)
        Application->CancelHint(this);
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TControl::SetFocus()
{
    if (peer_)
        peer_->SetFocus();
}

bool TControl::Focused() const
{
    return peer_ && peer_->Focused();
}

void TControl::Invalidate()
{
    if (peer_)
        peer_->Invalidate();
}

void TControl::Repaint()
{
    if (peer_)
        peer_->Repaint();
}

TPoint TControl::ClientToScreen(TPoint point) const
{
    const TControl* control = this;
    for (; control->parent_; control = control->parent_) {
        point.X += control->left_;
        point.Y += control->top_;
    }
    const int dpi = control->Dpi();
    return {control->left_ + ScaleToDpi(point.X, dpi), control->top_ + ScaleToDpi(point.Y, dpi)};
}

int TControl::Dpi() const
{
    const TControl* root = this;
    while (root->parent_)
        root = root->parent_;
    return root->monitorDpi_ > 0 ? root->monitorDpi_ : CurrentBackend().ScreenDpi({root->left_, root->top_});
}

TRect TControl::NativeBounds() const
{
    const int dpi = Dpi();
    if (!parent_)
        return {left_, top_, left_ + ScaleToDpi(width_, dpi), top_ + ScaleToDpi(height_, dpi)};
    return ScaleRectToDpi(BoundsRect(), dpi);
}

void TControl::HandleNeeded()
{
    if (!peer_)
        peer_ = CurrentBackend().CreatePeer(*this);
    for (TControl* child : children_)
        child->HandleNeeded();
}

void TControl::ReleasePeerTree()
{
    for (TControl* child : children_)
        child->ReleasePeerTree();
    peer_.reset();
}

void TControl::Changed(TChange what)
{
    if (peer_)
        peer_->Changed(what);
}

} // namespace ui
