#include <gtest/gtest.h>

#include "platform/MainLoop.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    platform::InitMainThread();
    return RUN_ALL_TESTS();
}
