#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "LoopbackHttpServer.h"
#include "TestSupport.h"
#include "platform/HttpGet.h"
#include "settings/KALookAndFeel.h"
#include "settings/MessageBundle.h"
#include "settings/SpeedDials.h"

using namespace settings;

namespace {

std::string Portal(std::uint16_t port)
{
    return "http://127.0.0.1:" + std::to_string(port);
}

// A portal on a port nothing listens on.
std::string ClosedPortal()
{
    return Portal(LoopbackHttpServer::UnusedPort());
}

} // namespace

// A portal that does not answer is met by the look-and-feel and speed-dial cases below.
TEST(PortalFetch, FetchesFromThePortalsOwnPortWhateverTheStatusAndNothingFromAnEmptyBody)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    const std::string large = std::string(4999, 'x') + "y";
    server.Serve("/inc/WebPortalStyles.css", 200, large);
    server.Serve("/KovraAppsServlet?Command=GetMsgBundle", 500, "txtError=Server trouble\r\n");
    server.Serve("/empty", 200, "");
    server.Serve("/big", 200, std::string(4096, 'z'));
    const std::string portal = Portal(server.Port());

    platform::HttpConnection connection;
    ASSERT_TRUE(OpenPortalConnection(connection, portal));
    std::string stream = "stale";
    ASSERT_TRUE(FetchResource(connection, portal + "/inc/WebPortalStyles.css", stream));
    EXPECT_EQ(stream, large);
    ASSERT_FALSE(server.Requests().empty());
    EXPECT_EQ(server.Requests()[0].substr(0, 33), "GET /inc/WebPortalStyles.css HTTP");
    EXPECT_NE(server.Requests()[0].find("KovraApps"), std::string::npos);

    // An error page still counts as content.
    ASSERT_TRUE(FetchResource(connection, portal + "/KovraAppsServlet?Command=GetMsgBundle", stream));
    EXPECT_EQ(stream, "txtError=Server trouble\r\n");

    EXPECT_FALSE(FetchResource(connection, portal + "/empty", stream));
    EXPECT_EQ(stream, "");
    // A stop request ends the read without content.
    std::atomic<bool> stop{true};
    stream = "stale";
    EXPECT_FALSE(FetchResource(connection, portal + "/big", stream, &stop));
    EXPECT_TRUE(stream.empty());
}

#ifdef _WIN32
// The system's HTTP library is loaded while any connection is open and let go after the last.
TEST(PortalFetch, TheHttpLibraryIsHeldWhileAConnectionIsOpenAndLetGoAfterTheLast)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    server.Serve("/a", 200, "first");
    const std::string portal = Portal(server.Port());
    ASSERT_EQ(GetModuleHandleW(L"wininet.dll"), nullptr);
    std::string stream;
    {
        platform::HttpConnection one;
        platform::HttpConnection two;
        ASSERT_TRUE(OpenPortalConnection(one, portal));
        ASSERT_TRUE(OpenPortalConnection(two, portal));
        one.Close();
        one.Close();
        ASSERT_TRUE(FetchResource(two, portal + "/a", stream));
        EXPECT_EQ(stream, "first");
    }
    EXPECT_EQ(GetModuleHandleW(L"wininet.dll"), nullptr);
    platform::HttpConnection again;
    ASSERT_TRUE(OpenPortalConnection(again, portal));
    stream.clear();
    EXPECT_TRUE(FetchResource(again, portal + "/a", stream));
    EXPECT_EQ(stream, "first");
}
#endif

TEST(SpeedDials, FetchedWithTheUserHeader)
{
    LoopbackHttpServer server;
    server.Serve("/KovraAppsServlet?Command=GetSpeedDials", 200,
                 "2\r\nOffice=4255551000\r\nHome=4255552000\r\n");
    TSpeedDials dials("bob", Portal(server.Port()));
    EXPECT_EQ(dials.LoadSpeedDials(), (std::vector<std::string>{"Office=4255551000", "Home=4255552000"}));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("user: bob"), std::string::npos);

    EXPECT_TRUE(TSpeedDials("bob", "").LoadSpeedDials().empty());
    EXPECT_TRUE(TSpeedDials("bob", ClosedPortal()).LoadSpeedDials().empty());
}

TEST(SpeedDials, AnswerParsing)
{
    using Lines = std::vector<std::string>;
    const std::pair<std::string, Lines> cases[] = {
        {"2\r\nOffice=4255551000\r\nHome=4255552000", {"Office=4255551000", "Home=4255552000"}},
        {"0\r\nOffice=1\r\n", {}},
        {"2\nOffice=1\nHome=2", {}},
        {"3\r\nA=1\r\nB=2\r\n", {"A=1", "B=2"}},
        {"x\r\nA=1\r\n", {}},
        {"2\r\nA=1\r\n\r\nB=2", {"A=1", "", "B=2"}},
        // Bare carriage returns: the first entry keeps its first character.
        {"2\rOffice=1\rHome=2\r", {"Office=1", "Home=2"}},
        {std::string("1\r\nA=1\0B=2", 10), {"A=1"}},
        {"", {}},
    };
    for (const auto& [answer, lines] : cases)
        EXPECT_EQ(TSpeedDials::ParseAnswer(answer), lines) << answer;
}

TEST(LookAndFeel, WebModeFillsTextsColoursAndLogoFromThePortalOrCompletesWithDefaults)
{
    LoopbackHttpServer server;
    server.Serve("/KovraAppsServlet?Command=GetMsgBundle", 200, "txtTitle=Portal title\r\n");
    server.Serve("/inc/WebPortalStyles.css", 200, "pageHeader { color: #0000FF; }");
    server.Serve("/images/logo.gif", 200, "GIF89a-logo");
    server.Serve("/icons/kovra.ico", 200, "ICO");

    for (const bool reachable : {true, false}) {
        SCOPED_TRACE(reachable);
        TMessageBundle bundle;
        TKAColourTable colours;
        std::string icon;
        TKALookAndFeelTargets targets{&bundle, &colours, {}, [&](const std::string& bytes) { icon = bytes; }};
        int completions = 0;
        TKALookAndFeel loader(
            reachable ? Portal(server.Port()) : ClosedPortal(), std::string("kovra.ico"), true,
            [&] { ++completions; }, targets);
        ASSERT_TRUE(PumpUntil([&] { return loader.Finished(); }, 20000));
        EXPECT_EQ(completions, 1);
        EXPECT_EQ(bundle.Entries().size(), reachable ? 1u : 0u);
        EXPECT_EQ(bundle.GetText("txtTitle", ""), reachable ? "Portal title" : "");
        EXPECT_EQ(colours.GetColour(111, 0), reachable ? 0xFF0000u : 0xFFFFFFu);
        EXPECT_EQ(loader.Logo().Bytes, reachable ? "GIF89a-logo" : "");
        EXPECT_EQ(icon, reachable ? "ICO" : "");
    }
}
