#pragma once
// One protocol message: a growable byte stream with a position, plus its type and sequence number.
// Integers are big-endian; strings are a 32-bit byte count and the bytes; an oid is 12 raw bytes,
// kept in the program as 24 upper-case hexadecimal digits.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace api {

class TKovraAPIMsg {
public:
    static constexpr std::size_t kHeaderSize = 8;
    static constexpr std::size_t kOidSize = 12;

    // Empty: no bytes, type and sequence 0 (for received datagrams).
    TKovraAPIMsg() = default;
    // For sending: with a nonzero type the header is written and the position left at 8.
    TKovraAPIMsg(std::uint32_t msgType, std::uint32_t msgSeq);

    // Decodes a received datagram: copies the bytes, reads sequence and type, position 8.
    // Returns false (and leaves the message empty) for fewer than 8 bytes.
    bool Decode(const void* data, std::size_t size);

    std::uint32_t dwMsgType = 0;
    std::uint32_t dwMsgSeq = 0;

    void WriteInt32(std::uint32_t value);
    void WriteBool(bool value) { WriteInt32(value ? 1 : 0); }
    void WriteStr(std::string_view text);
    void WriteOid(std::string_view hexText);

    // Reads never go past the end: a missing int32 is 0, a missing string the empty text
    // (never longer than the bytes that remain), a missing oid twelve zero bytes.
    std::uint32_t ReadInt32();
    bool ReadBool() { return ReadInt32() != 0; }
    std::string ReadStr();
    std::string ReadOid();
    // A wire time (seconds since 1970 UTC) as a local date-time.
    double ReadTime();

    // Writes the sequence number into the message and over its first four bytes.
    void StampSequence(std::uint32_t msgSeq);

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    const std::uint8_t* Data() const { return bytes_.data(); }
    std::size_t Size() const { return bytes_.size(); }
    std::size_t Position() const { return position_; }
    void SetPosition(std::size_t position)
    {
        position_ = position < bytes_.size() ? position : bytes_.size();
    }
    std::size_t Remaining() const { return bytes_.size() - position_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

} // namespace api
