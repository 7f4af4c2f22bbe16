#include "ui/win32/Win32Peers.h"

#include "ui/win32/Win32Internal.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/Dpi.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/UnicodeCtrls.h"
#include "ui/UnicodeText.h"
#include "ui/win32/Win32Backend.h"

namespace ui::win32 {
namespace {

class Peer;
int gNextControlId = 1000;

Peer* PeerOf(HWND window)
{
    return window ? static_cast<Peer*>(GetPropW(window, kPeerProperty)) : nullptr;
}

TShiftState KeyShift()
{
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0)
        shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    return shift;
}

TShiftState MouseShift(WPARAM wParam)
{
    TShiftState shift = KeyShift();
    if (wParam & MK_LBUTTON)
        shift |= ssLeft;
    if (wParam & MK_RBUTTON)
        shift |= ssRight;
    if (wParam & MK_MBUTTON)
        shift |= ssMiddle;
    return shift;
}

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The colour a transparent control shows: that of the nearest container.
TColor BackgroundOf(const TControl& control)
{
    const TControl* parent = control.Parent();
    return parent ? parent->Color() : control.Color();
}

// Forms: the model's size is the client area, so aligned children fit whatever frame and menu
// bar the window has around it.
RECT OuterRect(const TControl& control, DWORD style, DWORD exStyle, bool menu)
{
    const TRect client = control.NativeBounds();
    RECT rect{client.Left, client.Top, client.Right, client.Bottom};
    AdjustWindowRectForDpi(&rect, style, menu, exStyle, control.Dpi());
    // Keep the window's top-left where the model puts it.
    OffsetRect(&rect, client.Left - rect.left, client.Top - rect.top);
    return rect;
}

int ScaleFor(const TControl& control, int value)
{
    return ScaleToDpi(value, control.Dpi());
}

// A combo box's window includes its dropped-down list.
constexpr int kDropDownHeight = 200;

class Peer : public IControlPeer {
public:
    // Under Wine every window is several round trips to the wine server, so a control gets its
    // window only when it is first shown (or asked for its handle); until then the model alone
    // holds its state, and Create applies all of it.
    explicit Peer(TControl& control) : control_(control)
    {
        if (WindowWanted())
            Create();
    }
    ~Peer() override { Destroy(); }

    void Changed(TChange what) override;
    void Invalidate() override
    {
        if (hwnd_)
            InvalidateRect(hwnd_, nullptr, TRUE);
    }
    void Repaint() override
    {
        if (!hwnd_)
            return;
        InvalidateRect(hwnd_, nullptr, TRUE);
        UpdateWindow(hwnd_);
    }
    void SetFocus() override
    {
        if (hwnd_)
            ::SetFocus(edit_ ? edit_ : hwnd_);
    }
    bool Focused() const override
    {
        HWND focus = GetFocus();
        return hwnd_ && focus && (focus == hwnd_ || focus == edit_);
    }

    HWND Handle() const { return hwnd_; }
    // The window, created now if the control has none yet (a hidden control gets a hidden one).
    HWND HandleNeeded()
    {
        if (!hwnd_)
            Create();
        return hwnd_;
    }
    TControl& Control() { return control_; }

    LRESULT CustomMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT NativeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ColorMessage(HDC dc);
    // The window moved to a monitor of another dpi: the suggested rectangle places it, and
    // every control inside is laid out and lettered again.
    void DpiChanged(int dpi, const RECT& suggested);
    // A key for the model: the form's preview, Tab, then the control; returns what is left.
    std::uint16_t DeliverKey(UINT message, WPARAM wParam, LPARAM lParam);
    void RescaleChildren();
    void Command(WORD code);
    LRESULT Notify(NMHDR* header);
    void WindowGone(HWND window);

private:
    bool IsNative() const;
    bool WindowWanted() const;
    void Create();
    void CreateShownChildren();
    void KeepSiblingOrder();
    void Destroy();
    DWORD FormStyle() const;
    DWORD FormExStyle() const;
    void ApplyAlpha();
    void ApplyFont();
    void ApplyBounds();
    void ApplyVisible();
    void ApplyEnabled();
    void ApplyText();
    void FillItems();
    void ApplyItemIndex();
    void ApplyMenuBar();
    void Paint(HDC dc);
    void PaintCaption(HDC dc, RECT area, UINT flags, TFontStyles style);
    bool HandleMouse(UINT message, WPARAM wParam, LPARAM lParam);
    // Lists are painted here, each line by the model: no native list box, so the main window
    // needs nothing of the common controls library.
    TCustomListBox* List() { return dynamic_cast<TCustomListBox*>(&control_); }
    int RowHeight() const;
    int FullRows() const;
    int RowAt(int y) const;
    void ApplyScroll();
    void ScrollList(int top);
    void ShowRow(int index);
    void PaintList(HDC dc, const RECT& client);
    void PaintRow(HDC dc, const RECT& row, int index, unsigned state);
    bool ListMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool ListKey(WPARAM key);

    TControl& control_;
    HWND hwnd_ = nullptr;
    HWND edit_ = nullptr;     // a combo box's edit field
    int shownSelection_ = -1; // a list's selection as last applied: a new one is scrolled to
    int wheelDelta_ = 0;      // what the wheel turned that is not a whole line yet
    WNDPROC nativeProc_ = nullptr;
    WNDPROC editProc_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH brush_ = nullptr;
    HMENU menuBar_ = nullptr;
    bool updating_ = false;
    bool tracking_ = false;
};

bool Peer::IsNative() const
{
    switch (control_.Kind()) {
    case TControlKind::ComboBox:
    case TControlKind::Edit:
    case TControlKind::SpinEdit:
    case TControlKind::ListView:
    case TControlKind::CheckBox:
    case TControlKind::RadioButton:
        return true;
    default:
        return false;
    }
}

bool Peer::WindowWanted() const
{
    const TControlKind kind = control_.Kind();
    if (kind == TControlKind::Form || kind == TControlKind::HintWindow)
        return true;
    if (!control_.Visible() || !control_.Parent())
        return false;
    auto* parent = dynamic_cast<Peer*>(control_.Parent()->Peer());
    return parent && parent->hwnd_;
}

// Children that are visible get their windows with their container's; hidden ones wait.
void Peer::CreateShownChildren()
{
    for (TControl* child : control_.Controls())
        if (auto* peer = dynamic_cast<Peer*>(child->Peer()); peer && !peer->hwnd_ && child->Visible())
            peer->Create();
}

// A new child window goes below its existing siblings; one created late is put back where its
// place in the model's list of children puts it, so overlapping siblings keep their stacking.
void Peer::KeepSiblingOrder()
{
    const auto& siblings = control_.Parent()->Controls();
    const auto self = std::find(siblings.begin(), siblings.end(), &control_);
    const auto hasWindow = [](TControl* sibling) {
        auto* peer = dynamic_cast<Peer*>(sibling->Peer());
        return peer && peer->hwnd_;
    };
    if (self == siblings.end() || std::none_of(self + 1, siblings.end(), hasWindow))
        return;
    HWND after = HWND_TOP;
    for (auto it = siblings.begin(); it != self; ++it)
        if (hasWindow(*it))
            after = static_cast<Peer*>((*it)->Peer())->hwnd_;
    SetWindowPos(hwnd_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

DWORD Peer::FormStyle() const
{
    const auto& form = static_cast<const TForm&>(control_);
    DWORD style = WS_POPUP | WS_CLIPCHILDREN;
    switch (form.BorderStyle()) {
    case TFormBorderStyle::bsNone:
        break;
    case TFormBorderStyle::bsSizeable:
        style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
        break;
    default:
        style |= WS_CAPTION | WS_SYSMENU;
        break;
    }
    return style;
}

DWORD Peer::FormExStyle() const
{
    const auto& form = static_cast<const TForm&>(control_);
    DWORD style = 0;
    if (form.FormStyle() == TFormStyle::fsStayOnTop)
        style |= WS_EX_TOPMOST;
    if (form.AlphaBlend())
        style |= WS_EX_LAYERED;
    if (Application->MainForm() == &form)
        style |= Application->TaskbarButtonVisible() ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
    else if (!dynamic_cast<TForm*>(form.Owner()))
        style |= WS_EX_TOOLWINDOW; // pop-ups without an owner keep off the taskbar
    return style;
}

void Peer::Create()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const TControlKind kind = control_.Kind();
    HWND parent = nullptr;
    if (control_.Parent())
        if (auto* peer = dynamic_cast<Peer*>(control_.Parent()->Peer()))
            parent = peer->HandleNeeded();
    if (hwnd_)
        return; // the parent, created just now, has created this window with its own
    const std::wstring caption = Wide(control_.DisplayCaption());
    const int id = gNextControlId++;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const wchar_t* className = kControlClass;
    std::wstring text = caption; // custom controls carry their caption as window text too

    switch (kind) {
    case TControlKind::Form: {
        className = kFormClass;
        style = FormStyle();
        exStyle = FormExStyle();
        auto* owner = dynamic_cast<TForm*>(control_.Owner());
        parent = owner ? static_cast<HWND>(HandleOf(*owner)) : nullptr;
        text = caption;
        break;
    }
    case TControlKind::HintWindow:
        style = WS_POPUP | WS_BORDER;
        exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
        parent = nullptr;
        break;
    case TControlKind::Panel:
    case TControlKind::GroupBox:
    case TControlKind::Notebook:
    case TControlKind::Page:
        style |= WS_CLIPCHILDREN;
        break;
    case TControlKind::ListBox:
    case TControlKind::CheckListBox:
        style |= WS_VSCROLL | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
        text.clear();
        break;
    case TControlKind::ComboBox: {
        className = L"COMBOBOX";
        auto& combo = static_cast<TUnicodeComboBox&>(control_);
        style |= WS_VSCROLL | WS_TABSTOP | CBS_AUTOHSCROLL |
                 (combo.Style() == TComboBoxStyle::csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
        text.clear();
        break;
    }
    case TControlKind::Edit:
    case TControlKind::SpinEdit:
        className = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        if (static_cast<TCustomEdit&>(control_).ReadOnly())
            style |= ES_READONLY;
        exStyle = WS_EX_CLIENTEDGE;
        text = Wide(static_cast<TCustomEdit&>(control_).Text());
        break;
    case TControlKind::ListView:
        className = WC_LISTVIEWW;
        style |= WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL;
        exStyle = WS_EX_CLIENTEDGE;
        text.clear();
        break;
    case TControlKind::CheckBox:
        className = L"BUTTON";
        style |= WS_TABSTOP | BS_CHECKBOX;
        text = caption;
        break;
    case TControlKind::RadioButton:
        className = L"BUTTON";
        style |= WS_TABSTOP | BS_RADIOBUTTON;
        text = caption;
        break;
    default:
        break;
    }
    if (kind != TControlKind::Form && kind != TControlKind::HintWindow && !parent) {
        // A control outside any shown container waits for its parent to get a window.
        return;
    }
    const int assumedDpi = control_.Dpi();
    RECT place = OuterRect(control_, style, exStyle, false);
    if (kind != TControlKind::Form) {
        const TRect bounds = control_.NativeBounds();
        place = {bounds.Left, bounds.Top, bounds.Right, bounds.Bottom};
        if (kind == TControlKind::ComboBox)
            place.bottom += ScaleFor(control_, kDropDownHeight);
    }
    // A shown child is made visible by its creation: one call to the window server fewer per
    // control, and nothing is painted before the message loop runs again.
    const bool createdVisible = (style & WS_CHILD) && control_.Visible();
    if (createdVisible)
        style |= WS_VISIBLE;
    if (IsNative())
        EnsureCommonControls();
    hwnd_ = CreateWindowExW(exStyle, className, text.c_str(), style, place.left, place.top,
                            place.right - place.left, place.bottom - place.top, parent,
                            (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)) : nullptr,
                            instance, this);
    if (!hwnd_)
        return;
    SetPropW(hwnd_, kPeerProperty, this);
    if (style & WS_CHILD)
        KeepSiblingOrder();
    if (!control_.Parent()) {
        // The window knows its monitor now; the guess from its position may have been wrong.
        control_.SetMonitorDpi(WindowDpi(hwnd_));
        if (control_.Dpi() != assumedDpi)
            ApplyBounds();
    }
    if (IsNative()) {
        nativeProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NativeWindowProc)));
        if (kind == TControlKind::ComboBox) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof(info);
            if (GetComboBoxInfo(hwnd_, &info) && info.hwndItem && info.hwndItem != hwnd_) {
                edit_ = info.hwndItem;
                SetPropW(edit_, kPeerProperty, this);
                editProc_ = reinterpret_cast<WNDPROC>(
                    SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NativeWindowProc)));
            }
        }
    }
    if (kind == TControlKind::ListView) {
        const DWORD extended = static_cast<TListView&>(control_).RowSelect() ? LVS_EX_FULLROWSELECT : 0;
        SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, extended);
    }
    ApplyFont();
    FillItems();
    shownSelection_ = -1;
    ApplyItemIndex();
    Changed(TChange::Checked);
    Changed(TChange::Style);
    if (kind == TControlKind::ComboBox)
        ApplyText();
    ApplyAlpha();
    ApplyMenuBar();
    ApplyEnabled();
    CreateShownChildren();
    if (!createdVisible)
        ApplyVisible();
}

void Peer::Destroy()
{
    if (!hwnd_)
        return;
    HWND window = hwnd_;
    hwnd_ = nullptr;
    if (edit_) {
        RemovePropW(edit_, kPeerProperty);
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc_));
        edit_ = nullptr;
    }
    RemovePropW(window, kPeerProperty);
    if (nativeProc_)
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(nativeProc_));
    nativeProc_ = nullptr;
    if (IsWindow(window))
        DestroyWindow(window);
    if (brush_)
        DeleteObject(brush_);
    font_ = nullptr;
    brush_ = nullptr;
    menuBar_ = nullptr; // destroyed with its window
}

void Peer::WindowGone(HWND window)
{
    // The window went with its parent before the model let go of it.
    if (window == hwnd_) {
        RemovePropW(window, kPeerProperty);
        hwnd_ = nullptr;
    }
}

void Peer::Changed(TChange what)
{
    if (!hwnd_) {
        // Everything else is applied when the window is created.
        if (what == TChange::Visible && WindowWanted())
            Create();
        return;
    }
    const TControlKind kind = control_.Kind();
    switch (what) {
    case TChange::Bounds:
        ApplyBounds();
        break;
    case TChange::Visible:
        ApplyVisible();
        break;
    case TChange::Enabled:
        ApplyEnabled();
        break;
    case TChange::Caption:
        ApplyText();
        NotifyAccessibility(EVENT_OBJECT_NAMECHANGE, hwnd_);
        break;
    case TChange::Color:
    case TChange::Picture:
        Invalidate();
        break;
    case TChange::Font:
        ApplyFont();
        Invalidate();
        break;
    case TChange::Items:
        FillItems();
        ApplyItemIndex();
        Invalidate();
        break;
    case TChange::ItemIndex:
        ApplyItemIndex();
        Invalidate();
        if (kind == TControlKind::TabSet) {
            const long tab = static_cast<TUnicodeTabSet&>(control_).TabIndex() + 1;
            NotifyAccessibility(EVENT_OBJECT_SELECTION, hwnd_, tab);
            if (GetFocus() == hwnd_)
                NotifyAccessibility(EVENT_OBJECT_FOCUS, hwnd_, tab);
        }
        break;
    case TChange::Checked:
        if (auto* button = dynamic_cast<TButtonControl*>(&control_))
            SendMessageW(hwnd_, BM_SETCHECK, button->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
        Invalidate();
        break;
    case TChange::Style:
        if (kind == TControlKind::Form) {
            SetWindowLongPtrW(hwnd_, GWL_STYLE, FormStyle() | (IsWindowVisible(hwnd_) ? WS_VISIBLE : 0));
            SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, FormExStyle());
            const bool top = static_cast<TForm&>(control_).FormStyle() == TFormStyle::fsStayOnTop;
            SetWindowPos(hwnd_, top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
            ApplyBounds();
            ApplyAlpha();
        }
        if (List())
            ApplyScroll(); // the line height
        if (auto* edit = dynamic_cast<TCustomEdit*>(&control_); edit && kind != TControlKind::ComboBox)
            SendMessageW(hwnd_, EM_SETREADONLY, edit->ReadOnly(), 0);
        Invalidate();
        break;
    case TChange::Alpha:
        ApplyAlpha();
        break;
    case TChange::Menu:
        ApplyMenuBar();
        break;
    case TChange::DroppedDown:
        if (kind == TControlKind::ComboBox)
            SendMessageW(hwnd_, CB_SHOWDROPDOWN, static_cast<TUnicodeComboBox&>(control_).DroppedDown(), 0);
        break;
    default:
        break;
    }
}

void Peer::ApplyBounds()
{
    const TRect bounds = control_.NativeBounds();
    RECT place{bounds.Left, bounds.Top, bounds.Right, bounds.Bottom};
    if (control_.Kind() == TControlKind::ComboBox)
        place.bottom += ScaleFor(control_, kDropDownHeight);
    if (control_.Kind() == TControlKind::Form)
        place =
            OuterRect(control_, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                      static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), GetMenu(hwnd_) != nullptr);
    updating_ = true;
    SetWindowPos(hwnd_, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    updating_ = false;
}

void Peer::DpiChanged(int dpi, const RECT& suggested)
{
    control_.SetMonitorDpi(dpi);
    updating_ = true;
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    updating_ = false;
    // The model keeps its design size; only the position is the window system's.
    control_.SetBounds(suggested.left, suggested.top, control_.Width(), control_.Height());
    ApplyBounds();
    ApplyFont();
    RescaleChildren();
    Invalidate();
}

std::uint16_t Peer::DeliverKey(UINT message, WPARAM wParam, LPARAM lParam)
{
    TShiftState shift = KeyShift();
    // A key with Alt held arrives as a system key (bit 29: Alt was down).
    if (message == WM_SYSKEYDOWN && (lParam & (1 << 29)))
        shift |= ssAlt;
    const auto key = static_cast<std::uint16_t>(wParam);
    TForm* form = control_.ParentForm();
    return form ? form->KeyPressed(&control_, key, shift) : control_.DoKeyDown(key, shift);
}

void Peer::RescaleChildren()
{
    for (TControl* child : control_.Controls()) {
        auto* peer = dynamic_cast<Peer*>(child->Peer());
        if (!peer || !peer->hwnd_)
            continue;
        // The font first: a list box measures its items again when it gets one.
        peer->ApplyFont();
        peer->ApplyBounds();
        peer->Changed(TChange::Style);
        if (child->Kind() == TControlKind::ListView)
            peer->Changed(TChange::Items);
        peer->RescaleChildren();
    }
}

void Peer::ApplyVisible()
{
    const TControlKind kind = control_.Kind();
    if (!control_.Visible()) {
        ShowWindow(hwnd_, SW_HIDE);
        return;
    }
    if (kind == TControlKind::HintWindow ||
        (kind == TControlKind::Form &&
         static_cast<TForm&>(control_).FormStyle() == TFormStyle::fsStayOnTop)) {
        // Pop-ups appear without taking the keyboard from the user's current window.
        ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
        SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else {
        ShowWindow(hwnd_, kind == TControlKind::Form ? SW_SHOW : SW_SHOWNA);
    }
    // A pop-up that calls for the user (a ringing call) is read out as it appears.
    if (kind == TControlKind::Form && control_.AccessibleRole() == TAccessibleRole::Alert)
        NotifyAccessibility(EVENT_SYSTEM_ALERT, hwnd_);
}

void Peer::ApplyEnabled()
{
    bool enabled = control_.Enabled();
    if (auto* form = dynamic_cast<TForm*>(&control_))
        enabled = enabled && !form->ModalDisabled();
    EnableWindow(hwnd_, enabled);
    Invalidate();
}

void Peer::ApplyText()
{
    const TControlKind kind = control_.Kind();
    if (kind == TControlKind::ListBox || kind == TControlKind::CheckListBox ||
        kind == TControlKind::ListView) {
        Invalidate();
        return;
    }
    std::wstring text;
    if (auto* edit = dynamic_cast<TCustomEdit*>(&control_))
        text = Wide(edit->Text());
    else
        text = Wide(control_.DisplayCaption());
    if (WindowText(hwnd_) != text) {
        updating_ = true;
        SetWindowTextW(hwnd_, text.c_str());
        updating_ = false;
    }
    Invalidate();
}

void Peer::ApplyFont()
{
    font_ = SharedFont(control_.Font(), control_.Font().Style(), control_.Dpi());
    if (IsNative())
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

void Peer::ApplyAlpha()
{
    auto* form = dynamic_cast<TForm*>(&control_);
    if (!form)
        return;
    LONG_PTR exStyle = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
    if (form->AlphaBlend()) {
        if (!(exStyle & WS_EX_LAYERED))
            SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(form->AlphaBlendValue()), LWA_ALPHA);
    } else if (exStyle & WS_EX_LAYERED) {
        SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

void Peer::ApplyMenuBar()
{
    auto* form = dynamic_cast<TForm*>(&control_);
    if (!form)
        return;
    HMENU old = menuBar_;
    menuBar_ = nullptr;
    if (form->Menu()) {
        menuBar_ = CreateMenu();
        FillMenu(menuBar_, form->Menu()->Items(), true);
    }
    SetMenu(hwnd_, menuBar_);
    if (old)
        DestroyMenu(old);
    DrawMenuBar(hwnd_);
    ApplyBounds();
}

void Peer::FillItems()
{
    updating_ = true;
    switch (control_.Kind()) {
    case TControlKind::ComboBox: {
        auto& combo = static_cast<TUnicodeComboBox&>(control_);
        SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
        for (int i = 0; i < combo.Items().Count(); ++i)
            SendMessageW(hwnd_, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(Wide(DecodeEscapes(combo.Items().Strings(i))).c_str()));
        SetWindowTextW(hwnd_, Wide(combo.Text()).c_str());
        break;
    }
    case TControlKind::ListView: {
        auto& view = static_cast<TListView&>(control_);
        SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
        while (SendMessageW(hwnd_, LVM_DELETECOLUMN, 0, 0)) {
        }
        for (int c = 0; c < static_cast<int>(view.Columns().size()); ++c) {
            std::wstring caption = Wide(DecodeEscapes(view.Columns()[c].Caption));
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            column.pszText = caption.data();
            column.cx = ScaleFor(control_, view.Columns()[c].Width);
            column.iSubItem = c;
            SendMessageW(hwnd_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
        }
        for (int r = 0; r < view.ItemCount(); ++r) {
            std::wstring caption = Wide(view.CellText(r, 0));
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = caption.data();
            SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            for (int c = 1; c < static_cast<int>(view.Columns().size()); ++c) {
                std::wstring cell = Wide(view.CellText(r, c));
                LVITEMW sub{};
                sub.iSubItem = c;
                sub.pszText = cell.data();
                SendMessageW(hwnd_, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&sub));
            }
        }
        break;
    }
    default:
        break;
    }
    updating_ = false;
}

void Peer::ApplyItemIndex()
{
    updating_ = true;
    switch (control_.Kind()) {
    case TControlKind::ListBox:
    case TControlKind::CheckListBox: {
        // A selection made by the program or the user is scrolled into view, as the system's
        // lists do; the model's first line is kept otherwise.
        const int selected = List()->ItemIndex();
        const bool moved = selected != shownSelection_;
        shownSelection_ = selected;
        if (moved && selected >= 0)
            ShowRow(selected);
        ApplyScroll();
        if (moved && selected >= 0) {
            NotifyAccessibility(EVENT_OBJECT_SELECTION, hwnd_, selected + 1);
            if (GetFocus() == hwnd_)
                NotifyAccessibility(EVENT_OBJECT_FOCUS, hwnd_, selected + 1);
        }
        break;
    }
    case TControlKind::ComboBox: {
        auto& combo = static_cast<TUnicodeComboBox&>(control_);
        if (combo.ItemIndex() >= 0)
            SendMessageW(hwnd_, CB_SETCURSEL, combo.ItemIndex(), 0);
        break;
    }
    case TControlKind::ListView: {
        auto& view = static_cast<TListView&>(control_);
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = 0;
        SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
        if (view.ItemIndex() >= 0) {
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(hwnd_, LVM_SETITEMSTATE, view.ItemIndex(), reinterpret_cast<LPARAM>(&state));
        }
        break;
    }
    default:
        break;
    }
    updating_ = false;
}

void Peer::PaintCaption(HDC dc, RECT area, UINT flags, TFontStyles style)
{
    const std::wstring text = Wide(control_.DisplayCaption());
    if (text.empty())
        return;
    HGDIOBJ previous = SelectObject(dc, SharedFont(control_.Font(), style, control_.Dpi()));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ToColorRef(control_.Enabled() ? control_.Font().Color() : clGrayText));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, flags);
    SelectObject(dc, previous);
}

UINT HorizontalFlags(TAlignment alignment)
{
    switch (alignment) {
    case TAlignment::taCenter:
        return DT_CENTER;
    case TAlignment::taRightJustify:
        return DT_RIGHT;
    default:
        return DT_LEFT;
    }
}

void Peer::Paint(HDC dc)
{
    RECT client;
    GetClientRect(hwnd_, &client);
    if (List()) {
        PaintList(dc, client);
        return;
    }
    const TControlKind kind = control_.Kind();
    const int dpi = control_.Dpi();
    GdiCanvas canvas(dc, dpi);
    const bool transparentLabel =
        kind == TControlKind::Label && static_cast<TUnicodeLabel&>(control_).Transparent();
    HBRUSH background = CreateSolidBrush(ToColorRef(
        transparentLabel || kind == TControlKind::Image ? BackgroundOf(control_) : control_.Color()));
    ::FillRect(dc, &client, background);
    DeleteObject(background);

    switch (kind) {
    case TControlKind::Label: {
        auto& label = static_cast<TUnicodeLabel&>(control_);
        UINT flags = HorizontalFlags(label.Alignment());
        if (label.WordWrap())
            flags |= DT_WORDBREAK;
        else
            flags |= DT_SINGLELINE | (label.Layout() == TTextLayout::tlCenter   ? DT_VCENTER
                                      : label.Layout() == TTextLayout::tlBottom ? DT_BOTTOM
                                                                                : DT_TOP);
        PaintCaption(dc, client, flags, label.DrawnStyle());
        if (label.TabStop() && GetFocus() == hwnd_)
            DrawFocusRect(dc, &client);
        break;
    }
    case TControlKind::Panel: {
        auto& panel = static_cast<TUnicodePanel&>(control_);
        if (panel.BevelOuter() != TBevelCut::bvNone)
            DrawEdge(dc, &client,
                     panel.BevelOuter() == TBevelCut::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
        PaintCaption(dc, client, HorizontalFlags(panel.Alignment()) | DT_VCENTER | DT_SINGLELINE,
                     control_.Font().Style());
        break;
    }
    case TControlKind::GroupBox: {
        canvas.Font = control_.Font();
        const TPoint extent = canvas.TextExtent("Wg");
        RECT frame = client;
        frame.top += ScaleToDpi(extent.Y, dpi) / 2;
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        const std::string caption = control_.DisplayCaption();
        if (!caption.empty()) {
            canvas.Font = control_.Font();
            canvas.BrushColor = control_.Color();
            canvas.TextOut(8, 0, " " + StripAccelerators(caption) + " ");
        }
        break;
    }
    case TControlKind::TabSet: {
        auto& tabs = static_cast<TUnicodeTabSet&>(control_);
        const auto rects = tabs.TabRects();
        canvas.Font = control_.Font();
        for (int i = 0; i < static_cast<int>(rects.size()); ++i) {
            const TRect scaled = ScaleRectToDpi(rects[i], dpi);
            RECT tab{scaled.Left, scaled.Top, scaled.Right, scaled.Bottom - 1};
            canvas.BrushColor = i == tabs.TabIndex() ? tabs.SelectedColor() : tabs.UnselectedColor();
            canvas.FillRect({rects[i].Left, rects[i].Top, rects[i].Right, rects[i].Bottom});
            DrawEdge(dc, &tab, i == tabs.TabIndex() ? EDGE_RAISED : BDR_RAISEDINNER,
                     BF_LEFT | BF_RIGHT | BF_BOTTOM);
            const std::wstring text = Wide(DecodeEscapes(tabs.Tabs().Strings(i)));
            SetBkMode(dc, TRANSPARENT);
            HGDIOBJ previous = SelectObject(
                dc, SharedFont(control_.Font(), control_.Font().Style() | (i == tabs.TabIndex() ? fsBold : 0),
                               dpi));
            SetTextColor(dc, ToColorRef(control_.Font().Color()));
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tab,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SelectObject(dc, previous);
            if (i == tabs.TabIndex() && GetFocus() == hwnd_) {
                InflateRect(&tab, -ScaleFor(control_, 3), -ScaleFor(control_, 2));
                DrawFocusRect(dc, &tab);
            }
        }
        break;
    }
    case TControlKind::HeaderControl: {
        auto& header = static_cast<THeaderControl&>(control_);
        int left = 0;
        for (const THeaderSection& section : header.Sections()) {
            RECT cell{ScaleToDpi(left, dpi), 0, ScaleToDpi(left + section.Width, dpi), client.bottom};
            DrawEdge(dc, &cell, EDGE_RAISED, BF_RECT);
            RECT text = cell;
            text.left += ScaleToDpi(4, dpi);
            const std::wstring wide = Wide(DecodeEscapes(section.Text));
            SetBkMode(dc, TRANSPARENT);
            HGDIOBJ previous = SelectObject(dc, font_);
            SetTextColor(dc, ToColorRef(control_.Font().Color()));
            DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE);
            SelectObject(dc, previous);
            left += section.Width;
        }
        break;
    }
    case TControlKind::SpeedButton: {
        auto& button = static_cast<TSpeedButton&>(control_);
        if (button.Down())
            DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT);
        else if (!button.Flat() || button.MouseInside())
            DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
        RECT text = client;
        if (!button.Glyph().Empty()) {
            const TBitmap& glyph = button.Glyph();
            const int width = ScaleToDpi(glyph.Width, dpi);
            const int height = ScaleToDpi(glyph.Height, dpi);
            const int x = control_.Caption().empty() ? (client.right - width) / 2 : ScaleToDpi(4, dpi);
            const int y = (client.bottom - height) / 2;
            DrawPixels(dc, glyph, {x, y, x + width, y + height}, false);
            text.left = x + width + ScaleToDpi(4, dpi);
        }
        PaintCaption(dc, text, (button.Glyph().Empty() ? DT_CENTER : DT_LEFT) | DT_VCENTER | DT_SINGLELINE,
                     control_.Font().Style());
        break;
    }
    case TControlKind::Image: {
        auto& image = static_cast<TImage&>(control_);
        const TBitmap& picture = image.Picture();
        if (picture.Empty())
            break;
        // A picture keeps its size in design pixels: it grows with the monitor's dpi like the
        // rest of the form, and a stretched one fills its control.
        const int width = ScaleToDpi(picture.Width, dpi);
        const int height = ScaleToDpi(picture.Height, dpi);
        TRect target{0, 0, width, height};
        if (image.Stretch()) {
            target = {0, 0, client.right, client.bottom};
        } else if (image.Center()) {
            const int x = (client.right - width) / 2;
            const int y = (client.bottom - height) / 2;
            target = {x, y, x + width, y + height};
        }
        DrawPixels(dc, picture, target, false);
        break;
    }
    case TControlKind::HintWindow: {
        RECT text = client;
        text.left += 3;
        text.top += 1;
        PaintCaption(dc, text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX, control_.Font().Style());
        break;
    }
    default:
        break;
    }
    // Buttons drawn here show the keyboard as the system's do (labels draw their own above).
    if (kind != TControlKind::Label && kind != TControlKind::TabSet && control_.TabStop() &&
        GetFocus() == hwnd_) {
        RECT focus = client;
        InflateRect(&focus, -ScaleFor(control_, 2), -ScaleFor(control_, 2));
        DrawFocusRect(dc, &focus);
    }
}

int Peer::RowHeight() const
{
    return std::max(ScaleFor(control_, static_cast<const TCustomListBox&>(control_).ItemHeight()), 1);
}

// Lines wholly inside the window; a part of the next shows below them.
int Peer::FullRows() const
{
    RECT client{};
    GetClientRect(hwnd_, &client);
    return std::max(static_cast<int>(client.bottom) / RowHeight(), 1);
}

// The line under a point of the client area, or -1 below the last.
int Peer::RowAt(int y) const
{
    const auto& list = static_cast<const TCustomListBox&>(control_);
    const int row = list.TopIndex() + std::max(y, 0) / RowHeight();
    return row < list.Items().Count() ? row : -1;
}

// The model's first line is the one shown: kept where the last line still fills the window,
// and the scroll bar follows it.
void Peer::ApplyScroll()
{
    TCustomListBox& list = *List();
    const int count = list.Items().Count();
    const int lastTop = std::max(count - FullRows(), 0);
    if (list.TopIndex() > lastTop)
        list.SetTopIndex(lastTop);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = std::max(count - 1, 0);
    info.nPage = static_cast<UINT>(FullRows());
    info.nPos = list.TopIndex();
    SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
}

void Peer::ScrollList(int top)
{
    TCustomListBox& list = *List();
    top = std::clamp(top, 0, std::max(list.Items().Count() - FullRows(), 0));
    if (top != list.TopIndex())
        list.SetTopIndex(top); // applied and painted through the model's change
}

void Peer::ShowRow(int index)
{
    const int top = List()->TopIndex();
    if (index < top)
        ScrollList(index);
    else if (index >= top + FullRows())
        ScrollList(index - FullRows() + 1);
}

void Peer::PaintList(HDC dc, const RECT& client)
{
    TCustomListBox& list = *List();
    // Drawn off screen and shown at once: the call list is painted again every second.
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP bitmap =
        CreateCompatibleBitmap(dc, std::max<int>(client.right, 1), std::max<int>(client.bottom, 1));
    HGDIOBJ previous = SelectObject(buffer, bitmap);
    HBRUSH background = CreateSolidBrush(ToColorRef(control_.Color()));
    ::FillRect(buffer, &client, background);
    DeleteObject(background);
    const bool focused = GetFocus() == hwnd_;
    const int height = RowHeight();
    for (int index = list.TopIndex(), y = 0; index < list.Items().Count() && y < client.bottom;
         ++index, y += height) {
        unsigned state = 0;
        if (index == list.ItemIndex())
            state |= static_cast<unsigned>(TOwnerDrawState::odSelected) |
                     (focused ? static_cast<unsigned>(TOwnerDrawState::odFocused) : 0);
        if (!control_.Enabled())
            state |= static_cast<unsigned>(TOwnerDrawState::odDisabled);
        PaintRow(buffer, {0, y, client.right, y + height}, index, state);
    }
    BitBlt(dc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, previous);
    DeleteObject(bitmap);
    DeleteDC(buffer);
}

void Peer::PaintRow(HDC dc, const RECT& row, int index, unsigned state)
{
    TCustomListBox& list = *List();
    // The list draws in design pixels from the line's corner; rounded up, the line is covered.
    const int dpi = control_.Dpi();
    const int itemHeight = row.bottom - row.top;
    const TRect rect{0, 0, UnscaleFromDpiUp(row.right - row.left, dpi), UnscaleFromDpiUp(itemHeight, dpi)};
    {
        GdiCanvas canvas(dc, dpi, {row.left, row.top});
        if (auto* checks = dynamic_cast<TCheckListBox*>(&list)) {
            const int box = std::min(rect.Height(), 13);
            canvas.BrushColor = control_.Color();
            canvas.FillRect({rect.Left, rect.Top, rect.Left + box + 4, rect.Bottom});
            const int side = ScaleToDpi(box, dpi);
            const int left = row.left + ScaleToDpi(1, dpi);
            const int top = row.top + (itemHeight - side) / 2;
            RECT frame{left, top, left + side, top + side};
            DrawFrameControl(dc, &frame, DFC_BUTTON,
                             DFCS_BUTTONCHECK | DFCS_FLAT | (checks->Checked(index) ? DFCS_CHECKED : 0));
            list.DrawItem(canvas, index, {rect.Left + box + 4, rect.Top, rect.Right, rect.Bottom},
                          static_cast<TOwnerDrawState>(state));
        } else {
            list.DrawItem(canvas, index, rect, static_cast<TOwnerDrawState>(state));
        }
    }
    // An owner-drawn line shows the keyboard itself; a plain one gets the system's mark.
    if ((state & static_cast<unsigned>(TOwnerDrawState::odFocused)) &&
        list.Style() != TListBoxStyle::lbOwnerDrawFixed)
        DrawFocusRect(dc, &row);
}

// Input a list takes before the common handling (which tells the model of presses, releases,
// double clicks and so clicks): the line pressed is selected, the wheel and the bar scroll.
bool Peer::ListMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    TCustomListBox& list = *List();
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        ::SetFocus(hwnd_);
        const int row = RowAt(GET_Y_LPARAM(lParam));
        if (row < 0 || !control_.Enabled())
            return false;
        auto* checks = dynamic_cast<TCheckListBox*>(&list);
        if (checks && message == WM_LBUTTONDOWN &&
            UnscaleFromDpi(GET_X_LPARAM(lParam), control_.Dpi()) < std::min(list.ItemHeight(), 13) + 4)
            checks->ToggleCheck(row);
        list.SetItemIndex(row);
        return false;
    }
    case WM_MOUSEWHEEL: {
        UINT lines = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
        if (lines == WHEEL_PAGESCROLL)
            lines = static_cast<UINT>(FullRows());
        wheelDelta_ += GET_WHEEL_DELTA_WPARAM(wParam);
        const int notches = wheelDelta_ / WHEEL_DELTA;
        wheelDelta_ -= notches * WHEEL_DELTA;
        ScrollList(list.TopIndex() - notches * static_cast<int>(lines));
        return true;
    }
    case WM_VSCROLL: {
        const int top = list.TopIndex();
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            ScrollList(top - 1);
            break;
        case SB_LINEDOWN:
            ScrollList(top + 1);
            break;
        case SB_PAGEUP:
            ScrollList(top - FullRows());
            break;
        case SB_PAGEDOWN:
            ScrollList(top + FullRows());
            break;
        case SB_TOP:
            ScrollList(0);
            break;
        case SB_BOTTOM:
            ScrollList(list.Items().Count());
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(hwnd_, SB_VERT, &info);
            ScrollList(info.nTrackPos);
            break;
        }
        default:
            break;
        }
        return true;
    }
    case WM_SIZE:
        ApplyScroll();
        return false;
    case WM_SETFOCUS:
        NotifyAccessibility(EVENT_OBJECT_FOCUS, hwnd_, list.ItemIndex() + 1);
        return false;
    default:
        return false;
    }
}

// The keys a list moves its selection with, as the user selects: the line comes into view, then
// the click. False for a key the list has no use for.
bool Peer::ListKey(WPARAM key)
{
    TCustomListBox& list = *List();
    const int count = list.Items().Count();
    const int current = list.ItemIndex();
    int next = current;
    switch (key) {
    case VK_UP:
        next = current - 1;
        break;
    case VK_DOWN:
        next = current + 1;
        break;
    case VK_PRIOR:
        next = current - std::max(FullRows() - 1, 1);
        break;
    case VK_NEXT:
        next = current + std::max(FullRows() - 1, 1);
        break;
    case VK_HOME:
        next = 0;
        break;
    case VK_END:
        next = count - 1;
        break;
    case VK_SPACE:
        if (auto* checks = dynamic_cast<TCheckListBox*>(&list)) {
            checks->ToggleCheck(current);
            return true;
        }
        return false;
    default:
        return false;
    }
    if (count == 0)
        return true;
    next = std::clamp(current < 0 ? 0 : next, 0, count - 1);
    if (next != current)
        list.SelectItem(next);
    return true;
}

LRESULT Peer::ColorMessage(HDC dc)
{
    if (brush_)
        DeleteObject(brush_);
    TColor background = control_.Color();
    if (control_.Kind() == TControlKind::CheckBox || control_.Kind() == TControlKind::RadioButton) {
        if (control_.Color() == clBtnFace)
            background = BackgroundOf(control_);
    }
    brush_ = CreateSolidBrush(ToColorRef(background));
    SetBkColor(dc, ToColorRef(background));
    SetTextColor(dc, ToColorRef(control_.Enabled() ? control_.Font().Color() : clGrayText));
    return reinterpret_cast<LRESULT>(brush_);
}

void Peer::Command(WORD code)
{
    if (updating_)
        return;
    switch (control_.Kind()) {
    case TControlKind::Edit:
    case TControlKind::SpinEdit:
        if (code == EN_CHANGE)
            static_cast<TCustomEdit&>(control_).TextEdited(Narrow(WindowText(hwnd_)));
        else if (code == EN_KILLFOCUS)
            static_cast<TCustomEdit&>(control_).Exit();
        break;
    case TControlKind::ComboBox: {
        auto& combo = static_cast<TUnicodeComboBox&>(control_);
        if (code == CBN_EDITCHANGE) {
            combo.TextEdited(Narrow(WindowText(hwnd_)));
        } else if (code == CBN_SELCHANGE) {
            const int index = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
            updating_ = true;
            combo.SelectItem(index);
            updating_ = false;
        } else if (code == CBN_KILLFOCUS) {
            combo.Exit();
        } else if (code == CBN_DROPDOWN || code == CBN_CLOSEUP) {
            combo.DropStateChanged(code == CBN_DROPDOWN);
        }
        break;
    }
    case TControlKind::CheckBox:
    case TControlKind::RadioButton:
        if (code == BN_CLICKED)
            control_.Click();
        else if (code == BN_DOUBLECLICKED)
            control_.DblClick();
        break;
    default:
        break;
    }
}

LRESULT Peer::Notify(NMHDR* header)
{
    if (control_.Kind() != TControlKind::ListView || updating_)
        return 0;
    auto& view = static_cast<TListView&>(control_);
    switch (header->code) {
    case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
            const int selected = static_cast<int>(
                SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            updating_ = true;
            view.SelectionChanged(selected);
            updating_ = false;
        }
        break;
    }
    case NM_CLICK:
        view.Click();
        break;
    case NM_DBLCLK:
        view.DblClick();
        break;
    default:
        break;
    }
    return 0;
}

// Mouse input common to custom and native windows: enter/leave tracking; custom controls also
// get presses and releases (natives report clicks through their notifications).
bool Peer::HandleMouse(UINT message, WPARAM wParam, LPARAM lParam)
{
    const int x = UnscaleFromDpi(GET_X_LPARAM(lParam), control_.Dpi());
    const int y = UnscaleFromDpi(GET_Y_LPARAM(lParam), control_.Dpi());
    const bool custom = !IsNative();
    switch (message) {
    case WM_MOUSEMOVE:
        if (!tracking_) {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
            tracking_ = TrackMouseEvent(&track) != FALSE;
            control_.DoMouseEnter();
            if (!hwnd_)
                return true;
            if (control_.Kind() == TControlKind::SpeedButton)
                Invalidate();
        }
        control_.DoMouseMove(MouseShift(wParam), x, y);
        return false;
    case WM_MOUSELEAVE:
        tracking_ = false;
        control_.DoMouseLeave();
        if (hwnd_ && control_.Kind() == TControlKind::SpeedButton)
            Invalidate();
        return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (!custom)
            return false;
        if (message == WM_LBUTTONDOWN)
            SetCapture(hwnd_);
        control_.DoMouseDown(message == WM_LBUTTONDOWN   ? TMouseButton::mbLeft
                             : message == WM_RBUTTONDOWN ? TMouseButton::mbRight
                                                         : TMouseButton::mbMiddle,
                             MouseShift(wParam), x, y);
        return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (!custom)
            return false;
        if (message == WM_LBUTTONUP && GetCapture() == hwnd_)
            ReleaseCapture();
        if (control_.Kind() == TControlKind::TabSet && message == WM_LBUTTONUP) {
            auto& tabs = static_cast<TUnicodeTabSet&>(control_);
            const auto rects = tabs.TabRects();
            for (int i = 0; i < static_cast<int>(rects.size()); ++i)
                if (rects[i].Contains({x, y})) {
                    tabs.SelectTab(i);
                    return true;
                }
        }
        if (control_.Kind() == TControlKind::HeaderControl && message == WM_LBUTTONUP) {
            auto& header = static_cast<THeaderControl&>(control_);
            header.ClickSection(header.SectionAt(x));
        }
        control_.DoMouseUp(message == WM_LBUTTONUP   ? TMouseButton::mbLeft
                           : message == WM_RBUTTONUP ? TMouseButton::mbRight
                                                     : TMouseButton::mbMiddle,
                           MouseShift(wParam), x, y);
        return true;
    case WM_LBUTTONDBLCLK:
        if (!custom)
            return false;
        control_.DblClick();
        return true;
    default:
        return false;
    }
}

LRESULT Peer::CustomMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd_ && List() && ListMessage(message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        Paint(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            TCursor cursor = Application->ScreenCursor();
            if (cursor == TCursor::crDefault)
                cursor = control_.Cursor();
            if (cursor != TCursor::crDefault) {
                SetCursor(CursorFor(cursor));
                return TRUE;
            }
        }
        break;
    case WM_MOUSEACTIVATE:
        if (control_.Kind() == TControlKind::HintWindow)
            return MA_NOACTIVATE;
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        // The character the key made (Enter's, Space's) is no input here, and a command the key
        // runs may open a menu, whose loop would take it for the choice of nothing.
        MSG typed;
        while (PeekMessageW(&typed, window, WM_CHAR, WM_CHAR, PM_REMOVE)) {
        }
        const std::uint16_t key = DeliverKey(message, wParam, lParam);
        if (key == 0 || (message == WM_KEYDOWN && List() && hwnd_ && ListKey(key)))
            return 0;
        break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (control_.TabStop())
            Invalidate();
        if (message == WM_SETFOCUS && control_.Kind() == TControlKind::TabSet)
            NotifyAccessibility(EVENT_OBJECT_FOCUS, hwnd_,
                                static_cast<TUnicodeTabSet&>(control_).TabIndex() + 1);
        break;
    case WM_GETOBJECT:
        if (LRESULT answer = 0; AnswerGetObject(window, wParam, lParam, answer))
            return answer;
        break;
    case kDefaultActionMessage:
        if (wParam > 0 && control_.Kind() == TControlKind::TabSet)
            static_cast<TUnicodeTabSet&>(control_).SelectTab(static_cast<int>(wParam) - 1);
        else if (wParam > 0 && List())
            List()->SelectItem(static_cast<int>(wParam) - 1);
        else if (wParam == 0 && control_.Clickable())
            control_.Click();
        return 0;
    case WM_DPICHANGED:
        if (control_.Kind() == TControlKind::Form) {
            DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        }
        break;
    case WM_CLOSE:
        if (auto* form = dynamic_cast<TForm*>(&control_)) {
            form->Close();
            return 0;
        }
        break;
    case WM_WINDOWPOSCHANGED:
        // Moves made by the window system (or the user) reach the model's bounds.
        if (!updating_ && control_.Kind() == TControlKind::Form) {
            const auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
            if (!(position->flags & SWP_NOMOVE) || !(position->flags & SWP_NOSIZE)) {
                RECT bounds;
                RECT client;
                GetWindowRect(window, &bounds);
                GetClientRect(window, &client);
                // A size that is the model's own, scaled, keeps the model's (no rounding drift).
                const TRect now = control_.NativeBounds();
                const int dpi = control_.Dpi();
                const int width =
                    client.right == now.Width() ? control_.Width() : UnscaleFromDpi(client.right, dpi);
                const int height =
                    client.bottom == now.Height() ? control_.Height() : UnscaleFromDpi(client.bottom, dpi);
                updating_ = true;
                control_.SetBounds(bounds.left, bounds.top, width, height);
                updating_ = false;
            }
        }
        break;
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0) {
            auto* form = dynamic_cast<TForm*>(&control_);
            if (form && form->Menu())
                if (TUnicodeMenuItem* item = form->Menu()->FindCommand(LOWORD(wParam)))
                    item->Click();
            return 0;
        }
        if (Peer* child = PeerOf(reinterpret_cast<HWND>(lParam))) {
            child->Command(HIWORD(wParam));
            return 0;
        }
        break;
    case WM_NOTIFY:
        if (Peer* child = PeerOf(reinterpret_cast<NMHDR*>(lParam)->hwndFrom))
            return child->Notify(reinterpret_cast<NMHDR*>(lParam));
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (Peer* child = PeerOf(reinterpret_cast<HWND>(lParam)))
            return child->ColorMessage(reinterpret_cast<HDC>(wParam));
        break;
    default:
        if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSELEAVE)
            if (HandleMouse(message, wParam, lParam))
                return 0;
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Peer::NativeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC original = window == edit_ ? editProc_ : nativeProc_;
    auto* edit = dynamic_cast<TCustomEdit*>(&control_);
    switch (message) {
    case WM_CHAR:
        if (edit) {
            const char16_t key = edit->FilterKey(static_cast<char16_t>(wParam));
            if (key == 0)
                return 0;
            wParam = key;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        const std::uint16_t key = DeliverKey(message, wParam, lParam);
        if (key == 0)
            return 0;
        wParam = key;
        break;
    }
    case WM_SETCURSOR:
        if (Application->ScreenCursor() != TCursor::crDefault) {
            SetCursor(CursorFor(Application->ScreenCursor()));
            return TRUE;
        }
        break;
    case WM_NCDESTROY: {
        const LRESULT result = CallWindowProcW(original, window, message, wParam, lParam);
        WindowGone(window);
        return result;
    }
    case WM_GETOBJECT:
        if (LRESULT answer = 0; AnswerGetObject(window, wParam, lParam, answer))
            return answer;
        break;
    default:
        if (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE)
            HandleMouse(message, wParam, lParam);
        break;
    }
    return CallWindowProcW(original, window, message, wParam, lParam);
}

} // namespace

TControl* ControlOfWindow(HWND window)
{
    Peer* peer = PeerOf(window);
    return peer ? &peer->Control() : nullptr;
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetPropW(window, kPeerProperty, create->lpCreateParams);
    }
    Peer* peer = PeerOf(window);
    if (!peer)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        peer->WindowGone(window);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return peer->CustomMessage(window, message, wParam, lParam);
}

LRESULT CALLBACK NativeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Peer* peer = PeerOf(window);
    if (!peer)
        return DefWindowProcW(window, message, wParam, lParam);
    return peer->NativeMessage(window, message, wParam, lParam);
}

std::unique_ptr<IControlPeer> CreateControlPeer(TControl& control)
{
    return std::make_unique<Peer>(control);
}

void* HandleOf(const TControl& control)
{
    auto* peer = dynamic_cast<Peer*>(control.Peer());
    return peer ? peer->HandleNeeded() : nullptr;
}

bool HasWindow(const TControl& control)
{
    auto* peer = dynamic_cast<Peer*>(control.Peer());
    return peer && peer->Handle();
}

} // namespace ui::win32
