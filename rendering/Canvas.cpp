#include "rendering/Canvas.h"

#include <algorithm>
#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "rendering/FontTable.h"

namespace orv {

namespace {

// For each 4-pixel group of a glyph row (a nibble, leftmost pixel in its top
// bit), which of the four pixels are ink: all-ones lanes.
struct NibbleMasks {
    std::array<std::array<std::uint32_t, 4>, 16> Lanes{};
    constexpr NibbleMasks() {
        for (int n = 0; n < 16; ++n)
            for (int i = 0; i < 4; ++i) Lanes[n][i] = (n & (8 >> i)) ? 0xFFFFFFFFu : 0u;
    }
};
constexpr NibbleMasks kNibbleMasks;

// Four pixels: paper where the mask is clear, ink where it is set.
inline void PutFour(std::uint32_t* out, unsigned nibble, std::uint32_t paper, std::uint32_t difference) {
    const auto& mask = kNibbleMasks.Lanes[nibble & 15];
#if defined(__SSE2__)
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask.data()));
    const __m128i pixels = _mm_xor_si128(_mm_set1_epi32(static_cast<int>(paper)),
                                         _mm_and_si128(_mm_set1_epi32(static_cast<int>(difference)), m));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), pixels);
#else
    for (int i = 0; i < 4; ++i) out[i] = paper ^ (difference & mask[static_cast<std::size_t>(i)]);
#endif
}

}  // namespace

Canvas::Canvas(int width, int height, const FontTable& fonts)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), PixelOf(0)),
      fonts_(fonts),
      clip_{0, 0, width_, height_} {}

ColorRef Canvas::ColourAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return ColourOf(pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)]);
}

void Canvas::SetFace(std::string_view name) {
    if (face_ && name == faceName_) return;  // the renderer sets the face for every cell
    faceName_.assign(name);
    for (const KnownFace& known : knownFaces_)
        if (known.Face && known.Name == name) {
            face_ = known.Face;
            return;
        }
    face_ = fonts_.Find(name);
    if (!face_) return;
    knownFaces_[nextKnown_] = {faceName_, face_};
    nextKnown_ = (nextKnown_ + 1) % knownFaces_.size();
}

void Canvas::SetClip(Rect clip) {
    clip_ = Rect{std::max(clip.Left, 0), std::max(clip.Top, 0), std::min(clip.Right, width_),
                 std::min(clip.Bottom, height_)};
}

Rect Canvas::Clipped(Rect r) const {
    return Rect{std::max(r.Left, clip_.Left), std::max(r.Top, clip_.Top), std::min(r.Right, clip_.Right),
                std::min(r.Bottom, clip_.Bottom)};
}

void Canvas::TextOut(int x, int y, std::string_view glyphs) { TextOut(x, y, glyphs, background_); }

void Canvas::TextOut(int x, int y, std::string_view glyphs, ColorRef background) {
    if (!face_) return;
    const std::uint32_t ink = PixelOf(foreground_);
    const std::uint32_t paper = PixelOf(background);
    const int w = face_->Width;
    const int h = face_->Height;
    for (const char ch : glyphs) {
        const Rect cell = Clipped(Rect{x, y, x + w, y + h});
        if (w == 12 && cell == Rect{x, y, x + w, y + h}) {
            // The usual case, a whole 12-pixel cell: four pixels at a time.
            const std::span<const std::uint16_t> rows = face_->Glyph(static_cast<std::uint8_t>(ch));
            const std::uint32_t difference = ink ^ paper;
            for (int row = 0; row < h; ++row) {
                const unsigned bits = rows[static_cast<std::size_t>(row)];
                std::uint32_t* out = &pixels_[static_cast<std::size_t>(y + row) * static_cast<std::size_t>(width_) +
                                             static_cast<std::size_t>(x)];
                PutFour(out, bits >> 12, paper, difference);
                PutFour(out + 4, bits >> 8, paper, difference);
                PutFour(out + 8, bits >> 4, paper, difference);
            }
        } else if (cell.Left < cell.Right && cell.Top < cell.Bottom) {
            const std::span<const std::uint16_t> rows = face_->Glyph(static_cast<std::uint8_t>(ch));
            for (int py = cell.Top; py < cell.Bottom; ++py) {
                // Bit 15 is the glyph's leftmost pixel.
                const std::uint32_t bits = static_cast<std::uint32_t>(rows[static_cast<std::size_t>(py - y)]) << (cell.Left - x);
                std::uint32_t* out = &pixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(width_)];
                for (int px = cell.Left, i = 0; px < cell.Right; ++px, ++i)
                    out[px] = (bits & (0x8000u >> i)) ? ink : paper;
            }
        }
        x += w;
    }
}

void Canvas::InkOut(int x, int y, std::uint8_t glyph) {
    if (!face_) return;
    const Rect cell = Clipped(Rect{x, y, x + face_->Width, y + face_->Height});
    const std::span<const std::uint16_t> rows = face_->Glyph(glyph);
    const std::uint32_t ink = PixelOf(foreground_);
    for (int py = cell.Top; py < cell.Bottom; ++py) {
        // An overlay's ink lies in a few rows (a mark above or below a letter).
        if (rows[static_cast<std::size_t>(py - y)] == 0) continue;
        const std::uint32_t bits = static_cast<std::uint32_t>(rows[static_cast<std::size_t>(py - y)]) << (cell.Left - x);
        std::uint32_t* out = &pixels_[static_cast<std::size_t>(py) * static_cast<std::size_t>(width_)];
        for (int px = cell.Left, i = 0; px < cell.Right; ++px, ++i)
            if (bits & (0x8000u >> i)) out[px] = ink;
    }
}

int Canvas::TextWidth(std::string_view text) const {
    return face_ ? face_->Width * static_cast<int>(text.size()) : 0;
}

int Canvas::AbsoluteFontHeight() const { return face_ ? face_->Height : fontHeight_; }

void Canvas::FillRect(Rect rect, ColorRef colour) {
    const Rect r = Clipped(rect);
    // A rectangle wholly outside the clip comes back inverted: nothing to fill.
    if (r.Left >= r.Right || r.Top >= r.Bottom) return;
    const std::uint32_t pixel = PixelOf(colour);
    for (int y = r.Top; y < r.Bottom; ++y)
        std::fill(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.Left,
                  pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.Right, pixel);
}

void Canvas::FrameRect(Rect rect, ColorRef colour) {
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
    FillRect({rect.Left, rect.Top, rect.Right, rect.Top + 1}, colour);
    FillRect({rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom}, colour);
    FillRect({rect.Left, rect.Top, rect.Left + 1, rect.Bottom}, colour);
    FillRect({rect.Right - 1, rect.Top, rect.Right, rect.Bottom}, colour);
}

void Canvas::Rectangle(Rect rect) {
    FillRect(rect, background_);
    FrameRect(rect, 0x000000);
}

}  // namespace orv
