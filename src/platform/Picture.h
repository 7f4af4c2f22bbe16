#pragma once
// Decoding of picture files (the portal's logo) with the system's picture loader.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct TPicturePixels {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels; // 0xAARRGGBB, top row first
};

constexpr long kPictureLoaderMissing = static_cast<long>(0x8000FFFF);
constexpr long kPictureNotSupported = static_cast<long>(0x80004001);

// Any thread. 0 on success, else the loader's error code: kPictureLoaderMissing when the system
// has no picture loader, kPictureNotSupported where pictures are not decoded at all (the headless
// build keeps the bytes and shows no picture).
long DecodePicture(const std::string& bytes, TPicturePixels& picture);
// The same, always with the system's loader (GIF included).
long DecodePictureWithSystemLoader(const std::string& bytes, TPicturePixels& picture);

} // namespace platform
