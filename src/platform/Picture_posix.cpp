#include "platform/Picture.h"

namespace platform {

long DecodePicture(const std::string&, TPicturePixels& picture)
{
    picture = TPicturePixels();
    return kPictureNotSupported;
}

long DecodePictureWithSystemLoader(const std::string& bytes, TPicturePixels& picture)
{
    return DecodePicture(bytes, picture);
}

} // namespace platform
