#include <filesystem>
#include <fstream>

#include "SimControl.h"
#include "SimFixture.h"
#include "SimScenario.h"
#include "platform/Clock.h"
#include "platform/TcpSocket.h"

using namespace api;

namespace {

// Sends lines and reads answers until the expected number of lines came.
std::vector<std::string> Converse(platform::TcpStream& stream, const std::string& text, std::size_t answers)
{
    stream.SendAll(text.data(), text.size());
    std::vector<std::string> lines;
    std::string pending;
    const auto until = platform::TickCount() + 3000;
    char buffer[512];
    while (lines.size() < answers && platform::TickCount() < until) {
        const long received = stream.Receive(buffer, sizeof buffer, 50);
        if (received <= 0)
            continue;
        pending.append(buffer, static_cast<std::size_t>(received));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            lines.push_back(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
    }
    return lines;
}

} // namespace

TEST(SimScenarioFile, CommentsAreSkippedAndMistakesNamedByLine)
{
    std::vector<kovrasim::TScenarioLine> lines;
    std::string error;
    ASSERT_TRUE(
        kovrasim::ParseScenario("# demo\r\n\r\nwait 10\r\n  ring 1001 FROM 555\r\n", "demo", lines, error));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].Number, 4);
    EXPECT_EQ(lines[1].Text, "ring 1001 FROM 555");
    EXPECT_FALSE(kovrasim::ParseScenario("wait 10\nrnig 1001 FROM 555\n", "demo", lines, error));
    EXPECT_EQ(error, "demo:2: unknown command rnig");
    EXPECT_FALSE(kovrasim::ParseScenario("ring 1001 FROM 555 NAME \"x\n", "demo", lines, error));
    EXPECT_EQ(error, "demo:1: unclosed quote");
    EXPECT_FALSE(kovrasim::LoadScenario("/nonexistent/kovrasim.scenario", lines, error));
}

TEST_F(SimTest, CommandsAnswerOneLineAndRefuseBadArguments)
{
    auto alice = LoggedIn("1001"); // a monitored phone is never the "far end"
    EXPECT_EQ(Run("calls"), "ok 0 calls");
    EXPECT_EQ(Run("fault loss 150%"), "error a share is 0 to 1, or a percentage");
    EXPECT_EQ(Run("fault dup 0.1"), "ok");
    EXPECT_EQ(Run("fault reorder maybe"), "error usage: fault reorder on|off");
    EXPECT_EQ(Run("set-caps 1001 0xZZ"), "error usage: set-caps PHONE MASK");
    EXPECT_EQ(Run("set-voicemail 9999 3"), "error unknown phone 9999");
    EXPECT_EQ(Run("ring 1001 FROM 1001"), "error the caller must be another number");
    EXPECT_EQ(Run("answer-far 000000000000000000000000"), "error no call 000000000000000000000000");
    EXPECT_EQ(Run("meetme 12 parties 3 0x"),
              "error usage: meetme CONF change [TOPIC] | meetme CONF parties COUNT [FRAGMENTS]");
    EXPECT_EQ(Run("dance"), "error unknown command dance (try help)");
    EXPECT_EQ(Run("at 1001 transfer last"),
              "error usage: at PHONE answer|hold|retrieve|hangup CALL | at PHONE transfer CALL NUMBER");
    EXPECT_EQ(Run("at 9999 answer last"), "error unknown phone 9999");
    EXPECT_EQ(Run("at 1001 dance last"), "error unknown action dance");
    EXPECT_EQ(Run("ring 1001 FROM \"555"), "error unclosed quote");
    const std::string oid = Ring("ring 1001 FROM 4255550123");
    EXPECT_EQ(Run("calls"), "ok 1 call: " + oid + " 4255550123=3 1001=2");
    EXPECT_EQ(Run("answer-far " + oid), "error nothing rings at the far end of " + oid);
    EXPECT_EQ(Run("service 1001 off"), "ok");
    EXPECT_EQ(Run("forward 1001 busy 1002"), "ok");
    EXPECT_EQ(Run("phone 1001"),
              "ok 1001 \"Alice Archer\" caps=0xFFFFFFFF voicemail=0 dnd=off service=off busy=1002 client=1");
}

TEST_F(SimTest, ControlPortRunsCommandsFromTcpLines)
{
    sim->Stop();
    kovrasim::TSimOptions options = FastOptions();
    options.ControlPort = 0;
    StartSim(options);
    ASSERT_GT(sim->ControlPort(), 0);
    auto alice = LoggedIn("1001");
    auto stream = platform::TcpStream::Connect("127.0.0.1", static_cast<std::uint16_t>(sim->ControlPort()));
    ASSERT_TRUE(stream);
    // Two commands in one packet, one ended by CR LF, blank lines skipped.
    const auto answers =
        Converse(*stream, "set-voicemail 1001 3\r\n\nring 1001 FROM 4255550123 NAME \"Dana Dialer\"\n", 2);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], "ok");
    ASSERT_EQ(answers[1].rfind("ok ", 0), 0u);
    const std::string oid = answers[1].substr(3);
    ASSERT_TRUE(
        PumpUntil([&] { return alice->StateOf(oid) == csRinging && alice->PhoneState.VoiceMail == 3; }));
    const auto clients = Converse(*stream, "clients\n", 1);
    ASSERT_EQ(clients.size(), 1u);
    EXPECT_NE(clients[0].find("phones=1001"), std::string::npos) << clients[0];
}

TEST_F(SimTest, ScenarioRunsItsCommandsInOrder)
{
    auto alice = LoggedIn("1001");
    const auto path =
        std::filesystem::temp_directory_path() /
        ("kovrasim-scenario-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".txt");
    {
        std::ofstream file(path);
        file << "# rings after a short wait, then the caller gives up\nwait 30\nring 1001 FROM 4255550123 "
                "urgent\n"
                "wait 100\nhangup-far last\n";
    }
    std::string error;
    ASSERT_TRUE(sim->StartScenario(path.string(), error)) << error;
    ASSERT_TRUE(PumpUntil([&] { return !alice->Calls.empty(); }));
    EXPECT_EQ(alice->Calls.begin()->second.Cause, ecUrgent);
    EXPECT_TRUE(PumpUntil([&] { return alice->Calls.empty(); }));
    std::filesystem::remove(path);
}

TEST_F(SimTest, MeetmeListArrivesInTheRequestedFragments)
{
    auto alice = LoggedIn("1001");
    EXPECT_EQ(Run("meetme 42 change Weekly review"), "ok");
    EXPECT_EQ(Run("meetme 42 parties 15 2"), "ok");
    ASSERT_TRUE(PumpUntil([&] { return alice->Inbox.size() >= 3; }));
    TKovraAPIMsg change = alice->Inbox[0];
    EXPECT_EQ(change.dwMsgType, KovraMsg::MEETME_CONFERENCE_EVENT);
    EXPECT_EQ(change.ReadInt32(), 42u);
    change.ReadOid();
    EXPECT_EQ(change.ReadInt32(), 4u);
    change.ReadInt32();
    change.ReadInt32();
    change.ReadInt32();
    change.ReadInt32();
    change.ReadInt32();
    EXPECT_EQ(change.ReadStr(), "Weekly review");

    std::vector<std::string> numbers;
    for (int i = 1; i <= 2; ++i) {
        TKovraAPIMsg fragment = alice->Inbox[i];
        EXPECT_EQ(fragment.ReadInt32(), 42u);
        fragment.ReadOid();
        EXPECT_NE(fragment.ReadInt32(), 4u);
        fragment.ReadInt32();
        EXPECT_EQ(fragment.ReadInt32(), 15u);
        const std::uint32_t first = fragment.ReadInt32();
        const std::uint32_t last = fragment.ReadInt32();
        EXPECT_EQ(fragment.ReadInt32(), i == 1 ? 1u : 0u);
        EXPECT_EQ(first, i == 1 ? 0u : 8u);
        for (std::uint32_t index = first; index <= last; ++index) {
            fragment.ReadOid();
            fragment.ReadInt32();
            numbers.push_back(fragment.ReadStr());
            fragment.ReadStr();
            fragment.ReadInt32();
        }
        EXPECT_EQ(fragment.Remaining(), 0u);
    }
    EXPECT_EQ(numbers.size(), 15u);
    EXPECT_EQ(Run("meetme 42 parties 200 1"),
              "error a fragment would exceed 4096 bytes; ask for more fragments");
}
