#pragma once
// Plain value types shared by the component model, the canvas and the back ends.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {

class TComponent;

// 0x00BBGGRR; values with the top bit set name a system colour (index in the low byte).
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;
// "Use the back end's own colour" (menu items).
constexpr TColor clDefault = 0x20000000;

inline bool IsSystemColor(TColor color)
{
    return (color & clSystemColor) != 0;
}

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    bool operator==(const TRect&) const = default;
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

using TShiftState = unsigned;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;
constexpr TShiftState ssLeft = 8;
constexpr TShiftState ssRight = 16;
constexpr TShiftState ssMiddle = 32;
constexpr TShiftState ssDouble = 64;

enum class TCursor { crDefault, crArrow, crHandPoint, crHourGlass, crIBeam, crSizeAll };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;

// Virtual key codes the forms test for (same values as the window system's).
constexpr std::uint16_t VK_BACK_KEY = 0x08;
constexpr std::uint16_t VK_TAB_KEY = 0x09;
constexpr std::uint16_t VK_RETURN_KEY = 0x0D;
constexpr std::uint16_t VK_ESCAPE_KEY = 0x1B;
constexpr std::uint16_t VK_SPACE_KEY = 0x20;
constexpr std::uint16_t VK_DELETE_KEY = 0x2E;
constexpr std::uint16_t VK_END_KEY = 0x23;
constexpr std::uint16_t VK_HOME_KEY = 0x24;
constexpr std::uint16_t VK_LEFT_KEY = 0x25;
constexpr std::uint16_t VK_UP_KEY = 0x26;
constexpr std::uint16_t VK_RIGHT_KEY = 0x27;
constexpr std::uint16_t VK_DOWN_KEY = 0x28;

// What a control is to a screen reader; the back ends map it onto the window system's roles.
enum class TAccessibleRole {
    Client,
    Alert,
    Pane,
    Grouping,
    StaticText,
    Link,
    PushButton,
    CheckButton,
    RadioButton,
    Text,
    ComboBox,
    List,
    ListItem,
    PageTabList,
    PageTab,
    PropertyPage,
    Graphic,
    ColumnHeader,
    ToolTip,
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TTextLayout { tlTop, tlCenter, tlBottom };

using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1;
constexpr TFontStyles fsItalic = 2;
constexpr TFontStyles fsUnderline = 4;
constexpr TFontStyles fsStrikeOut = 8;

// 32-bit top-down BGRA pixels; alpha 0 is transparent.
struct TBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
    bool Empty() const { return Width <= 0 || Height <= 0; }
    static TBitmap Solid(int width, int height, std::uint32_t bgra);
};

// An icon: the bytes of an .ico resource when it came from a file, else an image.
struct TIcon {
    std::vector<std::uint8_t> IcoData;
    TBitmap Image;
    bool Empty() const { return IcoData.empty() && Image.Empty(); }
};

using TNotifyEvent = std::function<void(TComponent* sender)>;
using TMouseEvent =
    std::function<void(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;
// The handler may change the key; a key set to 0 is discarded.
using TKeyPressEvent = std::function<void(TComponent* sender, char16_t& key)>;
using TKeyEvent = std::function<void(TComponent* sender, std::uint16_t& key, TShiftState shift)>;

} // namespace ui
