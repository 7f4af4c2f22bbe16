#include "platform/UdpSocket.h"

#include <gtest/gtest.h>

using namespace platform;

// Datagrams both ways with the sender's address, and an oversized one dropped whole, are the API
// suites' (their test server answers where ReceiveFrom says a datagram came from; the connection
// manager's case ignores a 5000-byte datagram and takes the next).

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
