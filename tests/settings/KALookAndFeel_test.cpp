#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "FakeSkin.h"
#include "TestSupport.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "settings/KALookAndFeel.h"

namespace {

class TempFolder {
public:
    TempFolder()
    {
        // Test programs run in parallel, often started within the same millisecond: a random
        // name keeps one from removing another's folder.
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("kovra-laf-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path_ / name, std::ios::binary) << content;
    }
    std::string Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

} // namespace

TEST(ColourTable, DefaultsAndUnknownTags)
{
    TKAColourTable colours;
    EXPECT_EQ(colours.GetColour(100, 0), 0x00CE00u);
    EXPECT_EQ(colours.GetColour(192, 0), 0xFF0000u);
    EXPECT_EQ(colours.GetColour(999, 0x123456), 0x123456u);
    colours.SetColour(999, 1);
    EXPECT_EQ(colours.GetColour(999, 7), 7u);
    colours.SetColour(133, 0xABCDEF);
    EXPECT_EQ(colours.GetColour(133, 0), 0xABCDEFu);
}

TEST(ColourTable, StyleSheetColoursAreStoredAsBlueGreenRed)
{
    TKAColourTable colours;
    colours.ParseStyles(".pageHeader { color: #FF0000; }");
    EXPECT_EQ(colours.GetColour(111, 0), 0x0000FFu);
    // Three digits: the first two are red, the rest is not hexadecimal and reads as 0.
    colours.ParseStyles("userTitle { color: #fff; }");
    EXPECT_EQ(colours.GetColour(121, 0), 0x0000FFu);
    colours.ParseStyles("buttonA { color: #1");
    EXPECT_EQ(colours.GetColour(131, 0), 0u);
}

TEST(ColourTable, PlainTextSearchRules)
{
    TKAColourTable colours;
    // "color" is found inside "background-color", and the search runs past the rule's brace.
    colours.ParseStyles(".pageHeader { background-color: #102030; color: #FFFFFF; }\n"
                        "buttonTD { } .other { background-color: #0A0B0C; }");
    EXPECT_EQ(colours.GetColour(111, 0), 0x302010u);
    EXPECT_EQ(colours.GetColour(130, 0), 0x0C0B0Au);
    // Tags without a style-sheet source keep their defaults; an absent selector too.
    EXPECT_EQ(colours.GetColour(132, 0), 0xC0C0C0u);
    EXPECT_EQ(colours.GetColour(133, 0), 0xFF9E3Eu);
    EXPECT_EQ(colours.GetColour(100, 0), 0x00CE00u);
}

TEST(ColourTable, CarriageReturnSelectorsMustEndTheirLine)
{
    TKAColourTable colours;
    colours.ParseStyles(".labelError { color: #112233; }\r\n.label\r\n{ color: #445566; }\r\n"
                        ".error\r\n{ color: #778899; }");
    // ".label" (141) matches the start of ".labelError"; ".label\r" (161) only the line of its own.
    EXPECT_EQ(colours.GetColour(141, 0), 0x332211u);
    EXPECT_EQ(colours.GetColour(161, 0), 0x665544u);
    EXPECT_EQ(colours.GetColour(162, 0), 0x0000FFu);
    EXPECT_EQ(colours.GetColour(192, 0), 0x998877u);
}

TEST(ColourTable, FormAndComponentsTakeColoursByTag)
{
    TKAColourTable colours;
    colours.SetColour(161, 0x111111);
    colours.SetColour(140, 0x222222);
    colours.SetColour(141, 0x333333);
    FakeForm form("fmTest", 190);
    FakeComponent& transparent = form.Add("txtA", "TUnicodeLabel", 161);
    transparent.transparent = true;
    FakeComponent& opaque = form.Add("txtB", "TLabel", 140);
    FakeComponent& enabledPanel = form.Add("pnA", "TUnicodePanel", 130);
    FakeComponent& disabledBox = form.Add("cbA", "TCheckBox", 130);
    disabledBox.enabled = false;
    FakeComponent& lastRole = form.Add("pnB", "TPanel", 192);
    FakeComponent& menu = form.Add("miA", "TUnicodeMenuItem");
    FakeComponent& tabs = form.Add("tsA", "TTabSet", 5);
    FakeComponent& untagged = form.Add("pnC", "TPanel");
    FakeComponent& edit = form.Add("edA", "TEdit", 130);
    colours.ApplyColours(form);

    EXPECT_EQ(form.colour, 0xFFFFFFu);
    EXPECT_EQ(transparent.fontColour, 0x111111u);
    EXPECT_FALSE(transparent.colour);
    EXPECT_EQ(opaque.colour, 0x222222u);
    EXPECT_EQ(opaque.fontColour, 0x333333u);
    EXPECT_EQ(enabledPanel.colour, 0x804000u);
    EXPECT_EQ(enabledPanel.fontColour, 0xFFFFFFu);
    EXPECT_EQ(disabledBox.fontColour, 0xC0C0C0u);
    EXPECT_EQ(lastRole.fontColour, clWhite);
    ASSERT_TRUE(menu.menu);
    EXPECT_EQ(menu.menu->ItemForeColor, 0x800000u);
    EXPECT_EQ(menu.menu->ItemBackColor, 0xFFFFFFu);
    EXPECT_EQ(menu.menu->SelectedBackColor, 0x800000u);
    ASSERT_TRUE(tabs.tabs);
    EXPECT_EQ(tabs.tabs->Background, 0x804000u);
    EXPECT_EQ(tabs.tabs->Selected, 0x00CE00u);
    EXPECT_EQ(tabs.tabs->Unselected, 0xC0C0C0u);
    EXPECT_FALSE(untagged.colour);
    EXPECT_FALSE(edit.colour);

    FakeForm plain("fmPlain", 0);
    colours.ApplyColours(plain);
    EXPECT_EQ(plain.colour, clBtnFace);
}

TEST(LocalResourcePath, JoinsFolderAndName)
{
#ifdef _WIN32
    EXPECT_EQ(LocalResourcePath(" C:\\Kovra ", " logo.gif "), "C:\\KOVRA\\LOGO.GIF");
    EXPECT_EQ(LocalResourcePath("C:\\Kovra\\", "logo.gif"), "C:\\KOVRA\\LOGO.GIF");
    EXPECT_EQ(LocalResourcePath("C:", "logo.gif"), "C:LOGO.GIF");
#else
    EXPECT_EQ(LocalResourcePath(" /opt/kovra ", " logo.gif "), "/opt/kovra/logo.gif");
    EXPECT_EQ(LocalResourcePath("/opt/kovra/", "logo.gif"), "/opt/kovra/logo.gif");
#endif
}

TEST(LookAndFeel, LocalModeLoadsTheFolderAndCompletesOnTheMainThread)
{
    TempFolder folder;
    folder.Write("KovraApps_en_US.properties", "txtTitle=Local title\r\nlvCalls=A,B\r\n");
    folder.Write("WebPortalStyles.css", "pageHeader { color: #010203; }");
    folder.Write("logo.gif", std::string("GIF89a\0\1", 8));
    folder.Write("app.ico", "icon bytes");

    TMessageBundle bundle;
    TKAColourTable colours;
    std::string icon;
    bool completedOnMainThread = false;
    TKALookAndFeelTargets targets{&bundle, &colours, {}, [&](const std::string& bytes) { icon = bytes; }};
    TKALookAndFeel loader(
        folder.Path(), std::string("app.ico"), false,
        [&] { completedOnMainThread = platform::IsMainThread(); }, targets);
    ASSERT_TRUE(PumpUntil([&] { return loader.Finished(); }, 20000));
    EXPECT_TRUE(completedOnMainThread);
    EXPECT_EQ(bundle.GetText("txtTitle", ""), "Local title");
    EXPECT_EQ(colours.GetColour(111, 0), 0x030201u);
    EXPECT_EQ(icon, "icon bytes");
    // Without a picture decoder the bytes are kept and the logo counts as absent.
    EXPECT_EQ(loader.Logo().Bytes.size(), 8u);
    EXPECT_FALSE(loader.Logo().Loaded());

    FakeForm form("fmMain", 100);
    FakeComponent& title = form.Add("txtTitle", "TUnicodeLabel", 111);
    FakeComponent& image = form.Add("imLogo", "TImage");
    loader.ApplyLookAndFeel(form, &image);
    EXPECT_EQ(title.caption, "Local title");
    EXPECT_EQ(title.colour, 0x030201u);
    EXPECT_EQ(form.colour, 0x00CE00u);
    EXPECT_FALSE(image.picture);
}

TEST(LookAndFeel, DecodedLogoReachesTheImage)
{
    TempFolder folder;
    folder.Write("logo.gif", "GIF89a");
    TMessageBundle bundle;
    TKAColourTable colours;
    auto picture = std::make_shared<int>(42);
    TKALookAndFeelTargets targets{&bundle,
                                  &colours,
                                  [&](const std::string& bytes) -> std::shared_ptr<const void> {
                                      return bytes == "GIF89a" ? picture : nullptr;
                                  },
                                  {}};
    TKALookAndFeel loader(folder.Path(), std::nullopt, false, {}, targets);
    ASSERT_TRUE(PumpUntil([&] { return loader.Finished(); }, 20000));
    FakeForm form;
    FakeComponent& image = form.Add("imLogo", "TImage");
    loader.ApplyLookAndFeel(form, &image);
    EXPECT_EQ(image.picture, picture);
}

TEST(LookAndFeel, MissingFolderStillCompletesWithDefaults)
{
    TMessageBundle bundle;
    TKAColourTable colours;
    int completions = 0;
    TKALookAndFeel loader(
        "/no/such/kovra/folder", std::nullopt, false, [&] { ++completions; },
        TKALookAndFeelTargets{&bundle, &colours, {}, {}});
    ASSERT_TRUE(PumpUntil([&] { return loader.Finished(); }, 20000));
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(bundle.Entries().empty());
    EXPECT_EQ(colours.GetColour(111, 0), 0xFFFFFFu);
}
