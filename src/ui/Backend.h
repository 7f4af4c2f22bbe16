#pragma once
// What the component model asks of a back end. The model keeps all state; a peer mirrors one
// control (a native window, or nothing but records in memory) and reads the model when told
// that something changed. Input goes the other way through the controls' Do... methods.

#include <memory>
#include <string>

#include "ui/Types.h"

namespace ui {

class TControl;
class TCanvas;
class TFont;
class TForm;
class TPopupMenu;
class TTaskBarIcon;
class TUnicodeMenuItem;

enum class TChange {
    Bounds,
    Visible,
    Enabled,
    Caption,
    Hint,
    Color,
    Font,
    Cursor,
    Items,     // list contents (items, columns, tabs, sections, pages)
    ItemIndex, // selection, active page or tab
    Checked,
    Picture,
    Style, // border, owner-draw, stay-on-top, taskbar button
    Alpha,
    Menu,
    DroppedDown,
};

// Main thread only, like the whole model.
class IControlPeer {
public:
    virtual ~IControlPeer() = default;
    virtual void Changed(TChange what) = 0;
    virtual void Invalidate() = 0;
    // Paints at once (an owner-drawn control calls its drawing handler before this returns).
    virtual void Repaint() = 0;
    virtual void SetFocus() = 0;
    virtual bool Focused() const = 0;
};

class ITrayPeer {
public:
    virtual ~ITrayPeer() = default;
    // Reads visibility, tip and the icon to show from the model.
    virtual void Changed() = 0;
};

class IBackend {
public:
    virtual ~IBackend() = default;
    virtual std::unique_ptr<IControlPeer> CreatePeer(TControl& control) = 0;
    virtual std::unique_ptr<ITrayPeer> CreateTrayPeer(TTaskBarIcon& icon) = 0;
    // Shows the menu at a screen position, waits for the choice and returns it (none when the
    // menu was dismissed). The model raises the item's OnClick afterwards.
    virtual TUnicodeMenuItem* TrackPopupMenu(TPopupMenu& menu, TPoint screen) = 0;
    virtual TRect DesktopWorkArea() = 0;
    // The dots per inch and the work area of the monitor nearest to a screen point.
    virtual int ScreenDpi(TPoint at) = 0;
    virtual TRect WorkAreaAt(TPoint at) = 0;
    virtual TPoint CursorPos() = 0;
    virtual bool ShiftHeld() = 0;
    virtual void ScreenCursorChanged(TCursor cursor) = 0;
    virtual TPoint TextExtent(const TFont& font, const std::string& text) = 0;
    // A blocking message box with the window system's button flags; returns the chosen mr... value.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
};

// The back end every new peer comes from. Natively the headless one; on Windows the real
// windows unless a program (a test) installs another before it creates any control.
IBackend& CurrentBackend();
void SetBackend(std::unique_ptr<IBackend> backend);

} // namespace ui
