#include "platform/Picture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

#ifdef _WIN32
TEST(Picture, DecodesTheSampleLogoToOpaquePixels)
{
    const std::string gif = ReadFile(KOVRA_SAMPLE_LOGO);
    ASSERT_FALSE(gif.empty());
    platform::TPicturePixels picture;
    ASSERT_EQ(platform::DecodePicture(gif, picture), 0);
    EXPECT_EQ(picture.Width, KOVRA_SAMPLE_LOGO_WIDTH);
    EXPECT_EQ(picture.Height, KOVRA_SAMPLE_LOGO_HEIGHT);
    ASSERT_EQ(picture.Pixels.size(), static_cast<std::size_t>(picture.Width) * picture.Height);
    EXPECT_EQ(picture.Pixels[0], 0xFF264653u);  // the palette colour of the corner, fully opaque
}

TEST(Picture, BrokenBytesGiveAnErrorAndNoPicture)
{
    platform::TPicturePixels picture;
    EXPECT_NE(platform::DecodePicture("GIF89a\x01\x00garbage", picture), 0);
    EXPECT_EQ(picture.Width, 0);
    EXPECT_TRUE(picture.Pixels.empty());
    EXPECT_NE(platform::DecodePicture(std::string(), picture), 0);
}
#else
TEST(Picture, IsNotDecodedWithoutTheSystemLoader)
{
    platform::TPicturePixels picture;
    EXPECT_EQ(platform::DecodePicture(ReadFile(KOVRA_SAMPLE_LOGO), picture), platform::kPictureNotSupported);
    EXPECT_TRUE(picture.Pixels.empty());
}
#endif
