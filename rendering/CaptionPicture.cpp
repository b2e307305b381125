#include "rendering/CaptionPicture.h"

#include <algorithm>
#include <cmath>

#include "rendering/BoxedText.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {

namespace {

// The background colour in force at each cell of a row: black at the start,
// New Background (set-at) takes the foreground colour set before it, Black
// Background (set-at) goes back to black.
std::array<ColorRef, 40> RowBackgrounds(const tPageRow& row) {
    std::array<ColorRef, 40> backgrounds{};
    ColorRef foreground = kTeletextColours[7];
    ColorRef background = kTeletextColours[0];
    for (std::size_t c = 0; c < backgrounds.size(); ++c) {
        const std::uint8_t b = row[c];
        if (b == 0x1C) background = kTeletextColours[0];
        if (b == 0x1D) background = foreground;
        backgrounds[c] = background;
        if (b <= 0x07) foreground = kTeletextColours[b];
        else if (b >= 0x10 && b <= 0x17) foreground = kTeletextColours[b - 0x10];
    }
    return backgrounds;
}

int Round(double value) { return static_cast<int>(std::lround(value)); }

}  // namespace

CaptionPicture::CaptionPicture(const FontTable& fonts) : canvas_(kPagePictureWidth, kPagePictureHeight, fonts) {}

std::vector<CaptionPicture::Run> CaptionPicture::FindRuns(const tPageImage& page) {
    const PageBoxes boxes = FindBoxes(page);
    std::vector<Run> runs;
    for (int r = 1; r < kTextRows; ++r) {
        const auto& cells = boxes.Cells[static_cast<std::size_t>(r)];
        if (cells.none()) continue;
        const auto& tall = boxes.Tall[static_cast<std::size_t>(r)];
        const auto backgrounds = RowBackgrounds(page.Rows[static_cast<std::size_t>(r)]);
        for (int c = 0; c < kTextColumns;) {
            const auto at = static_cast<std::size_t>(c);
            if (!cells[at]) {
                ++c;
                continue;
            }
            // A run ends where the box ends or the height changes.
            Run run{r, c, 0, tall[at], backgrounds[at]};
            while (c < kTextColumns && cells[static_cast<std::size_t>(c)] && tall[static_cast<std::size_t>(c)] == run.Tall) {
                ++run.Count;
                ++c;
            }
            runs.push_back(run);
        }
    }
    return runs;
}

std::vector<std::uint32_t> CaptionPicture::RunPixels(const std::vector<Run>& runs) const {
    std::vector<std::uint32_t> pixels;
    const auto all = canvas_.Pixels();
    for (const Run& run : runs) {
        const int top = run.Row * kCellHeight;
        const int bottom = top + (run.Tall ? 2 : 1) * kCellHeight;
        for (int y = top; y < bottom; ++y) {
            const auto from = all.begin() + y * kPagePictureWidth + run.First * kCellWidth;
            pixels.insert(pixels.end(), from, from + run.Count * kCellWidth);
        }
    }
    return pixels;
}

bool CaptionPicture::Take(const tPageImage& page, const PageEnhancements* enhancements, GraphicsRenderer& renderer) {
    const bool sameBytes = !enhancements && page.NationalOption == option_ &&
                           std::equal(rows_.begin(), rows_.end(), page.Rows.begin());
    if (sameBytes) return false;
    option_ = enhancements ? 0xFF : page.NationalOption;  // pages with enhancements are drawn each time
    std::copy_n(page.Rows.begin(), kTextRows, rows_.begin());
    std::vector<Run> runs = FindRuns(page);
    if (runs.empty()) return Clear();
    renderer.PreparePageCanvas(&canvas_);
    renderer.DrawPage(canvas_, page, enhancements, false, false);
    std::vector<std::uint32_t> pixels = RunPixels(runs);
    if (runs == runs_ && pixels == pixels_) return false;
    runs_ = std::move(runs);
    pixels_ = std::move(pixels);
    return true;
}

bool CaptionPicture::Clear() {
    option_ = 0xFF;
    if (runs_.empty()) return false;
    runs_.clear();
    pixels_.clear();
    return true;
}

std::vector<CaptionPiece> CaptionPicture::Layout(int width, int height) const {
    std::vector<CaptionPiece> pieces;
    if (runs_.empty() || width <= 0 || height <= 0) return pieces;
    // The rows shown: those with runs and those the tall runs reach into.
    std::array<bool, kTextRows> shown{};
    for (const Run& run : runs_) {
        shown[static_cast<std::size_t>(run.Row)] = true;
        if (run.Tall) shown[static_cast<std::size_t>(run.Row + 1)] = true;
    }
    std::array<int, kTextRows> place{};  // a shown row's place, counted from the top
    int count = 0;
    for (int r = 0; r < kTextRows; ++r)
        if (shown[static_cast<std::size_t>(r)]) place[static_cast<std::size_t>(r)] = count++;

    // Cells keep the page's shape (12 by 15); the width decides their size
    // unless the rows would not fit the height.
    double cellWidth = static_cast<double>(width) / kTextColumns;
    double rowHeight = cellWidth * kCellHeight / kCellWidth;
    if (rowHeight * count > height) {
        rowHeight = static_cast<double>(height) / count;
        cellWidth = rowHeight * kCellWidth / kCellHeight;
    }
    const double left = (width - cellWidth * kTextColumns) / 2;
    const double top = height - rowHeight * count;
    for (const Run& run : runs_) {
        const int rows = run.Tall ? 2 : 1;
        CaptionPiece piece;
        piece.Source = {run.First * kCellWidth, run.Row * kCellHeight, (run.First + run.Count) * kCellWidth,
                        (run.Row + rows) * kCellHeight};
        const double y = top + rowHeight * place[static_cast<std::size_t>(run.Row)];
        piece.Target = {Round(left + cellWidth * run.First), Round(y), Round(left + cellWidth * (run.First + run.Count)),
                        Round(y + rowHeight * rows)};
        piece.Box = run.Box;
        pieces.push_back(piece);
    }
    return pieces;
}

}  // namespace orv
