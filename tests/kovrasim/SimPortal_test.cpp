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

// Every resource as stored, under a portal address with a trailing slash too; what is not there, a
// name that climbs out of its folder, a missing user or an unknown command is refused.
TEST_F(SimPortalTest, ServesEachResourceAsStoredAndRefusesTheRest)
{
    struct Case {
        std::string Path, User;
        int Status;
        std::string Body, ContentType; // not checked when empty
    };
    const std::string dials = "/KovraAppsServlet?Command=GetSpeedDials";
    const std::string bundle = DataFile("KovraApps_en_US.properties"), logo = DataFile("logo.gif");
    const std::string icon = DataFile("icons/kovra.ico"), help = DataFile("help/index.html");
    const Case cases[] = {
        {"/KovraAppsServlet?Command=GetMsgBundle", "", 200, bundle, ""},
        {"/images/logo.gif", "", 200, logo, "image/gif"},
        {"/icons/kovra.ico", "", 200, icon, ""},
        {"/icons/none.ico", "", 404, "", ""},
        {"/icons/..%2Fspeeddials.json", "", 404, "", ""},
        {dials, "alice", 200, "3\r\nOffice=4255551000\r\nHome=4255552000\r\nBob=1002\r\n", ""},
        {dials, "bob", 200, "1\r\nReception=1001\r\n", ""},
        {dials, "mallory", 200, "0\r\n", ""},
        {dials, "", 400, "0\r\n", ""},
        {"/KovraAppsServlet?Command=Nonsense", "", 400, "", ""},
        {"/help/", "", 200, help, ""},
        {"/help", "", 200, help, ""},
        {"/help/calls.html", "", 200, DataFile("help/calls.html"), "text/html; charset=UTF-8"},
        {"/help/none.html", "", 404, "", ""},
        {"//KovraAppsServlet?Command=GetMsgBundle", "", 200, bundle, ""},
        {"//inc/WebPortalStyles.css", "", 200, DataFile("WebPortalStyles.css"), ""},
        {"//images/logo.gif", "", 200, logo, ""},
        {"//icons/kovra.ico", "", 200, icon, ""},
        {"//help/", "", 200, help, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path + " " + c.User);
        httplib::Headers headers;
        if (!c.User.empty())
            headers.emplace("user", c.User);
        auto answer = client->Get(c.Path, headers);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, c.Status);
        if (!c.Body.empty()) {
            EXPECT_EQ(answer->body, c.Body);
        }
        if (!c.ContentType.empty()) {
            EXPECT_EQ(answer->get_header_value("Content-Type"), c.ContentType);
        }
    }
    EXPECT_NE(bundle.find("SErrorDuplicateMonitor="), std::string::npos);
    EXPECT_EQ(logo.substr(0, 6), "GIF89a");
    EXPECT_NE(help.find("/help/calls.html"), std::string::npos);
}

TEST_F(SimPortalTest, StyleSheetEndsTheLinesOfTheSelectorsTheAssistantLooksFor)
{
    auto styles = client->Get("/inc/WebPortalStyles.css");
    ASSERT_TRUE(styles);
    EXPECT_EQ(styles->status, 200);
    // Selectors the assistant looks for with a carriage return after them must end their line.
    for (const char* selector : {"TABLE.pageT\r", ".label\r", ".tableValue\r", ".labelError\r",
                                 ".contentTD\r", ".info\r", ".error\r", "pageHeader", "primaryTabActiveTD"})
        EXPECT_NE(styles->body.find(selector), std::string::npos) << selector;
    // The first ".label" must be the plain one, not ".labelError".
    EXPECT_EQ(styles->body.find(".label"), styles->body.find(".label\r"));
}

TEST(SimPortalNames, OnlyPlainFileNamesAreLookedUp)
{
    for (const char* name : {"kovra.ico", "user_2-small.gif"})
        EXPECT_TRUE(kovrasim::IsPlainFileName(name)) << name;
    for (const char* name : {"", "..", ".hidden", "a/b", "a\\b", "a%2Fb"})
        EXPECT_FALSE(kovrasim::IsPlainFileName(name)) << name;
}
