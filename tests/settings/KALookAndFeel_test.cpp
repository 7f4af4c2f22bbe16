#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "FakeSkin.h"
#include "TestSupport.h"
#include "platform/MainLoop.h"
#include "settings/KALookAndFeel.h"

using namespace settings;

namespace {

// Test programs run in parallel, often started within the same millisecond: a random name keeps
// one from removing another's folder.
struct TempFolder {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kovra-laf-" + std::to_string(std::random_device()()) +
                                                  "-" + std::to_string(std::random_device()()));
    TempFolder() { std::filesystem::create_directories(path); }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path / name, std::ios::binary) << content;
    }
};

} // namespace

// Colours come from a style sheet by plain text search and are stored as blue-green-red.
TEST(ColourTable, StyleSheetSearchRules)
{
    struct Case {
        const char* sheet;
        int tag;
        TColour expected;
    };
    const char* const headerAndButtons = ".pageHeader { background-color: #102030; color: #FFFFFF; }\n"
                                         "buttonTD { } .other { background-color: #0A0B0C; }";
    const char* const crSelectors = ".labelError { color: #112233; }\r\n.label\r\n{ color: #445566; }\r\n"
                                    ".error\r\n{ color: #778899; }";
    const Case cases[] = {
        {".pageHeader { color: #FF0000; }", 111, 0x0000FF},
        // Three digits: the first two are red, the rest is not hexadecimal and reads as 0.
        {"userTitle { color: #fff; }", 121, 0x0000FF},
        {"buttonA { color: #1", 131, 0},
        // "color" is found inside "background-color", and the search runs past the rule's brace.
        {headerAndButtons, 111, 0x302010},
        {headerAndButtons, 130, 0x0C0B0A},
        // Tags without a style-sheet source keep their defaults; an absent selector too.
        {headerAndButtons, 133, 0xFF9E3E},
        // ".label" (141) matches the start of ".labelError"; ".label\r" (161) only the line of its own.
        {crSelectors, 141, 0x332211},
        {crSelectors, 161, 0x665544},
        {crSelectors, 162, 0x0000FF},
        {crSelectors, 192, 0x998877},
    };
    for (const Case& c : cases) {
        TKAColourTable colours;
        colours.ParseStyles(c.sheet);
        EXPECT_EQ(colours.GetColour(c.tag, 0), c.expected) << c.tag << " in " << c.sheet;
    }
}

// The tab set's colours are the skin binding's case (tests/dialogs), through the toolkit's control.
TEST(ColourTable, FormAndComponentsTakeColoursByTag)
{
    TKAColourTable colours;
    colours.SetColour(161, 0x111111);
    colours.SetColour(140, 0x222222);
    colours.SetColour(141, 0x333333);
    colours.SetColour(999, 1); // no such tag: ignored
    EXPECT_EQ(colours.GetColour(999, 7), 7u);
    FakeForm form("fmTest", 190);
    FakeComponent& transparent = form.Add("txtA", "TUnicodeLabel", 161);
    transparent.transparent = true;
    FakeComponent& opaque = form.Add("txtB", "TLabel", 140);
    FakeComponent& enabledPanel = form.Add("pnA", "TUnicodePanel", 130);
    FakeComponent& disabledBox = form.Add("cbA", "TCheckBox", 130);
    disabledBox.enabled = false;
    FakeComponent& menu = form.Add("miA", "TUnicodeMenuItem");
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
    ASSERT_TRUE(menu.menu);
    EXPECT_EQ(menu.menu->ItemForeColor, 0x800000u);
    EXPECT_EQ(menu.menu->SelectedBackColor, 0x800000u);
    EXPECT_FALSE(untagged.colour);
    EXPECT_FALSE(edit.colour);
}

// Local mode loads the folder (named with a trailing separator, the icon's name with blanks),
// without a picture decoder keeping the logo's bytes as an absent logo, and with one handing the
// picture to the image; a folder that is not there still completes, with nothing loaded.
TEST(LookAndFeel, LocalModeLoadsTheFolderAndCompletesOnTheMainThread)
{
    TempFolder folder;
    folder.Write("KovraApps_en_US.properties", "txtTitle=Local title\r\nlvCalls=A,B\r\n");
    folder.Write("WebPortalStyles.css", "pageHeader { color: #010203; }");
    folder.Write("logo.gif", std::string("GIF89a\0\1", 8));
    folder.Write("app.ico", "icon bytes");
    auto picture = std::make_shared<int>(42);

    for (const bool decoder : {false, true}) {
        SCOPED_TRACE(decoder);
        TMessageBundle bundle;
        TKAColourTable colours;
        std::string icon;
        bool completedOnMainThread = false;
        TKALookAndFeelTargets targets{&bundle, &colours, {}, [&](const std::string& bytes) { icon = bytes; }};
        if (decoder)
            targets.DecodeLogo = [&](const std::string& bytes) -> std::shared_ptr<const void> {
                return bytes.size() == 8 && bytes.starts_with("GIF89a") ? picture : nullptr;
            };
        TKALookAndFeel loader((folder.path / "").string(), std::string(" app.ico "), false,
                              [&] { completedOnMainThread = platform::IsMainThread(); }, targets);
        ASSERT_TRUE(PumpUntil([&] { return loader.Finished(); }, 20000));
        EXPECT_TRUE(completedOnMainThread);
        EXPECT_EQ(bundle.GetText("txtTitle", ""), "Local title");
        EXPECT_EQ(colours.GetColour(111, 0), 0x030201u);
        EXPECT_EQ(icon, "icon bytes");
        EXPECT_EQ(loader.Logo().Bytes.size(), 8u);
        EXPECT_EQ(loader.Logo().Loaded(), decoder);

        FakeForm form("fmMain", 100);
        FakeComponent& title = form.Add("txtTitle", "TUnicodeLabel", 111);
        FakeComponent& image = form.Add("imLogo", "TImage");
        loader.ApplyLookAndFeel(form, &image);
        EXPECT_EQ(title.caption, "Local title");
        EXPECT_EQ(title.colour, 0x030201u);
        EXPECT_EQ(image.picture, decoder ? picture : nullptr);
    }

    TMessageBundle bundle;
    TKAColourTable colours;
    int completions = 0;
    TKALookAndFeel missing(
        "/no/such/kovra/folder", std::nullopt, false, [&] { ++completions; },
        TKALookAndFeelTargets{&bundle, &colours, {}, {}});
    ASSERT_TRUE(PumpUntil([&] { return missing.Finished(); }, 20000));
    EXPECT_EQ(completions, 1); // a missing folder still completes, once
    EXPECT_TRUE(bundle.Entries().empty());
    EXPECT_EQ(colours.GetColour(111, 0), 0xFFFFFFu);
}
