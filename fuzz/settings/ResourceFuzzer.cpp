// Arbitrary portal resources: message bundles, style sheets, speed-dial answers, and the texts
// the helpers read (addresses, numbers, version texts).
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/KALookAndFeel.h"
#include "settings/MessageBundle.h"
#include "settings/QMVerInfo.h"
#include "settings/SpeedDials.h"
#include "settings/otutil.h"
#include "ui/UnicodeText.h"

using namespace settings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);

    TMessageBundle bundle;
    bundle.LoadProperties(input);
    for (const TMessageEntry& entry : bundle.Entries())
        (void)ui::DecodeEscapes(entry.Text);
    (void)ui::DecodeEscapes(input);

    TKAColourTable colours;
    colours.ParseStyles(input);

    (void)TSpeedDials::ParseAnswer(input);
    (void)PortalHostOf(input);
    (void)PortalPathOf(input);
    (void)FormatPhoneNumber(input);
    (void)TQMVersionInfo::VersionFloat(input);
    return 0;
}
