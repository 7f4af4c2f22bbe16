#include "settings/MessageBundle.h"

#include <algorithm>
#include <array>

#include "settings/TextUtil.h"
#include "settings/csvstr.h"

namespace settings {

using settings::SameText;
using settings::Trim;

namespace {

constexpr std::array<std::string_view, 13> kCaptionClasses = {
    "TUnicodePanel",
    "TUnicodeLabel",
    "TUnicodeLightRadioButton",
    "TUnicodeLightCheckBox",
    "TUnicodeGroupBox",
    "TPanel",
    "TLabel",
    "TButton",
    "TCheckBox",
    "TRadioButton",
    "TGroupBox",
    "TUnicodeMenuItem",
    "TMenuItem",
};
constexpr std::array<std::string_view, 3> kListClasses = {"THeaderControl", "TListView", "TCheckListBox"};

} // namespace

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
        if (IsClassOneOf(className, kUnicodeCaptionClasses) || IsClassOneOf(className, kCaptionClasses)) {
            component.SetCaption(text);
        } else if (className == "TImage") {
            component.SetHint(text);
        } else if (IsClassOneOf(className, kListClasses) || IsClassOneOf(className, kTabSetClasses)) {
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

std::string LocalText(std::string_view key, std::string_view fallback)
{
    return MessageBundle().GetText(key, fallback);
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

} // namespace settings
