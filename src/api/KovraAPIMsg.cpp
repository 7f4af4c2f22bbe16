#include "api/KovraAPIMsg.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/Text.h"

namespace api {

namespace {

// A pair of characters as a hexadecimal number; an empty or invalid pair is 0. A single
// character counts on its own ("1" is 01).
std::uint8_t ParseHexPair(std::string_view pair)
{
    if (pair.empty())
        return 0;
    int value = 0;
    for (char c : pair) {
        const int digit = platform::HexDigitValue(c);
        if (digit < 0)
            return 0;
        value = value * 16 + digit;
    }
    return static_cast<std::uint8_t>(value);
}

} // namespace

TKovraAPIMsg::TKovraAPIMsg(std::uint32_t msgType, std::uint32_t msgSeq) : dwMsgType(msgType), dwMsgSeq(msgSeq)
{
    if (msgType != 0) {
        WriteInt32(msgSeq);
        WriteInt32(msgType);
    }
}

bool TKovraAPIMsg::Decode(const void* data, std::size_t size)
{
    bytes_.clear();
    position_ = 0;
    dwMsgType = dwMsgSeq = 0;
    if (size < kHeaderSize)
        return false;
    const auto* first = static_cast<const std::uint8_t*>(data);
    bytes_.assign(first, first + size);
    dwMsgSeq = ReadInt32();
    dwMsgType = ReadInt32();
    return true;
}

void TKovraAPIMsg::WriteInt32(std::uint32_t value)
{
    const std::uint8_t be[4] = {static_cast<std::uint8_t>(value >> 24),
                                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                                static_cast<std::uint8_t>(value)};
    bytes_.insert(bytes_.end(), be, be + 4);
    position_ = bytes_.size();
}

void TKovraAPIMsg::WriteStr(std::string_view text)
{
    WriteInt32(static_cast<std::uint32_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    position_ = bytes_.size();
}

void TKovraAPIMsg::WriteOid(std::string_view hexText)
{
    std::uint8_t oid[kOidSize] = {};
    for (std::size_t k = 0; k < kOidSize; ++k) {
        const std::size_t at = 2 * k;
        oid[k] = at < hexText.size() ? ParseHexPair(hexText.substr(at, 2)) : 0;
    }
    bytes_.insert(bytes_.end(), oid, oid + kOidSize);
    position_ = bytes_.size();
}

std::uint32_t TKovraAPIMsg::ReadInt32()
{
    std::uint8_t be[4] = {};
    const std::size_t count = std::min<std::size_t>(4, Remaining());
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), count, be);
    position_ += count;
    if (count < 4)
        return 0;
    return static_cast<std::uint32_t>(be[0]) << 24 | static_cast<std::uint32_t>(be[1]) << 16 |
           static_cast<std::uint32_t>(be[2]) << 8 | be[3];
}

std::string TKovraAPIMsg::ReadStr()
{
    const std::uint32_t length = ReadInt32();
    const std::size_t count = std::min<std::size_t>(length, Remaining());
    std::string text(reinterpret_cast<const char*>(bytes_.data() + position_), count);
    position_ += count;
    return text;
}

std::string TKovraAPIMsg::ReadOid()
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::uint8_t oid[kOidSize] = {};
    const std::size_t count = std::min(kOidSize, Remaining());
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), count, oid);
    position_ += count;
    std::string text(2 * kOidSize, '0');
    for (std::size_t k = 0; k < kOidSize; ++k) {
        text[2 * k] = kDigits[oid[k] >> 4];
        text[2 * k + 1] = kDigits[oid[k] & 0x0F];
    }
    return text;
}

double TKovraAPIMsg::ReadTime()
{
    return platform::UtcSecondsToLocal(ReadInt32());
}

void TKovraAPIMsg::StampSequence(std::uint32_t msgSeq)
{
    dwMsgSeq = msgSeq;
    if (bytes_.size() < 4)
        bytes_.resize(4);
    bytes_[0] = static_cast<std::uint8_t>(msgSeq >> 24);
    bytes_[1] = static_cast<std::uint8_t>(msgSeq >> 16);
    bytes_[2] = static_cast<std::uint8_t>(msgSeq >> 8);
    bytes_[3] = static_cast<std::uint8_t>(msgSeq);
}

} // namespace api
