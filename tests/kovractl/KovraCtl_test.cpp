// kovractl end to end: the built program runs as a child process against the scripted server.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ApiTestServer.h"
#include "api/KovraAPIConsts.h"
#include "platform/Clock.h"

#ifndef _WIN32
#include <csignal>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace api;

namespace {

const std::string kDevice = "SIP/100";
const std::string kOid = "0123456789ABCDEF01234567";
const std::string kRelated = "00000000000000000000000A";

struct RunResult {
    int ExitCode = -1;
    std::vector<std::string> Lines; // standard output
    std::string Errors;             // standard error; why the shell could not run, when it could not
};

std::string TempFile(const std::string& what)
{
    return ::testing::TempDir() + "kovractl_" + what + "_" + std::to_string(std::random_device()()) + ".txt";
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The program's path as the shell that runs it sees it (under Wine, drive Z: is the root).
std::string ProgramPath()
{
    std::string path = KOVRACTL_PATH;
#ifdef _WIN32
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
#endif
    return path;
}

RunResult RunKovraCtl(const std::string& arguments, const std::string& input = std::string())
{
    const std::string outFile = TempFile("out"), errorFile = TempFile("errors"),
                      inputFile = TempFile("input");
    std::ofstream(inputFile, std::ios::binary) << input;
    std::string command = "\"" + ProgramPath() + "\" " + arguments + " < \"" + inputFile + "\" > \"" +
                          outFile + "\" 2> \"" + errorFile + "\"";
#ifdef _WIN32
    // cmd /c drops the outermost quotes when there are more than two.
    command = "\"" + command + "\"";
#endif
    RunResult result;
    errno = 0;
    const int status = std::system(command.c_str());
    const int systemError = errno;
#ifdef _WIN32
    result.ExitCode = status;
#else
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    std::istringstream out(ReadFile(outFile));
    for (std::string line; std::getline(out, line);) {
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        result.Lines.push_back(line);
    }
    result.Errors = ReadFile(errorFile);
    if (status == -1)
        result.Errors += "the shell did not run: " + std::string(std::strerror(systemError));
    for (const std::string& file : {outFile, errorFile, inputFile})
        std::remove(file.c_str());
    return result;
}

std::vector<nlohmann::json> Events(const RunResult& result, const std::string& name)
{
    std::vector<nlohmann::json> events;
    for (const std::string& line : result.Lines) {
        const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        if (!event.is_discarded() && event.value("event", "") == name)
            events.push_back(event);
    }
    return events;
}

class KovraCtl : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.OnRequest(KovraMsg::MONITOR_START_REQ, [this](ApiTestServer& s, const TReceivedDatagram&) {
            s.Send(s.Response(KovraMsg::MONITOR_START_RSP, monitorError).Int(5).Str(kDevice).Int(1));
        });
        server.OnRequest(KovraMsg::MONITOR_STOP_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
            s.Send(s.Response(KovraMsg::MONITOR_STOP_RSP, 0));
        });
    }

    std::string Options() const
    {
        return "--server 127.0.0.1 --server-port " + std::to_string(server.Port()) +
               " --local-port 0 --phone 100 --pwd secret ";
    }

    // The client's requests in the order they came, without ACKs.
    std::vector<std::uint32_t> RequestTypes() const
    {
        std::vector<std::uint32_t> types;
        for (const TReceivedDatagram& datagram : server.Received())
            if (datagram.Type != KovraMsg::ACK)
                types.push_back(datagram.Type);
        return types;
    }

    ApiTestServer server;
    std::atomic<std::uint32_t> monitorError{0};
};

TEST_F(KovraCtl, PrintsTheCallConnectionEventAsJsonAndEndsCleanly)
{
    server.OnRequest(KovraMsg::ANSWER_CALL_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        // One party, named in UTF-8 and then a byte that is not.
        TMsgBuilder event = ApiTestServer::Event(KovraMsg::CALL_CONNECTION_EVENT);
        event.Int(5).Str(kDevice).Oid(kOid).Int(3).Int(22).Int(1700000000).Int(1);
        s.Send(event.Int(1700000000).Str("555").Str("Zo\xC3\xAB \xFF").Int(7).Int(9).Oid(kRelated));
        s.Send(s.Response(KovraMsg::ANSWER_CALL_RSP, 0));
    });
    const RunResult result = RunKovraCtl(Options() + "answer " + kOid);
    EXPECT_EQ(result.ExitCode, 0);

    const auto login = Events(result, "OnLogin");
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(login[0]["szDevice"], kDevice);
    const auto calls = Events(result, "OnCallConnection");
    ASSERT_EQ(calls.size(), 1u);
    const std::string when = platform::FormatDateTime(platform::UtcSecondsToLocal(1700000000));
    const nlohmann::json party = {{"PartyTime", when},
                                  {"PartyNumber", "555"},
                                  {"PartyName", "Zo\xC3\xAB \xEF\xBF\xBD"},
                                  {"PartyState", 7},
                                  {"PartyConnState", 9}};
    EXPECT_EQ(calls[0], (nlohmann::json{{"event", "OnCallConnection"},
                                        {"dwMonitorID", 5},
                                        {"szDevice", kDevice},
                                        {"oidCall", kOid},
                                        {"oidRelated", kRelated},
                                        {"dwEvent", 3},
                                        {"dwEventCause", 22},
                                        {"dtEventTime", when},
                                        {"nCount", 1},
                                        {"Connections", nlohmann::json::array({party})}}));
    const auto answers = Events(result, "OnAnswerCall");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0]["dwError"], 0);
    EXPECT_TRUE(Events(result, "OnSend").empty()); // only with --trace

    const auto request = server.ReceivedOfType(KovraMsg::ANSWER_CALL_REQ);
    ASSERT_EQ(request.size(), 1u);
    TKovraAPIMsg msg = request[0].Message();
    EXPECT_EQ(msg.ReadInt32(), 0u);
    EXPECT_EQ(msg.ReadStr(), kDevice);
    EXPECT_EQ(msg.ReadOid(), kOid);
    EXPECT_EQ(RequestTypes(), (std::vector<std::uint32_t>{KovraMsg::LOGIN_REQ, KovraMsg::MONITOR_START_REQ,
                                                          KovraMsg::ANSWER_CALL_REQ,
                                                          KovraMsg::MONITOR_STOP_REQ, KovraMsg::DISCONNECT}));
}

// A refused answer exits with 1, whether its event reaches the application (hold) or only the
// receive hook (alternate); --trace names the messages sent and received.
TEST_F(KovraCtl, RefusedAnswerExitsWithOneAndTraceNamesTheMessages)
{
    server.OnRequest(KovraMsg::ALTERNATE_CALL_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::ALTERNATE_CALL_RSP, 6));
    });
    const RunResult alternate = RunKovraCtl(Options() + "alternate " + kOid + " " + kRelated);
    EXPECT_EQ(alternate.ExitCode, 1);
    const auto alternates = Events(alternate, "OnAlternateCall");
    ASSERT_EQ(alternates.size(), 1u);
    EXPECT_EQ(alternates[0]["dwError"], 6);

    server.OnRequest(KovraMsg::HOLD_CALL_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::HOLD_CALL_RSP, 4));
    });
    server.InvokeID = 9; // responses with another identifier would be dropped
    const RunResult result = RunKovraCtl(Options() + "--invoke-id 9 --trace hold " + kOid);
    EXPECT_EQ(result.ExitCode, 1);
    const auto holds = Events(result, "OnHoldCall");
    ASSERT_EQ(holds.size(), 1u);
    EXPECT_EQ(holds[0]["dwError"], 4);
    bool sawHoldRequest = false;
    for (const nlohmann::json& send : Events(result, "OnSend"))
        sawHoldRequest = sawHoldRequest || send["name"] == "HOLD_CALL_REQ";
    EXPECT_TRUE(sawHoldRequest);
    bool sawHoldResponse = false;
    for (const nlohmann::json& receive : Events(result, "OnReceive"))
        sawHoldResponse =
            sawHoldResponse || (receive["name"] == "HOLD_CALL_RSP" && receive["dwMsgType"] == 271);
    EXPECT_TRUE(sawHoldResponse);
}

// A LOGIN_RSP with an error, one that never comes and a refused monitor start are all exit 3, each
// told as what it was; only a session that got as far as the monitor start says goodbye.
TEST_F(KovraCtl, RefusedAndUnansweredLogInsAreReportedAsWhatTheyWere)
{
    struct Case {
        std::uint32_t LoginError, MonitorError;
        bool Answer;
        const char* Says;
    };
    for (const Case& c : {Case{5, 0, true, "the server refused the log-in (error 5: "},
                          Case{0, 0, false, "acknowledged the log-in request but sent no answer"},
                          Case{0, 1, true, "the monitor start was refused (error 1: "}}) {
        server.LoginError = c.LoginError;
        server.AnswerLogin = c.Answer;
        monitorError = c.MonitorError;
        const std::size_t monitors = server.Count(KovraMsg::MONITOR_START_REQ);
        const std::size_t goodbyes = server.Count(KovraMsg::DISCONNECT);
        const RunResult result = RunKovraCtl(Options() + "state");
        EXPECT_EQ(result.ExitCode, 3) << c.Says;
        EXPECT_NE(result.Errors.find(c.Says), std::string::npos) << result.Errors;
        EXPECT_EQ(server.Count(KovraMsg::MONITOR_START_REQ), monitors + (c.MonitorError ? 1 : 0)) << c.Says;
        // The goodbye can still be on its way to the server's thread when the program has ended.
        if (c.MonitorError) {
            EXPECT_TRUE(server.AwaitCount(KovraMsg::DISCONNECT, goodbyes + 1)) << c.Says;
        }
        EXPECT_EQ(server.Count(KovraMsg::DISCONNECT), goodbyes + (c.MonitorError ? 1 : 0)) << c.Says;
    }
    EXPECT_EQ(server.Count(KovraMsg::MONITOR_STOP_REQ), 0u);
}

#ifndef _WIN32

// kovractl started in the background with its output in files, to be signalled.
class KovraCtlChild {
public:
    explicit KovraCtlChild(const std::string& arguments) : out_(TempFile("out")), errors_(TempFile("errors"))
    {
        const std::string command = "exec \"" + ProgramPath() + "\" " + arguments + " < /dev/null > \"" +
                                    out_ + "\" 2> \"" + errors_ + "\"";
        pid_ = fork();
        if (pid_ == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~KovraCtlChild()
    {
        if (pid_ > 0 && !exitCode_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::remove(out_.c_str());
        std::remove(errors_.c_str());
    }

    void Signal(int signal) const { kill(pid_, signal); }
    // The exit code once the program has ended within ms, nothing when it has not.
    std::optional<int> AwaitExit(unsigned ms)
    {
        const std::uint64_t until = platform::TickCount() + ms;
        while (!exitCode_) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_)
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            else if (platform::TickCount() >= until)
                break;
            else
                usleep(5000);
        }
        return exitCode_;
    }
    std::string Errors() const { return ReadFile(errors_); }

private:
    std::string out_;
    std::string errors_;
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

// Ctrl-C and SIGTERM end any wait at once: the log-in, a command's wait for its answer (a wait of
// the session's own, or a busy one), the wait for the log-out's answer. Logged in, the goodbye
// still reaches the server: MONITOR_STOP_REQ, then DISCONNECT.
TEST_F(KovraCtl, ASignalEndsEveryWaitAtOnceWithTheGoodbyeWhenLoggedIn)
{
    struct Case {
        const char* Name;
        std::string Command;
        std::uint32_t SignalAfter; // the request whose arrival shows the wait has begun
        int Signal;
        int ExitCode;
        bool LoggedIn;
        const char* Says;
    };
    const Case cases[] = {
        {"log-in", "state", KovraMsg::LOGIN_REQ, SIGTERM, 3, false, "the log-in was interrupted"},
        {"answer", "state", KovraMsg::QUERY_PHONE_STATE_REQ, SIGINT, 1, true, "state: interrupted"},
        {"busy answer", "get-forwarding", KovraMsg::GET_CALL_FORWARDING_REQ, SIGTERM, 1, true,
         "get-forwarding: interrupted"},
        {"event", "hold " + kOid, KovraMsg::HOLD_CALL_REQ, SIGINT, 1, true, "hold: interrupted"},
        {"log-out", "dnd on", KovraMsg::MONITOR_STOP_REQ, SIGINT, 0, true, ""},
    };
    server.OnRequest(KovraMsg::SET_DO_NOT_DISTURB_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::SET_DO_NOT_DISTURB_RSP, 0));
    });
    server.OnRequest(KovraMsg::MONITOR_STOP_REQ, [](ApiTestServer&, const TReceivedDatagram&) {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        server.Acknowledge = c.SignalAfter != KovraMsg::LOGIN_REQ;
        const std::size_t stops = server.Count(KovraMsg::MONITOR_STOP_REQ);
        const std::size_t goodbyes = server.Count(KovraMsg::DISCONNECT);
        KovraCtlChild child(Options() + c.Command);
        ASSERT_TRUE(
            server.AwaitCount(c.SignalAfter, c.SignalAfter == KovraMsg::MONITOR_STOP_REQ ? stops + 1 : 1));
        child.Signal(c.Signal);
        const std::optional<int> exitCode = child.AwaitExit(1000);
        ASSERT_TRUE(exitCode.has_value()) << "still waiting a second after the signal";
        EXPECT_EQ(*exitCode, c.ExitCode);
        EXPECT_NE(child.Errors().find(c.Says), std::string::npos) << child.Errors();
        EXPECT_EQ(server.Count(KovraMsg::MONITOR_STOP_REQ), stops + (c.LoggedIn ? 1 : 0));
        EXPECT_EQ(server.AwaitCount(KovraMsg::DISCONNECT, goodbyes + 1, 200), c.LoggedIn);
        if (c.LoggedIn) {
            const auto received = server.Received();
            EXPECT_EQ(received.back().Type, KovraMsg::DISCONNECT);
        }
    }
}

#endif

TEST_F(KovraCtl, WrongUsageExitsWithTwoBeforeTouchingTheNetwork)
{
    for (const std::string& arguments :
         {Options(), Options() + "dial 5", Options() + "dnd maybe", Options() + "answer",
          Options() + "set-forwarding 7 100", Options() + "call 5 x", Options() + "call 5 1 --param 2",
          std::string("--phone 1 --pwd x state"),
          std::string("--server 127.0.0.1 --phone 1 --pwd x --local-port notaport state")}) {
        const RunResult result = RunKovraCtl(arguments);
        EXPECT_EQ(result.ExitCode, 2) << arguments << "\n" << result.Errors;
    }
    EXPECT_TRUE(server.Received().empty());
}

// The shell runs each line (a call's options as a word or with --param), skips one it cannot
// parse, and ends at quit.
TEST_F(KovraCtl, ShellRunsEachLineAndQuitEnds)
{
    server.OnRequest(KovraMsg::SET_DO_NOT_DISTURB_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::SET_DO_NOT_DISTURB_RSP, 0));
    });
    server.OnRequest(KovraMsg::GET_CALL_FORWARDING_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::GET_CALL_FORWARDING_RSP, 0).Str("200").Str("").Str("300").Str(""));
    });
    server.OnRequest(KovraMsg::MAKE_CALL_REQ, [](ApiTestServer& s, const TReceivedDatagram&) {
        s.Send(s.Response(KovraMsg::MAKE_CALL_RSP, 0).Oid(kOid));
    });
    const RunResult result = RunKovraCtl(
        Options() + "shell",
        "dnd on\nbogus words\nget-forwarding\ncall 555 3\ncall 556 --param 4\ncall 557\nquit\ndnd off\n");
    EXPECT_EQ(result.ExitCode, 0);
    ASSERT_EQ(Events(result, "OnDoNotDisturb").size(), 1u);
    const auto forwarding = Events(result, "OnGetForwarding");
    ASSERT_EQ(forwarding.size(), 1u);
    EXPECT_EQ(forwarding[0]["CallForwarding"]["ForwardAll"], "200");
    EXPECT_EQ(forwarding[0]["CallForwarding"]["ForwardNoAnswer"], "300");
    const auto calls = server.ReceivedOfType(KovraMsg::MAKE_CALL_REQ);
    ASSERT_EQ(calls.size(), 3u);
    const std::uint32_t options[] = {3, 4, 0};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        TKovraAPIMsg msg = calls[i].Message();
        msg.ReadInt32();
        EXPECT_EQ(msg.ReadStr(), kDevice);
        EXPECT_EQ(msg.ReadStr(), "55" + std::to_string(5 + i));
        EXPECT_EQ(msg.ReadInt32(), options[i]) << i;
    }
    EXPECT_EQ(server.Count(KovraMsg::SET_DO_NOT_DISTURB_REQ), 1u);
    // The goodbye can still be on its way to the server's thread when the program has ended.
    EXPECT_TRUE(server.AwaitCount(KovraMsg::DISCONNECT, 1));
    EXPECT_EQ(server.Count(KovraMsg::DISCONNECT), 1u);
}

} // namespace
