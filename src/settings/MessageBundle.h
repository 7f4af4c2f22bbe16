#pragma once
// TMessageBundle: the localised texts from the web portal, by component name or message key,
// and the HTTP fetch all portal resources share. Written by the look-and-feel loader before its
// completion event, read on the main thread; a lock keeps reads during loading whole.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "api/KovraAPIConsts.h"
#include "platform/HttpGet.h"
#include "settings/SkinTarget.h"

namespace settings {

struct TMessageEntry {
    std::string Key;
    std::string Text;
};

class TMessageBundle : public api::IKovraTextSource {
public:
    // "&nbsp;" becomes a blank; an existing key (any case) gets the new text.
    void SetText(std::string_view key, std::string_view text);
    std::string GetText(std::string_view key, std::string_view defaultText) const override;
    // Key=text lines separated by carriage returns; a later line wins.
    void LoadProperties(std::string_view document);
    // Main thread: every component whose name is a key takes the text, as its class does.
    void ApplyToComponents(ISkinForm& form) const;

    std::vector<TMessageEntry> Entries() const;
    void Clear();

private:
    const TMessageEntry* Find(std::string_view key) const;

    mutable std::mutex mutex_;
    std::vector<TMessageEntry> entries_;
};

// The program-wide bundle, empty until the look and feel fills it.
TMessageBundle& MessageBundle();
// The program's bundle text of key, or the built-in fallback.
std::string LocalText(std::string_view key, std::string_view fallback);

// Where a portal address points: the host as the address names it, the port it gives (else the
// scheme's default) and whether it is https.
struct TPortalHost {
    std::string Host;
    std::uint16_t Port = 80;
    bool Secure = false;
};
TPortalHost PortalHostOf(std::string_view address);
// The object path of an address: from the first '/' at or after its ninth character.
std::string PortalPathOf(std::string_view address);

constexpr std::string_view kPortalAgent = "KovraApps";

// Opens the session and the connection to the address's host for the fetches that follow.
bool OpenPortalConnection(platform::HttpConnection& connection, std::string_view address);
// GETs the address on the open connection into stream (emptied first). True when any bytes
// came, whatever the HTTP status. stop ends the read early (a loader told to terminate).
bool FetchResource(platform::HttpConnection& connection, std::string_view address, std::string& stream,
                   const std::atomic<bool>* stop = nullptr, const std::string& headers = {});

} // namespace settings
