#include "settings/MessageBundle.h"

#include <algorithm>
#include <array>

#include "settings/csvstr.h"
#include "settings/TextUtil.h"

using settings::SameText;
using settings::Trim;

namespace {

constexpr std::array kCaptionClasses = {
    "TUnicodePanel", "TUnicodeLabel",    "TUnicodeLightRadioButton", "TUnicodeLightCheckBox",
    "TUnicodeGroupBox", "TPanel",        "TLabel",                   "TButton",
    "TCheckBox",        "TRadioButton",  "TGroupBox",                "TUnicodeMenuItem",
    "TMenuItem",
};
constexpr std::array kListClasses = {"THeaderControl", "TListView", "TCheckListBox", "TTabSet", "TUnicodeTabSet"};

template <std::size_t N>
bool IsOneOf(const std::string& name, const std::array<const char*, N>& classes)
{
    for (const char* candidate : classes)
        if (name == candidate)
            return true;
    return false;
}

void AppendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The code unit of a \uXXXX at position (the backslash), or -1.
long EscapedUnit(std::string_view text, std::size_t position)
{
    if (position + 6 > text.size() || (text[position + 1] != 'u' && text[position + 1] != 'U'))
        return -1;
    long unit = 0;
    for (std::size_t i = position + 2; i < position + 6; ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

}  // namespace

const TMessageEntry* TMessageBundle::Find(std::string_view key) const
{
    for (const TMessageEntry& entry : entries_)
        if (SameText(entry.Key, key))
            return &entry;
    return nullptr;
}

void TMessageBundle::SetText(std::string_view key, std::string_view text)
{
    std::string value = settings::ReplaceAll(text, "&nbsp;", " ");
    std::lock_guard lock(mutex_);
    if (auto* entry = const_cast<TMessageEntry*>(Find(key)))
        entry->Text = std::move(value);
    else
        entries_.push_back({std::string(key), std::move(value)});
}

std::string TMessageBundle::GetText(std::string_view key, std::string_view defaultText) const
{
    std::lock_guard lock(mutex_);
    const TMessageEntry* entry = Find(key);
    return entry ? entry->Text : std::string(defaultText);
}

void TMessageBundle::LoadProperties(std::string_view document)
{
    for (const std::string& piece : settings::SplitSkippingEmpty(Trim(document), '\r')) {
        std::string line = Trim(piece);
        std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            SetText({}, line);
        else
            SetText(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }
}

void TMessageBundle::ApplyToComponents(ISkinForm& form) const
{
    for (int i = 0; i < form.ComponentCount(); ++i) {
        ISkinComponent& component = form.Component(i);
        std::string name = component.Name();
        if (name.empty())
            continue;
        std::string text;
        {
            std::lock_guard lock(mutex_);
            const TMessageEntry* entry = Find(name);
            if (!entry)
                continue;
            text = entry->Text;
        }
        std::string className = component.ClassName();
        bool unicodeCaption = std::find(kUnicodeCaptionClasses.begin(), kUnicodeCaptionClasses.end(),
                                        className) != kUnicodeCaptionClasses.end();
        if (unicodeCaption || IsOneOf(className, kCaptionClasses)) {
            component.SetCaption(text);
        } else if (className == "TImage") {
            component.SetHint(text);
        } else if (IsOneOf(className, kListClasses)) {
            TCsvString items(text);
            int count = std::min(items.Count(), component.ItemCount());
            for (int item = 0; item < count; ++item)
                component.SetItemText(item, items.Item(item));
        }
    }
}

std::vector<TMessageEntry> TMessageBundle::Entries() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

void TMessageBundle::Clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

TMessageBundle& MessageBundle()
{
    static TMessageBundle bundle;
    return bundle;
}

std::string UnescapeBundleText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        long unit = EscapedUnit(text, i);
        if (unit < 0)
            continue;
        i += 5;
        std::uint32_t code = static_cast<std::uint32_t>(unit);
        if (code >= 0xD800 && code <= 0xDBFF) {
            long low = i + 1 < text.size() && text[i + 1] == '\\' ? EscapedUnit(text, i + 1) : -1;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
                i += 6;
            } else {
                code = 0xFFFD;
            }
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

TPortalHost PortalHostOf(std::string_view address)
{
    TPortalHost portal;
    std::string host = settings::ToLowerAscii(address);
    if (host.rfind("https:", 0) == 0) {
        host.erase(0, 6);
        portal.Port = 443;
        portal.Secure = true;
    } else if (host.rfind("http:", 0) == 0) {
        host.erase(0, 5);
    }
    std::size_t first = host.find_first_not_of('/');
    host.erase(0, first == std::string::npos ? host.size() : first);
    host = host.substr(0, host.find('/'));
    // The address's own port wins over the scheme's, so a portal on any port can be reached.
    std::size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(':') == colon) {
        std::string digits = host.substr(colon + 1);
        bool numeric = !digits.empty() && digits.size() <= 5 &&
                       digits.find_first_not_of("0123456789") == std::string::npos;
        int port = numeric ? std::stoi(digits) : 0;
        if (port > 0 && port <= 65535) {
            portal.Port = static_cast<std::uint16_t>(port);
            host.erase(colon);
        }
    }
    portal.Host = host;
    return portal;
}

std::string PortalPathOf(std::string_view address)
{
    std::size_t slash = address.size() > 8 ? address.find('/', 8) : std::string_view::npos;
    return slash == std::string_view::npos ? std::string("/") : std::string(address.substr(slash));
}

bool OpenPortalConnection(platform::HttpConnection& connection, std::string_view address)
{
    TPortalHost portal = PortalHostOf(address);
    if (portal.Host.empty())
        return false;
    return connection.Open(std::string(kPortalAgent), portal.Host, portal.Port);
}

bool FetchResource(platform::HttpConnection& connection, std::string_view address, std::string& stream,
                   const std::atomic<bool>* stop, const std::string& headers)
{
    stream.clear();
    return connection.Get(PortalPathOf(address), PortalHostOf(address).Secure, headers, stream, stop);
}
