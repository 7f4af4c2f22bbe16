#include "app/StartupInfo.h"

#include <cctype>
#include <cstdlib>

#include "platform/Text.h"
#include "settings/csvprop.h"

using namespace settings;

namespace app {

namespace {

using platform::SameText;

int IndexOfSwitch(const std::vector<std::string>& params, const std::string& name)
{
    if (name.empty())
        return -1;
    for (std::size_t i = 0; i < params.size(); ++i)
        if (SameText(params[i], name) || SameText(params[i], "-" + name))
            return static_cast<int>(i);
    return -1;
}

// Decimal integer of the whole text, else 0.
int IntegerOf(const std::string& text)
{
    if (text.empty())
        return 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' ? static_cast<int>(value) : 0;
}

std::string Following(const std::vector<std::string>& params, std::size_t i)
{
    return i + 1 < params.size() ? params[i + 1] : std::string();
}

} // namespace

TStartupInfo& StartupInfo()
{
    static TStartupInfo info;
    return info;
}

bool HasSwitch(const std::vector<std::string>& params, const std::string& name)
{
    return IndexOfSwitch(params, name) >= 0;
}

std::string SwitchValue(const std::vector<std::string>& params, const std::string& name)
{
    const int index = IndexOfSwitch(params, name);
    return index < 0 ? std::string() : Following(params, static_cast<std::size_t>(index));
}

std::string MakeCallArgument(const std::string& number, int options)
{
    TCsvProperties props;
    props.SetValue("Phone", number);
    props.SetValueInt("Options", options);
    return props.Text();
}

std::string DialoutArgument(const std::vector<std::string>& params)
{
    std::string joined;
    for (std::size_t i = 1; i < params.size() && (params[i].empty() || params[i][0] != '-'); ++i)
        joined += (i > 1 ? "," : "") + params[i];
    return joined;
}

void EvaluatePendingAction(const std::vector<std::string>& params, TStartupInfo& info)
{
    info.PendingAction = paNone;
    info.PendingArgument.clear();
    if (HasSwitch(params, "MakeCall")) {
        info.PendingAction = paMakeCall;
        info.PendingArgument =
            MakeCallArgument(SwitchValue(params, "MakeCall"), IntegerOf(SwitchValue(params, "Options")));
    }
    if (!params.empty() && SameText(params[0], "-Dialout")) {
        info.PendingAction = paDialout;
        info.PendingArgument = DialoutArgument(params);
    }
    if (HasSwitch(params, "AddConf")) {
        info.PendingAction = paAddConference;
        info.PendingArgument = SwitchValue(params, "AddConf");
    }
    if (HasSwitch(params, "VM")) {
        info.PendingAction = paVoiceMail;
        info.PendingArgument.clear();
    }
}

std::string DeviceOfPhone(const std::string& phone)
{
    const auto x = phone.find_first_of("xX");
    return x == std::string::npos ? phone : phone.substr(x + 1);
}

void ApplyIdentity(const std::vector<std::string>& params, TStartupInfo& info)
{
    info.Phone.clear();
    info.Device.clear();
    info.Password.clear();
    info.PrimaryServer.clear();
    info.SecondaryServer.clear();
    info.UseMessenger = false;
    bool primarySet = false;
    for (std::size_t i = 0; i < params.size(); ++i) {
        const std::string& p = params[i];
        if (SameText(p, "-phone")) {
            info.Phone = Following(params, i);
            info.Device = DeviceOfPhone(info.Phone);
        } else if (SameText(p, "-pwd")) {
            info.Password = Following(params, i);
        } else if (SameText(p, "-server")) {
            (primarySet ? info.SecondaryServer : info.PrimaryServer) = Following(params, i);
            primarySet = true;
        } else if (SameText(p, "-IM")) {
            info.UseMessenger = true;
        } else if (info.PendingAction == paVoiceMail) {
            if (SameText(p, "-VMPWD"))
                info.PendingArgument += ",PWD=" + Following(params, i);
            else if (SameText(p, "-VMFOLDER"))
                info.PendingArgument += ",FOLDER=" + Following(params, i);
            else if (SameText(p, "-VMMSG"))
                info.PendingArgument += ",MSG=" + Following(params, i);
        }
    }
}

std::vector<std::string> SplitHandOver(const std::string& text)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == ' ') {
            if (!current.empty())
                parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(std::move(current));
    return parts;
}

std::string JoinHandOver(const std::vector<std::string>& params)
{
    std::string text;
    for (const auto& p : params)
        text += " " + p;
    return text;
}

} // namespace app
