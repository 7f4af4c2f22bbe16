#include <fstream>
#include <sstream>

#include <httplib.h>

#include "SimFixture.h"
#include "SimPortal.h"
#include "platform/TcpSocket.h"

namespace {

std::string DataFile(const std::string& name)
{
    std::ifstream file(std::string(KOVRASIM_TEST_DATA) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

class SimPortalTest : public SimTest {
protected:
    void SetUp() override
    {
        kovrasim::TSimOptions options = FastOptions();
        options.PortalPort = 0;
        StartSim(options);
        client = std::make_unique<httplib::Client>("127.0.0.1", sim->PortalPort());
    }
    std::unique_ptr<httplib::Client> client;
};

TEST_F(SimPortalTest, ServesBundleStyleSheetLogoAndIconsAsStored)
{
    auto bundle = client->Get("/KovraAppsServlet?Command=GetMsgBundle");
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->status, 200);
    EXPECT_EQ(bundle->body, DataFile("KovraApps_en_US.properties"));
    EXPECT_NE(bundle->body.find("SErrorDuplicateMonitor="), std::string::npos);

    auto styles = client->Get("/inc/WebPortalStyles.css");
    ASSERT_TRUE(styles);
    EXPECT_EQ(styles->status, 200);
    // Selectors the assistant looks for with a carriage return after them must end their line.
    for (const char* selector : {"TABLE.pageT\r", ".label\r", ".tableValue\r", ".labelError\r",
                                 ".contentTD\r", ".info\r", ".error\r", "pageHeader", "primaryTabActiveTD"})
        EXPECT_NE(styles->body.find(selector), std::string::npos) << selector;
    // The first ".label" must be the plain one, not ".labelError".
    EXPECT_EQ(styles->body.find(".label"), styles->body.find(".label\r"));

    auto logo = client->Get("/images/logo.gif");
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->status, 200);
    EXPECT_EQ(logo->get_header_value("Content-Type"), "image/gif");
    EXPECT_EQ(logo->body.substr(0, 6), "GIF89a");

    auto icon = client->Get("/icons/kovra.ico");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->status, 200);
    EXPECT_EQ(icon->body, DataFile("icons/kovra.ico"));
    auto missing = client->Get("/icons/none.ico");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    auto escape = client->Get("/icons/..%2Fspeeddials.json");
    ASSERT_TRUE(escape);
    EXPECT_EQ(escape->status, 404);
}

TEST_F(SimPortalTest, SpeedDialsFollowTheUserHeader)
{
    auto alice = client->Get("/KovraAppsServlet?Command=GetSpeedDials", {{"user", "alice"}});
    ASSERT_TRUE(alice);
    EXPECT_EQ(alice->status, 200);
    EXPECT_EQ(alice->body, "3\r\nOffice=4255551000\r\nHome=4255552000\r\nBob=1002\r\n");
    auto bob = client->Get("/KovraAppsServlet?Command=GetSpeedDials", {{"user", "bob"}});
    ASSERT_TRUE(bob);
    EXPECT_EQ(bob->body, "1\r\nReception=1001\r\n");
    auto stranger = client->Get("/KovraAppsServlet?Command=GetSpeedDials", {{"user", "mallory"}});
    ASSERT_TRUE(stranger);
    EXPECT_EQ(stranger->body, "0\r\n");
    auto nobody = client->Get("/KovraAppsServlet?Command=GetSpeedDials");
    ASSERT_TRUE(nobody);
    EXPECT_EQ(nobody->status, 400);
    EXPECT_EQ(nobody->body, "0\r\n");
    auto unknown = client->Get("/KovraAppsServlet?Command=Nonsense");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 400);
}

TEST_F(SimPortalTest, HelpPagesAreServedAndOthersAreNot)
{
    auto index = client->Get("/help/");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 200);
    EXPECT_NE(index->body.find("/help/calls.html"), std::string::npos);
    auto bare = client->Get("/help");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->body, index->body);
    auto calls = client->Get("/help/calls.html");
    ASSERT_TRUE(calls);
    EXPECT_EQ(calls->status, 200);
    EXPECT_EQ(calls->get_header_value("Content-Type"), "text/html; charset=UTF-8");
    auto missing = client->Get("/help/none.html");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

TEST(SimPortalNames, OnlyPlainFileNamesAreLookedUp)
{
    EXPECT_TRUE(kovrasim::IsPlainFileName("kovra.ico"));
    EXPECT_TRUE(kovrasim::IsPlainFileName("user_2-small.gif"));
    EXPECT_FALSE(kovrasim::IsPlainFileName(""));
    EXPECT_FALSE(kovrasim::IsPlainFileName(".."));
    EXPECT_FALSE(kovrasim::IsPlainFileName(".hidden"));
    EXPECT_FALSE(kovrasim::IsPlainFileName("a/b"));
    EXPECT_FALSE(kovrasim::IsPlainFileName("a\\b"));
    EXPECT_FALSE(kovrasim::IsPlainFileName("a%2Fb"));
}

TEST_F(SimPortalTest, APortalAddressWithATrailingSlashStillReachesEveryResource)
{
    for (const char* path : {"//KovraAppsServlet?Command=GetMsgBundle", "//inc/WebPortalStyles.css",
                             "//images/logo.gif", "//icons/kovra.ico", "//help/"}) {
        auto answer = client->Get(path);
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, 200) << path;
        EXPECT_FALSE(answer->body.empty()) << path;
    }
    auto logo = client->Get("//images/logo.gif");
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->body, DataFile("logo.gif"));
}
