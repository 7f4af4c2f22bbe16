#pragma once
// What the message bundle and the look and feel need from a form and its components. The UI
// toolkit implements it over its component model; the rules (which class gets which text or
// colour) stay here. Called on the main thread only.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace settings {

// Colours as 0x00BBGGRR, with the toolkit's markers for system colours and "default".
using TColour = std::uint32_t;
constexpr TColour clBlack = 0x000000;
constexpr TColour clWhite = 0xFFFFFF;
constexpr TColour clSilver = 0xC0C0C0;
constexpr TColour clNavy = 0x800000;
constexpr TColour clBtnFace = 0xFF00000F;
constexpr TColour clWindow = 0xFF000005;
constexpr TColour clDefault = 0x20000000;

// The toolkit's controls with a Unicode caption besides those named in the rules themselves;
// they take texts as captions and colours as panels do.
constexpr std::array<std::string_view, 4> kUnicodeCaptionClasses = {"TUnicodeRadioButton", "TUnicodeCheckBox",
                                                                    "TUnicodeButton", "TUnicodeSpeedButton"};
// Tab sets, the plain one and the toolkit's Unicode one, take the tab colours and item texts.
constexpr std::array<std::string_view, 2> kTabSetClasses = {"TTabSet", "TUnicodeTabSet"};

template <std::size_t N>
bool IsClassOneOf(std::string_view name, const std::array<std::string_view, N>& classes)
{
    for (std::string_view candidate : classes)
        if (name == candidate)
            return true;
    return false;
}

// The portal's logo: the fetched bytes and, when a decoder could read them, the picture. A logo
// without a picture counts as absent.
struct TKALogo {
    std::string Bytes;
    std::shared_ptr<const void> Picture;

    bool Loaded() const { return Picture != nullptr; }
};

struct TSkinMenuColours {
    TColour ItemForeColor, ItemBackColor, SelectedForeColor, SelectedBackColor;
};

struct TSkinTabColours {
    TColour Background, Text, Selected, Unselected;
};

class ISkinComponent {
public:
    virtual ~ISkinComponent() = default;

    virtual std::string Name() const = 0;
    // The class name ("TUnicodeLabel", "TListView", ...), which decides what the component takes.
    virtual std::string ClassName() const = 0;
    virtual int Tag() const = 0;
    virtual bool Enabled() const { return true; }
    // Labels only: a transparent label shows the form's background.
    virtual bool Transparent() const { return false; }

    // Caption, menu caption or Unicode caption, as the class has it.
    virtual void SetCaption(const std::string&) {}
    virtual void SetHint(const std::string&) {}
    // Sections, columns, items or tabs of the list-like classes.
    virtual int ItemCount() const { return 0; }
    virtual void SetItemText(int, const std::string&) {}

    virtual void SetColour(TColour) {}
    virtual void SetFontColour(TColour) {}
    virtual void SetMenuColours(const TSkinMenuColours&) {}
    virtual void SetTabColours(const TSkinTabColours&) {}
    // Images: show the logo's picture.
    virtual void SetPicture(const TKALogo&) {}
};

// A form: itself a component (its own colour comes from its tag) owning the others, in order.
class ISkinForm : public ISkinComponent {
public:
    virtual int ComponentCount() const = 0;
    virtual ISkinComponent& Component(int index) = 0;
};

} // namespace settings
