#include "settings/KALookAndFeel.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/MainLoop.h"
#include "platform/Threads.h"
#include "settings/TextUtil.h"

namespace settings {

namespace {

struct ColourRule {
    int Tag;
    TColour Default;
    std::string_view Selector; // empty: the role has no style-sheet source
    bool Background;
};

// In the order the style sheet is searched.
constexpr std::array<ColourRule, 31> kColourRules = {{
    {100, 0x00CE00, "contentBorderTD", true},
    {101, 0x800000, "contentBorderLabelA", false},
    {110, 0x804000, "pageBorderTD", true},
    {111, 0xFFFFFF, "pageHeader", false},
    {120, 0x804000, "pageBorderTD", true},
    {121, 0xFFFFFF, "userTitle", false},
    {130, 0x804000, "buttonTD", true},
    {131, 0xFFFFFF, "buttonA", false},
    {132, 0xC0C0C0, "", false},
    {133, 0xFF9E3E, "", false},
    {140, 0xFFFFFF, "TABLE.pageT\r", true},
    {141, 0x800000, ".label", false},
    {150, 0xFFFFFF, "tableEvenTD", true},
    {151, 0x000000, ".tableValue\r", false},
    {152, 0x808080, "primaryTabInactiveTD", true},
    {153, 0xFFE4AE, "tableOddTD", true},
    {154, 0x800000, ".tableValue\r", false},
    {160, 0xFFFFFF, "tableTD", true},
    {161, 0x800000, ".label\r", false},
    {162, 0x0000FF, ".labelError\r", false},
    {170, 0x800000, "primaryTabInactiveTD", true},
    {171, 0xFFFFFF, "primaryTabInactiveA", false},
    {172, 0xFFFFFF, "contentBorderTD", true},
    {173, 0x800000, "contentBorderLabelA", false},
    {180, 0x804000, "tableTD", true},
    {183, 0xC0C0C0, "primaryTabInactiveTD", true},
    {182, 0x00CE00, "primaryTabActiveTD", true},
    {181, 0x800000, "primaryTabInactiveA", false},
    {190, 0xFFFFFF, ".contentTD\r", true},
    {191, 0x008000, ".info\r", false},
    {192, 0xFF0000, ".error\r", false},
}};

constexpr std::array<std::string_view, 2> kLabelClasses = {"TUnicodeLabel", "TLabel"};
constexpr std::array<std::string_view, 12> kColouredClasses = {
    "TUnicodePanel",
    "TUnicodeLightCheckBox",
    "TUnicodeLightRadioButton",
    "TUnicodeListBox",
    "TUnicodeComboBox",
    "TPanel",
    "TComboBox",
    "TCheckBox",
    "TRadioButton",
    "TNotebook",
    "TListBox",
    "TSplitter",
};

// Two characters as a hexadecimal byte; 0 unless both are hexadecimal digits.
unsigned HexByte(std::string_view text, std::size_t position)
{
    if (position + 2 > text.size())
        return 0;
    unsigned value = 0;
    for (std::size_t i = position; i < position + 2; ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0)
            return 0;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

std::string UpToZero(const std::string& buffer)
{
    return buffer.substr(0, buffer.find('\0'));
}

// C's files, not the streams library: nothing else in the program uses streams, and they bring
// the whole locale machinery into the image.
bool ReadFile(const std::string& path, std::string& buffer)
{
    buffer.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char piece[4096];
    std::size_t read;
    while ((read = std::fread(piece, 1, sizeof piece, file)) > 0)
        buffer.append(piece, read);
    const bool complete = !std::ferror(file);
    std::fclose(file);
    if (!complete)
        buffer.clear();
    return complete;
}

} // namespace

TKAColourTable::TKAColourTable()
{
    Reset();
}

void TKAColourTable::Reset()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
    for (const ColourRule& rule : kColourRules)
        entries_.push_back({rule.Tag, rule.Default});
}

void TKAColourTable::SetColour(int tag, TColour colour)
{
    std::lock_guard lock(mutex_);
    for (Entry& entry : entries_)
        if (entry.Tag == tag)
            entry.Colour = colour;
}

TColour TKAColourTable::GetColour(int tag, TColour fallback) const
{
    std::lock_guard lock(mutex_);
    for (const Entry& entry : entries_)
        if (entry.Tag == tag)
            return entry.Colour;
    return fallback;
}

void TKAColourTable::ParseStyles(std::string_view styleSheet)
{
    for (const ColourRule& rule : kColourRules) {
        if (rule.Selector.empty())
            continue;
        std::size_t selector = styleSheet.find(rule.Selector);
        if (selector == std::string_view::npos)
            continue;
        // Plain search: "color" also matches inside "background-color", and the rule's brace
        // does not end it.
        std::string_view property = rule.Background ? "background-color" : "color";
        std::size_t name = styleSheet.find(property, selector + rule.Selector.size());
        if (name == std::string_view::npos)
            continue;
        std::size_t hash = styleSheet.find('#', name + property.size());
        if (hash == std::string_view::npos)
            continue;
        TColour red = HexByte(styleSheet, hash + 1);
        TColour green = HexByte(styleSheet, hash + 3);
        TColour blue = HexByte(styleSheet, hash + 5);
        SetColour(rule.Tag, red + green * 256 + blue * 65536);
    }
}

void TKAColourTable::ApplyColours(ISkinForm& form) const
{
    form.SetColour(GetColour(form.Tag(), clBtnFace));
    for (int i = 0; i < form.ComponentCount(); ++i) {
        ISkinComponent& component = form.Component(i);
        std::string className = component.ClassName();
        int tag = component.Tag();
        if (className == "TUnicodeMenuItem") {
            component.SetMenuColours({GetColour(173, clDefault), GetColour(172, clDefault),
                                      GetColour(171, clDefault), GetColour(170, clDefault)});
        } else if (IsClassOneOf(className, kTabSetClasses)) {
            component.SetTabColours({GetColour(180, clWindow), GetColour(181, clBlack),
                                     GetColour(182, clNavy), GetColour(183, clWindow)});
        } else if (tag == 0) {
            continue;
        } else if (IsClassOneOf(className, kLabelClasses)) {
            if (component.Transparent()) {
                component.SetFontColour(GetColour(tag, clBlack));
            } else {
                component.SetColour(GetColour(tag, clBlack));
                component.SetFontColour(GetColour(tag + 1, clBlack));
            }
        } else if (IsClassOneOf(className, kColouredClasses) ||
                   IsClassOneOf(className, kUnicodeCaptionClasses)) {
            component.SetColour(GetColour(tag, clBlack));
            component.SetFontColour(component.Enabled() ? GetColour(tag + 1, clWhite)
                                                        : GetColour(tag + 2, clSilver));
        }
    }
}

TKAColourTable& KAColours()
{
    static TKAColourTable table;
    return table;
}

void SetColour(int tag, TColour colour)
{
    KAColours().SetColour(tag, colour);
}
TColour GetColour(int tag, TColour fallback)
{
    return KAColours().GetColour(tag, fallback);
}
void ApplyColours(ISkinForm& form)
{
    KAColours().ApplyColours(form);
}

std::string LocalResourcePath(std::string_view folder, std::string_view fileName)
{
    std::string path = settings::Trim(folder);
#ifdef _WIN32
    if (path.empty() || (path.back() != '\\' && path.back() != ':'))
        path += '\\';
    return settings::ToUpperAscii(path + settings::Trim(fileName));
#else
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + settings::Trim(fileName);
#endif
}

TKALookAndFeel::TKALookAndFeel(std::string_view base, std::optional<std::string> iconName, bool webMode,
                               std::function<void()> onComplete, TKALookAndFeelTargets targets)
    : base_(webMode ? settings::ToLowerAscii(base) : std::string(base)), webMode_(webMode),
      targets_(std::move(targets)), onComplete_(std::move(onComplete))
{
    if (webMode_) {
        bundleSource_ = base_ + "/KovraAppsServlet?Command=GetMsgBundle";
        styleSource_ = base_ + "/inc/WebPortalStyles.css";
        logoSource_ = base_ + "/images/logo.gif";
        if (iconName)
            iconSource_ = base_ + "/icons/" + *iconName;
    } else {
        bundleSource_ = LocalResourcePath(base_, "KovraApps_en_US.properties");
        styleSource_ = LocalResourcePath(base_, "WebPortalStyles.css");
        logoSource_ = LocalResourcePath(base_, "logo.gif");
        if (iconName)
            iconSource_ = LocalResourcePath(base_, *iconName);
    }
    thread_ = std::thread([this] { Run(); });
}

TKALookAndFeel::~TKALookAndFeel()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void TKALookAndFeel::SetOnComplete(std::function<void()> onComplete)
{
    std::lock_guard lock(mutex_);
    onComplete_ = std::move(onComplete);
}

TKALogo TKALookAndFeel::Logo() const
{
    std::lock_guard lock(mutex_);
    return logo_;
}

void TKALookAndFeel::Take(Resource resource, const std::string& buffer)
{
    switch (resource) {
    case Resource::Texts:
        targets_.Bundle->LoadProperties(UpToZero(buffer));
        break;
    case Resource::StyleSheet:
        targets_.Colours->ParseStyles(UpToZero(buffer));
        break;
    case Resource::Logo: {
        TKALogo logo{buffer, targets_.DecodeLogo ? targets_.DecodeLogo(buffer) : nullptr};
        std::lock_guard lock(mutex_);
        logo_ = std::move(logo);
        break;
    }
    case Resource::Icon:
        if (targets_.ApplyIcon)
            targets_.ApplyIcon(buffer);
        break;
    }
}

void TKALookAndFeel::LoadFromWeb()
{
    platform::HttpConnection connection;
    if (!OpenPortalConnection(connection, base_))
        return;
    std::string buffer;
    if (FetchResource(connection, bundleSource_, buffer, &stop_))
        Take(Resource::Texts, buffer);
    if (!stop_ && FetchResource(connection, styleSource_, buffer, &stop_))
        Take(Resource::StyleSheet, buffer);
    {
        std::lock_guard lock(mutex_);
        logo_ = TKALogo{};
    }
    if (!stop_ && FetchResource(connection, logoSource_, buffer, &stop_))
        Take(Resource::Logo, buffer);
    if (!stop_ && !iconSource_.empty() && FetchResource(connection, iconSource_, buffer, &stop_))
        Take(Resource::Icon, buffer);
    buffer.clear();
    connection.Close();
}

void TKALookAndFeel::LoadFromFolder()
{
    std::string buffer;
    if (ReadFile(bundleSource_, buffer))
        Take(Resource::Texts, buffer);
    if (ReadFile(styleSource_, buffer))
        Take(Resource::StyleSheet, buffer);
    {
        std::lock_guard lock(mutex_);
        logo_ = TKALogo{};
    }
    if (ReadFile(logoSource_, buffer))
        Take(Resource::Logo, buffer);
    if (!iconSource_.empty() && ReadFile(iconSource_, buffer))
        Take(Resource::Icon, buffer);
}

void TKALookAndFeel::Run()
{
    if (webMode_)
        LoadFromWeb();
    else
        LoadFromFolder();
    platform::Synchronize(
        [this] {
            std::function<void()> handler;
            {
                std::lock_guard lock(mutex_);
                handler = onComplete_;
            }
            finished_ = true;
            if (handler)
                handler();
        },
        &stop_);
    platform::ReleaseUnusedStack();
}

void TKALookAndFeel::ApplyLookAndFeel(ISkinForm& form, ISkinComponent* image) const
{
    targets_.Colours->ApplyColours(form);
    targets_.Bundle->ApplyToComponents(form);
    TKALogo logo = Logo();
    if (image && logo.Loaded())
        image->SetPicture(logo);
}

} // namespace settings
