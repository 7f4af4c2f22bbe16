#include <gtest/gtest.h>

#include "LoopbackHttpServer.h"
#include "TestSupport.h"
#include "platform/Clock.h"
#include "platform/HttpGet.h"
#include "platform/MainLoop.h"
#include "settings/KALookAndFeel.h"
#include "settings/MessageBundle.h"
#include "settings/SpeedDials.h"

namespace {

std::string Portal(const LoopbackHttpServer& server)
{
    return "http://127.0.0.1:" + std::to_string(server.Port());
}

} // namespace

TEST(PortalFetch, FetchesAResourceFromAPortalOnItsOwnPort)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Listening());
    std::string large(5000, 'x');
    large[4999] = 'y';
    server.Serve("/inc/WebPortalStyles.css", 200, large);

    platform::HttpConnection connection;
    ASSERT_TRUE(OpenPortalConnection(connection, Portal(server)));
    std::string stream = "stale";
    ASSERT_TRUE(FetchResource(connection, Portal(server) + "/inc/WebPortalStyles.css", stream));
    EXPECT_EQ(stream, large);
    ASSERT_FALSE(server.Requests().empty());
    EXPECT_EQ(server.Requests()[0].substr(0, 33), "GET /inc/WebPortalStyles.css HTTP");
    EXPECT_NE(server.Requests()[0].find("KovraApps"), std::string::npos);
}

TEST(PortalFetch, AnErrorPageStillCountsAsContent)
{
    LoopbackHttpServer server;
    server.Serve("/KovraAppsServlet?Command=GetMsgBundle", 500, "txtError=Server trouble\r\n");
    platform::HttpConnection connection;
    ASSERT_TRUE(OpenPortalConnection(connection, Portal(server)));
    std::string stream;
    ASSERT_TRUE(FetchResource(connection, Portal(server) + "/KovraAppsServlet?Command=GetMsgBundle", stream));
    TMessageBundle bundle;
    bundle.LoadProperties(stream);
    EXPECT_EQ(bundle.GetText("txtError", ""), "Server trouble");

    ASSERT_TRUE(FetchResource(connection, Portal(server) + "/images/logo.gif", stream));
    EXPECT_NE(stream.find("no such page"), std::string::npos);
}

TEST(PortalFetch, EmptyBodyOrNoServerIsNoContent)
{
    LoopbackHttpServer server;
    server.Serve("/empty", 200, "");
    platform::HttpConnection connection;
    ASSERT_TRUE(OpenPortalConnection(connection, Portal(server)));
    std::string stream = "stale";
    EXPECT_FALSE(FetchResource(connection, Portal(server) + "/empty", stream));
    EXPECT_EQ(stream, "");

    std::string closed = "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::UnusedPort());
    platform::HttpConnection refused;
    // WinINet connects on the request, libcurl too: opening may succeed, the fetch may not.
    bool opened = OpenPortalConnection(refused, closed);
    EXPECT_FALSE(opened && FetchResource(refused, closed + "/empty", stream));
}

TEST(PortalFetch, StopRequestEndsTheReadWithoutContent)
{
    LoopbackHttpServer server;
    server.Serve("/big", 200, std::string(4096, 'z'));
    platform::HttpConnection connection;
    ASSERT_TRUE(OpenPortalConnection(connection, Portal(server)));
    std::atomic<bool> stop{true};
    std::string stream;
    EXPECT_FALSE(FetchResource(connection, Portal(server) + "/big", stream, &stop));
    EXPECT_TRUE(stream.empty());
}

TEST(SpeedDials, FetchedWithTheUserHeader)
{
    LoopbackHttpServer server;
    server.Serve("/KovraAppsServlet?Command=GetSpeedDials", 200,
                 "2\r\nOffice=4255551000\r\nHome=4255552000\r\n");
    TSpeedDials dials("bob", Portal(server));
    EXPECT_EQ(dials.LoadSpeedDials(), (std::vector<std::string>{"Office=4255551000", "Home=4255552000"}));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("user: bob"), std::string::npos);

    EXPECT_TRUE(TSpeedDials("bob", "").LoadSpeedDials().empty());
    std::string closed = "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::UnusedPort());
    EXPECT_TRUE(TSpeedDials("bob", closed).LoadSpeedDials().empty());
}

TEST(SpeedDials, AnswerParsing)
{
    using Lines = std::vector<std::string>;
    EXPECT_EQ(TSpeedDials::ParseAnswer("2\r\nOffice=4255551000\r\nHome=4255552000"),
              (Lines{"Office=4255551000", "Home=4255552000"}));
    EXPECT_EQ(TSpeedDials::ParseAnswer("0\r\nOffice=1\r\n"), Lines{});
    EXPECT_EQ(TSpeedDials::ParseAnswer("2\nOffice=1\nHome=2"), Lines{});
    EXPECT_EQ(TSpeedDials::ParseAnswer("3\r\nA=1\r\nB=2\r\n"), (Lines{"A=1", "B=2"}));
    EXPECT_EQ(TSpeedDials::ParseAnswer("x\r\nA=1\r\n"), Lines{});
    EXPECT_EQ(TSpeedDials::ParseAnswer("2\r\nA=1\r\n\r\nB=2"), (Lines{"A=1", "", "B=2"}));
    // Bare carriage returns: the first entry keeps its first character.
    EXPECT_EQ(TSpeedDials::ParseAnswer("2\rOffice=1\rHome=2\r"), (Lines{"Office=1", "Home=2"}));
    EXPECT_EQ(TSpeedDials::ParseAnswer(std::string("1\r\nA=1\0B=2", 10)), Lines{"A=1"});
    EXPECT_EQ(TSpeedDials::ParseAnswer(""), Lines{});
}

TEST(LookAndFeel, WebModeFillsTextsColoursAndLogoFromThePortal)
{
    LoopbackHttpServer server;
    server.Serve("/KovraAppsServlet?Command=GetMsgBundle", 200, "txtTitle=Portal title\r\n");
    server.Serve("/inc/WebPortalStyles.css", 200, "pageHeader { color: #0000FF; }");
    server.Serve("/images/logo.gif", 200, "GIF89a-logo");
    server.Serve("/icons/kovra.ico", 200, "ICO");

    TMessageBundle bundle;
    TKAColourTable colours;
    std::string icon;
    TKALookAndFeelTargets targets{&bundle, &colours, {}, [&](const std::string& bytes) { icon = bytes; }};
    int completions = 0;
    TKALookAndFeel loader(
        Portal(server), std::string("kovra.ico"), true, [&] { ++completions; }, targets);
    ASSERT_TRUE(PumpUntil([&] { return loader.Finished(); }, 20000));
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(bundle.GetText("txtTitle", ""), "Portal title");
    EXPECT_EQ(colours.GetColour(111, 0), 0xFF0000u);
    EXPECT_EQ(loader.Logo().Bytes, "GIF89a-logo");
    EXPECT_EQ(icon, "ICO");
}

TEST(LookAndFeel, UnreachablePortalCompletesWithDefaults)
{
    std::string closed = "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::UnusedPort());
    TMessageBundle bundle;
    TKAColourTable colours;
    TKALookAndFeel loader(closed, std::nullopt, true, {}, TKALookAndFeelTargets{&bundle, &colours, {}, {}});
    ASSERT_TRUE(PumpUntil([&] { return loader.Finished(); }, 20000));
    EXPECT_TRUE(bundle.Entries().empty());
    EXPECT_EQ(colours.GetColour(111, 0), 0xFFFFFFu);
}
