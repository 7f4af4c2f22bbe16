#pragma once
// The component model: TComponent (ownership, names, tags) and TControl (placement, look,
// mouse). All of it lives on the main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Backend.h"
#include "ui/Types.h"

namespace ui {

class TForm;

// Owns the components created with it as owner and destroys them, last created first.
class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    virtual const char* ClassName() const { return "TComponent"; }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    // Forms keep a colour role here.
    std::intptr_t Tag() const { return tag_; }
    void SetTag(std::intptr_t tag) { tag_ = tag; }

    TComponent* Owner() const { return owner_; }
    // In creation order.
    const std::vector<TComponent*>& Components() const { return components_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    // Case-insensitive, as component names are looked up by message keys.
    TComponent* FindComponent(std::string_view name) const;
    template <class T> T* Find(std::string_view name) const { return dynamic_cast<T*>(FindComponent(name)); }

protected:
    void DestroyComponents();

private:
    std::string name_;
    std::intptr_t tag_ = 0;
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
};

class TControl;

class TFont {
public:
    TFont() = default;
    explicit TFont(TControl* owner) : owner_(owner) {}
    TFont(const TFont& other)
        : name_(other.name_), size_(other.size_), style_(other.style_), color_(other.color_)
    {
    }
    TFont& operator=(const TFont& other);

    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    // Points.
    int Size() const { return size_; }
    void SetSize(int size);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    bool Bold() const { return (style_ & fsBold) != 0; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    // Pixels at 96 dots per inch, or at dpi.
    int PixelHeight() const { return PixelHeightAt(96); }
    int PixelHeightAt(int dpi) const { return (size_ * dpi + 36) / 72; }

private:
    void Notify();

    TControl* owner_ = nullptr;
    std::string name_ = "Tahoma";
    int size_ = 8;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
};

// What the back ends switch on to build their native counterpart.
enum class TControlKind {
    Form,
    Panel,
    Label,
    ListBox,
    CheckListBox,
    ComboBox,
    Edit,
    SpinEdit,
    ListView,
    GroupBox,
    CheckBox,
    RadioButton,
    Notebook,
    Page,
    TabSet,
    Image,
    SpeedButton,
    HeaderControl,
    HintWindow,
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    const char* ClassName() const override { return "TControl"; }
    virtual TControlKind Kind() const = 0;
    // Containers take children (forms, panels, group boxes, notebook pages).
    virtual bool AcceptsChildren() const { return false; }

    TControl* Parent() const { return parent_; }
    void SetParent(TControl* parent);
    const std::vector<TControl*>& Controls() const { return children_; }
    TForm* ParentForm() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
    void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    TRect ClientRect() const { return {0, 0, width_, height_}; }
    // Bounds are design pixels (96 dpi), but a top-level window's Left and Top are real screen
    // pixels. Dpi is that of the top-level window's monitor.
    int Dpi() const;
    // Back ends only: the monitor of this top-level window, once its window knows it.
    void SetMonitorDpi(int dpi) { monitorDpi_ = dpi; }
    // Where the window system puts this control: in its parent at the monitor's dpi, or on the
    // screen for a top-level window (its client area).
    TRect NativeBounds() const;
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible itself and every container up to a form that is shown.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    // The caption as the control displays it: \uXXXX escapes turned into characters.
    std::string DisplayCaption() const;
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show) { showHint_ = show; }

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);
    // Pressing the left button here drags the whole form (caption strips of borderless forms).
    bool DragsForm() const { return dragsForm_; }
    void SetDragsForm(bool drags) { dragsForm_ = drags; }
    // A drag whose button release went elsewhere (the form was hidden meanwhile) ends here.
    bool Dragging() const { return dragging_; }
    void CancelDrag() { dragging_ = false; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    // Input, from a back end or from a test; disabled controls ignore it.
    virtual void Click();
    void DblClick();
    void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void DoMouseMove(TShiftState shift, int x, int y);
    void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();
    bool MouseInside() const { return mouseInside_; }

    void SetFocus();
    bool Focused() const;
    // Tab and Shift+Tab move the keyboard between the showing, enabled tab stops of a form, in
    // reading order: a clickable control is one.
    virtual bool TabStop() const { return tabStop_.value_or(Clickable() && Kind() != TControlKind::Image); }
    void SetTabStop(bool on) { tabStop_ = on; }
    // A control drawn by the toolkit that runs a command when clicked (a panel drawn as a
    // button, a label opening a menu, a picture); Enter and Space click it when it has the
    // keyboard. Clickable pictures are tab stops only when set so: most are caption glyphs whose
    // command has a key of its own (Esc, Alt+F4).
    bool Clickable() const;
    // A key pressed while this control has the keyboard; returns what is left of it (0: used).
    virtual std::uint16_t DoKeyDown(std::uint16_t key, TShiftState shift);

    // What a screen reader says of the control. The name is the one set, else what the control
    // shows: its caption or hint; an edit or list is named by the label before it, a container
    // without text by the first name inside it.
    virtual std::string AccessibleName() const;
    void SetAccessibleName(std::string name) { accessibleName_ = std::move(name); }
    virtual TAccessibleRole AccessibleRole() const;
    void SetAccessibleRole(TAccessibleRole role) { accessibleRole_ = role; }
    void Invalidate();
    void Repaint();
    TPoint ClientToScreen(TPoint point) const;

    IControlPeer* Peer() const { return peer_.get(); }
    // Creates the native counterpart of this control and its children (done when a form shows).
    void HandleNeeded();
    bool HandleAllocated() const { return peer_ != nullptr; }

    // Called by the child list when layout of aligned children must be redone.
    void Realign();

protected:
    void Changed(TChange what);
    void ReleasePeerTree();
    virtual void FontChanged() { Changed(TChange::Font); }

private:
    friend class TFont;

    TControl* parent_ = nullptr;
    std::vector<TControl*> children_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    int monitorDpi_ = 0;
    TAlign align_ = TAlign::alNone;
    bool visible_ = true;
    bool enabled_ = true;
    bool showHint_ = false;
    bool dragsForm_ = false;
    bool mouseInside_ = false;
    bool pressed_ = false;
    bool dragging_ = false;
    TPoint dragOffset_;
    bool realigning_ = false;
    std::string caption_;
    std::string hint_;
    std::string accessibleName_;
    std::optional<TAccessibleRole> accessibleRole_;
    std::optional<bool> tabStop_;
    TColor color_ = clBtnFace;
    TFont font_{this};
    TCursor cursor_ = TCursor::crDefault;
    std::unique_ptr<IControlPeer> peer_;
};

} // namespace ui
