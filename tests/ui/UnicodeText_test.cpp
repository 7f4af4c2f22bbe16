#include "ui/UnicodeText.h"

#include <gtest/gtest.h>

#include <utility>

using namespace ui;

// Broken escapes are read safely: their backslash goes, the rest stays as text.
TEST(UnicodeText, EscapesBecomeCodeUnitsAndOtherBackslashesVanish)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Caf\\u00e9", "Caf\xC3\xA9"},
        {"\\U00E9t\\u00E9", "\xC3\xA9t\xC3\xA9"},
        {"a\\b\\\\c", "abc"},
        {"\\ud83d\\ude00", "\xF0\x9F\x98\x80"}, // a surrogate pair makes one character
        {"\\u00", "u00"},
        {"x\\uZZ12", "xuZZ12"},
        {"end\\", "end"},
        {"", ""},
    };
    for (const auto& [escaped, decoded] : cases)
        EXPECT_EQ(DecodeEscapes(escaped), decoded) << escaped;
}

TEST(UnicodeText, Utf8AndUtf16RoundTripAndBadBytesBecomeReplacement)
{
    const std::string text = "Kovra \xE2\x82\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
    EXPECT_EQ(Utf8ToUtf16("a\xC3").size(), 2u);
    EXPECT_EQ(Utf8ToUtf16("a\xC3")[1], u'\xFFFD');
    EXPECT_EQ(Utf8ToUtf16("\xFF\xFE"), std::u16string(u"\xFFFD\xFFFD"));
}

TEST(UnicodeText, AcceleratorMarksAreTakenOut)
{
    EXPECT_EQ(StripAccelerators("Answer && Control the call"), "Answer & Control the call");
    EXPECT_EQ(StripAccelerators("&Options"), "Options");
    EXPECT_EQ(StripAccelerators("trailing&"), "trailing");
}

TEST(UnicodeText, TruncationCountsUtf16UnitsAndKeepsPairsWhole)
{
    EXPECT_EQ(TruncateUtf16("abcdef", 3), "abc");
    EXPECT_EQ(TruncateUtf16("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
    // The emoji takes two units: cutting after one would split it, so it goes entirely.
    EXPECT_EQ(TruncateUtf16("a\xF0\x9F\x98\x80", 2), "a");
    EXPECT_EQ(Utf16Length("a\xF0\x9F\x98\x80"), 3u);
}
