#include "api/KovraAPIConsts.h"

#include <gtest/gtest.h>

#include <map>

using namespace api;

namespace {

class FakeBundle : public IKovraTextSource {
public:
    std::map<std::string, std::string, std::less<>> Texts;
    std::string GetText(std::string_view key, std::string_view defaultText) const override
    {
        auto found = Texts.find(key);
        return found != Texts.end() ? found->second : std::string(defaultText);
    }
};

} // namespace

TEST(KovraAPIConsts, NamesKnownTypesAndNumbersTheRest)
{
    EXPECT_EQ(MessageTypeName(1), "DISCONNECT");
    EXPECT_EQ(MessageTypeName(17), "CALL_CONNECTION_EVENT");
    EXPECT_EQ(MessageTypeName(257), "ALTERNATE_CALL_RSP");
    EXPECT_EQ(MessageTypeName(273), "LOGIN_RSP");
    EXPECT_EQ(MessageTypeName(511), "FAILURE_RSP");
    EXPECT_EQ(MessageTypeName(521), "SET_APPLICATION_DATA_RSP");
    EXPECT_EQ(MessageTypeName(787), "MEETME_SET_CALL_INFO_RSP");
    EXPECT_EQ(MessageTypeName(276), "Unknown Message 276");
    EXPECT_EQ(MessageTypeName(338), "Unknown Message 338");
    EXPECT_EQ(MessageTypeName(788), "Unknown Message 788");
    EXPECT_EQ(MessageTypeName(0), "Unknown Message 0");
    EXPECT_EQ(MessageTypeName(4294967295u), "Unknown Message 4294967295");
}

// Success has no text; a bundle's text by key, else the built-in one; past the last code, the
// bundle's or built-in unknown error.
TEST(KovraAPIConsts, ErrorTextsFromTheBundleByKeyElseBuiltIn)
{
    EXPECT_EQ(ErrorText(0), "");
    EXPECT_EQ(ErrorText(1), "Invalid Password");
    EXPECT_EQ(ErrorText(51), "Request not allowed");
    EXPECT_EQ(ErrorText(52), "Unknown Error");
    EXPECT_EQ(ErrorText(4294967295u), "Unknown Error");
    FakeBundle bundle;
    bundle.Texts["SErrorDuplicateMonitor"] = "Doppelte Überwachung";
    bundle.Texts["SErrorUnknown"] = "Unbekannt";
    bundle.Texts[""] = "must never be used for success";
    EXPECT_EQ(ErrorText(0, &bundle), "");
    EXPECT_EQ(ErrorText(11, &bundle), "Doppelte Überwachung");
    EXPECT_EQ(ErrorText(3, &bundle), "Invalid Call");
    EXPECT_EQ(ErrorText(90, &bundle), "Unbekannt");
}
