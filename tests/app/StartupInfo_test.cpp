#include <gtest/gtest.h>

#include <map>

#include "app/ClickToDial.h"
#include "app/MSNMain.h"
#include "app/MarkedWindow.h"
#include "app/RunSwitches.h"
#include "app/StartupInfo.h"

using namespace app;
using settings::TDialingRules;

namespace {

using Params = std::vector<std::string>;

// What the window takes from a command line, as "phone device password primary secondary IM
// action:argument", "-" for an empty field.
std::string Taken(const Params& params)
{
    TStartupInfo info;
    EvaluatePendingAction(params, info);
    ApplyIdentity(params, info);
    std::string text;
    for (const std::string& field : {info.Phone, info.Device, info.Password, info.PrimaryServer,
                                     info.SecondaryServer, std::string(info.UseMessenger ? "IM" : "")})
        text += (field.empty() ? "-" : field) + " ";
    const char* actions[] = {"none", "call", "dialout", "vm", "?", "addconf"};
    return text + actions[info.PendingAction] + ":" + info.PendingArgument;
}

TEST(CommandLine, SwitchesAndActionsAreTakenAsTheWindowUsesThem)
{
    const std::pair<Params, const char*> cases[] = {
        // Identity switches need their dash and take the following value.
        {{"webportal", "http://p/", "-PHONE", "425x1001", "-pwd", "pw", "-server", "10.0.0.1", "-im", "phone",
          "999"},
         "425x1001 1001 pw 10.0.0.1 - IM none:"},
        {{"phone", "1001", "IM"}, "- - - - - - none:"},
        // Servers fill primary then secondary; a third overwrites the second.
        {{"-server", "a", "-server", "b", "-server", "c"}, "- - - a c - none:"},
        // A switch given last has an empty value.
        {{"-pwd", "x", "-phone"}, "- - x - - - none:"},
        {{"-phone", "1001", "-pwd"}, "1001 1001 - - - - none:"},
        {{"-server"}, "- - - - - - none:"},
        {{"VM", "-VMPWD"}, "- - - - - - vm:,PWD="},
        // MakeCall with or without its dash carries the phone and the options.
        {{"-phone", "1001", "MakeCall", "4255550123", "Options", "6"},
         "1001 1001 - - - - call:\"Phone=4255550123\",\"Options=6\""},
        {{"-phone", "1001", "-makecall", "4255550123", "Options", "6"},
         "1001 1001 - - - - call:\"Phone=4255550123\",\"Options=6\""},
        {{"MakeCall", "12", "-Options", "six"}, "- - - - - - call:\"Phone=12\",\"Options=0\""},
        // -Dialout counts only as the first parameter and stops at the next switch with a dash.
        {{"-Dialout", "4255550100", "4255550101", "-phone", "1001"},
         "1001 1001 - - - - dialout:4255550100,4255550101"},
        {{"-phone", "1001", "-Dialout", "4255550100"}, "1001 1001 - - - - none:"},
        // Later actions override earlier ones in the order MakeCall, -Dialout, AddConf, VM.
        {{"-Dialout", "1", "MakeCall", "2"}, "- - - - - - dialout:1,MakeCall,2"},
        {{"AddConf", "300", "-Dialout", "1"}, "- - - - - - addconf:300"},
        {{"-Dialout", "1", "AddConf", "300"}, "- - - - - - addconf:300"},
        {{"VM", "-VMFOLDER", "VOICE_MAIL_SAVED", "AddConf", "300", "-VMPWD", "77", "-VMMSG", "3"},
         "- - - - - - vm:,FOLDER=VOICE_MAIL_SAVED,PWD=77,MSG=3"},
        // Voice-mail pieces count only with the voice-mail action.
        {{"MakeCall", "5", "-VMPWD", "77"}, "- - - - - - call:\"Phone=5\",\"Options=0\""},
    };
    for (const auto& [params, taken] : cases) {
        SCOPED_TRACE(JoinHandOver(params));
        EXPECT_EQ(Taken(params), taken);
    }
    EXPECT_EQ(SwitchValue({"a", "-user"}, "user"), "");
    EXPECT_FALSE(HasSwitch({"", "-"}, ""));
    // The text handed over to a running window splits at runs of blanks and joins with leading ones.
    EXPECT_EQ(SplitHandOver("  -MakeCall   555  -phone 1001 "),
              (Params{"-MakeCall", "555", "-phone", "1001"}));
    EXPECT_TRUE(SplitHandOver("   ").empty());
    EXPECT_EQ(JoinHandOver({"-MakeCall", "555"}), " -MakeCall 555");
}

TEST(MarkedWindow, NameHashUpperCasesLettersOnlyAndAddsPositions)
{
    EXPECT_EQ(NameHash("AB"), 65u + 66u + 1u);
    EXPECT_EQ(NameHash("ab"), NameHash("AB"));
    EXPECT_EQ(NameHash("a1"), 65u + 49u + 1u);
    EXPECT_EQ(NameHash("\xC3\xA9"), 0xC3u + 0xA9u + 1u); // bytes beyond a to z stay as they are
    EXPECT_NE(NameHash("KovraAssistant"), NameHash("MeetMeApp"));
    EXPECT_EQ(NameHash(""), 0u);
}

TEST(CallLink, LinksDialTheirNumberWithoutParametersAndBecomeAMakeCall)
{
    // Without rules (a link opened as the program starts) a number abroad is handed over as written:
    // the running program's rules dial it.
    const std::pair<const char*, const char*> cases[] = {
        {"tel:+1 (425) 555-1234", "+14255551234"},
        {"TEL:+1-425-555-1234;ext=77;phone-context=x", "+14255551234"},
        {"tel:+1%20(425)%20555.1234", "+14255551234"},
        {"callto://+14255551234?call", "+14255551234"},
        {"CallTo:*72%23", "*72#"},
        {"tel:555-1234%3Bext=9", "5551234"},
        {"tel:+44 20 7946 0000", "+442079460000"},
    };
    for (const auto& [link, number] : cases) {
        const TCallLink parsed = ParseCallLink(link);
        EXPECT_EQ(parsed.Number, number) << link;
        EXPECT_EQ(parsed.Error, "") << link;
    }
    TDialingRules uk;
    uk.Values = {"44", "20", "9", "00", "0", "4"};
    EXPECT_EQ(ParseCallLink("tel:+44 20 7946 0000", &uk).Number, "+442079460000");
    EXPECT_EQ(ClipboardNumber(" 0049 (30) 1234-567", uk).Number, "0049301234567");
    EXPECT_TRUE(IsCallLink("Tel:1"));
    EXPECT_FALSE(IsCallLink("telephone"));
    // What the window evaluates for a link is the make-call of its number, like "-MakeCall".
    EXPECT_EQ(Taken(CallLinkParameters(ParseCallLink("tel:+1-425-555-1234").Number)),
              "- - - - - - call:\"Phone=+14255551234\",\"Options=0\"");
    EXPECT_EQ(JoinHandOver(CallLinkParameters("+14255551234")), " -MakeCall +14255551234");
}

TEST(CallLink, EmptyOrUndialableLinksAreRefusedWithTheirReason)
{
    const TDialingRules none;
    TDialingRules noInternational;
    noInternational.Values = {"49", "30", "0", "", "0", "3"};
    const std::tuple<const char*, const TDialingRules*, const char*> cases[] = {
        {"tel:", &none, "holds no number to dial."},
        {"callto:;ext=1", nullptr, "holds no number to dial."},
        {"tel:(-)", &none, "holds no number to dial."},
        {"callto:some.user", nullptr, "is not a phone number that can be dialled."},
        {"tel:555%001", &none, "is not a phone number that can be dialled."},
        {"tel:555\\1", &none, "is not a phone number that can be dialled."},
        {"tel:555%4", &none, "has a broken escape."},
        {"tel:555%", nullptr, "has a broken escape."},
        {"tel:%G1", &none, "has a broken escape."},
        {"sip:555", &none, "is not a \"tel:\" or \"callto:\" link."},
        // Without dialing rules a country code other than +1 would be dialled as another number.
        {"tel:+44 20 7946 0000", &none,
         "has a country code other than +1; set the dialing rules on the Preferences page to dial it."},
        {"callto:%2B49-30-1234", &none,
         "has a country code other than +1; set the dialing rules on the Preferences page to dial it."},
        {"tel:(+7) 495 1234567", &none,
         "has a country code other than +1; set the dialing rules on the Preferences page to dial it."},
        {"tel:+1 425 555 1234", &noInternational,
         "is a number abroad; set the international prefix on the Preferences page to dial it."},
        {"tel:555+1234", nullptr, "is not a phone number that can be dialled."},
        {"tel:++1 425", &none, "is not a phone number that can be dialled."},
        {"tel:1234567890-1234567890-1234567890-123", &none,
         "is too long to dial: a phone dials at most 32 characters."},
    };
    for (const auto& [link, rules, why] : cases) {
        const TCallLink parsed = ParseCallLink(link, rules);
        EXPECT_EQ(parsed.Number, "") << link;
        EXPECT_EQ(parsed.Error, "The link \"" + std::string(link) + "\" " + why) << link;
    }
}

// The ports test and demo runs set: a value that is no port is refused, never read as another port.
TEST(RunSwitches, PortsAreTakenOnlyAsPortNumbersAndTheShippedProgramKeepsItsInstanceName)
{
    // What the switches leave: "refusal|server port|local port|instance name".
    const auto apply = [](std::map<std::string, std::string> environment, bool shipped) {
        const auto variable = [&](const char* name) -> const char* {
            const auto found = environment.find(name);
            return found == environment.end() ? nullptr : found->second.c_str();
        };
        TAssistantOptions options;
        const std::string refused = ApplyRunSwitches(variable, shipped, options);
        return refused + "|" + std::to_string(options.Network.ServerPort) + "|" +
               std::to_string(options.Network.LocalPort) + "|" + options.InstanceName;
    };
    EXPECT_EQ(apply({}, false), "|29051|7000|KovraAssistant");
    EXPECT_EQ(
        apply({{"KOVRA_SERVER_PORT", "30001"}, {"KOVRA_LOCAL_PORT", "0"}, {"KOVRA_INSTANCE_NAME", "Bench1"}},
              false),
        "|30001|0|Bench1");
    for (const std::string bad : {"", "70000", "65536", "-1", "+80", "80x", " 80", "0x50", "99999999999"})
        EXPECT_EQ(apply({{"KOVRA_SERVER_PORT", bad}, {"KOVRA_LOCAL_PORT", bad}}, false),
                  "KOVRA_SERVER_PORT=\"" + bad + "\" is not a port number (1 to 65535).\n" +
                      "KOVRA_LOCAL_PORT=\"" + bad +
                      "\" is not a port number (0 to 65535).|29051|7000|KovraAssistant");
    EXPECT_EQ(apply({{"KOVRA_SERVER_PORT", "0"}}, false),
              "KOVRA_SERVER_PORT=\"0\" is not a port number (1 to 65535).|29051|7000|KovraAssistant");
    // One program per desktop in the build that ships, whatever the environment names.
    EXPECT_EQ(apply({{"KOVRA_INSTANCE_NAME", "Another"}, {"KOVRA_SERVER_PORT", "29100"}}, true),
              "|29100|7000|KovraAssistant");
}

} // namespace
