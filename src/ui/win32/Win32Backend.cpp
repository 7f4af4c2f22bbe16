#include "ui/win32/Win32Backend.h"

#include "ui/win32/Win32Internal.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ProcAddress_win.h"
#include "ui/Dpi.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/TaskIcon.h"
#include "ui/UnicodeText.h"
#include "ui/win32/Win32Peers.h"

namespace ui::win32 {
namespace {

HWND gHidden = nullptr;
UINT gTaskbarCreated = 0;

class TrayPeer;
std::map<UINT, TrayPeer*> gTrayIcons;
UINT gNextTrayId = 1;

HICON IconFromBitmap(const TBitmap& image)
{
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof(header);
    header.bV5Width = image.Width;
    header.bV5Height = -image.Height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP color =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!color)
        return nullptr;
    std::copy(image.Pixels.begin(), image.Pixels.end(), static_cast<std::uint32_t*>(bits));
    HBITMAP mask = CreateBitmap(image.Width, image.Height, 1, 1, nullptr);
    ICONINFO info{TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(color);
    return icon;
}

HICON IconFromModel(const TIcon& model, int size)
{
    if (!model.IcoData.empty() && model.IcoData.size() > 6) {
        auto* data = const_cast<BYTE*>(model.IcoData.data());
        const int offset = LookupIconIdFromDirectoryEx(data, TRUE, size, size, LR_DEFAULTCOLOR);
        if (offset > 0 && static_cast<std::size_t>(offset) < model.IcoData.size()) {
            HICON icon =
                CreateIconFromResourceEx(data + offset, static_cast<DWORD>(model.IcoData.size() - offset),
                                         TRUE, 0x00030000, size, size, LR_DEFAULTCOLOR);
            if (icon)
                return icon;
        }
    }
    if (!model.Image.Empty() &&
        model.Image.Pixels.size() >= static_cast<std::size_t>(model.Image.Width) * model.Image.Height)
        return IconFromBitmap(model.Image);
    return nullptr;
}

class TrayPeer : public ITrayPeer {
public:
    explicit TrayPeer(TTaskBarIcon& icon) : icon_(icon), id_(gNextTrayId++) { gTrayIcons[id_] = this; }
    ~TrayPeer() override
    {
        if (added_)
            Notify(NIM_DELETE);
        DestroyIcons();
        gTrayIcons.erase(id_);
    }

    void Changed() override
    {
        if (!icon_.Visible()) {
            if (added_)
                Notify(NIM_DELETE);
            added_ = false;
            return;
        }
        added_ = Notify(added_ ? NIM_MODIFY : NIM_ADD) || added_;
    }

    void Readd()
    {
        added_ = false;
        Changed();
    }
    TTaskBarIcon& Icon() { return icon_; }

private:
    bool Notify(DWORD action)
    {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = gHidden;
        data.uID = id_;
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = TTaskBarIcon::kCallbackMessage;
        data.hIcon = icon_.Flashing() && icon_.ShowingBlank() ? BlankIcon() : RealIcon();
        const std::wstring tip = Wide(icon_.Tip());
        lstrcpynW(data.szTip, tip.c_str(), static_cast<int>(std::size(data.szTip)));
        return Shell_NotifyIconW(action, &data) != FALSE;
    }

    HICON RealIcon()
    {
        DestroyIcon(real_);
        const int size = GetSystemMetrics(SM_CXSMICON);
        real_ = IconFromModel(icon_.Icon(), size);
        if (!real_)
            real_ = IconFromModel(Application->Icon(), size);
        return real_ ? real_ : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    }

    HICON BlankIcon()
    {
        if (!blank_) {
            const int size = GetSystemMetrics(SM_CXSMICON);
            blank_ = IconFromBitmap(TBitmap::Solid(size, size, 0));
        }
        return blank_;
    }

    void DestroyIcons()
    {
        if (real_)
            DestroyIcon(real_);
        if (blank_)
            DestroyIcon(blank_);
    }

    TTaskBarIcon& icon_;
    UINT id_;
    bool added_ = false;
    HICON real_ = nullptr;
    HICON blank_ = nullptr;
};

HCURSOR CursorHandle(TCursor cursor)
{
    LPCWSTR id = IDC_ARROW;
    switch (cursor) {
    case TCursor::crHandPoint:
        id = IDC_HAND;
        break;
    case TCursor::crHourGlass:
        id = IDC_WAIT;
        break;
    case TCursor::crIBeam:
        id = IDC_IBEAM;
        break;
    case TCursor::crSizeAll:
        id = IDC_SIZEALL;
        break;
    default:
        break;
    }
    return LoadCursorW(nullptr, id);
}

class Win32Backend : public IBackend {
public:
    Win32Backend()
    {
        // Screen readers get the controls' IAccessible objects through COM: the window thread is
        // an apartment of its own, so their calls arrive through its messages (the program's
        // entry has made it one already; a test's thread is made one here).
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW form{};
        form.style = CS_DBLCLKS;
        form.lpfnWndProc = ControlWindowProc;
        form.hInstance = instance;
        form.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        form.lpszClassName = kFormClass;
        form.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        RegisterClassW(&form);
        WNDCLASSW control = form;
        control.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        control.lpszClassName = kControlClass;
        control.hIcon = nullptr;
        RegisterClassW(&control);
        WNDCLASSW hidden{};
        hidden.lpfnWndProc = HiddenWindowProc;
        hidden.hInstance = instance;
        hidden.lpszClassName = kHiddenClass;
        RegisterClassW(&hidden);
        // A real top-level window, not a message-only one: those miss broadcasts such as
        // WM_QUERYENDSESSION and the shell's restart notice.
        gHidden = CreateWindowExW(WS_EX_TOOLWINDOW, kHiddenClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
        gTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    }

    ~Win32Backend() override
    {
        if (gHidden)
            DestroyWindow(gHidden);
        gHidden = nullptr;
    }

    std::unique_ptr<IControlPeer> CreatePeer(TControl& control) override
    {
        return CreateControlPeer(control);
    }

    std::unique_ptr<ITrayPeer> CreateTrayPeer(TTaskBarIcon& icon) override
    {
        return std::make_unique<TrayPeer>(icon);
    }

    TUnicodeMenuItem* TrackPopupMenu(TPopupMenu& menu, TPoint screen) override
    {
        HMENU popup = CreatePopupMenu();
        FillMenu(popup, menu.Items(), false);
        // The owner must be the foreground window, or the menu does not close when the user
        // clicks elsewhere: one of our active windows, else the hidden one (tray menus).
        HWND owner = GetActiveWindow();
        if (!owner) {
            owner = gHidden;
            SetForegroundWindow(owner);
        }
        const UINT command = static_cast<UINT>(::TrackPopupMenu(
            popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.X, screen.Y, 0, owner, nullptr));
        PostMessageW(owner, WM_NULL, 0, 0);
        DestroyMenu(popup);
        return command ? menu.FindCommand(command) : nullptr;
    }

    int ScreenDpi(TPoint at) override { return MonitorDpi({at.X, at.Y}); }

    TRect WorkAreaAt(TPoint at) override
    {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (!GetMonitorInfoW(MonitorFromPoint({at.X, at.Y}, MONITOR_DEFAULTTONEAREST), &info))
            return DesktopWorkArea();
        return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
    }

    TRect DesktopWorkArea() override
    {
        RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        return {area.left, area.top, area.right, area.bottom};
    }

    TPoint CursorPos() override
    {
        POINT point{};
        GetCursorPos(&point);
        return {point.x, point.y};
    }

    bool ShiftHeld() override { return GetKeyState(VK_SHIFT) < 0; }

    void ScreenCursorChanged(TCursor cursor) override
    {
        SetCursor(CursorHandle(cursor == TCursor::crDefault ? TCursor::crArrow : cursor));
    }

    // Measured at the first monitor's dpi and given in design pixels, rounded up so that the
    // text fits once scaled again.
    TPoint TextExtent(const TFont& font, const std::string& text) override
    {
        const int dpi = MonitorDpi({0, 0});
        HDC dc = GetDC(nullptr);
        HFONT handle = MakeFont(font, font.Style(), dpi);
        HGDIOBJ previous = SelectObject(dc, handle);
        const std::wstring wide = Wide(text);
        SIZE size{};
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        SelectObject(dc, previous);
        DeleteObject(handle);
        ReleaseDC(nullptr, dc);
        return {UnscaleFromDpiUp(size.cx, dpi), UnscaleFromDpiUp(size.cy, dpi)};
    }

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override
    {
        HWND owner = GetActiveWindow();
        return MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), flags);
    }
};

} // namespace

HCURSOR CursorFor(TCursor cursor)
{
    return CursorHandle(cursor);
}

void EnsureCommonControls()
{
    static const bool loaded = [] {
        using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        // The manifest's activation context makes this the version with visual styles.
        HMODULE module = LoadLibraryW(L"comctl32.dll");
        InitFn init = nullptr;
        if (!module || !platform::FindProc(module, init, "InitCommonControlsEx"))
            return false;
        const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        return init(&controls) != FALSE;
    }();
    (void)loaded;
}

HWND HiddenWindow()
{
    return gHidden;
}

LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TTaskBarIcon::kCallbackMessage) {
        auto found = gTrayIcons.find(static_cast<UINT>(wParam));
        if (found == gTrayIcons.end())
            return 0;
        TTaskBarIcon& icon = found->second->Icon();
        switch (LOWORD(lParam)) {
        case WM_RBUTTONDOWN:
            icon.RightButtonDown();
            break;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
            icon.DoubleClick();
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            icon.ButtonUp();
            break;
        default:
            break;
        }
        return 0;
    }
    if (message == WM_QUERYENDSESSION) {
        Application->SetSessionEnding(true);
        const auto icons = gTrayIcons;
        for (auto& [id, peer] : icons)
            if (gTrayIcons.count(id))
                peer->Icon().QueryEndSession();
        return TRUE;
    }
    // The session ends: the main form closes as when the user exits (unless the tray's answer to
    // the query closed it already), so the program is not simply killed with its session open.
    if (message == WM_ENDSESSION) {
        Application->SetSessionEnding(wParam != FALSE);
        if (TForm* mainForm = Application->MainForm(); mainForm && wParam)
            mainForm->Close();
        return 0;
    }
    if (gTaskbarCreated && message == gTaskbarCreated) {
        for (auto& [id, peer] : gTrayIcons)
            peer->Readd();
        return 0;
    }
    // The taskbar has moved or a display has changed: the work area is asked for again, or dialogs
    // placed on the screen would take the old one.
    if (((message == WM_SETTINGCHANGE && wParam == SPI_SETWORKAREA) || message == WM_DISPLAYCHANGE) &&
        Application)
        Application->WorkAreaChanged();
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring Wide(const std::string& text)
{
    const std::u16string wide = Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(const std::wstring& text)
{
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

COLORREF ToColorRef(TColor color)
{
    if (IsSystemColor(color))
        return GetSysColor(static_cast<int>(color & 0xFF));
    return color & 0xFFFFFF;
}

HFONT MakeFont(const TFont& font, TFontStyles style, int dpi)
{
    const std::wstring name = Wide(font.Name());
    return CreateFontW(-font.PixelHeightAt(dpi), 0, 0, 0, (style & fsBold) ? FW_BOLD : FW_NORMAL,
                       (style & fsItalic) != 0, (style & fsUnderline) != 0, (style & fsStrikeOut) != 0,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, name.c_str());
}

HFONT SharedFont(const TFont& font, TFontStyles style, int dpi)
{
    static std::map<std::tuple<std::string, int, TFontStyles>, HFONT> fonts;
    HFONT& handle = fonts[{font.Name(), font.PixelHeightAt(dpi), style}];
    if (!handle)
        handle = MakeFont(font, style, dpi);
    return handle;
}

namespace {

int ScreenLogPixels()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

// The per-monitor calls, looked up once: user32 has them from Windows 10 1607, shcore from 8.1.
struct DpiCalls {
    using ForWindow = UINT(WINAPI*)(HWND);
    using ForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    ForWindow forWindow = nullptr;
    ForMonitor forMonitor = nullptr;
    AdjustForDpi adjust = nullptr;

    DpiCalls()
    {
        if (HMODULE user = GetModuleHandleW(L"user32.dll")) {
            forWindow =
                reinterpret_cast<ForWindow>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
            adjust = reinterpret_cast<AdjustForDpi>(
                reinterpret_cast<void*>(GetProcAddress(user, "AdjustWindowRectExForDpi")));
        }
        if (HMODULE shcore = LoadLibraryW(L"shcore.dll"))
            forMonitor = reinterpret_cast<ForMonitor>(
                reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    }
};

const DpiCalls& Calls()
{
    static const DpiCalls calls;
    return calls;
}

} // namespace

int WindowDpi(HWND window)
{
    if (Calls().forWindow && window)
        if (const UINT dpi = Calls().forWindow(window); dpi > 0)
            return static_cast<int>(dpi);
    return ScreenLogPixels();
}

int MonitorDpi(POINT at)
{
    if (Calls().forMonitor) {
        UINT x = 0;
        UINT y = 0;
        constexpr int kEffectiveDpi = 0;
        if (SUCCEEDED(
                Calls().forMonitor(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)) &&
            y > 0)
            return static_cast<int>(y);
    }
    return ScreenLogPixels();
}

void AdjustWindowRectForDpi(RECT* rect, DWORD style, bool menu, DWORD exStyle, int dpi)
{
    if (!Calls().adjust || !Calls().adjust(rect, style, menu, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(rect, style, menu, exStyle);
}

void FillMenu(HMENU menu, const TUnicodeMenuItem& item, bool menuBar)
{
    for (const TUnicodeMenuItem* child : item.Items()) {
        if (!child->Visible())
            continue;
        if (child->IsSeparator()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING;
        if (!child->Enabled())
            flags |= MF_GRAYED;
        if (child->Checked())
            flags |= MF_CHECKED;
        if (menuBar && child->RightJustify())
            flags |= MF_RIGHTJUSTIFY;
        const std::wstring caption = Wide(DecodeEscapes(child->Caption()));
        if (child->Count() > 0) {
            HMENU sub = CreatePopupMenu();
            FillMenu(sub, *child, false);
            AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), caption.c_str());
        } else {
            AppendMenuW(menu, flags, child->Command(), caption.c_str());
        }
    }
}

GdiCanvas::~GdiCanvas()
{
    if (font_) {
        SelectObject(dc_, previousFont_);
        DeleteObject(font_);
    }
}

HFONT GdiCanvas::SelectCurrentFont()
{
    const bool same = font_ && fontOfHandle_.Name() == Font.Name() && fontOfHandle_.Size() == Font.Size() &&
                      fontOfHandle_.Style() == Font.Style();
    if (!same) {
        HFONT next = MakeFont(Font, Font.Style(), dpi_);
        HGDIOBJ old = SelectObject(dc_, next);
        if (font_)
            DeleteObject(font_);
        else
            previousFont_ = old;
        font_ = next;
        fontOfHandle_ = Font;
    }
    return font_;
}

RECT GdiCanvas::Device(const TRect& rect) const
{
    const TRect scaled = ScaleRectToDpi(rect, dpi_);
    return {origin_.x + scaled.Left, origin_.y + scaled.Top, origin_.x + scaled.Right,
            origin_.y + scaled.Bottom};
}

void GdiCanvas::FillRect(const TRect& rect)
{
    const RECT area = Device(rect);
    HBRUSH brush = CreateSolidBrush(ToColorRef(BrushColor));
    ::FillRect(dc_, &area, brush);
    DeleteObject(brush);
}

void GdiCanvas::TextOut(int x, int y, const std::string& text)
{
    SelectCurrentFont();
    SetTextColor(dc_, ToColorRef(Font.Color()));
    SetBkColor(dc_, ToColorRef(BrushColor));
    SetBkMode(dc_, OPAQUE);
    const std::wstring wide = Wide(text);
    ExtTextOutW(dc_, origin_.x + ScaleToDpi(x, dpi_), origin_.y + ScaleToDpi(y, dpi_), 0, nullptr,
                wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
}

TPoint GdiCanvas::TextExtent(const std::string& text)
{
    SelectCurrentFont();
    const std::wstring wide = Wide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return {UnscaleFromDpiUp(size.cx, dpi_), UnscaleFromDpiUp(size.cy, dpi_)};
}

void GdiCanvas::DrawImage(const TImageList& images, int index, int x, int y, TDrawingStyle style)
{
    if (const TBitmap* image = images.Image(index)) {
        const RECT area = Device({x, y, x + image->Width, y + image->Height});
        DrawPixels(dc_, *image, {area.left, area.top, area.right, area.bottom},
                   style == TDrawingStyle::dsSelected);
    }
}

void GdiCanvas::DrawBitmap(const TBitmap& bitmap, const TRect& target)
{
    const RECT area = Device(target);
    DrawPixels(dc_, bitmap, {area.left, area.top, area.right, area.bottom}, false);
}

void DrawPixels(HDC dc, const TBitmap& bitmap, const TRect& target, bool blendSelected)
{
    if (bitmap.Empty() || bitmap.Pixels.size() < static_cast<std::size_t>(bitmap.Width) * bitmap.Height)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = bitmap.Width;
    info.bmiHeader.biHeight = -bitmap.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section)
        return;
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < bitmap.Pixels.size(); ++i) {
        std::uint32_t pixel = bitmap.Pixels[i];
        unsigned b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF;
        const unsigned a = pixel >> 24;
        if (blendSelected) {
            b = (b + GetBValue(highlight)) / 2;
            g = (g + GetGValue(highlight)) / 2;
            r = (r + GetRValue(highlight)) / 2;
        }
        // AlphaBlend wants premultiplied colours.
        out[i] = (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
    }
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, section);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, target.Left, target.Top, target.Width(), target.Height(), memory, 0, 0, bitmap.Width,
               bitmap.Height, blend);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(section);
}

std::unique_ptr<IBackend> CreateBackend()
{
    return std::make_unique<Win32Backend>();
}

} // namespace ui::win32
