#pragma once
// The in-memory back end: peers keep what a native window would show, canvases record every
// operation, and the desktop (work area, cursor, Shift key, message boxes, menus) is scripted.

#include <functional>
#include <string>
#include <vector>

#include "ui/Backend.h"
#include "ui/Canvas.h"

namespace ui::headless {

struct TCanvasOp {
    enum class Kind { FillRect, TextOut, DrawImage, DrawBitmap };
    Kind kind = Kind::FillRect;
    TRect rect; // the filled rectangle or drawn cell
    int x = 0;
    int y = 0;
    std::string text;
    TColor brushColor = 0;
    TColor fontColor = 0;
    TFontStyles fontStyle = 0;
    std::string fontName;
    int imageIndex = -1;
    TDrawingStyle drawingStyle = TDrawingStyle::dsNormal;
};

class RecordingCanvas : public TCanvas {
public:
    void FillRect(const TRect& rect) override;
    void TextOut(int x, int y, const std::string& text) override;
    TPoint TextExtent(const std::string& text) override;
    void DrawImage(const TImageList& images, int index, int x, int y, TDrawingStyle style) override;
    void DrawBitmap(const TBitmap& bitmap, const TRect& target) override;

    std::vector<TCanvasOp> ops;
};

struct MessageBoxCall {
    std::string text;
    std::string caption;
    unsigned flags;
};

struct TrayState {
    bool shown = false;
    std::string tip;
    bool blank = false; // the transparent icon is showing
    int adds = 0;       // how often the icon was added to the notification area
};

class HeadlessBackend : public IBackend {
public:
    std::unique_ptr<IControlPeer> CreatePeer(TControl& control) override;
    std::unique_ptr<ITrayPeer> CreateTrayPeer(TTaskBarIcon& icon) override;
    TUnicodeMenuItem* TrackPopupMenu(TPopupMenu& menu, TPoint screen) override;
    TRect DesktopWorkArea() override { return workArea; }
    int ScreenDpi(TPoint) override { return dpi; }
    TRect WorkAreaAt(TPoint) override { return workArea; }
    TPoint CursorPos() override { return cursor; }
    bool ShiftHeld() override { return shift; }
    void ScreenCursorChanged(TCursor cursor) override { screenCursor = cursor; }
    TPoint TextExtent(const TFont& font, const std::string& text) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;

    // The scripted desktop.
    TRect workArea{0, 0, 1280, 984};
    int dpi = 96;
    TPoint cursor;
    bool shift = false;
    TCursor screenCursor = TCursor::crDefault;
    int messageBoxAnswer = 1;
    std::vector<MessageBoxCall> messageBoxes;
    // Runs while a message box is open, as the box's own loop would run what is posted meanwhile.
    std::function<void()> duringMessageBox;
    // Chooses an item when a popup menu opens (none dismisses it).
    std::function<TUnicodeMenuItem*(TPopupMenu& menu)> menuChoice;
    std::vector<TPoint> popupPositions;
};

// Installs a fresh headless back end (before any control gets a peer) and returns it.
HeadlessBackend& Install();

// What a control's last paint drew (Repaint paints at once).
const std::vector<TCanvasOp>& Painted(const TControl& control);
// How often the control was invalidated or repainted since its peer was made.
int InvalidateCount(const TControl& control);
// The texts drawn by the last paint, in order.
std::vector<std::string> PaintedTexts(const TControl& control);
const TrayState& Tray(const TTaskBarIcon& icon);

} // namespace ui::headless
