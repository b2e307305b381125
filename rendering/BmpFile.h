// Windows BMP pictures: 8 bits per pixel with a palette, rows bottom-up, as
// any picture viewer reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

class Canvas;

// The BMP file bytes of a canvas. Empty when the canvas holds more than 256
// colours (a page picture never does).
std::vector<std::uint8_t> EncodeBmp8(const Canvas& canvas);

// Writes the canvas as a BMP file; false when that failed.
bool SaveBmp8(const Canvas& canvas, const std::string& fileName);

struct DecodedBmp {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;  // 0xFFRRGGBB, top row first
};
// Reads an 8-bit palette BMP as written above (for tests and golden pictures).
bool DecodeBmp8(const std::vector<std::uint8_t>& file, DecodedBmp& picture);

}  // namespace orv
