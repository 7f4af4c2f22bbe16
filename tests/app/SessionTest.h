#pragma once
// What the cases against the scripted server share.

#include <gtest/gtest.h>

#include "ScriptedSession.h"

// The n-th request of a type (from 1) once it has arrived; the check fails when it does not come
// or when more than n have come.
inline api::TKovraAPIMsg Nth(ScriptedSession& s, std::uint32_t type, std::size_t n = 1)
{
    EXPECT_TRUE(s.WaitFor([&] { return s.Count(type) >= n; })) << type;
    EXPECT_EQ(s.Count(type), n) << type;
    return s.Count(type) >= n ? s.Requests(type)[n - 1] : api::TKovraAPIMsg();
}
