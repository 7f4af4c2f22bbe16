#pragma once
// Shared by the Win32 back end's units only.

#include <windows.h>
// The model has methods of these names; the window system's macros would rename them here.
#undef MessageBox
#undef TextOut

#include <map>
#include <string>

#include "ui/Canvas.h"
#include "ui/Types.h"

namespace ui {
class TControl;
class TUnicodeMenuItem;
} // namespace ui

namespace ui::win32 {

inline constexpr wchar_t kFormClass[] = L"KovraForm";
inline constexpr wchar_t kControlClass[] = L"KovraControl";
inline constexpr wchar_t kHiddenClass[] = L"KovraHidden";
inline constexpr wchar_t kPeerProperty[] = L"KovraPeer";

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
COLORREF ToColorRef(TColor color);
// A font of the model's point size at dpi.
HFONT MakeFont(const TFont& font, TFontStyles style, int dpi);
// The same, made once per name, size, style and dpi and shared by every control and painting that
// uses it (a form has a few fonts and a hundred controls); kept for the program's life, never
// deleted by callers. Main thread only.
HFONT SharedFont(const TFont& font, TFontStyles style, int dpi);
// Dots per inch of a window, or of the monitor nearest to a screen point. Windows before 8.1
// (and older Wine) lack the per-monitor calls; the screen's LOGPIXELSY serves there.
int WindowDpi(HWND window);
int MonitorDpi(POINT at);
// AdjustWindowRectEx with the frame metrics of dpi where the system has them.
void AdjustWindowRectForDpi(RECT* rect, DWORD style, bool menu, DWORD exStyle, int dpi);
// Fills a menu from a model item's visible children.
void FillMenu(HMENU menu, const TUnicodeMenuItem& item, bool menuBar);
// Loads the common controls and registers their classes, once, before the first native control
// is made. They are not imported: under Wine loading them costs 2.7 MB (with the balloon icons
// their tooltips load), and a session that never shows an edit field, combo box, list view or
// button needs none (lists are painted by the program).
void EnsureCommonControls();
// The backend's hidden top-level window: owner of popup menus, receiver of tray events.
HWND HiddenWindow();

class GdiCanvas : public TCanvas {
public:
    // Drawing coordinates are design pixels from origin, drawn at dpi.
    GdiCanvas(HDC dc, int dpi, POINT origin = {0, 0}) : dc_(dc), dpi_(dpi), origin_(origin) {}
    ~GdiCanvas() override;
    void FillRect(const TRect& rect) override;
    void TextOut(int x, int y, const std::string& text) override;
    TPoint TextExtent(const std::string& text) override;
    void DrawImage(const TImageList& images, int index, int x, int y, TDrawingStyle style) override;
    void DrawBitmap(const TBitmap& bitmap, const TRect& target) override;

private:
    HFONT SelectCurrentFont();
    RECT Device(const TRect& rect) const;
    HDC dc_;
    int dpi_;
    POINT origin_;
    HFONT font_ = nullptr;
    HGDIOBJ previousFont_ = nullptr;
    TFont fontOfHandle_;
};

// Draws 32-bit pixels with their alpha onto a device context, optionally mixed half and half
// with the selection colour.
void DrawPixels(HDC dc, const TBitmap& bitmap, const TRect& target, bool blendSelected);

// Accessibility: the control of one of the toolkit's windows (none once it is gone); the answer to
// WM_GETOBJECT for its client area (false: not asked for that, the system answers); an event about
// it or its child (a tab) for the screen readers.
TControl* ControlOfWindow(HWND window);
bool AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, LRESULT& result);
void NotifyAccessibility(DWORD event, HWND window, long child = 0);
// Posted by a screen reader's "default action": the control is clicked (wParam 0) or its tab
// wParam (from 1) chosen, from the window's queue.
inline constexpr UINT kDefaultActionMessage = WM_APP + 0x4A1;

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK NativeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace ui::win32
