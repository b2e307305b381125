#include "rendering/BmpFile.h"

#include <algorithm>
#include <cstring>

#include "platform/FileAttributes.h"
#include "platform/FileReplacement.h"
#include "rendering/Canvas.h"

namespace orv {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}
std::uint32_t Get32(const std::vector<std::uint8_t>& in, std::size_t at) {
    std::uint32_t value = 0;
    if (at + 4 <= in.size()) std::memcpy(&value, in.data() + at, 4);
    return value;
}
std::uint16_t Get16(const std::vector<std::uint8_t>& in, std::size_t at) {
    std::uint16_t value = 0;
    if (at + 2 <= in.size()) std::memcpy(&value, in.data() + at, 2);
    return value;
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp8(const Canvas& canvas) {
    // The palette: the canvas's colours in order of first appearance. A page
    // has a handful of colours in long runs, so the last match is tried first
    // and the short palette searched only when the colour changes.
    const auto pixels = canvas.Pixels();
    std::vector<std::uint32_t> palette;
    std::vector<std::uint8_t> indices(pixels.size());
    std::uint32_t lastPixel = 0;
    std::uint8_t lastIndex = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t pixel = pixels[i];
        if (palette.empty() || pixel != lastPixel) {
            auto found = std::find(palette.begin(), palette.end(), pixel);
            if (found == palette.end()) {
                if (palette.size() == 256) return {};
                palette.push_back(pixel);
                found = palette.end() - 1;
            }
            lastIndex = static_cast<std::uint8_t>(found - palette.begin());
            lastPixel = pixel;
        }
        indices[i] = lastIndex;
    }
    const auto width = static_cast<std::uint32_t>(canvas.Width());
    const auto height = static_cast<std::uint32_t>(canvas.Height());
    const std::uint32_t stride = (width + 3) & ~3u;  // rows padded to four bytes
    const std::uint32_t paletteSize = static_cast<std::uint32_t>(palette.size()) * 4;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + paletteSize;

    std::vector<std::uint8_t> out;
    out.reserve(offset + stride * height);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + stride * height);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, kInfoHeaderSize);
    Put32(out, width);
    Put32(out, height);  // positive: bottom-up
    Put16(out, 1);       // planes
    Put16(out, 8);       // bits per pixel
    Put32(out, 0);       // no compression
    Put32(out, stride * height);
    Put32(out, 3780);  // 96 dpi in pixels per metre
    Put32(out, 3780);
    Put32(out, static_cast<std::uint32_t>(palette.size()));
    Put32(out, 0);
    for (const std::uint32_t pixel : palette) {  // blue, green, red, reserved
        out.push_back(static_cast<std::uint8_t>(pixel));
        out.push_back(static_cast<std::uint8_t>(pixel >> 8));
        out.push_back(static_cast<std::uint8_t>(pixel >> 16));
        out.push_back(0);
    }
    for (std::uint32_t row = height; row-- > 0;) {
        const auto first = indices.begin() + static_cast<std::ptrdiff_t>(row) * width;
        out.insert(out.end(), first, first + width);
        out.insert(out.end(), stride - width, 0);
    }
    return out;
}

bool SaveBmp8(const Canvas& canvas, const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = EncodeBmp8(canvas);
    if (bytes.empty() || IsReadOnlyFile(fileName)) return false;
    // A new file renamed into place: pictures go to predictable names, and a
    // link planted at one must not lead the write elsewhere.
    auto file = FileReplacement::Begin(fileName);
    return file && file->Write(bytes) && file->Commit();
}

bool DecodeBmp8(const std::vector<std::uint8_t>& file, DecodedBmp& picture) {
    if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') return false;
    const std::uint32_t offset = Get32(file, 10);
    const auto width = static_cast<std::int32_t>(Get32(file, 18));
    const auto height = static_cast<std::int32_t>(Get32(file, 22));
    if (Get16(file, 28) != 8 || Get32(file, 30) != 0 || width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return false;
    std::uint32_t colours = Get32(file, 46);
    if (colours == 0) colours = 256;
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) & ~3u;
    const std::size_t paletteAt = kFileHeaderSize + Get32(file, 14);
    if (colours > 256 || paletteAt + colours * 4 > file.size() ||
        offset + static_cast<std::size_t>(stride) * static_cast<std::uint32_t>(height) > file.size())
        return false;
    picture.Width = width;
    picture.Height = height;
    picture.Pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    for (std::int32_t row = 0; row < height; ++row)
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t i = file[offset + static_cast<std::size_t>(height - 1 - row) * stride + static_cast<std::size_t>(x)];
            if (i >= colours) return false;
            const std::size_t p = paletteAt + i * 4u;
            picture.Pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                0xFF000000u | (std::uint32_t{file[p + 2]} << 16) | (std::uint32_t{file[p + 1]} << 8) | file[p];
        }
    return true;
}

}  // namespace orv
