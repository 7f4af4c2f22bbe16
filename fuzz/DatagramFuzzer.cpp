// Arbitrary datagrams through the decoder and every field reader the events use.
#include <cstddef>
#include <cstdint>

#include "api/KovraAPIConsts.h"
#include "api/KovraAPIMsg.h"

using namespace api;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TKovraAPIMsg msg;
    if (!msg.Decode(data, size))
        return 0;
    (void)MessageTypeName(msg.dwMsgType);
    // Read the rest as a script: each byte of the datagram picks the next field type, so every
    // mix of field readers meets every kind of truncation.
    const std::size_t start = msg.Position();
    for (std::size_t i = start; i < size && msg.Remaining() > 0; ++i) {
        switch (data[i] % 5) {
        case 0:
            (void)msg.ReadInt32();
            break;
        case 1:
            (void)msg.ReadStr();
            break;
        case 2:
            (void)msg.ReadOid();
            break;
        case 3:
            (void)msg.ReadTime();
            break;
        default:
            (void)msg.ReadBool();
            break;
        }
    }
    (void)ErrorText(msg.ReadInt32());
    return 0;
}
