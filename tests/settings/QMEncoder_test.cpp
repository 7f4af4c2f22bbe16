#include <gtest/gtest.h>

#include <utility>

#include "settings/ArcFour.h"
#include "settings/Base64.h"
#include "settings/QMEncoder.h"

using namespace settings;

namespace {

using Strings = std::vector<std::string>;

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes)
        hex += std::string{digits[c >> 4], digits[c & 15]};
    return hex;
}

// The parameters of the argument made of these texts' segments.
Strings Parameters(const Strings& segments)
{
    std::string argument;
    for (const std::string& segment : segments)
        argument += (argument.empty() ? "" : "#") + TQMEncoder::EncodeSegment(segment);
    return TQMEncoder(argument).Parameters();
}

} // namespace

TEST(Base64, StandardGroupsFillLineBreaksAndWhatEndsTheDecoding)
{
    for (const auto& [plain, coded] :
         {std::pair<std::string, std::string>{"f", "Zg=="}, {"fo", "Zm8="}, {"foobar", "Zm9vYmFy"}}) {
        EXPECT_EQ(TBase64::Encode(plain), coded);
        EXPECT_EQ(TBase64::Decode(coded), plain);
    }
    EXPECT_EQ(TBase64::Decode(TBase64::Encode(std::string("a\0b", 3))), std::string("a\0b", 3));
    // Line breaks are skipped, an invalid character ends, a partial group is dropped.
    for (const auto& [coded, plain] : {std::pair<std::string, std::string>{"Zm9v\r\nYmFy", "foobar"},
                                       {"Zm9v*YmFy", "foo"},
                                       {"Zm9vYm", "foo"},
                                       {"Zg==Zm9v", "f"},
                                       {"====", ""},
                                       {"", ""}})
        EXPECT_EQ(TBase64::Decode(coded), plain) << coded;
}

TEST(ArcFour, KnownKeyStreamAndSymmetry)
{
    EXPECT_EQ(Hex(TArcFour("Key").Apply("Plaintext")), "BBF316E8D940AF0AD3");
    TArcFour split("Key");
    std::string first = split.Apply("Plain");
    EXPECT_EQ(Hex(first + split.Apply("text")), "BBF316E8D940AF0AD3");
}

// Segments are joined by blanks, so parameters never join; runs of separators count once; a
// segment's plain text ends at its first zero byte.
TEST(QMEncoder, SegmentsJoinedByBlanksSeparatorRunsAndZeroBytes)
{
    EXPECT_EQ(Parameters({"-phone 4255551000 -pwd", "secret\t", " -user bob"}),
              (Strings{"-phone", "4255551000", "-pwd", "secret", "-user", "bob"}));
    const std::string a = TQMEncoder::EncodeSegment("-user bob");
    const std::string b = TQMEncoder::EncodeSegment("-server 10.0.0.1");
    EXPECT_EQ(TQMEncoder(a + "###" + b).Parameters(), (Strings{"-user", "bob", "-server", "10.0.0.1"}));
    EXPECT_EQ(TQMEncoder("##" + a + "#").Parameters(), (Strings{"-user", "bob"}));
    EXPECT_EQ(TQMEncoder::Decode(TQMEncoder::EncodeSegment(std::string("-IM\0-pwd x", 10))), "-IM");
}

TEST(QMEncoder, SwitchesMatchWithOrWithoutDashInAnyCaseAndFileAddressesGetTheirBlanks)
{
    TQMEncoder encoder(TQMEncoder::EncodeSegment("USER bob -Phone 555 MakeCall"));
    EXPECT_TRUE(encoder.HasSwitch("user"));
    EXPECT_EQ(encoder.SwitchValue("user"), "bob");
    EXPECT_TRUE(encoder.HasSwitch("phone"));
    EXPECT_EQ(encoder.SwitchValue("PHONE"), "555");
    EXPECT_TRUE(encoder.HasSwitch("makecall"));
    EXPECT_EQ(encoder.SwitchValue("MakeCall"), "");
    EXPECT_FALSE(encoder.HasSwitch("phon"));

    // No argument (or one that decodes to nothing) is one empty parameter, and that is no switch.
    TQMEncoder none(std::nullopt);
    EXPECT_EQ(none.Parameters(), Strings{""});
    EXPECT_FALSE(none.HasSwitch(""));
    EXPECT_EQ(none.SwitchValue("user"), "");
    EXPECT_EQ(TQMEncoder(std::string_view("!!!")).Parameters(), Strings{""});

    // The blank code is restored only in file addresses.
    TQMEncoder files(TQMEncoder::EncodeSegment("webportal file://C:/My#32Portal -pwd a#32b"));
    EXPECT_EQ(files.SwitchValue("webportal"), "file://C:/My Portal");
    EXPECT_EQ(files.SwitchValue("pwd"), "a#32b");
}

TEST(QMEncoder, EncodeArgumentIsTheInverseAndRefusesWhatCannotComeBack)
{
    Strings parameters{
        "-user", "bob", "-pwd", "p#ss=\"1\"", "webportal", "file://C:/A B/", "\xC3\xA9t\xC3\xA9"};
    std::string argument, error;
    ASSERT_TRUE(TQMEncoder::EncodeArgument(parameters, argument, error));
    EXPECT_EQ(TQMEncoder(argument).Parameters(), parameters);
    EXPECT_FALSE(TQMEncoder::EncodeArgument({"two words"}, argument, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(TQMEncoder::EncodeArgument({""}, argument, error));
}
