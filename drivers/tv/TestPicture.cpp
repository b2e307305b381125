#include "drivers/tv/TestPicture.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "drivers/tv/TinyFont.h"

namespace orv {

namespace {

constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kClockColour = 0xFFFFFF00;
// Bars at 75 %, as a test generator sends them.
constexpr std::array<std::uint32_t, 8> kBars = {0xFFC0C0C0, 0xFFC0C000, 0xFF00C0C0, 0xFF00C000,
                                                0xFFC000C0, 0xFFC00000, 0xFF0000C0, 0xFF000000};
constexpr auto kBandPeriod = std::chrono::milliseconds(4000);

struct Surface {
    std::uint32_t* Pixels;
    int Width, Height, Stride;

    std::uint32_t* Row(int y) const { return Pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(Stride); }

    void Fill(int x, int y, int w, int h, std::uint32_t colour) const {
        const int left = std::max(x, 0), right = std::min(x + w, Width);
        const int top = std::max(y, 0), bottom = std::min(y + h, Height);
        if (left >= right) return;
        for (int row = top; row < bottom; ++row) std::fill(Row(row) + left, Row(row) + right, colour);
    }
};

int TextWidth(std::string_view text, int scale) {
    return static_cast<int>(text.size()) * kTinyAdvance * scale - scale;
}

void DrawText(const Surface& surface, int x, int y, int scale, std::string_view text, std::uint32_t colour) {
    for (const char c : text) {
        if (const TinyGlyph* glyph = FindTinyGlyph(c)) {
            for (int row = 0; row < kTinyGlyphHeight; ++row)
                for (int column = 0; column < kTinyGlyphWidth; ++column)
                    if ((*glyph)[row] >> (kTinyGlyphWidth - 1 - column) & 1)
                        surface.Fill(x + column * scale, y + row * scale, scale, scale, colour);
        }
        x += kTinyAdvance * scale;
    }
}

// Text in a black box, centred on (centreX, centreY), as large as fits
// maxHeight and the surface's width.
void DrawBoxedText(const Surface& surface, int centreX, int centreY, int maxHeight, std::string_view text,
                   std::uint32_t colour) {
    if (text.empty()) return;
    const int columns = static_cast<int>(text.size()) * kTinyAdvance + 1;  // with the box's margins
    const int scale = std::max(1, std::min(maxHeight / (kTinyGlyphHeight + 2), surface.Width / columns));
    const int width = TextWidth(text, scale), height = kTinyGlyphHeight * scale;
    const int x = centreX - width / 2, y = centreY - height / 2;
    surface.Fill(x - scale, y - scale, width + 2 * scale, height + 2 * scale, kBlack);
    DrawText(surface, x, y, scale, text, colour);
}

}  // namespace

void TestPicture::MakeRows(int width) {
    barRow_.resize(static_cast<std::size_t>(width));
    bandRow_.resize(barRow_.size());
    for (int x = 0; x < width; ++x) {
        const std::uint32_t colour = kBars[static_cast<std::size_t>(x) * kBars.size() / static_cast<std::size_t>(width)];
        barRow_[static_cast<std::size_t>(x)] = colour;
        bandRow_[static_cast<std::size_t>(x)] = colour ^ 0x00FFFFFF;  // inverted, opaque
    }
    rowWidth_ = width;
}

bool TestPicture::Draw(std::uint32_t* pixels, int width, int height, int stride, std::string_view label,
                       const PictureTime& time) {
    if (!pixels || width <= 0 || height <= 0 || stride < width) return false;
    if (width != rowWidth_) MakeRows(width);
    const Surface surface{pixels, width, height, stride};

    // The caller's buffer may be new each time, so every row is written; the
    // bars are copies of a ready row.
    const int barsHeight = std::max(1, static_cast<int>(static_cast<std::int64_t>(height) * 3 / 4));
    const int bandHeight = std::max(1, barsHeight / 8);
    const auto phase = (time.Running.count() % kBandPeriod.count() + kBandPeriod.count()) % kBandPeriod.count();
    const int bandTop = static_cast<int>(phase * (barsHeight + bandHeight) / kBandPeriod.count()) - bandHeight;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * sizeof(std::uint32_t);
    for (int y = 0; y < barsHeight && y < height; ++y) {
        const bool inBand = y >= bandTop && y < bandTop + bandHeight;
        std::memcpy(surface.Row(y), inBand ? bandRow_.data() : barRow_.data(), rowBytes);
    }
    surface.Fill(0, barsHeight, width, height - barsHeight, kBlack);

    DrawBoxedText(surface, width / 2, barsHeight / 2, barsHeight / 2, label, kWhite);

    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d.%d", std::clamp(time.Hour, 0, 99),
                  std::clamp(time.Minute, 0, 99), std::clamp(time.Second, 0, 99), std::clamp(time.Tenth, 0, 9));
    DrawBoxedText(surface, width / 2, barsHeight + (height - barsHeight) / 2, height - barsHeight, clock,
                  kClockColour);
    return true;
}

}  // namespace orv
