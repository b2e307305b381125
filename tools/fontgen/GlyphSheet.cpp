#include "tools/fontgen/GlyphSheet.h"

#include <algorithm>
#include <string>

namespace orv::fontgen {
namespace {

constexpr std::uint8_t kInk = 0, kPaper = 255, kGrid = 160;

}  // namespace

std::vector<std::uint8_t> GlyphSheetPgm(const BitmapFace& face, int scale) {
    scale = std::clamp(scale, 1, 16);
    const int cellWidth = face.Width * scale + 1, cellHeight = face.Height * scale + 1;
    const int width = 16 * cellWidth + 1, height = 16 * cellHeight + 1;
    const std::string header = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<std::uint8_t> file(header.begin(), header.end());
    file.reserve(file.size() + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int inX = x % cellWidth - 1, inY = y % cellHeight - 1;
            if (inX < 0 || inY < 0) {
                file.push_back(kGrid);
                continue;
            }
            const auto code = static_cast<std::uint8_t>(16 * (y / cellHeight) + x / cellWidth);
            file.push_back(face.Pixel(code, inX / scale, inY / scale) ? kInk : kPaper);
        }
    return file;
}

}  // namespace orv::fontgen
