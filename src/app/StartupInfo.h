#pragma once
// TStartupInfo: who the program monitors and what it was asked to do, from the command line or
// another instance's hand-over. One program-wide record; main thread only.

#include <string>
#include <vector>

namespace app {

enum TPendingAction { paNone = 0, paMakeCall = 1, paDialout = 2, paVoiceMail = 3, paAddConference = 5 };

struct TStartupInfo {
    std::string Phone;
    std::string Device;
    std::string Password;
    std::string PrimaryServer;
    std::string SecondaryServer;
    bool UseMessenger = false;
    bool LoggedIn = false;
    bool Started = false;
    bool Restarting = false;
    int PendingAction = paNone;
    std::string PendingArgument;
};

TStartupInfo& StartupInfo();

// The switch look-ups of the command line: a parameter N or -N, without regard to case.
bool HasSwitch(const std::vector<std::string>& params, const std::string& name);
// The parameter after the first match; empty when absent or last.
std::string SwitchValue(const std::vector<std::string>& params, const std::string& name);

// The pending action the parameters ask for, in the order MakeCall, -Dialout, AddConf, VM; a
// later one wins. Clears the action first.
void EvaluatePendingAction(const std::vector<std::string>& params, TStartupInfo& info);
// Phone, device, password, servers and the Messenger flag from the parameters (cleared first);
// with a voice-mail action also its -VMPWD, -VMFOLDER and -VMMSG pieces.
void ApplyIdentity(const std::vector<std::string>& params, TStartupInfo& info);
// The device a phone number monitors before the server names it: what follows the first X.
std::string DeviceOfPhone(const std::string& phone);

// The make-call argument: "Phone" and "Options" as name=value pairs.
std::string MakeCallArgument(const std::string& number, int options);
// The numbers after a leading -Dialout up to the next switch, joined with commas.
std::string DialoutArgument(const std::vector<std::string>& params);
// A hand-over text split at blanks (runs count as one).
std::vector<std::string> SplitHandOver(const std::string& text);
// The hand-over text: every parameter preceded by a blank.
std::string JoinHandOver(const std::vector<std::string>& params);

} // namespace app
