#include <gtest/gtest.h>

#include "settings/otutil.h"

using namespace settings;

TEST(PhoneNumbers, DialableDigitsAndTheDisplayFormGroupedFromTheEnd)
{
    EXPECT_EQ(DialableDigits("+1 (425) 555-1234 *9#"), "14255551234*9#");
    EXPECT_EQ(DialableDigits("no digits"), "");

    EXPECT_EQ(FormatPhoneNumber("12345"), "1-2345");
    EXPECT_EQ(FormatPhoneNumber("1234"), "1234");
    EXPECT_EQ(FormatPhoneNumber("0114912345678901"), "011491 (234) 567-8901");
    EXPECT_EQ(FormatPhoneNumber(""), "");
    EXPECT_EQ(FormatPhoneNumber("425-555-1234x205"), "205");
    // Only a lower-case x marks an extension.
    EXPECT_EQ(FormatPhoneNumber("425 555 1234 X205"), "425 (555) 123-4205");
}
