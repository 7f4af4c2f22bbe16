#pragma once
// The first image of a GIF file (the portal's logo) decoded without the system's picture loader,
// which under Wine brings in the whole imaging component (about 1 MB resident) for one small
// picture at start.

#include <string>

#include "platform/Picture.h"

namespace platform {

// True for bytes that begin like a GIF file.
bool LooksLikeGif(const std::string& bytes);

// Any thread. True with the first image's pixels, every one opaque (0xFFRRGGBB, a transparent
// one in its table colour, as the system loader's bitmap has it); false with no picture for
// anything that is not a complete GIF image.
bool DecodeGif(const std::string& bytes, TPicturePixels& picture);

} // namespace platform
