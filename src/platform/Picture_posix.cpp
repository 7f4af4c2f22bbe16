#include "platform/Picture.h"

namespace platform {

long DecodePicture(const std::string&, TPicturePixels& picture)
{
    picture = TPicturePixels();
    return kPictureNotSupported;
}

}  // namespace platform
