#include <gtest/gtest.h>

#include <map>

#include "app/ClickToDial.h"
#include "app/MSNMain.h"
#include "app/RunSwitches.h"
#include "app/StartupInfo.h"
#include "settings/csvprop.h"

namespace {

using Params = std::vector<std::string>;

TStartupInfo Evaluate(const Params& params)
{
    TStartupInfo info;
    EvaluatePendingAction(params, info);
    ApplyIdentity(params, info);
    return info;
}

TEST(CommandLine, IdentitySwitchesNeedTheirDashAndTakeTheFollowingValue)
{
    const auto info = Evaluate({"webportal", "http://p/", "-PHONE", "425x1001", "-pwd", "pw", "-server",
                                "10.0.0.1", "-im", "phone", "999"});
    EXPECT_EQ(info.Phone, "425x1001");
    EXPECT_EQ(info.Device, "1001");
    EXPECT_EQ(info.Password, "pw");
    EXPECT_EQ(info.PrimaryServer, "10.0.0.1");
    EXPECT_TRUE(info.SecondaryServer.empty());
    EXPECT_TRUE(info.UseMessenger);
    EXPECT_EQ(info.PendingAction, paNone);
    EXPECT_EQ(Evaluate({"phone", "1001", "IM"}).Phone, "");
    EXPECT_FALSE(Evaluate({"phone", "1001", "IM"}).UseMessenger);
}

TEST(CommandLine, ServersFillPrimaryThenSecondaryAndAThirdOverwritesTheSecond)
{
    const auto info = Evaluate({"-server", "a", "-server", "b", "-server", "c"});
    EXPECT_EQ(info.PrimaryServer, "a");
    EXPECT_EQ(info.SecondaryServer, "c");
}

TEST(CommandLine, LastParameterSwitchHasAnEmptyValue)
{
    EXPECT_EQ(Evaluate({"-pwd", "x", "-phone"}).Phone, "");
    EXPECT_EQ(Evaluate({"-phone", "1001", "-pwd"}).Password, "");
    EXPECT_EQ(Evaluate({"-server"}).PrimaryServer, "");
    EXPECT_EQ(SwitchValue({"a", "-user"}, "user"), "");
    EXPECT_FALSE(HasSwitch({"", "-"}, ""));
    const auto vm = Evaluate({"VM", "-VMPWD"});
    EXPECT_EQ(vm.PendingArgument, ",PWD=");
}

TEST(CommandLine, MakeCallWithOrWithoutDashCarriesPhoneAndOptions)
{
    for (const char* name : {"MakeCall", "-makecall"}) {
        const auto info = Evaluate({"-phone", "1001", name, "4255550123", "Options", "6"});
        EXPECT_EQ(info.PendingAction, paMakeCall);
        TCsvProperties props(info.PendingArgument);
        EXPECT_EQ(props.Value("Phone"), "4255550123");
        EXPECT_EQ(props.ValueInt("Options", -1), 6);
    }
    TCsvProperties bad(Evaluate({"MakeCall", "12", "-Options", "six"}).PendingArgument);
    EXPECT_EQ(bad.ValueInt("Options", -1), 0);
}

TEST(CommandLine, DialoutCountsOnlyAsFirstParameterAndStopsAtTheNextSwitch)
{
    const auto info = Evaluate({"-Dialout", "4255550100", "4255550101", "-phone", "1001"});
    EXPECT_EQ(info.PendingAction, paDialout);
    EXPECT_EQ(info.PendingArgument, "4255550100,4255550101");
    EXPECT_EQ(info.Phone, "1001");
    EXPECT_EQ(Evaluate({"-phone", "1001", "-Dialout", "4255550100"}).PendingAction, paNone);
}

TEST(CommandLine, LaterActionsOverrideEarlierOnesInTheFixedOrder)
{
    // MakeCall < -Dialout < AddConf < VM, whatever their places on the line.
    EXPECT_EQ(Evaluate({"-Dialout", "1", "MakeCall", "2"}).PendingAction, paDialout);
    // Only a switch with its dash ends the numbers.
    EXPECT_EQ(Evaluate({"-Dialout", "1", "MakeCall", "2"}).PendingArgument, "1,MakeCall,2");
    EXPECT_EQ(Evaluate({"AddConf", "300", "-Dialout", "1"}).PendingAction, paAddConference);
    const auto add = Evaluate({"-Dialout", "1", "AddConf", "300"});
    EXPECT_EQ(add.PendingAction, paAddConference);
    EXPECT_EQ(add.PendingArgument, "300");
    const auto vm =
        Evaluate({"VM", "-VMFOLDER", "VOICE_MAIL_SAVED", "AddConf", "300", "-VMPWD", "77", "-VMMSG", "3"});
    EXPECT_EQ(vm.PendingAction, paVoiceMail);
    EXPECT_EQ(vm.PendingArgument, ",FOLDER=VOICE_MAIL_SAVED,PWD=77,MSG=3");
    // Voice-mail pieces count only with the voice-mail action.
    EXPECT_EQ(Evaluate({"MakeCall", "5", "-VMPWD", "77"}).PendingArgument.find("PWD"), std::string::npos);
}

TEST(CommandLine, HandOverTextSplitsAtRunsOfBlanksAndJoinsWithLeadingBlanks)
{
    EXPECT_EQ(SplitHandOver("  -MakeCall   555  -phone 1001 "),
              (Params{"-MakeCall", "555", "-phone", "1001"}));
    EXPECT_TRUE(SplitHandOver("   ").empty());
    EXPECT_EQ(JoinHandOver({"-MakeCall", "555"}), " -MakeCall 555");
}

} // namespace

#include "app/MarkedWindow.h"

namespace {

TEST(MarkedWindow, NameHashUpperCasesLettersOnlyAndAddsPositions)
{
    EXPECT_EQ(NameHash("AB"), 65u + 66u + 1u);
    EXPECT_EQ(NameHash("ab"), NameHash("AB"));
    EXPECT_EQ(NameHash("a1"), 65u + 49u + 1u);
    EXPECT_EQ(NameHash("\xC3\xA9"), 0xC3u + 0xA9u + 1u); // bytes beyond a to z stay as they are
    EXPECT_NE(NameHash("KovraAssistant"), NameHash("MeetMeApp"));
    EXPECT_EQ(NameHash(""), 0u);
}

TEST(CallLink, LinksDialTheirDigitsWithoutParametersAndBecomeAMakeCall)
{
    const std::pair<const char*, const char*> cases[] = {
        {"tel:+1 (425) 555-1234", "14255551234"},
        {"TEL:+1-425-555-1234;ext=77;phone-context=x", "14255551234"},
        {"tel:+1%20(425)%20555.1234", "14255551234"},
        {"callto://+14255551234?call", "14255551234"},
        {"CallTo:*72%23", "*72#"},
        {"tel:555-1234%3Bext=9", "5551234"},
    };
    for (const auto& [link, number] : cases) {
        const TCallLink parsed = ParseCallLink(link);
        EXPECT_EQ(parsed.Number, number) << link;
        EXPECT_EQ(parsed.Error, "") << link;
    }
    EXPECT_TRUE(IsCallLink("Tel:1"));
    EXPECT_FALSE(IsCallLink("telephone"));
    // What the window evaluates for a link is the make-call of its digits, like "-MakeCall".
    const auto info = Evaluate(CallLinkParameters(ParseCallLink("tel:+1-425-555-1234").Number));
    EXPECT_EQ(info.PendingAction, paMakeCall);
    EXPECT_EQ(TCsvProperties(info.PendingArgument).Value("Phone"), "14255551234");
    EXPECT_EQ(JoinHandOver(CallLinkParameters("14255551234")), " -MakeCall 14255551234");
}

TEST(CallLink, EmptyOrUndialableLinksAreRefusedWithTheirReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"tel:", "holds no number to dial."},
        {"callto:;ext=1", "holds no number to dial."},
        {"tel:(-)", "holds no number to dial."},
        {"callto:some.user", "is not a phone number that can be dialled."},
        {"tel:555%001", "is not a phone number that can be dialled."},
        {"tel:555\\1", "is not a phone number that can be dialled."},
        {"tel:555%4", "has a broken escape."},
        {"tel:555%", "has a broken escape."},
        {"tel:%G1", "has a broken escape."},
        {"sip:555", "is not a \"tel:\" or \"callto:\" link."},
        // Without dialing rules a country code other than +1 would be dialled as another number.
        {"tel:+44 20 7946 0000", "has a country code other than +1; such numbers cannot be dialled yet."},
        {"callto:%2B49-30-1234", "has a country code other than +1; such numbers cannot be dialled yet."},
        {"tel:(+7) 495 1234567", "has a country code other than +1; such numbers cannot be dialled yet."},
        {"tel:555+1234", "is not a phone number that can be dialled."},
        {"tel:++1 425", "is not a phone number that can be dialled."},
    };
    for (const auto& [link, why] : cases) {
        const TCallLink parsed = ParseCallLink(link);
        EXPECT_EQ(parsed.Number, "") << link;
        EXPECT_EQ(parsed.Error, "The link \"" + std::string(link) + "\" " + why) << link;
    }
}

// The ports test and demo runs set: a value that is no port is refused, never read as another port.
TEST(RunSwitches, PortsAreTakenOnlyAsPortNumbersAndTheShippedProgramKeepsItsInstanceName)
{
    std::map<std::string, std::string> environment;
    const auto variable = [&](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
    TAssistantOptions options;
    EXPECT_EQ(ApplyRunSwitches(variable, false, options), "");
    EXPECT_EQ(options.Network.ServerPort, 29051);
    EXPECT_EQ(options.Network.LocalPort, 7000);
    EXPECT_EQ(options.InstanceName, "KovraAssistant");

    environment = {
        {"KOVRA_SERVER_PORT", "30001"}, {"KOVRA_LOCAL_PORT", "0"}, {"KOVRA_INSTANCE_NAME", "Bench1"}};
    EXPECT_EQ(ApplyRunSwitches(variable, false, options), "");
    EXPECT_EQ(options.Network.ServerPort, 30001);
    EXPECT_EQ(options.Network.LocalPort, 0);
    EXPECT_EQ(options.InstanceName, "Bench1");

    for (const char* bad : {"", "70000", "65536", "-1", "+80", "80x", " 80", "0x50", "99999999999"}) {
        SCOPED_TRACE(bad);
        TAssistantOptions refused;
        environment = {{"KOVRA_SERVER_PORT", bad}, {"KOVRA_LOCAL_PORT", bad}};
        EXPECT_EQ(ApplyRunSwitches(variable, false, refused),
                  "KOVRA_SERVER_PORT=\"" + std::string(bad) + "\" is not a port number (1 to 65535).\n" +
                      "KOVRA_LOCAL_PORT=\"" + bad + "\" is not a port number (0 to 65535).");
        EXPECT_EQ(refused.Network.ServerPort, 29051);
        EXPECT_EQ(refused.Network.LocalPort, 7000);
    }
    environment = {{"KOVRA_SERVER_PORT", "0"}};
    EXPECT_NE(ApplyRunSwitches(variable, false, options), "");

    // One program per desktop in the build that ships, whatever the environment names.
    TAssistantOptions shipped;
    environment = {{"KOVRA_INSTANCE_NAME", "Another"}, {"KOVRA_SERVER_PORT", "29100"}};
    EXPECT_EQ(ApplyRunSwitches(variable, true, shipped), "");
    EXPECT_EQ(shipped.InstanceName, "KovraAssistant");
    EXPECT_EQ(shipped.Network.ServerPort, 29100);
}

} // namespace
