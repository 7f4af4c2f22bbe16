#include "api/KovraAPIMsg.h"

#include <gtest/gtest.h>

using namespace api;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

std::vector<std::uint8_t> Body(const TKovraAPIMsg& msg)
{
    return std::vector<std::uint8_t>(msg.Bytes().begin() + 8, msg.Bytes().end());
}

} // namespace

TEST(KovraAPIMsg, WritesIntegersBigEndianAfterTheHeader)
{
    TKovraAPIMsg msg(272, 0x01020304);
    EXPECT_EQ(msg.Position(), 8u);
    msg.WriteInt32(272);
    EXPECT_EQ(msg.Bytes(), Bytes({1, 2, 3, 4, 0, 0, 1, 0x10, 0, 0, 1, 0x10}));
}

TEST(KovraAPIMsg, PingIsTheBareHeaderAndTypeZeroWritesNothing)
{
    EXPECT_EQ(TKovraAPIMsg(3, 0).Bytes(), Bytes({0, 0, 0, 0, 0, 0, 0, 3}));
    TKovraAPIMsg msg(0, 7);
    EXPECT_EQ(msg.Size(), 0u);
    EXPECT_EQ(msg.dwMsgSeq, 7u);
}

TEST(KovraAPIMsg, WritesStringsAsCountAndBytes)
{
    TKovraAPIMsg msg(1, 0);
    msg.WriteStr("");
    msg.WriteStr("2.0");
    EXPECT_EQ(Body(msg), Bytes({0, 0, 0, 0, 0, 0, 0, 3, 0x32, 0x2E, 0x30}));
}

TEST(KovraAPIMsg, OidRoundTripsAndReadsBackUpperCase)
{
    TKovraAPIMsg msg(17, 0);
    msg.WriteOid("0123456789abcdef01234567");
    EXPECT_EQ(Body(msg), Bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67}));
    TKovraAPIMsg in;
    ASSERT_TRUE(in.Decode(msg.Data(), msg.Size()));
    EXPECT_EQ(in.ReadOid(), "0123456789ABCDEF01234567");
}

TEST(KovraAPIMsg, ShortAndInvalidOidTextsPadWithZeroBytes)
{
    const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
        {"", Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"1", Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"zz01", Bytes({0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        // The thirteenth pair is never written.
        {"0123456789ABCDEF0123456789",
         Bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67})},
    };
    for (const auto& [text, bytes] : cases) {
        TKovraAPIMsg msg(17, 0);
        msg.WriteOid(text);
        EXPECT_EQ(Body(msg), bytes) << text;
    }
}

TEST(KovraAPIMsg, DecodeReadsSequenceThenType)
{
    const auto bytes = Bytes({0, 0, 0, 5, 0, 0, 0, 17, 0, 0, 0, 9});
    TKovraAPIMsg msg;
    ASSERT_TRUE(msg.Decode(bytes.data(), bytes.size()));
    EXPECT_EQ(msg.dwMsgSeq, 5u);
    EXPECT_EQ(msg.dwMsgType, 17u);
    EXPECT_EQ(msg.Position(), 8u);
    EXPECT_EQ(msg.ReadInt32(), 9u);
}

TEST(KovraAPIMsg, ReadsPastTheEndGiveEmptyValuesAndStayInBounds)
{
    // A datagram under eight bytes is no message.
    const auto seven = Bytes({0, 0, 0, 5, 0, 0, 0});
    TKovraAPIMsg none;
    EXPECT_FALSE(none.Decode(seven.data(), seven.size()));
    EXPECT_EQ(none.Size(), 0u);

    // A string that claims 4 GB with three bytes behind it.
    const auto bytes = Bytes({0, 0, 0, 1, 0, 0, 0, 17, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'});
    TKovraAPIMsg msg;
    ASSERT_TRUE(msg.Decode(bytes.data(), bytes.size()));
    EXPECT_EQ(msg.ReadStr(), "abc");
    EXPECT_EQ(msg.Remaining(), 0u);
    EXPECT_EQ(msg.ReadInt32(), 0u);
    EXPECT_EQ(msg.ReadStr(), "");
    EXPECT_EQ(msg.ReadOid(), std::string(24, '0'));
    EXPECT_FALSE(msg.ReadBool());
    // A partial integer at the end reads zero.
    const auto partial = Bytes({0, 0, 0, 1, 0, 0, 0, 17, 0, 0, 1});
    ASSERT_TRUE(msg.Decode(partial.data(), partial.size()));
    EXPECT_EQ(msg.ReadInt32(), 0u);
    EXPECT_EQ(msg.Remaining(), 0u);
}

TEST(KovraAPIMsg, StampSequenceOverwritesTheFirstFourBytes)
{
    TKovraAPIMsg msg(3, 0);
    msg.StampSequence(0x0A0B0C0D);
    EXPECT_EQ(msg.Bytes(), Bytes({0x0A, 0x0B, 0x0C, 0x0D, 0, 0, 0, 3}));
    EXPECT_EQ(msg.dwMsgSeq, 0x0A0B0C0Du);
}

TEST(KovraAPIMsg, TimesAreBigEndianSecondsCountedInDays)
{
    // 0, then two days and an hour later (0x0002B110 seconds); the zone's offset cancels out.
    const auto bytes = Bytes({0, 0, 0, 1, 0, 0, 0, 17, 0, 0, 0, 0, 0, 0x02, 0xB1, 0x10});
    TKovraAPIMsg msg;
    ASSERT_TRUE(msg.Decode(bytes.data(), bytes.size()));
    const double epoch = msg.ReadTime();
    EXPECT_NEAR(msg.ReadTime() - epoch, 2.0 + 1.0 / 24, 1e-9);
}
