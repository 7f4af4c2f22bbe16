#include <gtest/gtest.h>

#include "FakeSkin.h"
#include "settings/MessageBundle.h"

using namespace settings;

TEST(MessageBundle, PropertiesLinesSplitAtCarriageReturnsOnlyAndTrimmed)
{
    TMessageBundle bundle;
    bundle.LoadProperties("\r\n  btOk = OK \r\nformula=b=c\r\r\r\ngreeting=Hello&nbsp;World\r\nbtOk=Fine\r\n"
                          "# not a comment=kept\r\n");
    EXPECT_EQ(bundle.GetText("btOk", "x"), "Fine");
    EXPECT_EQ(bundle.GetText("BTOK", "x"), "Fine");
    EXPECT_EQ(bundle.GetText("formula", "x"), "b=c");
    EXPECT_EQ(bundle.GetText("greeting", "x"), "Hello World");
    EXPECT_EQ(bundle.GetText("# not a comment", "x"), "kept");
    EXPECT_EQ(bundle.GetText("absent", "built in"), "built in");
    EXPECT_EQ(bundle.Entries().size(), 4u);
    // Line feeds alone do not separate lines.
    bundle.LoadProperties("a=1\nb=2");
    EXPECT_EQ(bundle.GetText("a", ""), "1\nb=2");
    EXPECT_EQ(bundle.GetText("b", "none"), "none");
}

TEST(MessageBundle, ComponentsReceiveTextsByNameAsTheirClassTakesThem)
{
    TMessageBundle bundle;
    bundle.LoadProperties(
        "txtTitle=Calls\r\nbtOK=Fine\r\nimLogo=Our portal\r\nlvCalls=Name,\"Num, ber\"\r\n"
        "lvWide=Name,Number\r\nmiExit=E&xit\r\nedNumber=not for edits\r\nTTabSet=by class\r\n");
    FakeForm form;
    FakeComponent& title = form.Add("txtTitle", "TUnicodeLabel");
    FakeComponent& ok = form.Add("btok", "TButton");
    FakeComponent& logo = form.Add("imLogo", "TImage");
    FakeComponent& calls = form.Add("lvCalls", "TListView", 0, 2);
    FakeComponent& wide = form.Add("lvWide", "TListView", 0, 3);
    FakeComponent& exit = form.Add("miExit", "TUnicodeMenuItem");
    FakeComponent& edit = form.Add("edNumber", "TEdit");
    FakeComponent& unnamed = form.Add("", "TTabSet", 0, 1);
    bundle.ApplyToComponents(form);

    EXPECT_EQ(title.caption, "Calls");
    EXPECT_EQ(ok.caption, "Fine");
    EXPECT_EQ(logo.hint, "Our portal");
    EXPECT_FALSE(logo.caption);
    EXPECT_EQ(calls.itemTexts, (std::vector<std::string>{"Name", "Num, ber"}));
    EXPECT_EQ(wide.itemTexts, (std::vector<std::string>{"Name", "Number", "item2"}));
    EXPECT_EQ(exit.caption, "E&xit");
    EXPECT_FALSE(edit.caption);
    EXPECT_EQ(unnamed.itemTexts[0], "item0");
}

TEST(PortalAddress, HostPortAndPath)
{
    TPortalHost plain = PortalHostOf("HTTP://Portal.Example.com/kovra");
    EXPECT_EQ(plain.Host, "portal.example.com");
    EXPECT_EQ(plain.Port, 80);
    EXPECT_FALSE(plain.Secure);

    TPortalHost secure = PortalHostOf("https://portal.example.com");
    EXPECT_EQ(secure.Port, 443);
    EXPECT_TRUE(secure.Secure);

    // The address's own port is used for every resource, not kept inside the host name.
    TPortalHost ported = PortalHostOf("http://127.0.0.1:8080/apps");
    EXPECT_EQ(ported.Host, "127.0.0.1");
    EXPECT_EQ(ported.Port, 8080);
    EXPECT_EQ(PortalHostOf("//bare-host/x").Host, "bare-host");
    EXPECT_EQ(PortalHostOf("http://h:99999").Host, "h:99999");
    // An http portal whose name merely contains "https" is not spoken to over TLS.
    EXPECT_FALSE(PortalHostOf("http://https-portal.example.com").Secure);

    EXPECT_EQ(PortalPathOf("http://h/inc/WebPortalStyles.css"), "/inc/WebPortalStyles.css");
    EXPECT_EQ(PortalPathOf("https://portal/KovraAppsServlet?Command=GetMsgBundle"),
              "/KovraAppsServlet?Command=GetMsgBundle");
    EXPECT_EQ(PortalPathOf("http://h"), "/");
}
