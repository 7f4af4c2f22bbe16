#include "platform/UdpSocket.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

TEST(UdpSocket, ExchangesDatagramsOnLoopbackWithTheSendersAddress)
{
    UdpSocket a, b;
    ASSERT_EQ(a.Bind(0, "127.0.0.1"), kSocketOk);
    ASSERT_EQ(b.Bind(0, "127.0.0.1"), kSocketOk);
    const char text[] = "hello";
    ASSERT_EQ(a.SendTo(text, 5, "127.0.0.1", b.LocalPort()), kSocketOk);
    ASSERT_TRUE(b.WaitReadable(1000));
    char buffer[64];
    const ReceiveResult r = b.ReceiveFrom(buffer, sizeof buffer, 1000);
    EXPECT_EQ(r.Error, kSocketOk);
    ASSERT_EQ(r.Bytes, 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(r.FromAddress, "127.0.0.1");
    EXPECT_EQ(r.FromPort, a.LocalPort());
}

TEST(UdpSocket, ReceiveTimesOutWithNoBytesAndNoError)
{
    UdpSocket a;
    ASSERT_EQ(a.Bind(0, "127.0.0.1"), kSocketOk);
    EXPECT_FALSE(a.WaitReadable(10));
    char buffer[16];
    const ReceiveResult r = a.ReceiveFrom(buffer, sizeof buffer, 10);
    EXPECT_EQ(r.Error, kSocketOk);
    EXPECT_EQ(r.Bytes, 0u);
}

TEST(UdpSocket, OversizedDatagramIsReportedNotHalfRead)
{
    UdpSocket a, b;
    ASSERT_EQ(a.Bind(0, "127.0.0.1"), kSocketOk);
    ASSERT_EQ(b.Bind(0, "127.0.0.1"), kSocketOk);
    std::vector<char> big(5000, 'x');
    ASSERT_EQ(a.SendTo(big.data(), big.size(), "127.0.0.1", b.LocalPort()), kSocketOk);
    ASSERT_EQ(a.SendTo("ok", 2, "127.0.0.1", b.LocalPort()), kSocketOk);
    std::vector<char> buffer(4096);
    const ReceiveResult first = b.ReceiveFrom(buffer.data(), buffer.size(), 1000);
    EXPECT_TRUE(first.Truncated);
    EXPECT_EQ(first.Bytes, 0u);
    const ReceiveResult second = b.ReceiveFrom(buffer.data(), buffer.size(), 1000);
    EXPECT_FALSE(second.Truncated);
    EXPECT_EQ(second.Bytes, 2u);
}

TEST(UdpSocket, BindingAPortInUseFails)
{
    UdpSocket a, b;
    ASSERT_EQ(a.Bind(0, "127.0.0.1"), kSocketOk);
    EXPECT_EQ(b.Bind(a.LocalPort(), "127.0.0.1"), kSocketAddressInUse);
    EXPECT_FALSE(b.IsOpen());
}

TEST(UdpSocket, ResolvesDottedTextAndLocalhost)
{
    EXPECT_EQ(ResolveIPv4("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(ResolveIPv4("localhost"), "127.0.0.1");
    EXPECT_EQ(ResolveIPv4(""), "");
    EXPECT_EQ(ResolveIPv4("no-such-host.invalid"), "");
}
