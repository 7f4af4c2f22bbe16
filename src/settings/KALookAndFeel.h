#pragma once
// The look and feel the web portal gives: colours by role (a component's Tag), the localised
// texts, the logo and the icon, loaded once by a background thread from the portal or from
// files in the program's folder.

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "settings/MessageBundle.h"
#include "settings/SkinTarget.h"

namespace settings {

// The 31 colour roles, written by the loader and read on the main thread.
class TKAColourTable {
public:
    TKAColourTable();

    // A tag outside the table is ignored.
    void SetColour(int tag, TColour colour);
    TColour GetColour(int tag, TColour fallback) const;
    // Takes the roles' colours from a style sheet by plain text search; a rule not found leaves
    // its role as it was.
    void ParseStyles(std::string_view styleSheet);
    // Main thread: the form's colour and its components' by their tags.
    void ApplyColours(ISkinForm& form) const;
    void Reset();

private:
    struct Entry {
        int Tag;
        TColour Colour;
    };

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// The program-wide colour table.
TKAColourTable& KAColours();
void SetColour(int tag, TColour colour);
TColour GetColour(int tag, TColour fallback);
void ApplyColours(ISkinForm& form);

// Where the loader puts what it loads. The picture decoder and icon loader belong to the window
// system; without a decoder the logo's bytes are kept but the logo counts as absent.
struct TKALookAndFeelTargets {
    TMessageBundle* Bundle = &MessageBundle();
    TKAColourTable* Colours = &KAColours();
    std::function<std::shared_ptr<const void>(const std::string& bytes)> DecodeLogo;
    std::function<void(const std::string& bytes)> ApplyIcon;
};

class TKALookAndFeel {
public:
    // Prepares the sources and starts loading at once. base is the portal address (web mode) or
    // the program's folder. onComplete runs on the main thread when loading is over.
    TKALookAndFeel(std::string_view base, std::optional<std::string> iconName, bool webMode,
                   std::function<void()> onComplete = {}, TKALookAndFeelTargets targets = {});
    // Tells the loader to stop and waits for it.
    ~TKALookAndFeel();
    TKALookAndFeel(const TKALookAndFeel&) = delete;
    TKALookAndFeel& operator=(const TKALookAndFeel&) = delete;

    // Any thread, before loading ends.
    void SetOnComplete(std::function<void()> onComplete);
    // True once the completion event has run (or would have, without a handler).
    bool Finished() const { return finished_; }
    TKALogo Logo() const;

    // Main thread: colours, then texts, then the logo into image when one is given and loaded.
    void ApplyLookAndFeel(ISkinForm& form, ISkinComponent* image = nullptr) const;

    const std::string& BundleSource() const { return bundleSource_; }
    const std::string& StyleSheetSource() const { return styleSource_; }
    const std::string& LogoSource() const { return logoSource_; }
    const std::string& IconSource() const { return iconSource_; }

private:
    void Run();
    void LoadFromWeb();
    void LoadFromFolder();
    enum class Resource { Texts, StyleSheet, Logo, Icon };
    void Take(Resource resource, const std::string& buffer);

    std::string base_;
    bool webMode_;
    std::string bundleSource_, styleSource_, logoSource_, iconSource_;
    TKALookAndFeelTargets targets_;

    mutable std::mutex mutex_;
    std::function<void()> onComplete_;
    TKALogo logo_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// A file in a local folder: folder and name trimmed, joined by the system's separator unless
// the folder already ends in one; on Windows the path is upper case.
std::string LocalResourcePath(std::string_view folder, std::string_view fileName);

} // namespace settings
