#include "platform/Picture.h"

#include <gtest/gtest.h>

#include "platform/GifDecode.h"

#include <fstream>
#include <iterator>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// 2 x 2 pixels, indexes 0 1 / 2 3 of a four-colour table, index 3 transparent.
std::string TinyGif(bool interlaced = false)
{
    std::string gif("GIF89a\x02\x00\x02\x00\x81\x00\x00"               // screen, 4-colour table
                    "\x10\x20\x30\x40\x50\x60\x70\x80\x90\xA0\xB0\xC0" // the table
                    "\x21\xF9\x04\x01\x00\x00\x03\x00"                 // index 3 transparent
                    "\x2C\x00\x00\x00\x00\x02\x00\x02\x00\x00"         // the image
                    "\x02\x03\x44\x34\x05\x00\x3B",                    // its data, the end
                    50);
    if (interlaced)
        gif[42] = 0x40;
    return gif;
}

} // namespace

TEST(Gif, DecodesIndexesThroughTheTableTheTransparentOneIncluded)
{
    platform::TPicturePixels picture;
    ASSERT_TRUE(platform::DecodeGif(TinyGif(), picture));
    ASSERT_EQ(picture.Width, 2);
    ASSERT_EQ(picture.Height, 2);
    EXPECT_EQ(picture.Pixels,
              (std::vector<std::uint32_t>{0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u}));
    // Two rows interlaced come as row 0, then row 1 (the fourth pass).
    ASSERT_TRUE(platform::DecodeGif(TinyGif(true), picture));
    EXPECT_EQ(picture.Pixels[2], 0xFF708090u);

    ASSERT_TRUE(platform::DecodeGif(ReadFile(KOVRA_SAMPLE_LOGO), picture));
    EXPECT_EQ(picture.Width, KOVRA_SAMPLE_LOGO_WIDTH);
    EXPECT_EQ(picture.Height, KOVRA_SAMPLE_LOGO_HEIGHT);
    EXPECT_EQ(picture.Pixels[0], 0xFF264653u);
}

TEST(Gif, EveryCutShortOrSpoiltFileGivesNoPictureAndNoFault)
{
    const std::string logo = ReadFile(KOVRA_SAMPLE_LOGO);
    platform::TPicturePixels picture;
    // Cut anywhere before the image's last data block ends: never a picture.
    for (std::size_t length = 0; length + 2 < logo.size(); ++length) {
        EXPECT_FALSE(platform::DecodeGif(logo.substr(0, length), picture)) << length;
        EXPECT_TRUE(picture.Pixels.empty());
    }
    // Any byte spoilt: a picture of the right size or none, and nothing read out of bounds.
    for (std::size_t at = 6; at < logo.size(); at += 7) {
        std::string spoilt = logo;
        spoilt[at] = static_cast<char>(spoilt[at] ^ 0xA5);
        if (platform::DecodeGif(spoilt, picture)) {
            EXPECT_EQ(picture.Pixels.size(), static_cast<std::size_t>(picture.Width) * picture.Height);
        }
    }
    EXPECT_FALSE(platform::DecodeGif("\x89PNG\r\n", picture));
}

#ifdef _WIN32
// The logo's own pixels are checked through DecodeGif above.
TEST(Picture, OwnGifDecoderGivesTheSystemLoadersPixelsAndBrokenBytesNone)
{
    const std::string gif = ReadFile(KOVRA_SAMPLE_LOGO);
    platform::TPicturePixels own, system;
    ASSERT_EQ(platform::DecodePicture(gif, own), 0);
    ASSERT_EQ(platform::DecodePictureWithSystemLoader(gif, system), 0);
    EXPECT_EQ(own.Width, system.Width);
    EXPECT_EQ(own.Height, system.Height);
    EXPECT_EQ(own.Pixels, system.Pixels);
    ASSERT_EQ(platform::DecodePictureWithSystemLoader(TinyGif(), system), 0);
    ASSERT_TRUE(platform::DecodeGif(TinyGif(), own));
    EXPECT_EQ(own.Pixels, system.Pixels);

    platform::TPicturePixels broken;
    EXPECT_NE(platform::DecodePicture("GIF89a\x01\x00garbage", broken), 0);
    EXPECT_EQ(broken.Width, 0);
    EXPECT_TRUE(broken.Pixels.empty());
    EXPECT_NE(platform::DecodePicture(std::string(), broken), 0);
}
#else
TEST(Picture, IsNotDecodedWithoutTheSystemLoader)
{
    platform::TPicturePixels picture;
    EXPECT_EQ(platform::DecodePicture(ReadFile(KOVRA_SAMPLE_LOGO), picture), platform::kPictureNotSupported);
    EXPECT_TRUE(picture.Pixels.empty());
}
#endif
