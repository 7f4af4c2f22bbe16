#include "platform/GifDecode.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxSide = 16384;
// A few bytes of LZW data can claim a huge picture; a logo never needs more than this many pixels,
// and a 32-bit process must not be asked for gigabytes by a broken file.
constexpr std::size_t kMaxPixels = 4096 * 4096;

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool Has(std::size_t count) const { return bytes_.size() - pos_ >= count; }
    std::uint8_t Byte() { return Has(1) ? static_cast<std::uint8_t>(bytes_[pos_++]) : (failed_ = true, 0); }
    int Word()
    {
        const int low = Byte();
        return low | (Byte() << 8);
    }
    void Skip(std::size_t count) { Has(count) ? void(pos_ += count) : void(failed_ = true); }
    // Skips data sub-blocks up to and including the empty one.
    void SkipBlocks()
    {
        for (std::uint8_t size = Byte(); size != 0 && !failed_; size = Byte())
            Skip(size);
    }
    bool Failed() const { return failed_; }

private:
    const std::string& bytes_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

using Palette = std::array<std::uint32_t, 256>;

Palette ReadPalette(Reader& in, int entries)
{
    Palette palette;
    palette.fill(0xFF000000u); // an index past the table is black
    for (int i = 0; i < entries; ++i) {
        const std::uint32_t red = in.Byte();
        const std::uint32_t green = in.Byte();
        palette[i] = 0xFF000000u | (red << 16) | (green << 8) | in.Byte();
    }
    return palette;
}

// The LZW data of one image as colour indexes, at most count of them; false when it is broken
// before count indexes came out.
bool Decompress(Reader& in, int minimumCodeSize, std::size_t count, std::vector<std::uint8_t>& out)
{
    if (minimumCodeSize < 2 || minimumCodeSize > 8)
        return false;
    const int clear = 1 << minimumCodeSize;
    const int end = clear + 1;
    std::array<std::uint16_t, kMaxCodes> prefix{};
    std::array<std::uint8_t, kMaxCodes> suffix{};
    std::array<std::uint8_t, kMaxCodes> first{};
    for (int code = 0; code < clear; ++code) {
        suffix[code] = static_cast<std::uint8_t>(code);
        first[code] = static_cast<std::uint8_t>(code);
    }
    std::vector<std::uint8_t> stack;
    int codeSize = minimumCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    std::uint32_t bits = 0;
    int bitCount = 0;
    out.clear();
    out.reserve(count);
    for (std::uint8_t size = in.Byte(); size != 0 && !in.Failed(); size = in.Byte()) {
        for (int i = 0; i < size && !in.Failed(); ++i) {
            bits |= static_cast<std::uint32_t>(in.Byte()) << bitCount;
            bitCount += 8;
            while (bitCount >= codeSize) {
                const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
                bits >>= codeSize;
                bitCount -= codeSize;
                if (code == clear) {
                    codeSize = minimumCodeSize + 1;
                    next = clear + 2;
                    previous = -1;
                    continue;
                }
                if (code == end) {
                    in.SkipBlocks();
                    return out.size() >= count;
                }
                int walk = code;
                if (previous < 0) {
                    if (code >= clear)
                        return false;
                } else if (code > next || (code == next && next >= kMaxCodes)) {
                    return false;
                } else {
                    // A new entry: the previous string plus the first index of this one (of the
                    // previous string itself when the code is the one being made).
                    if (next < kMaxCodes) {
                        prefix[next] = static_cast<std::uint16_t>(previous);
                        suffix[next] = first[code == next ? previous : code];
                        first[next] = first[previous];
                        ++next;
                        if (next == (1 << codeSize) && codeSize < 12)
                            ++codeSize;
                    }
                }
                stack.clear();
                while (walk >= clear) {
                    stack.push_back(suffix[walk]);
                    walk = prefix[walk];
                }
                stack.push_back(suffix[walk]);
                for (auto index = stack.rbegin(); index != stack.rend() && out.size() < count; ++index)
                    out.push_back(*index);
                previous = code;
            }
        }
    }
    // Files that end their data without the end code still count when every index came.
    return !in.Failed() && out.size() >= count;
}

} // namespace

bool LooksLikeGif(const std::string& bytes)
{
    return bytes.compare(0, 6, "GIF87a") == 0 || bytes.compare(0, 6, "GIF89a") == 0;
}

bool DecodeGif(const std::string& bytes, TPicturePixels& picture)
{
    picture = TPicturePixels();
    if (!LooksLikeGif(bytes))
        return false;
    Reader in(bytes);
    in.Skip(6);
    in.Word(); // the logical screen; the image's own size is the picture's, as with the system loader
    in.Word();
    const std::uint8_t flags = in.Byte();
    in.Skip(2); // background colour, aspect ratio
    Palette global;
    const bool hasGlobal = (flags & 0x80) != 0;
    if (hasGlobal)
        global = ReadPalette(in, 2 << (flags & 7));
    while (!in.Failed()) {
        const std::uint8_t introducer = in.Byte();
        if (introducer == 0x21) {
            // Extensions (transparency included: the system loader's bitmap keeps the table's
            // colour there too, and the logo is drawn opaque) are passed over.
            in.Byte();
            in.SkipBlocks();
            continue;
        }
        if (introducer != 0x2C)
            return false; // the trailer or anything else before an image: no picture
        in.Skip(4);       // position on the screen
        const int width = in.Word();
        const int height = in.Word();
        const std::uint8_t imageFlags = in.Byte();
        if (in.Failed() || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
            return false;
        const bool hasLocal = (imageFlags & 0x80) != 0;
        if (!hasLocal && !hasGlobal)
            return false;
        const Palette palette = hasLocal ? ReadPalette(in, 2 << (imageFlags & 7)) : global;
        const std::size_t count = static_cast<std::size_t>(width) * height;
        if (count > kMaxPixels)
            return false;
        std::vector<std::uint8_t> indexes;
        if (in.Failed() || !Decompress(in, in.Byte(), count, indexes))
            return false;
        // Interlaced images carry rows 0, 8, 16...; 4, 12...; 2, 6...; 1, 3...
        std::vector<int> rows;
        rows.reserve(height);
        if ((imageFlags & 0x40) != 0) {
            constexpr std::pair<int, int> passes[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
            for (const auto& [start, step] : passes)
                for (int row = start; row < height; row += step)
                    rows.push_back(row);
        } else {
            for (int row = 0; row < height; ++row)
                rows.push_back(row);
        }
        picture.Width = width;
        picture.Height = height;
        picture.Pixels.resize(count);
        for (int line = 0; line < height; ++line) {
            const std::uint8_t* from = indexes.data() + static_cast<std::size_t>(line) * width;
            std::uint32_t* to = picture.Pixels.data() + static_cast<std::size_t>(rows[line]) * width;
            for (int x = 0; x < width; ++x)
                to[x] = palette[from[x]];
        }
        return true;
    }
    return false;
}

} // namespace platform
