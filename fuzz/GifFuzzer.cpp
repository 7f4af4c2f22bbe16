// Arbitrary bytes as the portal's logo, behind a GIF signature so every input reaches the decoder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/GifDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    if (!platform::LooksLikeGif(input))
        input.insert(0, "GIF89a");
    platform::TPicturePixels picture;
    if (platform::DecodeGif(input, picture) &&
        picture.Pixels.size() != static_cast<std::size_t>(picture.Width) * picture.Height)
        __builtin_trap();
    return 0;
}
